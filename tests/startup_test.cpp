// The start-up window against a real HTTP server on the loopback interface: the question, the
// answers and the timer, and an answer that must not be looked at or not read whole.
// Before any Qt header: Qt's `emit` keyword is a macro that would eat a member of the same name.
#include "host/scripted_platform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QNetworkProxy>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <optional>
#include <string>
#include <vector>

#include "qt/form2.h"
#include "qt_wait.h"

namespace vintrel {
namespace {

using vintrel::test::WaitFor;

QByteArray Http(const QByteArray& status, const QByteArray& body, qsizetype length = -1) {
    return status + "\r\nContent-Length: " + QByteArray::number(length < 0 ? body.size() : length) +
           "\r\nConnection: close\r\n\r\n" + body;
}

// Answers each request with `response` after `delayMs`, or never; "endless" is a body of 1 GiB
// announced, written as fast as the client takes it.
class Server {
  public:
    explicit Server(std::optional<QByteArray> response, int delayMs = 0) {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
        QObject::connect(&server_, &QTcpServer::newConnection, [this, response, delayMs] {
            while (QTcpSocket* s = server_.nextPendingConnection())
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, response, delayMs] {
                    const QByteArray request = s->readAll();
                    requests.push_back(request.left(request.indexOf("\r\n")));
                    if (response == "endless") return endless(s);
                    if (!response) return;
                    QTimer::singleShot(delayMs, s, [s, r = *response] {
                        s->write(r);
                        s->disconnectFromHost();
                    });
                });
        });
    }
    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/quorvan/update/vintrel.upd")
            .arg(server_.serverPort());
    }
    std::vector<QByteArray> requests;
    qint64 written = 0;

  private:
    void endless(QTcpSocket* s) {
        s->write("HTTP/1.1 200 OK\r\nContent-Length: 1073741824\r\n\r\n9.9.9 http://h/");
        auto more = [this, s] {
            while (s->state() == QAbstractSocket::ConnectedState && s->bytesToWrite() < 65536 &&
                   written < (qint64{256} << 20)) {
                s->write(QByteArray(16384, 'a'));
                written += 16384;
            }
        };
        QObject::connect(s, &QTcpSocket::bytesWritten, s, more);
        more();
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

// Nothing asked, the timer left running: an error status, a redirect (not followed), an answer
// cut short or not HTTP, no server, a body longer than any update file (not even read whole).
TEST(Form2, NothingIsAskedFor) {
    Server elsewhere(Http("HTTP/1.1 200 OK", kNewer));
    const struct {
        const char* what;
        std::optional<QByteArray> response;  // none: nobody listens
    } cases[] = {
        {"status 404", Http("HTTP/1.1 404 Not Found", kNewer)},
        {"redirect", Http("HTTP/1.1 302 Found\r\nLocation: " + elsewhere.url().toUtf8(), kNewer)},
        {"cut short", Http("HTTP/1.1 200 OK", kNewer, 100)},
        {"not HTTP", kNewer},
        {"over 64 KiB", Http("HTTP/1.1 200 OK", kNewer + QByteArray(kMaxUpdateBody, 'a'))},
        {"closed port", std::nullopt},
        {"endless", "endless"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Server server(c.response);
        QString url = server.url();
        if (!c.response) url.replace(QString::number(QUrl(url).port()), QStringLiteral("1"));
        Startup s(url, 10000);
        ASSERT_TRUE(WaitFor([&] { return s.checked; }, 10000));
        EXPECT_TRUE(s.platform.events.empty());
        EXPECT_TRUE(s.timerRunning());
        if (c.response == "endless") {
            EXPECT_EQ(s.form->bodyBytesRead(), Form2::kBodyLimit);
            EXPECT_LT(server.written, qint64{32} << 20);  // the connection was dropped
        }
    }
    EXPECT_TRUE(elsewhere.requests.empty());
}

// The check only counts while the start-up window exists: a server that never answers delays
// nothing, and an answer that comes (or is still being read) when the timer ends is dropped.
TEST(Form2, TheTimerWinsOverALateAnswer) {
    for (const int delay : {-1, 600, 0}) {
        SCOPED_TRACE(delay);
        Server server(delay < 0
                          ? std::nullopt
                          : std::optional(Http("HTTP/1.1 200 OK", kNewer + QByteArray(8000, ' '))),
                      delay);
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
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    return RUN_ALL_TESTS();
}
