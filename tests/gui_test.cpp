// The main window as a user sees and drives it: widgets found by name, clicked with QTest, on
// the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "core/form1.h"
#include "panel/form1_view.h"
#include "platform/qt_platform.h"
#include "platform/scripted_platform.h"

using namespace vintrel;

// Readable failure messages.
void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "gui_test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] const auto* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Program words used below.
constexpr int Movlw(int k) {
    return 0x3000 | k;
}
constexpr int Movwf(int f) {
    return 0x0080 | f;
}
constexpr int Incf(int f) {
    return 0x0A80 | f;
}  // INCF f,F
constexpr int Goto(int a) {
    return 0x2800 | a;
}

template <class P>
class PanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        model = std::make_unique<Form1>(platform);
        view = std::make_unique<Form1View>(*model);
        view->show();
        QApplication::setActiveWindow(view.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }

    template <class T = QWidget>
    T* w(const QString& name) {
        T* found = view->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QString text(const QString& name) {
        if (auto* l = view->findChild<QLabel*>(name)) return l->text();
        if (auto* e = view->findChild<QLineEdit*>(name)) return e->text();
        if (auto* b = view->findChild<QAbstractButton*>(name)) return b->text();
        ADD_FAILURE() << "no widget " << name.toStdString();
        return {};
    }
    void click(const QString& name) { QTest::mouseClick(w(name), Qt::LeftButton); }
    void clickRow(int row) {
        auto* list = w<QListWidget>(QStringLiteral("prg"));
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    void load(std::initializer_list<std::pair<int, int>> words) {
        for (auto [address, word] : words)
            model->ProgramMemory[static_cast<std::size_t>(address)] = word;
        model->listaprog();
        view->refresh();
    }
    // Runs with "&Ejecutar" and, should the run not end by itself, stops it after a while so
    // that a failing test cannot hang.
    void runUntilStopped() {
        bool forced = false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&] {
            forced = true;
            model->ejecutar_Click();
        });
        guard.start(5000);
        click(QStringLiteral("ejecutar"));
        EXPECT_FALSE(forced) << "the run did not stop";
    }

    P platform;
    std::unique_ptr<Form1> model;
    std::unique_ptr<Form1View> view;
};

// The run's yield pumps the window's events, as the desktop platform does.
class YieldingPlatform : public ScriptedPlatform {
  public:
    YieldingPlatform() {
        onYield = [] { QCoreApplication::processEvents(); };
    }
};

using Panel = PanelTest<YieldingPlatform>;
using DesktopPanel = PanelTest<QtPlatform>;

