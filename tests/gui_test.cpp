// The windows as a user meets them, for what only Qt shows: one user's path through the panel
// with its real dialogs, the widgets bound to the control table, the refusal blink, the access
// keys, closing during a run; Qt's dialogs in Spanish and the assembler's results window; the
// start-up window against a real HTTP server on the loopback interface, also a hostile one.
#include <gtest/gtest.h>

#include <set>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QNetworkProxy>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <cstdio>
#include <functional>
#include <optional>

#include "assembly.h"
#include "form1/controls.h"
#include "form1/form1.h"
#include "host/scripted_platform.h"
#include "qt/form1_view.h"
#include "qt/form2.h"
#include "qt/qt_platform.h"
#include "qt/spanish_qt.h"
#include "qt_wait.h"
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
        // A dialog nobody answers would hang the test: one still up a tick later fails it.
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            QWidget* d = QApplication::activeModalWidget();
            if (d && d == stuck) {
                ADD_FAILURE() << "unexpected dialog: " << d->metaObject()->className();
                d->close();
            }
            stuck = d;
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
    QPointer<QWidget> stuck;
    QtPlatform platform;
    Form1 model{platform};
    Form1View view{model, platform};
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
    // The message box comes up once the Open dialog has been answered.
    ChooseIn(dir.filePath(QStringLiteral("sinfin.hex")), [](QFileDialog*) {
        WhenShown<QMessageBox>([](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle() + "|" + box->text().section('\n', 1) + "|" +
                          Plain(box->buttons()[0]->text()),
                      "vintrel|No hay código de fin.|Aceptar");
            EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
            EXPECT_TRUE(box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->alignment() &
                        Qt::AlignRight);
            box->buttons()[0]->click();
        });
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

    // A value offered is all selected, also when Dato kept the focus after Alt+A: typing replaces
    // it (7 typed over 07 is 07, not 077). Alt+A and Enter accept, Escape cancels.
    QWidget* dato = w(QStringLiteral("dato"));
    const struct {
        const char* cell;
        const char* typed;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } edits[] = {{"REG_12", "7", Qt::Key_A, Qt::AltModifier},
                 {"REG_12", "7", Qt::Key_Return, {}},
                 {"REG_13", "5", Qt::Key_Enter, Qt::KeypadModifier},
                 {"REG_14", "9", Qt::Key_Escape, {}}};
    for (const auto& e : edits) {
        click(QLatin1String(e.cell));
        QTest::keyClicks(dato, QLatin1String(e.typed));
        QTest::keyClick(dato, e.key, e.modifiers);
        QTRY_VERIFY_WITH_TIMEOUT(text(QStringLiteral("dato")).isEmpty(), 1000);  // a button's
    }                                                                            // key: 100 ms
    EXPECT_EQ(QApplication::focusWidget(), dato);
    EXPECT_EQ(text(QStringLiteral("REG_12")) + text(QStringLiteral("REG_13")) +
                  text(QStringLiteral("REG_14")),
              "070500");
}

// Twenty runs of a four-instruction loop, each stopped by a click through the event loop, land
// at many points of it: the stretches between two looks at the events vary in length.
TEST_F(Window, StopsLandWhereTheClockSays) {
    const int loop[] = {0x080C, 0x0086, 0x0A8C, 0x2800};  // movf, movwf, incf, goto
    std::copy(std::begin(loop), std::end(loop), model.chip.ProgramMemory.begin());
    std::set<std::string> counts;
    for (int run = 0; run < 20; ++run) {
        QTimer::singleShot(20, &view, [this] { click(QStringLiteral("ejecutar")); });
        click(QStringLiteral("ejecutar"));
        counts.insert(model.chip.REG(0x0C).text());
    }
    EXPECT_GE(counts.size(), 10u);
}

