// Qt's own dialogs in Spanish, the Open dialog's start folder and size, and the helpers' windows
// (the assembler's results and the notices), on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "assembly.h"
#include "qt/qt_platform.h"
#include "qt/spanish_qt.h"
#include "results_window.h"
#include "temp_files.h"

// Readable failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vintrel {
namespace {

namespace fs = std::filesystem;

bool g_translated = false;
QTemporaryDir* g_config = nullptr;

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "qt_dialogs_test";
        static char* argv[] = {name, nullptr};
        // Qt's file dialog keeps settings in the user's configuration; these tests use their own.
        g_config = new QTemporaryDir;
        setenv("XDG_CONFIG_HOME", g_config->path().toLocal8Bit().constData(), 1);
        // The user's locale must not matter: start from an English one.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        app_ = std::make_unique<QApplication>(argc, argv);
        g_translated = InstallSpanishQtTranslations();
    }
    void TearDown() override {
        app_.reset();
        delete g_config;
    }

  private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] const auto* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

QString Plain(QString s) {
    return s.remove(QLatin1Char('&'));
}

// Runs `check` on the modal dialog once it is up, then lets `finish` close it.
template <class D>
void WhenShown(std::function<void(D*)> check) {
    QTimer::singleShot(100, [check] {
        auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        check(d);
    });
}

TEST(SpanishQt, UpdateQuestionAnswersSiOrNo) {
    ASSERT_TRUE(g_translated) << "qtbase_es not found (Debian: qt6-translations-l10n)";
    QtPlatform platform;
    bool seen = false;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
        seen = true;
        EXPECT_EQ(Plain(box->button(QMessageBox::Yes)->text()), QStringLiteral("Sí"));
        EXPECT_EQ(Plain(box->button(QMessageBox::No)->text()), QStringLiteral("No"));
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(platform.messageBox(
        "Hay actualizaciones disponibles\r(Versión actual: 1.1.0 - Versión nueva: 1.2.3)\r"
        "¿Desea descargarla ahora?",
        MessageButtons::YesNo, MessageAlign::Default));
    EXPECT_TRUE(seen);
}

constexpr const char* kHexFilter =
    "Archivos hexadecimales (*.hex)|*.hex|Todos los archivos (*.*)|*.*";

// Chooses `file` in the next Open dialog after `check` has looked at it.
void ChooseIn(const QString& file, std::function<void(QFileDialog*)> check = {}) {
    WhenShown<QFileDialog>([file, check](QFileDialog* dialog) {
        if (check) check(dialog);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(file);
        QTest::keyClick(name, Qt::Key_Return);
    });
}

TEST(OpenDialog, SpanishLabelsAndColumnsThatFit) {
    ASSERT_TRUE(g_translated);
    QtPlatform platform;
    QTemporaryDir dir;
    ChooseIn(dir.filePath(QStringLiteral("a.hex")), [](QFileDialog* d) {
        auto label = [d](const char* name) {
            auto* l = d->findChild<QLabel*>(QString::fromLatin1(name));
            return l ? Plain(l->text()) : QStringLiteral("(none)");
        };
        EXPECT_EQ(label("lookInLabel"), QStringLiteral("Ver en:"));
        EXPECT_EQ(label("fileTypeLabel"), QStringLiteral("Ficheros de tipo:"));
        auto* box = d->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(Plain(box->button(QDialogButtonBox::Open)->text()), QStringLiteral("Abrir"));
        EXPECT_EQ(Plain(box->button(QDialogButtonBox::Cancel)->text()), QStringLiteral("Cancelar"));

        // Every column of the detail view (name, size, type, date) is wide enough for its
        // heading, and all of them fit in the view.
        d->setViewMode(QFileDialog::Detail);
        auto* tree = d->findChild<QTreeView*>(QStringLiteral("treeView"));
        ASSERT_NE(tree, nullptr);
        QHeaderView* h = tree->header();
        ASSERT_GE(h->count(), 4);
        for (int i = 0; i < h->count(); ++i) {
            if (h->isSectionHidden(i)) continue;
            EXPECT_GE(h->sectionSize(i), h->sectionSizeHint(i)) << "column " << i;
            EXPECT_LE(h->sectionViewportPosition(i) + h->sectionSize(i), h->viewport()->width())
                << "column " << i << " cut off in a dialog " << d->width() << " wide";
        }
    });
    EXPECT_EQ(platform.openFileDialog(kHexFilter, "hex"),
              dir.filePath(QStringLiteral("a.hex")).toStdString());
}

