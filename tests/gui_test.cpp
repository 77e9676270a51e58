// The main window as a user sees and drives it, for what vintrel-batch cannot reach: the widgets
// bound to the control table, focus and selection in "Dato", the listing's item model, the
// refresh during a run, closing during a run, the refusal blink, the output pins' marks and the
// access key of the run button. Widgets are found by name and clicked with QTest, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "form1/controls.h"
#include "form1/form1.h"
#include "host/scripted_platform.h"
#include "qt/form1_view.h"
#include "qt/qt_platform.h"

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
    QListView* listing() { return w<QListView>(QStringLiteral("prg")); }
    QString row(int r) { return listing()->model()->index(r, 0).data().toString(); }
    void click(const QString& name) { QTest::mouseClick(w(name), Qt::LeftButton); }
    void clickRow(int r) {
        QListView* list = listing();
        const QModelIndex idx = list->model()->index(r, 0);
        list->scrollTo(idx);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(idx).center());
    }
    void load(std::initializer_list<std::pair<int, int>> words) {
        for (auto [address, word] : words)
            model->chip.ProgramMemory[static_cast<std::size_t>(address)] = word;
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
    // The colour at the middle of a widget as drawn.
    QColor middle(const QString& name) {
        QWidget* x = w(name);
        return x->grab().toImage().pixelColor(x->width() / 2, x->height() / 2);
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

QString ObjectName(const ControlEntry& e, int index) {
    const QString name = QString::fromUtf8(e.name.data(), static_cast<qsizetype>(e.name.size()));
    return e.size == 0 || e.kind == ControlKind::List ? name
                                                      : name + QStringLiteral("_%1").arg(index);
}

bool IsReddish(const QColor& c) {
    return c.red() > 180 && c.green() < 120 && c.blue() < 120;
}

}  // namespace

// Every element of the control table has one widget of its kind, inside the window, showing the
// model's text, enabled and visible state; a change made in the model shows after a refresh.
TEST_F(Panel, EveryControlOfTheTableIsBoundToAWidgetOfItsKind) {
    EXPECT_EQ(view->size(), QSize(777, 538));
    const QRect window = view->rect();
    int bound = 0;
    for (const ControlEntry& e : Controls()) {
        const int count = e.size == 0 || e.kind == ControlKind::List ? 1 : e.size;
        for (int i = 0; i < count; ++i) {
            if (e.size > 0 && e.kind != ControlKind::List && !ValidIndex(e, i)) continue;
            const QString name = ObjectName(e, i);
            QWidget* x = view->findChild<QWidget*>(name);
            ASSERT_NE(x, nullptr) << name.toStdString();
            ++bound;
            const QRect at(x->mapTo(view.get(), QPoint(0, 0)), x->size());
            EXPECT_TRUE(window.contains(at)) << name.toStdString();
            EXPECT_TRUE(x->parentWidget()->rect().contains(x->geometry())) << name.toStdString();
            if (e.kind == ControlKind::List) {
                EXPECT_NE(qobject_cast<QListView*>(x), nullptr);
                continue;
            }
            const Control& c = e.get(*model, e.size == 0 ? 0 : i);
            const QString shown = QString::fromStdString(c.text());
            switch (e.kind) {
                case ControlKind::Cell:
                case ControlKind::Label:
                    ASSERT_NE(qobject_cast<QLabel*>(x), nullptr) << name.toStdString();
                    EXPECT_EQ(qobject_cast<QLabel*>(x)->text(), shown) << name.toStdString();
                    break;
                case ControlKind::Button:
                    ASSERT_NE(qobject_cast<QPushButton*>(x), nullptr) << name.toStdString();
                    EXPECT_EQ(qobject_cast<QPushButton*>(x)->text(), shown) << name.toStdString();
                    break;
                case ControlKind::Check:
                    ASSERT_NE(qobject_cast<QCheckBox*>(x), nullptr) << name.toStdString();
                    EXPECT_EQ(qobject_cast<QCheckBox*>(x)->isChecked(), c.value() != 0);
                    break;
                case ControlKind::TextBox:
                    ASSERT_NE(qobject_cast<QLineEdit*>(x), nullptr) << name.toStdString();
                    EXPECT_EQ(qobject_cast<QLineEdit*>(x)->text(), shown) << name.toStdString();
                    EXPECT_EQ(qobject_cast<QLineEdit*>(x)->isReadOnly(), c.readOnly());
                    break;
                case ControlKind::List:
                    break;
            }
            EXPECT_EQ(x->isEnabled(), c.enabled()) << name.toStdString();
            EXPECT_EQ(!x->isHidden(), c.visible()) << name.toStdString();
            EXPECT_EQ(x->toolTip(), QString::fromStdString(c.hint())) << name.toStdString();
        }
    }
    EXPECT_GT(bound, 300);

    // Changes made in the model, one per kind of widget.
    model->chip.REG(0x20).setHex(0xA5, 2);
    model->chip.RP[0].setColor(ColorRole::Placeholder);
    model->cargar.setEnabled(false);
    model->chip.PB[3].setValue(1);
    model->chip.PA[4].setVisible(true);
    model->FREC.setText("3579");
    model->prg.replace(2, "002\tFFFF\tprueba");
    view->refresh();
    EXPECT_EQ(text(QStringLiteral("REG_32")), "A5");
    EXPECT_FALSE(w(QStringLiteral("cargar"))->isEnabled());
    EXPECT_TRUE(w<QCheckBox>(QStringLiteral("PB_3"))->isChecked());
    EXPECT_FALSE(w(QStringLiteral("PA_4"))->isHidden());
    EXPECT_EQ(text(QStringLiteral("FREC")), "3579");
    EXPECT_EQ(row(2), "002\tFFFF\tprueba");
    EXPECT_EQ(middle(QStringLiteral("RP_0")), middle(QStringLiteral("REG_0")));
    EXPECT_NE(middle(QStringLiteral("RP_1")), middle(QStringLiteral("REG_1")));
}

// The listing is an item model over the list box: a replaced row is one dataChanged, a rebuild
// one reset, and the selected row follows the model's selection; mouse and keyboard selections
// go to the model.
TEST_F(Panel, ListingModelFollowsTheListBox) {
    QAbstractItemModel* rows = listing()->model();
    ASSERT_EQ(rows->rowCount(), 1024);
    EXPECT_EQ(row(0), "000\t0000\tNOP");
    EXPECT_EQ(row(1023), "3FF\t0000\tNOP");

    int changed = 0, resets = 0, changedRow = -1;
    QObject::connect(rows, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& a, const QModelIndex& b) {
                         ++changed;
                         changedRow = a.row() == b.row() ? a.row() : -2;
                     });
    QObject::connect(rows, &QAbstractItemModel::modelReset, [&] { ++resets; });

    clickRow(5);
    EXPECT_EQ(model->prg.selected(), 5);
    EXPECT_EQ(text(QStringLiteral("direc")), "P-005");
    click(QStringLiteral("break"));
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(changedRow, 5);
    EXPECT_EQ(resets, 0);
    EXPECT_TRUE(row(5).startsWith("005 *\t")) << row(5).toStdString();
    EXPECT_EQ(listing()->currentIndex().row(), 5);

    load({{0, Incf(0x20)}, {1, Goto(0)}});
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(rows->rowCount(), 1024);
    EXPECT_EQ(row(1), "001\t2800\tGOTO 000");

    click(QStringLiteral("eje1"));
    EXPECT_EQ(listing()->currentIndex().row(), 1);
    EXPECT_EQ(text(QStringLiteral("REG_32")), "01");

    // Keyboard moves select through the model, which fills the Modificar panel.
    listing()->setFocus();
    QTest::keyClick(listing(), Qt::Key_Down);
    EXPECT_EQ(model->prg.selected(), 2);
    EXPECT_EQ(text(QStringLiteral("direc")), "P-002");
    // A selection far down scrolls the row into view.
    model->prg.select(1000);
    view->refresh();
    EXPECT_TRUE(listing()->viewport()->rect().contains(
        listing()->visualRect(rows->index(1000, 0)).center()));
}