// Every element of the control table has a widget showing the model's text and state.
TEST_F(Window, EveryControlIsBoundToAWidget) {
    EXPECT_EQ(view.size(), QSize(777, 538));
    int bound = 0;
    for (const ControlEntry& e : Controls()) {
        if (e.kind == ControlKind::List) continue;
        ForEachElement(e, [&](int i) {
            const std::string name = std::string(e.name) + (i < 0 ? "" : "_" + std::to_string(i));
            QWidget* x = view.findChild<QWidget*>(QString::fromStdString(name));
            ASSERT_NE(x, nullptr) << name;
            const Control& c = e.get(model, i < 0 ? 0 : i);
            auto* check = qobject_cast<QCheckBox*>(x);
            EXPECT_EQ(check ? QString::number(check->isChecked()) : text(x->objectName()),
                      QString::fromStdString(check ? std::to_string(c.value()) : c.text()))
                << name;
            EXPECT_EQ(x->isEnabled() + 2 * x->isHidden(), c.enabled() + 2 * !c.visible()) << name;
            EXPECT_EQ(x->toolTip().toStdString(), c.hint()) << name;
            ++bound;
        });
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
            Form1View view(model, platform);
            view.show();
            model.chip.ProgramMemory[0] = 0x2800;  // goto 0
            QTimer::singleShot(100, &view, [&view] { view.close(); });
            view.findChild<QPushButton*>(QStringLiteral("ejecutar"))->click();
            std::fputs("the run went on after the window closed\n", stderr);
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
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
    QDir(second.path()).mkdir(QStringLiteral("carpeta"));
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
        auto* tree = d->findChild<QTreeView*>(QStringLiteral("treeView"));
        QHeaderView* h = tree->header();
        for (int i = 0; i < h->count(); ++i)
            EXPECT_LE(h->sectionViewportPosition(i) + h->sectionSize(i), h->viewport()->width());
        // A folder's kind and date in Spanish, whatever the locale ("Folder", "12/8/26 3:40 AM").
        QModelIndex kind;
        EXPECT_TRUE(test::WaitFor(
            [&] { return (kind = tree->model()->index(0, 2, tree->rootIndex())).isValid(); },
            5000));
        EXPECT_EQ(
            kind.data().toString() + " " +
                kind.siblingAtColumn(3).data().toString().remove(QRegularExpression("[^A-Za-z]")),
            "Carpeta ");
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

// ---------------------------------------------------------------- the start-up window

using vintrel::test::WaitFor;

QByteArray Http(const QByteArray& status, const QByteArray& body, qsizetype length = -1) {
    return status + "\r\nContent-Length: " + QByteArray::number(length < 0 ? body.size() : length) +
           "\r\nConnection: close\r\n\r\n" + body;
}

// Answers each request with `head` after `delayMs` (or never, without one); then, with a
// `piece`, that piece again and again (every `paceMs`, or as fast as the client takes it) while
// the client stays, else it closes.
class Server {
  public:
    explicit Server(std::optional<QByteArray> head, QByteArray piece = {}, int delayMs = 0,
                    int paceMs = 0) {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
        QObject::connect(&server_, &QTcpServer::newConnection, [=, this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::disconnected, s, [this] { closed = true; });
                QObject::connect(s, &QTcpSocket::readyRead, s, [=, this] {
                    const QByteArray request = s->readAll();
                    requests.push_back(request.left(request.indexOf("\r\n")));
                    if (head)
                        QTimer::singleShot(delayMs, s,
                                           [=, this] { answer(s, *head, piece, paceMs); });
                });
            }
        });
    }
    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/quorvan/update/vintrel.upd")
            .arg(server_.serverPort());
    }
    std::vector<QByteArray> requests;
    qint64 written = 0;
    bool closed = false;

  private:
    void answer(QTcpSocket* s, const QByteArray& head, const QByteArray& piece, int paceMs) {
        s->write(head);
        if (piece.isEmpty()) return s->disconnectFromHost();
        auto* pace = new QTimer(s);
        QObject::connect(pace, &QTimer::timeout, s, [=, this] {
            while (s->state() == QAbstractSocket::ConnectedState && s->bytesToWrite() < 65536 &&
                   written < (qint64{256} << 20)) {
                written += s->write(piece);
                if (paceMs > 0) break;
            }
        });
        pace->start(paceMs);
    }
    QTcpServer server_;
};

// A start-up window on a scripted platform whose yields run the event loop.
struct Startup {
    Startup(const QString& url, int interval) {
        platform.onYield = [] { QCoreApplication::processEvents(); };
        clock.start();
        form = new Form2(
            platform, url, [this] { shownAt = clock.elapsed(); }, interval);
        QObject::connect(form, &Form2::updateChecked, form, [this] { checked = true; });
        form->show();
    }
    ~Startup() { delete form.data(); }
    bool timerRunning() const {
        return form->findChild<QTimer*>(QStringLiteral("Timer1"))->isActive();
    }

    ScriptedPlatform platform;
    QElapsedTimer clock;
    QPointer<Form2> form;
    qint64 shownAt = -1;
    bool checked = false;
};

const QByteArray kNewer = "1.2.3\nhttp://127.0.0.1/nueva/vintrel-1.2.3.deb\n";