TEST(OpenDialog, StartsInTheFolderOfTheFileChosenLastInThisRun) {
    QTemporaryDir first, second, earlierRun;
    const QString home = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(second.path()));
    {
        // What Qt's own dialog remembers from an earlier run is not used.
        QSettings qt(QSettings::UserScope, QStringLiteral("QtProject"));
        qt.beginGroup(QStringLiteral("FileDialog"));
        qt.setValue(QStringLiteral("lastVisited"), QUrl::fromLocalFile(earlierRun.path()));
    }
    QtPlatform platform;
    QString seen;
    auto where = [&seen](QFileDialog* d) { seen = d->directory().absolutePath(); };

    ChooseIn(first.filePath(QStringLiteral("a.hex")), where);
    platform.openFileDialog(kHexFilter, "hex");
    EXPECT_EQ(seen, QDir(second.path()).absolutePath());  // nothing chosen yet: where it runs

    ChooseIn(QStringLiteral("b"), where);
    EXPECT_EQ(platform.openFileDialog(kHexFilter, "hex"),
              first.filePath(QStringLiteral("b.hex")).toStdString());
    EXPECT_EQ(seen, QDir(first.path()).absolutePath());

    // A cancelled dialog changes nothing.
    WhenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_EQ(platform.openFileDialog(kHexFilter, "hex"), "");
    ChooseIn(QStringLiteral("c.hex"), where);
    platform.openFileDialog(kHexFilter, "hex");
    EXPECT_EQ(seen, QDir(first.path()).absolutePath());
    QDir::setCurrent(home);
}

// ---------------------------------------------------------------- the helpers' windows

QString LabelText(QWidget* w, const char* name) {
    auto* l = w->findChild<QLabel*>(QString::fromLatin1(name));
    return l ? l->text() : QStringLiteral("(none)");
}

TEST(ResultsWindow, ShowsGpasmsErrorsAndWarningsRowByRow) {
    if (!VINTREL_TEST_HAVE_GPASM) GTEST_SKIP() << "gpasm (gputils) is not installed";
    testing::TempDir t("vintrel-results");
    const fs::path src = t.path() / "Mis  Fuentes" / "motor.asm";
    testing::WriteFile(src,
                       "\tLIST P=16F84\n"
                       "\torg 0\n"
                       "\tgoto nowhere\n"
                       "\tmovlw 300\n"
                       "\tend\n");
    testing::WriteFile(t.path() / "Mis  Fuentes" / "motor.hex", ":00000001FF\n");
    tools::AssemblerOptions options;
    options.source = src.string();
    options.warningLevel = "0";
    options.radix = "dec";
    options.processor = "p16f84";
    const tools::AssemblyOutcome o = tools::Assemble(options);
    ASSERT_FALSE(o.ok);

    tools::ResultsWindow w(o);
    w.show();
    EXPECT_EQ(w.windowTitle(), "vintrel - Ensamblar");
    EXPECT_EQ(LabelText(&w, "fuente"), QString::fromStdString("Fuente: " + src.string()));
    EXPECT_EQ(LabelText(&w, "veredicto"), "Con errores");
    EXPECT_EQ(LabelText(&w, "recuento"), "Errores: 1, avisos: 2, mensajes: 0");
    EXPECT_EQ(
        LabelText(&w, "hex"),
        QString::fromStdString("No se ha escrito ningún fichero HEX; se ha borrado el anterior: " +
                               (t.path() / "Mis  Fuentes" / "motor.hex").string()));
    auto* rows = w.findChild<QTreeWidget*>(QStringLiteral("mensajes"));
    ASSERT_NE(rows, nullptr);
    EXPECT_TRUE(rows->isVisible());
    const QStringList expected[] = {
        {"Aviso", "línea 1", "[215] Processor superseded by command line."},
        {"Error", "línea 3", "[113] Symbol not previously defined: \"nowhere\""},
        {"Aviso", "línea 4",
         "[202] Argument out of range. Least significant bits used. 300 (0x12c) => 44 (0x2c)"},
    };
    ASSERT_EQ(rows->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const QTreeWidgetItem* item = rows->topLevelItem(i);
        EXPECT_EQ((QStringList{item->text(0), item->text(1), item->text(2)}), expected[i]);
    }
    auto* close = w.findChild<QDialogButtonBox*>();
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(Plain(close->button(QDialogButtonBox::Close)->text()), "Cerrar");

    // A good assembly: the verdict, the HEX file and the listing, no rows.
    testing::WriteFile(src, "\tLIST P=16F84\n\torg 0\ndone\tgoto done\n\tend\n");
    options.warningLevel = "2";
    const tools::AssemblyOutcome good = tools::Assemble(options);
    ASSERT_TRUE(good.ok);
    tools::ResultsWindow g(good);
    g.show();
    EXPECT_EQ(LabelText(&g, "veredicto"), "Sin errores");
    EXPECT_EQ(LabelText(&g, "hex"), QString::fromStdString("Fichero HEX escrito: " + good.hex));
    EXPECT_EQ(LabelText(&g, "listado"), QString::fromStdString("Listado: " + good.listing));
    EXPECT_FALSE(g.findChild<QTreeWidget*>(QStringLiteral("mensajes"))->isVisible());
}

TEST(NoticeWindow, ShowsAccentsAndAnAcceptButton) {
    const QString text = QStringLiteral("No hay ningún programador configurado.\nÑandú: sí");
    tools::NoticeWindow w(QStringLiteral("vintrel - Programar"), text);
    w.show();
    EXPECT_EQ(w.windowTitle(), "vintrel - Programar");
    EXPECT_EQ(LabelText(&w, "texto"), text);
    auto* box = w.findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Plain(box->button(QDialogButtonBox::Ok)->text()), "Aceptar");
}

}  // namespace
}  // namespace vintrel
