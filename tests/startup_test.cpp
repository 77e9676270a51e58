// The start-up window against a real HTTP server on the loopback interface, and the updater
// script it starts.
// Before any Qt header: Qt's `emit` keyword is a macro that would eat a member of the same name.
#include "host/scripted_platform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "qt/form2.h"
#include "qt_wait.h"

namespace vintrel {
namespace {

using vintrel::test::WaitFor;

QByteArray Http(const QByteArray& statusLine, const QByteArray& body,
                qsizetype contentLength = -1) {
    return statusLine + "\r\nContent-Type: text/plain\r\nContent-Length: " +
           QByteArray::number(contentLength < 0 ? body.size() : contentLength) +
           "\r\nConnection: close\r\n\r\n" + body;
}

QByteArray Ok(const QByteArray& body) {
    return Http("HTTP/1.1 200 OK", body);
}

QString UpdateUrl(quint16 port) {
    return QStringLiteral("http://127.0.0.1:%1/quorvan/update/vintrel.upd").arg(port);
}

// A server on the loopback interface that hands each connection to `serve`.
class LoopbackServer {
  public:
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;
    QString url() const { return UpdateUrl(server_.serverPort()); }

  protected:
    LoopbackServer() {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                serve(socket);
        });
    }
    virtual ~LoopbackServer() = default;
    virtual void serve(QTcpSocket* socket) = 0;

  private:
    QTcpServer server_;
};

// Answers every request with a canned response after a delay, or never.
class UpdateServer final : public LoopbackServer {
  public:
    explicit UpdateServer(std::optional<QByteArray> response, int delayMs = 0)
        : response_(std::move(response)), delayMs_(delayMs) {}

    // The request lines received.
    std::vector<QByteArray> requests;

  private:
    void serve(QTcpSocket* socket) override {
        auto received = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
            const bool complete = received->contains("\r\n\r\n");
            *received += socket->readAll();
            if (complete || !received->contains("\r\n\r\n")) return;
            requests.push_back(received->left(received->indexOf("\r\n")));
            if (!response_) return;
            QTimer::singleShot(delayMs_, socket, [socket, response = *response_] {
                socket->write(response);
                socket->disconnectFromHost();
            });
        });
    }

    std::optional<QByteArray> response_;
    int delayMs_;
};

QString ClosedPortUrl() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    return UpdateUrl(port);
}

// A start-up window on a scripted platform whose yields run the event loop.
struct Startup {
    Startup(const QString& url, int interval) {
        platform.onYield = [] { QCoreApplication::processEvents(); };
        clock.start();
        form = new Form2(
            platform, url,
            [this] {
                ++shown;
                shownAt = clock.elapsed();
            },
            interval);
        QObject::connect(form, &Form2::updateChecked, form, [this] { checked = true; });
        form->show();
    }
    ~Startup() { delete form.data(); }

    QTimer* timer() const { return form->findChild<QTimer*>(QStringLiteral("Timer1")); }

    ScriptedPlatform platform;
    QElapsedTimer clock;
    QPointer<Form2> form;
    int shown = 0;
    qint64 shownAt = -1;
    bool checked = false;
};

std::string Question(const char* found) {
    return "message " +
           JsonString(std::string("Hay actualizaciones disponibles\n(Versión actual: 1.1.0 - "
                                  "Versión nueva: ") +
                      found + ")\n¿Desea descargarla ahora?");
}

TEST(Form2, LabelsShowTheVersionAndFitTheirPlaces) {
    Startup s(QString(), 10000);
    EXPECT_EQ(s.form->size(), QSize(405, 195));
    EXPECT_EQ(s.form->palette().color(QPalette::Window), QColor(64, 0, 64));
    EXPECT_TRUE(s.timer()->isActive());

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
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::white)) << l.name;
        const QFontMetrics metrics(label->font());
        EXPECT_LE(metrics.horizontalAdvance(label->text()), l.geometry.width()) << l.name;
        EXPECT_LE(metrics.ascent() + metrics.descent(), l.geometry.height()) << l.name;
    }
    EXPECT_EQ(s.form->findChild<QLabel*>(QStringLiteral("Label4"))->text(),
              QStringLiteral("vers. 1.1.0"));
}

