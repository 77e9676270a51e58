// The start-up window against a real HTTP server on the loopback interface: the question, the
// answers and the timer, and an answer that must not be looked at or not read whole.
// Before any Qt header: Qt's `emit` keyword is a macro that would eat a member of the same name.
#include "host/scripted_platform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QNetworkProxy>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>
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

// Answers each request with `response` after `delayMs`, or never; in `endless` mode with a
// body that never ends (chunked, or 1 GiB announced), as fast as the client takes it.
class Server {
  public:
    explicit Server(std::optional<QByteArray> response, int delayMs = 0, bool chunked = false)
        : response_(std::move(response)), delay_(delayMs), chunked_(chunked) {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection())
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { answer(s); });
        });
    }
    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/quorvan/update/vintrel.upd")
            .arg(server_.serverPort());
    }
    std::vector<QByteArray> requests;
    qint64 written = 0;
    bool endless = false;

  private:
    void answer(QTcpSocket* s) {
        const QByteArray request = s->readAll();
        requests.push_back(request.left(request.indexOf("\r\n")));
        if (endless) {
            s->write(chunked_ ? "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                              : "HTTP/1.1 200 OK\r\nContent-Length: 1073741824\r\n\r\n");
            auto more = [this, s] {
                const QByteArray piece = "9.9.9 http://h/" + QByteArray(16384, 'a');
                while (s->state() == QAbstractSocket::ConnectedState && s->bytesToWrite() < 65536 &&
                       written < (qint64{256} << 20)) {
                    s->write(chunked_
                                 ? QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n"
                                 : piece);
                    written += piece.size();
                }
            };
            QObject::connect(s, &QTcpSocket::bytesWritten, s, more);
            more();
        } else if (response_) {
            QTimer::singleShot(delay_, s, [s, r = *response_] {
                s->write(r);
                s->disconnectFromHost();
            });
        }
    }
    QTcpServer server_;
    std::optional<QByteArray> response_;
    int delay_;
    bool chunked_;
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

TEST(Form2, LabelsShowTheVersionAndFitTheirPlaces) {
    Startup s(QString(), 10000);
    EXPECT_EQ(s.form->size(), QSize(405, 195));
    EXPECT_EQ(s.form->palette().color(QPalette::Window), QColor(64, 0, 64));
    const struct {
        const char* name;
        QRect geometry;
        int points;
    } labels[] = {
        {"Label1", {8, 16, 391, 56}, 24},   {"Label4", {88, 72, 255, 37}, 24},
        {"Label3", {88, 128, 303, 21}, 12}, {"Label2", {112, 152, 255, 13}, 8},
        {"Label5", {112, 168, 255, 13}, 8},
    };
    for (const auto& l : labels) {
        const auto* label = s.form->findChild<QLabel*>(QString::fromLatin1(l.name));
        ASSERT_NE(label, nullptr) << l.name;
        EXPECT_EQ(label->geometry(), l.geometry) << l.name;
        EXPECT_EQ(label->font().pointSize(), l.points) << l.name;
        const QFontMetrics metrics(label->font());
        EXPECT_LE(metrics.horizontalAdvance(label->text()), l.geometry.width()) << l.name;
    }
    EXPECT_EQ(s.form->findChild<QLabel*>(QStringLiteral("Label4"))->text(), "vers. 1.1.0");
}

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
    EXPECT_EQ(s.platform.yields, 4);  // after each chunk of 1024, the empty last one too
    ASSERT_TRUE(WaitFor([&] { return s.form.isNull(); }, 5000));
    EXPECT_GE(s.shownAt - answeredAt, Form2::kTimerInterval - 20);
    EXPECT_LT(s.shownAt - answeredAt, Form2::kTimerInterval + 700);
}

TEST(Form2, YesStartsTheUpdaterWithTheAddressAndEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Server server(Http("HTTP/1.1 200 OK", kNewer));
    EXPECT_EXIT(
        {
            Startup s(server.url(), 10000);
            s.platform.appPath = "/usr/lib/vintrel";
            s.platform.answers = {true};
            s.platform.onEnd = [&s] {
                for (const auto& e : s.platform.events)
                    std::fprintf(stderr, "%s\n", e.c_str());
                std::fprintf(stderr, "%s\n", s.shownAt < 0 ? "" : "main window");
                std::_Exit(3);
            };
            WaitFor([&] { return s.checked; }, 3000);
        },
        testing::ExitedWithCode(3),
        "\nlaunch \"/usr/lib/vintrel/upd.exe http://127.0.0.1/nueva/vintrel-1.2.3.deb\\\\n &\" "
        "minimized\nend\n\n$");
}

// Nothing asked, the timer left running: an error status, a redirect (not followed), an answer
// cut short or not HTTP, no server, a body longer than any update file (not even read whole).
TEST(Form2, NothingIsAskedFor) {
    Server elsewhere(Http("HTTP/1.1 200 OK", kNewer));
    const struct {
        const char* what;
        std::optional<QByteArray> response;  // none: nobody listens
        int endless = 0;                     // 1 chunked, 2 1 GiB announced
    } cases[] = {
        {"status 404", Http("HTTP/1.1 404 Not Found", kNewer)},
        {"redirect", Http("HTTP/1.1 302 Found\r\nLocation: " + elsewhere.url().toUtf8(), kNewer)},
        {"cut short", Http("HTTP/1.1 200 OK", kNewer, 100)},
        {"not HTTP", kNewer},
        {"over 64 KiB", Http("HTTP/1.1 200 OK", kNewer + QByteArray(kMaxUpdateBody, 'a'))},
        {"closed port", std::nullopt},
        {"endless, chunked", QByteArray(), 1},
        {"endless, 1 GiB announced", QByteArray(), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Server server(c.response, 0, c.endless == 1);
        server.endless = c.endless != 0;
        QString url = server.url();
        if (!c.response) url.replace(QString::number(QUrl(url).port()), QStringLiteral("1"));
        Startup s(url, 10000);
        ASSERT_TRUE(WaitFor([&] { return s.checked; }, 10000));
        EXPECT_TRUE(s.platform.events.empty());
        EXPECT_TRUE(s.timerRunning());
        if (c.endless) {
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
