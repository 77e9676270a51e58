// The window as a user meets it, for what only Qt shows: one user's path through the panel with
// its real dialogs, the widgets bound to the control table, the refusal blink, the access keys,
// closing during a run; Qt's dialogs in Spanish and the assembler's results window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <cstdio>
#include <functional>
#include <memory>

#include "assembly.h"
#include "form1/controls.h"
#include "form1/form1.h"
#include "qt/form1_view.h"
#include "qt/qt_platform.h"
#include "qt/spanish_qt.h"
#include "results_window.h"
#include "temp_files.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << s.toStdString();
}
QT_END_NAMESPACE

namespace vintrel {
namespace {

QString Plain(QString s) {
    return s.remove(QLatin1Char('&'));
}

// Runs `act` on the modal dialog of kind D once it is up.
template <class D>
void WhenShown(std::function<void(D*)> act) {
    QTimer::singleShot(100, [act] {
        auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        act(d);
    });
}

// Types `file` into the next Open dialog after `check` has looked at it.
void ChooseIn(const QString& file, std::function<void(QFileDialog*)> check = {}) {
    WhenShown<QFileDialog>([file, check](QFileDialog* d) {
        if (check) check(d);
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(file);
        QTest::keyClick(name, Qt::Key_Return);
    });
}

// The desktop platform, its window and the widgets by name.
class Window : public ::testing::Test {
  protected:
    void SetUp() override {
        // A dialog nobody answers would hang the test: it fails it instead.
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            if (QWidget* d = QApplication::activeModalWidget()) {
                ADD_FAILURE() << "unexpected dialog: " << d->metaObject()->className();
                d->close();
            }
        });
        watchdog.start(3000);
        view.show();
        QApplication::setActiveWindow(&view);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    }
    template <class T = QWidget>
    T* w(const QString& name) {
        T* found = view.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QString text(const QString& name) {
        if (auto* l = view.findChild<QLabel*>(name)) return l->text();
        if (auto* e = view.findChild<QLineEdit*>(name)) return e->text();
        return w<QAbstractButton>(name)->text();
    }
    void click(const QString& name) { QTest::mouseClick(w(name), Qt::LeftButton); }
    void type(const char* cell, const char* value) {
        click(QLatin1String(cell));
        QTest::keyClicks(w(QStringLiteral("dato")), QLatin1String(value));
        click(QStringLiteral("aceptar"));
    }
    QListView* listing() { return w<QListView>(QStringLiteral("prg")); }
    QColor middle(const QString& name) {
        QWidget* x = w(name);
        return x->grab().toImage().pixelColor(x->width() / 2, x->height() / 2);
    }
    bool blinks(const char* name) {
        QWidget *flash = w(QStringLiteral("flash")), *target = w(QLatin1String(name));
        const QRect at(target->mapTo(&view, QPoint(0, 0)), target->size());
        return flash->isVisible() && flash->geometry().contains(at);
    }

    QTimer watchdog;
    QtPlatform platform;
    Form1 model{platform};
    Form1View view{model};
};

// A load with an error (its message box in Spanish), one through the real Open dialog, a step, a
// run stopped with Alt+P (shared with "&Programar"), a breakpoint, a cell edited (refused with a
// blink, then accepted).
TEST_F(Window, AUsersPath) {
    QTemporaryDir dir;
    testing::WriteFile(dir.filePath(QStringLiteral("sinfin.hex")).toStdString(),
                       ":02000000FF3FC0\n");
    testing::WriteFile(dir.filePath(QStringLiteral("bucle.hex")).toStdString(),
                       ":04000000A00A00282A\n:00000001FF\n");  // incf 20h,f; goto 0
    ChooseIn(dir.filePath(QStringLiteral("sinfin.hex")));
    QTimer::singleShot(600, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle() + "|" + box->text().section('\n', 1) + "|" +
                      Plain(box->buttons()[0]->text()),
                  "vintrel|No hay código de fin.|Aceptar");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_TRUE(box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->alignment() &
                    Qt::AlignRight);
        box->buttons()[0]->click();
    });
    click(QStringLiteral("cargar"));
    ChooseIn(QStringLiteral("bucle"));  // in the folder chosen last
    click(QStringLiteral("cargar"));
    EXPECT_EQ(listing()->model()->index(1, 0).data().toString(), "001\t2800\tGOTO 000");

    QApplication::setActiveWindow(&view);  // back from the dialog
    click(QStringLiteral("eje1"));
    EXPECT_EQ(text(QStringLiteral("REG_32")), "01");
    EXPECT_EQ(listing()->currentIndex().row(), 1);
    EXPECT_EQ(text(QStringLiteral("direc")), "P-001");

    QString caption, counter;
    bool stepEnabled = true;
    QTimer::singleShot(300, &view, [&] {
        caption = text(QStringLiteral("ejecutar"));
        stepEnabled = w(QStringLiteral("eje1"))->isEnabled();
        counter = text(QStringLiteral("ciclos"));
        w(QStringLiteral("dato"))->setFocus();
        QTest::keyClick(&view, Qt::Key_P, Qt::AltModifier);
    });
    bool forced = false;  // a failing stop must not hang the test
    QTimer::singleShot(5000, &view, [&] {
        if (model.running()) forced = true, model.ejecutar_Click();
    });
    click(QStringLiteral("ejecutar"));
    EXPECT_FALSE(forced) << "Alt+P did not stop the run";
    EXPECT_EQ(caption, "&Parar");
    EXPECT_FALSE(stepEnabled);
    EXPECT_NE(counter, "2");  // the window followed the run
    EXPECT_EQ(text(QStringLiteral("ejecutar")), "&Ejecutar");
    EXPECT_EQ(text(QStringLiteral("REG_32")), QString::fromStdString(model.chip.REG(0x20).text()));
    EXPECT_EQ(listing()->currentIndex().row(), model.chip.ProgramCounter);
    EXPECT_EQ(w<QPushButton>(QStringLiteral("programar"))->shortcut(),
              QKeySequence(Qt::ALT | Qt::Key_P));

    QTest::mouseClick(listing()->viewport(), Qt::LeftButton, {},
                      listing()->visualRect(listing()->model()->index(0, 0)).center());
    click(QStringLiteral("break"));
    EXPECT_TRUE(listing()->model()->index(0, 0).data().toString().startsWith("000 *\t"));

    type("REGW", "1FF");
    EXPECT_TRUE(blinks("dato"));
    EXPECT_EQ(w<QLineEdit>(QStringLiteral("dato"))->selectedText(), "1FF");
    QTRY_VERIFY_WITH_TIMEOUT(!w(QStringLiteral("flash"))->isVisible(), 2000);
    QTest::keyClicks(w(QStringLiteral("dato")), QStringLiteral("7e"));
    click(QStringLiteral("aceptar"));
    EXPECT_EQ(text(QStringLiteral("REGW")), "7E");
    EXPECT_FALSE(w(QStringLiteral("flash"))->isVisible());
    click(QStringLiteral("break"));  // no program address chosen
    EXPECT_TRUE(blinks("break"));
}