TEST_F(Panel, CellClickChoosesTheTargetAndTypingReplacesIt) {
    click(QStringLiteral("REG_134"));
    EXPECT_EQ(text(QStringLiteral("direc")), "D-86");
    auto* dato = w<QLineEdit>(QStringLiteral("dato"));
    EXPECT_EQ(dato->text(), "FF");
    EXPECT_TRUE(dato->hasFocus());
    EXPECT_EQ(dato->selectedText(), "FF");

    // A click on the listing, which takes the keyboard, and then a cell: the focus comes back.
    clickRow(3);
    EXPECT_EQ(text(QStringLiteral("direc")), "P-003");
    EXPECT_EQ(dato->text(), "0000");
    click(QStringLiteral("EE_5"));
    EXPECT_EQ(text(QStringLiteral("direc")), "E-05");
    EXPECT_TRUE(dato->hasFocus());
    EXPECT_EQ(dato->selectedText(), "00");

    // A refused value: the panel kept with the whole value selected for correction.
    click(QStringLiteral("REGW"));
    QTest::keyClicks(dato, QStringLiteral("1FF"));
    click(QStringLiteral("aceptar"));
    EXPECT_EQ(platform.events.back(), "beep");
    EXPECT_EQ(text(QStringLiteral("REGW")), "00");
    EXPECT_TRUE(dato->hasFocus());
    EXPECT_EQ(dato->selectedText(), "1FF");
    QTest::keyClicks(dato, QStringLiteral("7e"));
    click(QStringLiteral("aceptar"));
    EXPECT_EQ(text(QStringLiteral("REGW")), "7E");
    EXPECT_EQ(dato->text(), "");
}