TEST(Form2, NewerVersionAsksAndNoShowsTheMainWindow2500msAfterTheAnswer) {
    UpdateServer server(Ok("1.2.3\nhttp://127.0.0.1/nueva/vintrel-1.2.3.deb\n"));
    Startup s(server.url(), Form2::kTimerInterval);
    s.platform.answers = {false};
    qint64 answeredAt = -1;
    s.platform.sink = [&](const std::string&) { answeredAt = s.clock.elapsed(); };

    ASSERT_TRUE(WaitFor([&] { return s.checked; }, 2000));
    ASSERT_EQ(server.requests, std::vector<QByteArray>{"GET /quorvan/update/vintrel.upd HTTP/1.1"});
    EXPECT_EQ(s.platform.events, std::vector<std::string>{Question("1.2.3")});
    EXPECT_EQ(s.platform.lastButtons, MessageButtons::YesNo);
    EXPECT_EQ(s.platform.lastAlign, MessageAlign::Default);

    ASSERT_TRUE(WaitFor([&] { return s.shown > 0; }, 5000));
    EXPECT_GE(s.shownAt - answeredAt, Form2::kTimerInterval - 20);
    EXPECT_LT(s.shownAt - answeredAt, Form2::kTimerInterval + 700);
    EXPECT_TRUE(WaitFor([&] { return s.form.isNull(); }, 1000));
    EXPECT_EQ(s.shown, 1);
    EXPECT_EQ(s.platform.events.size(), 1u);
}

TEST(Form2, YesStartsTheUpdaterWithTheAddressAndEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    UpdateServer server(Ok("1.2.3\nhttp://127.0.0.1/nueva/vintrel-1.2.3.deb\n"));
    EXPECT_EXIT(
        {
            Startup s(server.url(), 10000);
            s.platform.appPath = "/usr/lib/vintrel";
            s.platform.answers = {true};
            s.platform.onEnd = [&s] {
                for (const auto& e : s.platform.events)
                    std::fprintf(stderr, "%s\n", e.c_str());
                if (s.shown) std::fputs("main window\n", stderr);
                std::fflush(stderr);
                std::_Exit(3);
            };
            WaitFor([&] { return s.checked; }, 3000);
        },
        testing::ExitedWithCode(3),
        "\nlaunch \"/usr/lib/vintrel/upd.exe http://127.0.0.1/nueva/vintrel-1.2.3.deb\\\\n &\" "
        "minimized\nend\n$");
}

TEST(Form2, NewerVersionsAreOffered) {
    const QByteArray full =
        "9.0.0 http://h/" + QByteArray(static_cast<qsizetype>(kMaxUpdateBody) - 15, 'a');
    const struct {
        QByteArray body;
        const char* found;
    } cases[] = {
        {"2.0.0\r\nhttp://h/v.deb", "2.0.0"}, {" 1.1.1 http://h/v.deb", "1.1.1"},
        {"1.1000.0 http://h/", "1.1000.0"},  // as much as 2.0.0
        {"1.2.3.5 http://h/", "1.2.4"},       {full, "9.0.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.found);
        UpdateServer server(Ok(c.body));
        Startup s(server.url(), 10000);
        ASSERT_TRUE(WaitFor([&] { return s.checked; }, 3000));
        EXPECT_EQ(s.platform.events, std::vector<std::string>{Question(c.found)});
        // One chunk of 1024 at a time with a yield after each, the empty last one included.
        EXPECT_EQ(s.platform.yields, (c.body.size() + 1023) / 1024 + 1);
        EXPECT_TRUE(s.timer()->isActive());  // No enabled it again
    }
}

TEST(Form2, NothingIsAskedFor) {
    const QByteArray head = "9.9.9 http://h/";
    const struct {
        const char* what;
        std::optional<QByteArray> response;  // none: nothing listens
    } cases[] = {
        {"same version", Ok("1.1.0 http://h/v.deb")},
        {"older version", Ok("1.0.999 http://h/v.deb")},
        {"no address", Ok("2.0.0\n")},
        {"one dot", Ok("2.0 http://h/v.deb")},
        {"status 404", Http("HTTP/1.1 404 Not Found", head)},
        {"status 500", Http("HTTP/1.1 500 Internal Server Error", head)},
        {"two words as address", Ok(head + "a b")},
        {"over 64 KiB", Ok(head + QByteArray(static_cast<qsizetype>(kMaxUpdateBody), 'a'))},
        {"4 MiB", Ok(head + QByteArray(4 << 20, 'a'))},
        {"cut short", Http("HTTP/1.1 200 OK", head, 100)},
        {"not HTTP", QByteArray("9.9.9 http://h/\r\n")},
        {"closed port", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<UpdateServer> server;
        if (c.response) server.emplace(*c.response);
        Startup s(server ? server->url() : ClosedPortUrl(), 10000);
        ASSERT_TRUE(WaitFor([&] { return s.checked; }, 5000));
        if (server) {
            EXPECT_GE(server->requests.size(), 1u);  // a garbled answer is retried
        }
        EXPECT_TRUE(s.platform.events.empty());
        EXPECT_EQ(s.shown, 0);
        EXPECT_TRUE(s.timer()->isActive());
    }
}

// Answers with a body that never ends, written as fast as the client takes it (or in small
// pieces when `pieceDelayMs` is set) in one of the transfer encodings, until the client goes
// away or a bound far beyond the update file is reached.
class EndlessServer final : public LoopbackServer {
  public:
    enum class Framing { Chunked, Length, Close };
    static constexpr qint64 kBound = qint64{256} << 20;

    EndlessServer(Framing framing, int pieceDelayMs) : framing_(framing), delay_(pieceDelayMs) {}

    qint64 written = 0;
    bool closedByClient = false;

  private:
    void serve(QTcpSocket* socket) override {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            if (started_) return;
            started_ = true;
            socket->readAll();
            QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
            if (framing_ == Framing::Chunked) head += "Transfer-Encoding: chunked\r\n";
            if (framing_ == Framing::Length) head += "Content-Length: 1073741824\r\n";
            if (framing_ == Framing::Close) head += "Connection: close\r\n";
            socket->write(head + "\r\n");
            send(socket, "9.9.9 http://h/");
            more(socket);
        });
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket] {
            if (delay_ == 0) more(socket);
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
            closedByClient = written < kBound;
            socket->deleteLater();
        });
    }
    void more(QTcpSocket* socket) {
        if (socket->state() != QAbstractSocket::ConnectedState || written >= kBound) return;
        const QByteArray piece(delay_ == 0 ? 16384 : 512, 'a');
        while (socket->bytesToWrite() < 65536 && written < kBound) {
            send(socket, piece);
            if (delay_ != 0) {
                QTimer::singleShot(delay_, socket, [this, socket] { more(socket); });
                return;
            }
        }
    }

    void send(QTcpSocket* socket, const QByteArray& bytes) {
        socket->write(framing_ == Framing::Chunked
                          ? QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n"
                          : bytes);
        written += bytes.size();
    }

    Framing framing_;
    int delay_;
    bool started_ = false;
};