// Every element of the control table has a widget showing the model's text and state.
TEST_F(Window, EveryControlIsBoundToAWidget) {
    EXPECT_EQ(view.size(), QSize(777, 538));
    int bound = 0;
    for (const ControlEntry& e : Controls()) {
        const bool array = e.size > 0 && e.kind != ControlKind::List;
        for (int i = 0; i < (array ? e.size : 1); ++i) {
            if ((array && !ValidIndex(e, i)) || e.kind == ControlKind::List) continue;
            const std::string name = std::string(e.name) + (array ? "_" + std::to_string(i) : "");
            QWidget* x = view.findChild<QWidget*>(QString::fromStdString(name));
            ASSERT_NE(x, nullptr) << name;
            const Control& c = e.get(model, array ? i : 0);
            auto* check = qobject_cast<QCheckBox*>(x);
            EXPECT_EQ(check ? QString::number(check->isChecked()) : text(x->objectName()),
                      QString::fromStdString(check ? std::to_string(c.value()) : c.text()))
                << name;
            EXPECT_EQ(x->isEnabled() + 2 * x->isHidden(), c.enabled() + 2 * !c.visible()) << name;
            EXPECT_EQ(x->toolTip().toStdString(), c.hint()) << name;
            ++bound;
        }
    }
    EXPECT_EQ(bound, 312);
    model.chip.RP[0].setColor(ColorRole::Placeholder);  // drawn as the panel, not as a cell
    view.refresh();
    EXPECT_EQ(middle(QStringLiteral("RP_0")), middle(QStringLiteral("REG_0")));
    EXPECT_NE(middle(QStringLiteral("RP_1")), middle(QStringLiteral("REG_1")));
}

