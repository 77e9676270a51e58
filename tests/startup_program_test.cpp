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
#include <map>
#include <vector>

#include "qt_wait.h"

namespace {

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
        // Xvfb picks a free display and writes its number to descriptor 1; it must not reset
        // when a client leaves, or the program may meet a server restarting.
        x_.start(xvfb, QStringLiteral("-displayfd 1 -noreset -nolisten tcp -screen 0 1024x768x24")
                           .split(QLatin1Char(' ')));
        ASSERT_TRUE(
            WaitFor([&] { return x_.canReadLine() || x_.state() == QProcess::NotRunning; }, 15000));
        display_ = QStringLiteral(":") + QString::fromLatin1(x_.readLine().trimmed());
        ASSERT_TRUE(WaitFor(
            [&] { return !xdotool({QStringLiteral("getdisplaygeometry")})[0].isEmpty(); }, 15000));
        // The application directory: the program and an updater that records its arguments.
        ASSERT_TRUE(QFile::copy(QStringLiteral(VINTREL_LOOPBACK_PROGRAM),
                                dir_.filePath(QStringLiteral("vintrel"))));
        QFile upd(dir_.filePath(QStringLiteral("upd.exe")));
        ASSERT_TRUE(upd.open(QIODevice::WriteOnly));
        upd.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/upd.args\"\n");
        upd.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        upd.close();
        ASSERT_TRUE(server_.listen(QHostAddress(QStringLiteral(VINTREL_LOOPBACK_HOST)),
                                   VINTREL_LOOPBACK_PORT));
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection())
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    const QByteArray request = s->readAll(),
                                     file = "1.2.3\nhttp://127.0.0.1/v.deb\n";
                    requests.push_back(request.left(request.indexOf("\r\n")));
                    s->write(
                        "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(file.size()) +
                        "\r\nConnection: close\r\n\r\n" + file);
                    s->disconnectFromHost();
                });
        });
    }
    void TearDown() override {
        for (QProcess* p : {&app_, &x_}) {
            p->terminate();
            if (!p->waitForFinished(15000)) p->kill(), p->waitForFinished();
        }
    }
    // Runs xdotool with DISPLAY set, the event loop (and so the server) going on; its output lines.
    QList<QByteArray> xdotool(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display_);
        p.setProcessEnvironment(env);
        p.start(xdotool_, args);
        EXPECT_TRUE(WaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000));
        return p.readAllStandardOutput().split('\n');
    }
    // The program's visible windows by id, with their sizes.
    std::map<QByteArray, QSize> windows() {
        std::map<QByteArray, QSize> found;
        for (const QByteArray& id : xdotool(QStringLiteral("search --onlyvisible --pid %1")
                                                .arg(app_.processId())
                                                .split(QLatin1Char(' ')))) {
            const auto g = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                                    QString::fromLatin1(id)});
            if (!id.isEmpty() && g.size() > 4)
                found[id] = QSize(g[3].mid(6).toInt(), g[4].mid(7).toInt());
        }
        return found;
    }
    // Starts the program and answers the update question over the start-up window with `key`
    // once the question has the keyboard, as it has for a person (setting the focus from outside
    // would hide a fault: the program then survives an answer that otherwise ends it).
    void startAndAnswer(const char* key) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display_);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
        app_.setProcessEnvironment(env);
        app_.start(dir_.filePath(QStringLiteral("vintrel")), {});
        ASSERT_TRUE(WaitFor(
            [&] {
                for (const auto& [id, size] : windows())
                    (size == QSize(405, 195) ? splash_ : question_) = id;
                return !splash_.isEmpty() && !question_.isEmpty();
            },
            20000));
        EXPECT_EQ(requests, std::vector<QByteArray>{"GET /quorvan/update/vintrel.upd HTTP/1.1"});
        ASSERT_TRUE(WaitFor(
            [&] { return xdotool({QStringLiteral("getwindowfocus")})[0] == question_; }, 5000));
        answered_.start();
        xdotool({QStringLiteral("key"), QString::fromLatin1(key)});
    }
    QByteArray updaterArguments() const {
        QFile args(dir_.filePath(QStringLiteral("upd.args")));
        return args.open(QIODevice::ReadOnly) ? args.readAll() : QByteArray();
    }

    QString xdotool_, display_;
    QProcess x_, app_;
    QTemporaryDir dir_;
    QTcpServer server_;
    std::vector<QByteArray> requests;
    QByteArray splash_, question_;
    QElapsedTimer answered_;
};

// No (Escape) leaves the program running and shows the main window alone 2500 ms later.
TEST_F(Program, NoShowsTheMainWindowAfterTheTimer) {
    ASSERT_NO_FATAL_FAILURE(startAndAnswer("Escape"));
    std::map<QByteArray, QSize> shown;
    ASSERT_TRUE(
        WaitFor([&] { return (shown = windows()).size() == 1 && !shown.count(splash_); }, 7500));
    EXPECT_GE(answered_.elapsed(), 2500);
    EXPECT_LT(answered_.elapsed(), 4000);
    EXPECT_EQ(shown.begin()->second, QSize(777, 538));
    WaitFor([] { return false; }, 500);
    EXPECT_EQ(app_.state(), QProcess::Running);
    EXPECT_TRUE(updaterArguments().isEmpty());
}

// Yes (Return: the default button) starts the updater with the address, its final line break
// and " &", and ends the program at once without showing the main window.
TEST_F(Program, YesStartsTheUpdaterAndEnds) {
    ASSERT_NO_FATAL_FAILURE(startAndAnswer("Return"));
    bool mainShown = false;
    ASSERT_TRUE(WaitFor(
        [&] {
            for (const auto& [id, size] : windows())
                mainShown = mainShown || size == QSize(777, 538);
            return app_.state() == QProcess::NotRunning;
        },
        5000));
    EXPECT_EQ(app_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app_.exitCode(), 0);
    EXPECT_FALSE(mainShown);
    EXPECT_TRUE(WaitFor([&] { return !updaterArguments().isEmpty(); }, 5000));
    EXPECT_EQ(updaterArguments(), "http://127.0.0.1/v.deb\n\n&\n");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