// A mouse click into "Dato" from elsewhere selects the whole value, so typing replaces it; a
// click into the box that already has the focus places the cursor.
TEST_F(Panel, MouseClickIntoDatoSelectsTheWholeValue) {
    clickRow(2);  // the program word 0000 at address 002; the listing has the focus
    auto* dato = w<QLineEdit>(QStringLiteral("dato"));
    ASSERT_FALSE(dato->hasFocus());
    QTest::mouseClick(dato, Qt::LeftButton, {}, QPoint(dato->width() - 4, dato->height() / 2));
    EXPECT_TRUE(dato->hasFocus());
    EXPECT_EQ(dato->selectedText(), "0000");
    QTest::keyClicks(dato, QStringLiteral("2805"));
    EXPECT_EQ(dato->text(), "2805");
    EXPECT_EQ(model->dato.text(), "2805");

    QTest::mouseClick(dato, Qt::LeftButton, {}, QPoint(3, dato->height() / 2));
    EXPECT_FALSE(dato->hasSelectedText());
    QTest::keyClicks(dato, QStringLiteral("1"));
    EXPECT_EQ(dato->text(), "12805");
}

// Input pins are check boxes the user ticks; output pins show their level as a red mark.
TEST_F(Panel, OutputPinsShowTheirLevelInputsAreTicked) {
    auto pin = [&](int bit) { return w<QCheckBox>(QStringLiteral("PB_%1").arg(bit)); };
    auto mark = [&](int bit) { return middle(QStringLiteral("PB_%1").arg(bit)); };
    click(QStringLiteral("PB_0"));  // an input pin: a click flips its level
    EXPECT_TRUE(pin(0)->isChecked());
    EXPECT_EQ(model->chip.PB[0].value(), 1);
    EXPECT_FALSE(IsReddish(mark(0)));

    auto write = [&](const char* cellName, const char* value) {
        click(QLatin1String(cellName));
        QTest::keyClicks(w(QStringLiteral("dato")), QLatin1String(value));
        click(QStringLiteral("aceptar"));
    };
    write("REG_134", "0F");  // RB4..RB7 outputs
    write("REG_6", "A5");
    for (int bit = 4; bit < 8; ++bit) {
        EXPECT_FALSE(pin(bit)->isEnabled()) << "RB" << bit;
        EXPECT_EQ(IsReddish(mark(bit)), ((0xA5 >> bit) & 1) != 0) << "RB" << bit;
    }
    EXPECT_TRUE(pin(0)->isEnabled());

    // An output pin cannot be clicked.
    click(QStringLiteral("PB_5"));
    EXPECT_EQ(model->chip.PB[5].value(), 1);
    EXPECT_TRUE(IsReddish(mark(5)));
}

