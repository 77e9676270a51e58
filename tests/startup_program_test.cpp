// The real program on a virtual X display: its update question, a real message box in its real
// event loop, answered with real key presses (xdotool), against an update server on the loopback
// address this copy of the program was built for.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QSize>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "qt_wait.h"

namespace {

constexpr int kTimerInterval = 2500;
const QSize kSplashSize(405, 195);
const QByteArray kUpdateFile = "1.2.3\nhttp://127.0.0.1/nueva/vintrel-1.2.3.deb\n";

using vintrel::test::WaitFor;

class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        xdotool_ = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (xvfb.isEmpty() || xdotool_.isEmpty()) {
            // CI installs both and must not pass by skipping.
            if (qEnvironmentVariableIsSet("CI")) FAIL() << "Xvfb or xdotool is missing";
            GTEST_SKIP() << "needs Xvfb and xdotool";
        }

        // Xvfb picks a free display and writes its number to the descriptor given; it must not
        // reset when a client leaves, or the program's connection may meet a server restarting.
        x_.start(xvfb,
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                  QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1024x768x24")});
        ASSERT_TRUE(
            WaitFor([&] { return x_.canReadLine() || x_.state() == QProcess::NotRunning; }, 15000));
        const QByteArray number = x_.readLine().trimmed();
        ASSERT_FALSE(number.isEmpty()) << "Xvfb did not start";
        display_ = QStringLiteral(":") + QString::fromLatin1(number);
        // A client can talk to it before the program starts (a loaded machine is slow).
        ASSERT_TRUE(WaitFor(
            [&] { return !xdotool({QStringLiteral("getdisplaygeometry")}).value(0).isEmpty(); },
            15000))
            << "no client reaches " << display_.toStdString();

        // The application directory: the program and a stand-in updater recording its arguments.
        ASSERT_TRUE(dir_.isValid());
        program_ = dir_.filePath(QStringLiteral("vintrel"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VINTREL_LOOPBACK_PROGRAM), program_));
        QFile upd(dir_.filePath(QStringLiteral("upd.exe")));
        ASSERT_TRUE(upd.open(QIODevice::WriteOnly));
        upd.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/upd.args\"\n");
        upd.close();
        upd.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        ASSERT_TRUE(server_.listen(QHostAddress(QStringLiteral(VINTREL_LOOPBACK_HOST)),
                                   VINTREL_LOOPBACK_PORT))
            << server_.errorString().toStdString();
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                serve(socket);
        });
    }

    void TearDown() override {
        // The X server is given time to remove its socket, which the next case's server may
        // otherwise find taken away under it.
        for (QProcess* p : {&app_, &x_}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(15000)) {
                p->kill();
                p->waitForFinished();
            }
        }
    }

    void serve(QTcpSocket* socket) {
        auto received = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
            *received += socket->readAll();
            if (!received->contains("\r\n\r\n")) return;
            requests.push_back(received->left(received->indexOf("\r\n")));
            socket->write(
                "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(kUpdateFile.size()) +
                "\r\nConnection: close\r\n\r\n" + kUpdateFile);
            socket->disconnectFromHost();
        });
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display_);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
        return env;
    }

    // Runs xdotool to its end while the update server goes on serving; its output lines.
    QList<QByteArray> xdotool(const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(xdotool_, args);
        EXPECT_TRUE(WaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000))
            << args.join(QLatin1Char(' ')).toStdString();
        return p.readAllStandardOutput().split('\n');
    }

    // The program's visible windows and their sizes.
    std::map<QByteArray, QSize> windows() {
        std::map<QByteArray, QSize> found;
        const QString pid = QString::number(app_.processId());
        for (const QByteArray& id :
             xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                      QStringLiteral("--pid"), pid})) {
            if (id.isEmpty()) continue;
            QSize size;
            for (const QByteArray& line :
                 xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                          QString::fromLatin1(id)})) {
                if (line.startsWith("WIDTH=")) size.setWidth(line.mid(6).toInt());
                if (line.startsWith("HEIGHT=")) size.setHeight(line.mid(7).toInt());
            }
            if (size.isValid()) found[id] = size;
        }
        return found;
    }

    // Starts the program and waits for its question over the start-up window; the question's
    // window.
    QByteArray startAndWaitForTheQuestion() {
        app_.setProcessEnvironment(environment());
        app_.setProcessChannelMode(QProcess::ForwardedChannels);
        app_.start(program_, {});
        EXPECT_TRUE(app_.waitForStarted(10000));
        QByteArray question;
        EXPECT_TRUE(WaitFor(
            [&] {
                if (app_.state() == QProcess::NotRunning) return true;
                const auto shown = windows();
                if (shown.size() != 2) return false;
                for (const auto& [id, size] : shown) {
                    if (size == kSplashSize)
                        splash_ = id;
                    else
                        question = id;
                }
                return !splash_.isEmpty() && !question.isEmpty();
            },
            20000));
        EXPECT_EQ(requests, std::vector<QByteArray>{"GET /quorvan/update/vintrel.upd HTTP/1.1"});
        return question;
    }

    // The question takes the keyboard as it opens, as it does for a person; the keys go to
    // whatever window has it. (Setting the focus from outside would hide a fault: the program
    // then survives an answer that otherwise ends it.)
    bool hasTheFocus(const QByteArray& window) {
        return WaitFor(
            [&] { return xdotool({QStringLiteral("getwindowfocus")}).value(0) == window; }, 5000);
    }

    QByteArray updaterArguments() const {
        QFile args(dir_.filePath(QStringLiteral("upd.args")));
        return args.open(QIODevice::ReadOnly) ? args.readAll() : QByteArray();
    }

    QString xdotool_;
    QProcess x_;
    QString display_;
    QTemporaryDir dir_;
    QString program_;
    QTcpServer server_;
    QProcess app_;
    QByteArray splash_;
    std::vector<QByteArray> requests;
};