QString Hex(int v, int width) {
    return QStringLiteral("%1").arg(v, width, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

TEST_F(Panel, StartUpShowsTheChipAtPowerOn) {
    EXPECT_TRUE(view->windowTitle().isEmpty());
    EXPECT_EQ(view->size(), QSize(777, 538));

    const std::pair<const char*, const char*> groups[] = {{"Frame1", "Memoria de DATOS"},
                                                          {"Frame4", "Usuario"},
                                                          {"Frame3", "Memoria EEPROM"},
                                                          {"Frame7", "PIC"},
                                                          {"Frame9", "Pila"},
                                                          {"Frame10", "Modificar"},
                                                          {"Frame8", "Ficheros"},
                                                          {"Frame5", "Puertos E/S"},
                                                          {"Frame6", "RTCC"},
                                                          {"Frame2", "Memoria de PROGRAMA"}};
    for (auto [name, caption] : groups)
        EXPECT_EQ(w<QGroupBox>(QLatin1String(name))->title(), QString::fromUtf8(caption)) << name;
    EXPECT_EQ(w(QStringLiteral("Frame4"))->parentWidget(), w(QStringLiteral("Frame1")));

    const std::pair<const char*, const char*> cells[] = {
        {"REG_3", "18"},         {"REG_129", "FF"}, {"REG_11", "00"},  {"REG_133", "1F"},
        {"REG_134", "FF"},       {"REG_0", "**"},   {"REG_7", "--"},   {"REG_79", "00"},
        {"REGW", "00"},          {"RegPC", "000"},  {"ciclos", "0"},   {"divtim", "256"},
        {"SENTIM", "Ext. Des."}, {"RP_0", "RP=00"}, {"RP_1", "RP=01"}, {"FREC", "4000"},
        {"direc", ""},           {"dato", ""}};
    for (auto [name, shown] : cells)
        EXPECT_EQ(text(QLatin1String(name)), shown) << name;
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(text(QStringLiteral("pila_%1").arg(i)), "---");
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(text(QStringLiteral("EE_%1").arg(i)), "00");
    for (int i = 0; i < 80; ++i)
        EXPECT_EQ(text(QStringLiteral("dir_%1").arg(i)), Hex(i, 2));
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(text(QStringLiteral("dir_%1").arg(80 + i)), Hex(128 + i, 2));
        EXPECT_EQ(text(QStringLiteral("dire_%1").arg(i)), Hex(i, 1));
    }
    EXPECT_EQ(w(QStringLiteral("REG_3"))->toolTip(),
              " IRP=0 RP1=0 RP0=0  T0=1  PD=1   Z=0  DC=0   C=0");

    struct Button {
        const char* name;
        const char* caption;
        const char* tip;
        bool enabled;
    };
    const Button buttons[] = {
        {"por", "PO&R", "Power on Reset", true},
        {"MCLR", "&MCLR", "Reset por MCLR", true},
        {"WDT", "&WDT", "Desbordamiento del Watchdog", false},
        {"TOCKI", "T0C&KI", "Generar pulso en TOCKI", true},
        {"aceptar", "&Aceptar", "", true},
        {"cancelar", "Cance&lar", "", true},
        {"cargar", "&Cargar", "", true},
        {"salvar", "&Salvar", "", true},
        {"ensamblar", "&Ensamblar", "", true},
        {"programar", "&Programar", "", true},
        {"editar", "Edita&r", "", true},
        {"fin", "&Fin", "", true},
        {"break", "&Break", "", true},
        {"eje1", "Ejec. &1", "Ejecjutar una instrucción", true},
        {"ejecutar", "&Ejecutar", "Ejecutar de forma continua", true},
    };
    for (const Button& b : buttons) {
        auto* button = w<QPushButton>(QLatin1String(b.name));
        EXPECT_EQ(button->text(), QString::fromUtf8(b.caption)) << b.name;
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(b.tip)) << b.name;
        EXPECT_EQ(button->isEnabled(), b.enabled) << b.name;
        EXPECT_TRUE(button->isVisible()) << b.name;
    }

    for (int i = 0; i < 5; ++i) {
        auto* pin = w<QCheckBox>(QStringLiteral("PA_%1").arg(i));
        EXPECT_EQ(pin->toolTip(), "Activar/desactivar bit");
        EXPECT_EQ(pin->isVisible(), i != 4) << "RA" << i;
    }
    for (int i = 0; i < 8; ++i) {
        auto* pin = w<QCheckBox>(QStringLiteral("PB_%1").arg(i));
        EXPECT_EQ(pin->toolTip(), i == 7 ? "Activar/desactivar bit" : "") << "RB" << i;
        EXPECT_TRUE(pin->isEnabled() && !pin->isChecked()) << "RB" << i;
    }
    auto* sleep = w<QCheckBox>(QStringLiteral("estsleep"));
    EXPECT_EQ(sleep->text(), "SLEEP");
    EXPECT_FALSE(sleep->isEnabled());
    auto* watchdog = w<QCheckBox>(QStringLiteral("WATCHDOG"));
    EXPECT_EQ(watchdog->text(), "WDT / 128");
    EXPECT_FALSE(watchdog->isChecked());
    EXPECT_FALSE(w(QStringLiteral("FR"))->isVisible());
    EXPECT_FALSE(w(QStringLiteral("contawdt"))->isVisible());
    EXPECT_TRUE(w<QLineEdit>(QStringLiteral("direc"))->isReadOnly());
    EXPECT_FALSE(w<QLineEdit>(QStringLiteral("dato"))->isReadOnly());
    EXPECT_EQ(w(QStringLiteral("FREC"))->toolTip(), "Frecuencia del sistema");

    auto* list = w<QListWidget>(QStringLiteral("prg"));
    ASSERT_EQ(list->count(), 1024);
    EXPECT_EQ(list->item(0)->text(), "000\t0000\tNOP");
    EXPECT_EQ(list->item(1023)->text(), "3FF\t0000\tNOP");
}

