// An update server whose answer never ends its head: the connection is dropped, by the head's
// bounds or at the latest when the start-up window gives way.
#include "host/scripted_platform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "qt/form2.h"
#include "qt_wait.h"

namespace vintrel {
namespace {

TEST(Form2, AnswerThatNeverEndsItsHeadIsDropped) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "update_headers_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    const struct {
        const char* what;
        QByteArray start, piece;  // the piece is sent for ever, every delayMs
        int delayMs;
    } cases[] = {
        {"header lines", "HTTP/1.1 200 OK\r\n", "X-Relleno: aaaaaaaaaaaaaaaaaaaaaaaaaa\r\n", 0},
        {"status line", "HTTP/1.1 200 OK", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", 0},
        {"100 Continue", "", "HTTP/1.1 100 Continue\r\n\r\n", 0},
        {"a slow header line", "HTTP/1.1 200 OK\r\nX-Relleno: ", "a", 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        qint64 written = 0;
        bool closed = false;
        QObject::connect(&server, &QTcpServer::newConnection, [&] {
            QTcpSocket* s = server.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, s, [&, s] {
                s->readAll();
                s->write(c.start);
                auto* pace = new QTimer(s);
                QObject::connect(pace, &QTimer::timeout, s, [&, s] {
                    while (s->state() == QAbstractSocket::ConnectedState &&
                           s->bytesToWrite() < 65536) {
                        written += s->write(c.piece);
                        if (c.delayMs > 0) break;
                    }
                });
                pace->start(c.delayMs);
            });
            QObject::connect(s, &QTcpSocket::disconnected, s, [&] { closed = true; });
        });
        ScriptedPlatform platform;
        platform.onYield = [] { QCoreApplication::processEvents(); };
        int shown = 0;
        const QPointer<Form2> form = new Form2(
            platform,
            QStringLiteral("http://127.0.0.1:%1/quorvan/update/vintrel.upd")
                .arg(server.serverPort()),
            [&] { ++shown; }, 500);
        form->show();
        EXPECT_TRUE(test::WaitFor([&] { return closed && shown == 1; }, 3000));
        EXPECT_LT(written, qint64{1} << 20);
        EXPECT_TRUE(platform.events.empty());
        delete form.data();
    }
}

}  // namespace
}  // namespace vintrel