// No (Escape) leaves the program running and shows the main window 2500 ms after the answer.
TEST_F(Program, NoShowsTheMainWindowAfterTheTimer) {
    const QByteArray question = startAndWaitForTheQuestion();
    ASSERT_FALSE(question.isEmpty());
    ASSERT_TRUE(hasTheFocus(question));

    QElapsedTimer clock;
    clock.start();
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    QByteArray main;
    ASSERT_TRUE(WaitFor(
        [&] {
            if (app_.state() == QProcess::NotRunning) return true;
            for (const auto& [id, size] : windows())
                if (id != splash_ && id != question) main = id;
            return !main.isEmpty();
        },
        kTimerInterval + 5000));
    const qint64 shownAfter = clock.elapsed();
    ASSERT_EQ(app_.state(), QProcess::Running) << "the program ended on No";
    ASSERT_FALSE(main.isEmpty());
    EXPECT_GE(shownAfter, kTimerInterval);
    EXPECT_LT(shownAfter, kTimerInterval + 1500);

    // The start-up window is gone and the program stays.
    WaitFor([] { return false; }, 500);
    EXPECT_EQ(app_.state(), QProcess::Running);
    const auto shown = windows();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown.begin()->first, main);
    EXPECT_TRUE(updaterArguments().isEmpty());
}

// Yes (the default button) starts the updater with the address, final line break and " &"
// included, and ends the program at once without showing the main window.
TEST_F(Program, YesStartsTheUpdaterAndEnds) {
    const QByteArray question = startAndWaitForTheQuestion();
    ASSERT_FALSE(question.isEmpty());
    ASSERT_TRUE(hasTheFocus(question));
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});

    bool mainShown = false;
    ASSERT_TRUE(WaitFor(
        [&] {
            if (app_.state() == QProcess::NotRunning) return true;
            for (const auto& [id, size] : windows())
                mainShown = mainShown || (id != splash_ && id != question);
            return false;
        },
        5000));
    EXPECT_EQ(app_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app_.exitCode(), 0);
    EXPECT_FALSE(mainShown);
    // The updater is not waited for.
    EXPECT_TRUE(WaitFor([&] { return !updaterArguments().isEmpty(); }, 5000));
    EXPECT_EQ(updaterArguments(), "http://127.0.0.1/nueva/vintrel-1.2.3.deb\n\n&\n");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