TEST_F(Panel, BankIndicatorShowsTheSelectedBankAsACell) {
    auto shade = [&](const char* name) {
        return w(QLatin1String(name))->grab().toImage().pixelColor(4, 4);
    };
    const QColor cell = shade("REG_1"), placeholder = shade("REG_0");
    ASSERT_NE(cell, placeholder);
    EXPECT_EQ(shade("RP_0"), cell);
    EXPECT_EQ(shade("RP_1"), placeholder);

    click(QStringLiteral("REG_3"));
    QTest::keyClicks(w(QStringLiteral("dato")), QStringLiteral("38"));
    click(QStringLiteral("aceptar"));
    EXPECT_EQ(text(QStringLiteral("REG_3")), "38");
    EXPECT_EQ(shade("RP_0"), placeholder);
    EXPECT_EQ(shade("RP_1"), cell);
}

TEST_F(Panel, CellClickChoosesTheTargetAndTypingReplacesIt) {
    click(QStringLiteral("REG_134"));
    EXPECT_EQ(text(QStringLiteral("direc")), "D-86");
    auto* dato = w<QLineEdit>(QStringLiteral("dato"));
    EXPECT_EQ(dato->text(), "FF");
    EXPECT_TRUE(dato->hasFocus());
    EXPECT_EQ(dato->selectedText(), "FF");

    // The address 07h chooses nothing.
    click(QStringLiteral("REG_7"));
    EXPECT_EQ(text(QStringLiteral("direc")), "D-86");

    // A click on the listing, which takes the keyboard, and then a cell: the focus comes back.
    clickRow(3);
    EXPECT_EQ(text(QStringLiteral("direc")), "P-003");
    EXPECT_EQ(dato->text(), "0000");
    click(QStringLiteral("EE_5"));
    EXPECT_EQ(text(QStringLiteral("direc")), "E-05");
    EXPECT_TRUE(dato->hasFocus());
    EXPECT_EQ(dato->selectedText(), "00");

    // A refused value: beep, the panel kept with the whole value selected for correction.
    click(QStringLiteral("REGW"));
    QTest::keyClicks(dato, QStringLiteral("1FF"));
    click(QStringLiteral("aceptar"));
    EXPECT_EQ(platform.events.back(), "beep");
    EXPECT_EQ(text(QStringLiteral("REGW")), "00");
    EXPECT_EQ(text(QStringLiteral("direc")), "W");
    EXPECT_TRUE(dato->hasFocus());
    EXPECT_EQ(dato->selectedText(), "1FF");
    QTest::keyClicks(dato, QStringLiteral("7e"));
    click(QStringLiteral("aceptar"));
    EXPECT_EQ(text(QStringLiteral("REGW")), "7E");
    EXPECT_EQ(text(QStringLiteral("direc")), "");
    EXPECT_EQ(dato->text(), "");
}

TEST_F(Panel, PinBoxesFollowTrisAndThePortLatch) {
    auto pin = [&](int bit) { return w<QCheckBox>(QStringLiteral("PB_%1").arg(bit)); };
    click(QStringLiteral("PB_0"));  // an input pin: the user sets its level
    EXPECT_TRUE(pin(0)->isChecked());
    EXPECT_EQ(model->PB[0].value(), 1);

    auto write = [&](const char* cellName, const char* value) {
        click(QLatin1String(cellName));
        QTest::keyClicks(w(QStringLiteral("dato")), QLatin1String(value));
        click(QStringLiteral("aceptar"));
    };
    write("REG_134", "0F");  // RB4..RB7 outputs
    write("REG_6", "A5");
    for (int bit = 0; bit < 8; ++bit) {
        EXPECT_EQ(pin(bit)->isEnabled(), bit < 4) << "RB" << bit;
        if (bit >= 4) {
            EXPECT_EQ(pin(bit)->isChecked(), ((0xA5 >> bit) & 1) != 0) << "RB" << bit;
        }
    }
    EXPECT_TRUE(pin(0)->isChecked());  // the input kept the user's level
    EXPECT_FALSE(pin(2)->isChecked());

    // An output pin cannot be clicked.
    click(QStringLiteral("PB_5"));
    EXPECT_TRUE(pin(5)->isChecked());
    EXPECT_EQ(model->PB[5].value(), 1);
}