// A refusal beeps and blinks the refused box: "Dato" for a value out of range, the button for
// "&Break" without a program address.
TEST_F(DesktopPanel, RefusalsBlinkTheRefusedBox) {
    QWidget* flash = w(QStringLiteral("flash"));
    ASSERT_FALSE(flash->isVisible());
    auto covers = [&](const char* name) {
        QWidget* target = w(QLatin1String(name));
        const QRect at(target->mapTo(view.get(), QPoint(0, 0)), target->size());
        return flash->isVisible() && flash->geometry().contains(at);
    };

    click(QStringLiteral("REGW"));
    QTest::keyClicks(w(QStringLiteral("dato")), QStringLiteral("100"));
    click(QStringLiteral("aceptar"));
    EXPECT_TRUE(covers("dato"));
    EXPECT_EQ(w<QLineEdit>(QStringLiteral("dato"))->selectedText(), "100");
    QTRY_VERIFY_WITH_TIMEOUT(!flash->isVisible(), 2000);

    click(QStringLiteral("cancelar"));
    click(QStringLiteral("break"));
    EXPECT_TRUE(covers("break"));
    QTRY_VERIFY_WITH_TIMEOUT(!flash->isVisible(), 2000);

    // An accepted value blinks nothing.
    click(QStringLiteral("REGW"));
    QTest::keyClicks(w(QStringLiteral("dato")), QStringLiteral("12"));
    click(QStringLiteral("aceptar"));
    EXPECT_FALSE(flash->isVisible());
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
    EXPECT_EQ(text(QStringLiteral("REG_32")), QString::fromStdString(model->chip.REG(0x20).text()));
    EXPECT_EQ(text(QStringLiteral("RegPC")), QString::fromStdString(model->chip.RegPC.text()));
    EXPECT_EQ(text(QStringLiteral("ciclos")), QString::number(model->chip.CycleCount));
    EXPECT_EQ(listing()->currentIndex().row(), model->chip.ProgramCounter);
}

// "&Parar" and "&Programar" share Alt+P: during a run the key stops the run.
TEST_F(DesktopPanel, AltPStopsARun) {
    load({{0, Incf(0x20)}, {1, Goto(0)}});
    auto* programar = w<QPushButton>(QStringLiteral("programar"));
    const QKeySequence altP(Qt::ALT | Qt::Key_P);
    EXPECT_EQ(programar->shortcut(), altP);
    QKeySequence programarDuringRun = altP;
    QTimer::singleShot(200, view.get(), [&] {
        programarDuringRun = programar->shortcut();
        w(QStringLiteral("dato"))->setFocus();
        QTest::keyClick(view.get(), Qt::Key_P, Qt::AltModifier);
    });
    runUntilStopped();
    EXPECT_TRUE(programarDuringRun.isEmpty());
    EXPECT_FALSE(model->running());
    EXPECT_EQ(text(QStringLiteral("ejecutar")), "&Ejecutar");
    EXPECT_EQ(programar->shortcut(), altP);
}

TEST(PanelDeathTest, ClosingTheWindowDuringARunEndsTheProgramAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QtPlatform platform;
            Form1 model(platform);
            Form1View view(model);
            view.show();
            model.chip.ProgramMemory[0] = Goto(0);
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