// The version shown; a newer version asked about (the body read in chunks of 1024, a yield after
// each and after the empty last one); No shows the main window 2500 ms after the answer. (Yes is
// the real program's test.)
TEST(Form2, NewerVersionAsksAndNoShowsTheMainWindow2500msAfterTheAnswer) {
    Server server(Http("HTTP/1.1 200 OK", kNewer + QByteArray(3000, ' ')));
    Startup s(server.url(), Form2::kTimerInterval);
    qint64 answeredAt = -1;
    s.platform.sink = [&](const std::string&) { answeredAt = s.clock.elapsed(); };
    ASSERT_TRUE(WaitFor([&] { return s.checked; }, 2000));
    EXPECT_EQ(server.requests, std::vector<QByteArray>{"GET /quorvan/update/vintrel.upd HTTP/1.1"});
    EXPECT_EQ(
        s.platform.events,
        std::vector<std::string>{"message " + JsonString(UpdateQuestion({1, 1, 0}, {1, 2, 3}))});
    EXPECT_EQ(s.platform.lastButtons, MessageButtons::YesNo);
    EXPECT_EQ(s.platform.yields, 4);
    EXPECT_EQ(s.form->findChild<QLabel*>(QStringLiteral("Label4"))->text(), "vers. 1.1.0");
    ASSERT_TRUE(WaitFor([&] { return s.form.isNull(); }, 5000));
    EXPECT_GE(s.shownAt - answeredAt, Form2::kTimerInterval - 20);
    EXPECT_LT(s.shownAt - answeredAt, Form2::kTimerInterval + 700);
}

// Nothing asked, the timer left running, the connection ended: an error status, a redirect
// (not followed), an answer cut short or not HTTP, no server, a body longer than any update
// file (not even read whole), a head that never ends (by the head's bounds).
TEST(Form2, NothingIsAskedFor) {
    Server elsewhere(Http("HTTP/1.1 200 OK", kNewer));
    const QByteArray ok = "HTTP/1.1 200 OK";
    const struct {
        const char* what;
        std::optional<QByteArray> head;  // none: nobody listens
        QByteArray piece = {};           // sent for ever
    } cases[] = {
        {"status 404", Http("HTTP/1.1 404 Not Found", kNewer)},
        {"redirect", Http("HTTP/1.1 302 Found\r\nLocation: " + elsewhere.url().toUtf8(), kNewer)},
        {"cut short", Http(ok, kNewer, 100)},
        {"not HTTP", kNewer},
        {"over 64 KiB", Http(ok, kNewer + QByteArray(kMaxUpdateBody, 'a'))},
        {"closed port", std::nullopt},
        {"endless body", Http(ok, "9.9.9 http://h/", 1 << 30), QByteArray(16384, 'a')},
        {"header lines", ok + "\r\n", "X-Relleno: aaaaaaaaaaaaaaaaaaaaaaaaaa\r\n"},
        {"status line", ok, "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
        {"100 Continue", "", "HTTP/1.1 100 Continue\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Server server(c.head, c.piece);
        QString url = server.url();
        if (!c.head) url.replace(QString::number(QUrl(url).port()), QStringLiteral("1"));
        Startup s(url, 10000);
        ASSERT_TRUE(WaitFor([&] { return s.checked; }, 10000));
        EXPECT_TRUE(s.platform.events.empty());
        EXPECT_TRUE(s.timerRunning());
        EXPECT_TRUE(!c.head || WaitFor([&] { return server.closed; }, 2000));
        EXPECT_LT(server.written, qint64{32} << 20);
        if (c.piece.size() > 1000) {
            EXPECT_EQ(s.form->bodyBytesRead(), Form2::kBodyLimit);
        }
    }
    EXPECT_TRUE(elsewhere.requests.empty());
}

// The check only counts while the start-up window exists: a server that sends its head a byte
// every 20 ms delays nothing, and an answer that comes (or is still being read) when the timer
// ends is dropped, its connection with it.
TEST(Form2, TheTimerWinsOverALateAnswer) {
    for (const int delay : {-1, 600, 0}) {
        SCOPED_TRACE(delay);
        const QByteArray late = Http("HTTP/1.1 200 OK", kNewer + QByteArray(8000, ' '));
        Server server(delay < 0 ? "HTTP/1.1 200 OK\r\nX-Relleno: " : late, delay < 0 ? "a" : "",
                      std::max(delay, 0), 20);
        Startup s(server.url(), delay == 0 ? 10000 : 300);
        int yields = 0;
        s.platform.onYield = [&] {
            if (++yields == 3) s.form->findChild<QTimer*>(QStringLiteral("Timer1"))->start(0);
            QCoreApplication::processEvents();
        };
        ASSERT_TRUE(WaitFor([&] { return s.form.isNull(); }, 3000));
        if (delay != 0) {
            EXPECT_GE(s.shownAt, 300 - 20);
        }
        EXPECT_TRUE(WaitFor([&] { return server.closed; }, 2000));
        WaitFor([] { return false; }, delay < 0 ? 0 : 800);
        EXPECT_EQ(server.requests.size(), 1u);
        EXPECT_TRUE(s.platform.events.empty());
        EXPECT_FALSE(s.checked);
    }
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
    QApplication::setQuitOnLastWindowClosed(false);  // windows come and go between the tests
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    if (!vintrel::InstallSpanishQtTranslations()) {
        std::fputs("qtbase_es not found (Debian: qt6-translations-l10n)\n", stderr);
        return 1;
    }
    return RUN_ALL_TESTS();
}