TEST_F(Panel, SingleStepShowsTheNewState) {
    load({{0, Movlw(0x5A)}, {1, Movwf(0x20)}, {2, Goto(0)}});
    auto* list = w<QListWidget>(QStringLiteral("prg"));
    EXPECT_EQ(list->item(0)->text(), "000\t305A\t" + QString::fromStdString(Disassemble(0x305A)));

    click(QStringLiteral("eje1"));
    EXPECT_EQ(text(QStringLiteral("REGW")), "5A");
    EXPECT_EQ(text(QStringLiteral("RegPC")), "001");
    EXPECT_EQ(text(QStringLiteral("REG_2")), "01");
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(text(QStringLiteral("direc")), "P-001");
    EXPECT_EQ(text(QStringLiteral("dato")), "00A0");
    EXPECT_EQ(text(QStringLiteral("ciclos")), QString::number(model->CycleCount));
    EXPECT_NE(text(QStringLiteral("ciclos")), "0");

    click(QStringLiteral("eje1"));
    EXPECT_EQ(text(QStringLiteral("REG_32")), "5A");
    click(QStringLiteral("eje1"));
    EXPECT_EQ(text(QStringLiteral("RegPC")), "000");
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(text(QStringLiteral("ciclos")), QString::number(model->CycleCount));
}

TEST_F(DesktopPanel, PararStopsARunAndTheWindowFollowedIt) {
    load({{0, Incf(0x20)}, {1, Goto(0)}});
    QString captionDuringRun;
    bool stepEnabledDuringRun = true;
    QString counterDuringRun;
    QTimer::singleShot(200, view.get(), [&] {
        captionDuringRun = text(QStringLiteral("ejecutar"));
        stepEnabledDuringRun = w(QStringLiteral("eje1"))->isEnabled();
        counterDuringRun = text(QStringLiteral("REG_32"));
        click(QStringLiteral("ejecutar"));
    });
    runUntilStopped();
    EXPECT_EQ(captionDuringRun, "&Parar");
    EXPECT_FALSE(stepEnabledDuringRun);
    EXPECT_NE(counterDuringRun, "00");  // the display was refreshed during the run
    EXPECT_EQ(text(QStringLiteral("ejecutar")), "&Ejecutar");
    EXPECT_TRUE(w(QStringLiteral("eje1"))->isEnabled());
    EXPECT_EQ(text(QStringLiteral("REG_32")), QString::fromStdString(model->REG(0x20).text()));
    EXPECT_EQ(text(QStringLiteral("RegPC")), QString::fromStdString(model->RegPC.text()));
    EXPECT_EQ(text(QStringLiteral("ciclos")), QString::number(model->CycleCount));
}

TEST_F(Panel, BreakpointStopsARunBeforeItsInstruction) {
    load({{0, Incf(0x20)}, {1, Incf(0x20)}, {2, Goto(0)}});
    clickRow(1);
    EXPECT_EQ(text(QStringLiteral("direc")), "P-001");
    click(QStringLiteral("break"));
    auto* list = w<QListWidget>(QStringLiteral("prg"));
    EXPECT_TRUE(list->item(1)->text().startsWith("001 *\t0AA0\t"))
        << list->item(1)->text().toStdString();
    EXPECT_EQ(list->count(), 1024);

    runUntilStopped();
    EXPECT_EQ(text(QStringLiteral("RegPC")), "001");
    EXPECT_EQ(text(QStringLiteral("REG_32")), "01");
    EXPECT_EQ(text(QStringLiteral("ejecutar")), "&Ejecutar");
    EXPECT_TRUE(w(QStringLiteral("eje1"))->isEnabled());
    EXPECT_EQ(list->currentRow(), 1);

    // The next press passes the breakpoint and stops at it one loop later.
    runUntilStopped();
    EXPECT_EQ(text(QStringLiteral("RegPC")), "001");
    EXPECT_EQ(text(QStringLiteral("REG_32")), "03");
}