TEST(WindowDeathTest, ClosingDuringARunEndsTheProgramAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QtPlatform platform;
            Form1 model(platform);
            Form1View view(model);
            view.show();
            model.chip.ProgramMemory[0] = 0x2800;  // goto 0
            QTimer::singleShot(100, &view, [&view] { view.close(); });
            view.findChild<QPushButton*>(QStringLiteral("ejecutar"))->click();
            std::fputs("the run went on after the window closed\n", stderr);
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

// The update question's buttons in Spanish, and the answer.
TEST(Dialogs, YesNoInSpanish) {
    QtPlatform platform;
    for (const auto press : {QMessageBox::Yes, QMessageBox::No}) {
        WhenShown<QMessageBox>([press](QMessageBox* box) {
            EXPECT_EQ(Plain(box->button(QMessageBox::Yes)->text()) + "|" +
                          Plain(box->button(QMessageBox::No)->text()) + "|" + box->text(),
                      "Sí|No|Línea uno\nLínea dos");
            box->button(press)->click();
        });
        EXPECT_EQ(platform.messageBox("Línea uno\r\nLínea dos", MessageButtons::YesNo,
                                      MessageAlign::Default),
                  press == QMessageBox::Yes);
    }
}

// The Open dialog: Spanish labels, the filters as written, columns that fit, the default
// extension; it starts where the program runs, never where Qt's dialog was left in an earlier
// run (the user's path shows it then starts in the folder chosen last).
TEST(Dialogs, OpenDialog) {
    EXPECT_EQ(QtNameFilters("Fuentes|*.asm;*.inc|Todos|*.*|Sin patrón"),
              QStringList({"Fuentes (*.asm *.inc)", "Todos (*)"}));
    QTemporaryDir first, second, earlier;
    QSettings(QSettings::UserScope, QStringLiteral("QtProject"))
        .setValue(QStringLiteral("FileDialog/lastVisited"), QUrl::fromLocalFile(earlier.path()));
    const QString home = QDir::currentPath();
    QDir::setCurrent(second.path());
    QtPlatform platform;
    const char* filter = "Archivos hexadecimales (*.hex)|*.hex|Todos los archivos (*.*)|*.*";
    QString seen;
    ChooseIn(first.filePath(QStringLiteral("a")), [&](QFileDialog* d) {
        seen = d->directory().absolutePath();
        EXPECT_EQ(Plain(d->findChild<QLabel*>(QStringLiteral("lookInLabel"))->text()), "Ver en:");
        EXPECT_EQ(d->nameFilters(), QStringList({"Archivos hexadecimales (*.hex) (*.hex)",
                                                 "Todos los archivos (*.*) (*)"}));
        auto* box = d->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        EXPECT_EQ(Plain(box->button(QDialogButtonBox::Open)->text()), "Abrir");
        d->setViewMode(QFileDialog::Detail);
        QHeaderView* h = d->findChild<QTreeView*>(QStringLiteral("treeView"))->header();
        for (int i = 0; i < h->count(); ++i)
            EXPECT_LE(h->sectionViewportPosition(i) + h->sectionSize(i), h->viewport()->width());
    });
    EXPECT_EQ(platform.openFileDialog(filter, "hex"),
              first.filePath(QStringLiteral("a.hex")).toStdString());
    EXPECT_EQ(seen, QDir(second.path()).absolutePath());
    QDir::setCurrent(home);
}

// The assembler's results window: verdict, counts, the HEX file, a row for each message.
TEST(Dialogs, ResultsWindow) {
    tools::AssemblyOutcome o;
    o.source = "/x/m.asm";
    o.hex = "/x/m.hex";
    o.staleHexRemoved = true;
    o.messages = tools::ParseGpasmOutput("/x/m.asm:3:Error[113] No\n/x/m.asm:4:Warning[202] Sí\n");
    tools::ResultsWindow r(o);
    QString labels = r.windowTitle();
    for (const char* name : {"veredicto", "recuento", "hex"})
        labels += "|" + r.findChild<QLabel*>(QLatin1String(name))->text();
    EXPECT_EQ(labels,
              "vintrel - Ensamblar|Con errores|Errores: 1, avisos: 1, mensajes: 0|No se ha "
              "escrito ningún fichero HEX; se ha borrado el anterior: /x/m.hex");
    const QTreeWidgetItem* row =
        r.findChild<QTreeWidget*>(QStringLiteral("mensajes"))->topLevelItem(1);
    EXPECT_EQ(row->text(0) + "|" + row->text(1) + "|" + row->text(2), "Aviso|línea 4|[202] Sí");
    EXPECT_EQ(Plain(r.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close)->text()),
              "Cerrar");
}

}  // namespace
}  // namespace vintrel

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // The user's configuration and locale must not matter: Qt's dialog keeps settings there.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication app(argc, argv);
    if (!vintrel::InstallSpanishQtTranslations()) {
        std::fputs("qtbase_es not found (Debian: qt6-translations-l10n)\n", stderr);
        return 1;
    }
    return RUN_ALL_TESTS();
}