// Whatever the framing and pace of an endless body, the transfer stops once it is longer than
// any update file can be: no more than that is ever held, and the connection is dropped.
TEST(Form2, EndlessBodyIsCutOffAtTheLargestUpdateFile) {
    using Framing = EndlessServer::Framing;
    const struct {
        const char* what;
        Framing framing;
        int pieceDelayMs;
    } cases[] = {
        {"chunked, fast", Framing::Chunked, 0},
        {"chunked, slow", Framing::Chunked, 1},
        {"1 GiB announced", Framing::Length, 0},
        {"until closed", Framing::Close, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EndlessServer server(c.framing, c.pieceDelayMs);
        Startup s(server.url(), 10000);
        auto* reply = s.form->findChild<QNetworkReply*>();
        ASSERT_NE(reply, nullptr);
        bool aborted = false;
        QObject::connect(reply, &QNetworkReply::finished, reply, [&aborted, reply] {
            aborted = reply->error() == QNetworkReply::OperationCanceledError;
        });
        ASSERT_TRUE(WaitFor([&] { return s.checked; }, 10000));
        EXPECT_TRUE(aborted);
        EXPECT_EQ(s.form->bodyBytesRead(), Form2::kBodyLimit);
        EXPECT_TRUE(s.platform.events.empty());
        EXPECT_TRUE(s.timer()->isActive());
        // The connection is dropped, not left to fill.
        EXPECT_TRUE(WaitFor([&] { return server.closedByClient; }, 5000));
        // Socket buffers hold a few MiB at most; a client that kept reading would take all.
        EXPECT_LT(server.written, qint64{32} << 20);
    }
}

// A redirect is not followed, to another server or to the same one: the answer is not 200.
TEST(Form2, RedirectsAreNotFollowed) {
    UpdateServer elsewhere(Ok("9.9.9 http://h/v.deb"));
    const QByteArray moved[] = {
        "Location: " + elsewhere.url().toUtf8(),
        QByteArray("Location: /quorvan/update/otra.upd"),
    };
    for (const QByteArray& location : moved) {
        SCOPED_TRACE(location.toStdString());
        for (const char* status : {"HTTP/1.1 301 Moved Permanently", "HTTP/1.1 302 Found",
                                   "HTTP/1.1 307 Temporary Redirect"}) {
            UpdateServer server(Http(QByteArray(status) + "\r\n" + location, "9.9.9 http://h/"));
            Startup s(server.url(), 10000);
            ASSERT_TRUE(WaitFor([&] { return s.checked; }, 5000)) << status;
            EXPECT_EQ(server.requests.size(), 1u) << status;
            EXPECT_TRUE(s.platform.events.empty()) << status;
            EXPECT_TRUE(s.timer()->isActive()) << status;
        }
    }
    EXPECT_TRUE(elsewhere.requests.empty());
}

TEST(Form2, ServerThatNeverAnswersDelaysNothing) {
    UpdateServer server(std::nullopt);
    Startup s(server.url(), 300);
    ASSERT_TRUE(WaitFor([&] { return s.shown > 0; }, 3000));
    EXPECT_GE(s.shownAt, 300 - 20);
    EXPECT_LT(s.shownAt, 300 + 500);
    EXPECT_EQ(server.requests.size(), 1u);
    EXPECT_TRUE(WaitFor([&] { return s.form.isNull(); }, 1000));
    EXPECT_TRUE(s.platform.events.empty());
    EXPECT_FALSE(s.checked);
}

TEST(Form2, AnswerAfterTheWindowIsGoneIsNotLookedAt) {
    UpdateServer server(Ok("9.9.9 http://h/v.deb"), 600);
    Startup s(server.url(), 200);
    ASSERT_TRUE(WaitFor([&] { return s.form.isNull(); }, 3000));
    EXPECT_EQ(s.shown, 1);
    WaitFor([] { return false; }, 800);
    EXPECT_EQ(server.requests.size(), 1u);
    EXPECT_TRUE(s.platform.events.empty());
    EXPECT_EQ(s.shown, 1);
}

TEST(Form2, TimerEndingTheWindowWhileTheBodyIsReadDropsTheAnswer) {
    UpdateServer server(Ok("9.9.9 http://h/" + QByteArray(8000, 'a')));
    Startup s(server.url(), 10000);
    int yields = 0;
    // Between two chunks the timer fires and the main window takes over.
    s.platform.onYield = [&] {
        if (++yields == 3) s.timer()->start(0);
        QCoreApplication::processEvents();
    };
    ASSERT_TRUE(WaitFor([&] { return s.form.isNull(); }, 3000));
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(s.shown, 1);
    EXPECT_TRUE(s.platform.events.empty());
    EXPECT_FALSE(s.checked);
    EXPECT_LT(yields, 9);
}

TEST(Updater, OpensOneHttpAddressInTheBrowser) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString log = dir.filePath(QStringLiteral("opened"));
    QFile fake(dir.filePath(QStringLiteral("xdg-open")));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$UPD_TEST_LOG\"\n");
    fake.close();
    fake.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const struct {
        QStringList args;
        int status;
        QByteArray opened;  // empty: the browser is not started
    } cases[] = {
        {{"http://h/v.deb\n", "&"}, 0, "http://h/v.deb\n"},
        {{"http://h/v.deb", "&"}, 0, "http://h/v.deb\n"},
        {{"http://h/v.deb\r\n &"}, 0, "http://h/v.deb\n"},
        {{"https://h/d?a=1&b=2", "&"}, 0, "https://h/d?a=1&b=2\n"},
        {{"ftp://h/v.deb", "&"}, 2, ""},
        {{"http://h/a", "b", "&"}, 2, ""},
        {{"-http://h/", "&"}, 2, ""},
        {{"http://", "&"}, 2, ""},
        {{"&"}, 2, ""},
        {{}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char('|')).toStdString());
        QFile::remove(log);
        QProcess upd;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), dir.path() + QStringLiteral(":/usr/bin:/bin"));
        env.insert(QStringLiteral("UPD_TEST_LOG"), log);
        upd.setProcessEnvironment(env);
        upd.start(QStringLiteral(VINTREL_TEST_UPD), c.args);
        ASSERT_TRUE(upd.waitForFinished(5000));
        EXPECT_EQ(upd.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(upd.exitCode(), c.status);
        QFile opened(log);
        EXPECT_EQ(opened.open(QIODevice::ReadOnly) ? opened.readAll() : QByteArray(), c.opened);
    }
}

}  // namespace
}  // namespace vintrel

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The windows come and go while the tests wait in event loops of their own.
    QApplication::setQuitOnLastWindowClosed(false);
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    return RUN_ALL_TESTS();
}