TEST_F(Panel, ResetDuringARunMovesThePcAndTheRunGoesOn) {
    load({{0, Goto(5)}, {5, Incf(0x20)}, {6, Goto(5)}});
    QString pcAfterReset, captionAfterReset;
    QTimer::singleShot(100, view.get(), [&] {
        click(QStringLiteral("MCLR"));
        pcAfterReset = text(QStringLiteral("RegPC"));
        captionAfterReset = text(QStringLiteral("ejecutar"));
        QTimer::singleShot(100, view.get(), [&] { click(QStringLiteral("ejecutar")); });
    });
    runUntilStopped();
    EXPECT_EQ(pcAfterReset, "000");
    EXPECT_EQ(captionAfterReset, "&Parar");
    const QString pc = text(QStringLiteral("RegPC"));
    EXPECT_TRUE(pc == "005" || pc == "006") << pc.toStdString();
    EXPECT_EQ(text(QStringLiteral("ejecutar")), "&Ejecutar");
}

TEST(PanelDeathTest, ClosingTheWindowDuringARunEndsTheProgramAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QtPlatform platform;
            Form1 model(platform);
            Form1View view(model);
            view.show();
            model.ProgramMemory[0] = Goto(0);
            model.listaprog();
            view.refresh();
            QTimer::singleShot(100, &view, [&view] { view.close(); });
            view.findChild<QPushButton*>(QStringLiteral("ejecutar"))->click();
            std::fputs("the run went on after the window closed\n", stderr);
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(QtPlatformTest, NameFiltersKeepDescriptionsAndMeanAllFilesByStarDotStar) {
    const std::pair<const char*, QStringList> cases[] = {
        {"Archivos hexadecimales (*.hex)|*.hex|Todos los archivos (*.*)|*.*",
         {"Archivos hexadecimales (*.hex) (*.hex)", "Todos los archivos (*.*) (*)"}},
        {"Fuentes|*.asm;*.inc", {"Fuentes (*.asm *.inc)"}},
        {"Sin patrón", {}},
        {"", {}},
    };
    for (const auto& [filter, expected] : cases)
        EXPECT_EQ(QtNameFilters(filter), expected) << filter;
}

TEST(QtPlatformTest, MessageBoxShowsTheTextAndReturnsTheAnswer) {
    struct Case {
        MessageButtons buttons;
        MessageAlign align;
        QMessageBox::StandardButton press;
        bool expected;
    };
    const Case cases[] = {
        {MessageButtons::YesNo, MessageAlign::Right, QMessageBox::Yes, true},
        {MessageButtons::YesNo, MessageAlign::Default, QMessageBox::No, false},
        {MessageButtons::Ok, MessageAlign::Default, QMessageBox::Ok, true},
    };
    QtPlatform platform;
    for (const Case& c : cases) {
        bool seen = false;
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen = true;
            EXPECT_EQ(box->windowTitle(), "vintrel");
            EXPECT_EQ(box->text(), "Línea uno\nLínea dos\nfin");
            EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
            const auto buttons = c.buttons == MessageButtons::YesNo
                                     ? (QMessageBox::Yes | QMessageBox::No)
                                     : QMessageBox::StandardButtons(QMessageBox::Ok);
            EXPECT_EQ(box->standardButtons(), buttons);
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            ASSERT_NE(label, nullptr);
            EXPECT_EQ((label->alignment() & Qt::AlignRight) != 0, c.align == MessageAlign::Right);
            box->button(c.press)->click();
        });
        EXPECT_EQ(platform.messageBox("Línea uno\rLínea dos\r\nfin", c.buttons, c.align),
                  c.expected);
        EXPECT_TRUE(seen);
    }
}

TEST(QtPlatformTest, OpenDialogAddsTheDefaultExtensionAndCancelGivesNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString home = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    QtPlatform platform;
    for (bool accept : {true, false}) {
        QTimer::singleShot(100, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->nameFilters(), QStringList({"Archivos hexadecimales (*.hex) (*.hex)",
                                                          "Todos los archivos (*.*) (*)"}));
            EXPECT_EQ(dialog->defaultSuffix(), "hex");
            if (!accept) {
                dialog->reject();
                return;
            }
            dialog->setDirectory(dir.path());
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QStringLiteral("prueba"));
            QTest::keyClick(name, Qt::Key_Return);
        });
        const std::string chosen = platform.openFileDialog(
            "Archivos hexadecimales (*.hex)|*.hex|Todos los archivos (*.*)|*.*", "hex");
        EXPECT_EQ(chosen, accept ? (dir.path() + "/prueba.hex").toStdString() : std::string());
    }
    QDir::setCurrent(home);
}
