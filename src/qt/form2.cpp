#include "qt/form2.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPalette>
#include <QScreen>
#include <QShowEvent>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

namespace vintrel {

namespace {

// The layout is in twips, 15 to the pixel.
constexpr int Px(int twips) {
    return twips / 15;
}

// Liberation Sans has Arial's metrics; MS Sans Serif is closest to it too.
QFont SansFont(int points, bool bold) {
    QFont font;
    font.setFamilies(
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Helvetica")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                  int width, int height) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(Px(left), Px(top), Px(width), Px(height));
    return label;
}

std::string_view View(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// The update file's GET, read by this program rather than by Qt's HTTP code, whose header
// reader has no bounds and runs in a thread that an endless header keeps busy past any abort.
// Here the status line, each header line, their number and the interim (1xx) answers are
// bounded, the body is taken no faster than it is read, and an abort closes the connection at
// once. Only what the start-up window uses is there: a plain GET over HTTP/1.1.
class BoundedReply final : public QNetworkReply {
  public:
    static constexpr qsizetype kMaxLine = 8192;   // a status, header or chunk-size line
    static constexpr qsizetype kMaxHead = 65536;  // every head line, interim answers included
    static constexpr int kMaxHeadLines = 256;
    static constexpr qsizetype kBuffer = 16384;  // bytes taken off the socket at a time

    BoundedReply(const QNetworkRequest& request, QObject* parent)
        : QNetworkReply(parent), socket_(new QTcpSocket(this)) {
        setRequest(request);
        setUrl(request.url());
        setOperation(QNetworkAccessManager::GetOperation);
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        socket_->setReadBufferSize(kBuffer);
        connect(socket_, &QTcpSocket::connected, this, [this, request] { sendRequest(request); });
        connect(socket_, &QTcpSocket::readyRead, this, &BoundedReply::pump);
        connect(socket_, &QTcpSocket::disconnected, this, [this] {
            closed_ = true;
            pump();
        });
        connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
            if (e == QAbstractSocket::RemoteHostClosedError) return;  // `disconnected` follows
            finish(e == QAbstractSocket::ConnectionRefusedError ? ConnectionRefusedError
                   : e == QAbstractSocket::HostNotFoundError    ? HostNotFoundError
                                                                : UnknownNetworkError);
        });
        socket_->connectToHost(request.url().host(), static_cast<quint16>(request.url().port(80)));
    }

    void abort() override { finish(OperationCanceledError); }
    qint64 bytesAvailable() const override { return body_.size() + QIODevice::bytesAvailable(); }

  protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 n = std::min<qint64>(maxSize, body_.size());
        std::memcpy(data, body_.constData(), static_cast<std::size_t>(n));
        body_.remove(0, n);
        // Room again for what waits on the socket.
        if (n > 0 && state_ != State::Done)
            QMetaObject::invokeMethod(this, &BoundedReply::pump, Qt::QueuedConnection);
        return n;
    }

  private:
    enum class State { Status, Headers, Body, ChunkSize, ChunkData, ChunkEnd, Trailer, Done };
    enum class Framing { Length, Chunked, Close };

    void sendRequest(const QNetworkRequest& request) {
        const QUrl url = request.url();
        QByteArray path =
            url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
        if (path.isEmpty()) path = "/";
        QByteArray text =
            "GET " + path + " HTTP/1.1\r\nHost: " +
            url.adjusted(QUrl::RemoveUserInfo).authority(QUrl::FullyEncoded).toUtf8() + "\r\n";
        for (const QByteArray& name : request.rawHeaderList())
            text += name + ": " + request.rawHeader(name) + "\r\n";
        socket_->write(text + "Connection: close\r\n\r\n");
    }

    // Moves bytes from the socket through the parser into the body as far as they go.
    void pump() {
        while (state_ != State::Done) {
            if (buffer_.size() < kBuffer) buffer_ += socket_->read(kBuffer - buffer_.size());
            const qsizetype before = buffer_.size(), bodyBefore = body_.size();
            parse();
            if (state_ == State::Done) return;
            if (body_.size() > bodyBefore) {
                Q_EMIT readyRead();
                if (state_ == State::Done) return;  // the reader aborted
            }
            if (buffer_.size() == before && socket_->bytesAvailable() == 0) break;
            if (buffer_.size() == before && buffer_.size() >= kBuffer) break;  // body is full
        }
        // Closed by the server, and nothing more to parse (unless the reader has yet to make
        // room): the end of a body that runs to the close, else an answer cut short.
        if (state_ == State::Done || !closed_ || socket_->bytesAvailable() > 0 ||
            body_.size() >= kBuffer)
            return;
        finish(state_ == State::Body && framing_ == Framing::Close && buffer_.isEmpty()
                   ? NoError
                   : RemoteHostClosedError);
    }

    // Takes one line off the buffer into `line`; false when none is complete yet. A line too
    // long, or one head line too many, ends the reply.
    bool takeLine(QByteArray& line, bool head) {
        const qsizetype end = buffer_.indexOf('\n');
        if (end < 0 ? buffer_.size() > kMaxLine : end >= kMaxLine) return fail();
        if (end < 0) return false;
        line = buffer_.left(end);
        buffer_.remove(0, end + 1);
        if (line.endsWith('\r')) line.chop(1);
        if (head && ((headBytes_ += end + 1) > kMaxHead || ++headLines_ > kMaxHeadLines))
            return fail();
        return true;
    }
    bool fail() {
        finish(ProtocolFailure);
        return false;
    }

    void parse() {
        QByteArray line;
        while (state_ != State::Done) {
            switch (state_) {
                case State::Status:
                    if (!takeLine(line, true)) return;
                    if (line.isEmpty()) break;  // blank lines before an answer
                    if (!line.startsWith("HTTP/1.") || line.size() < 12 || line[8] != ' ') {
                        fail();
                        return;
                    }
                    status_ = line.mid(9, 3).toInt();
                    if (status_ < 100 || status_ > 999) {
                        fail();
                        return;
                    }
                    reason_ = line.mid(13);
                    headers_.clear();
                    state_ = State::Headers;
                    break;
                case State::Headers:
                    if (!takeLine(line, true)) return;
                    if (!line.isEmpty()) {
                        const qsizetype colon = line.indexOf(':');
                        if (colon > 0)
                            headers_.append(
                                {line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
                    } else if (status_ < 200) {
                        state_ = State::Status;  // an interim answer: the real one follows
                    } else {
                        headComplete();
                    }
                    break;
                case State::Body: {
                    const qsizetype room = kBuffer - body_.size();
                    qsizetype n = std::min(room, buffer_.size());
                    if (framing_ == Framing::Length) n = std::min<qint64>(n, remaining_);
                    if (n <= 0) return;
                    body_ += buffer_.left(n);
                    buffer_.remove(0, n);
                    remaining_ -= n;
                    if (framing_ == Framing::Length && remaining_ == 0) finish(NoError);
                    break;
                }
                case State::ChunkSize: {
                    if (!takeLine(line, false)) return;
                    bool ok = false;
                    const qsizetype semicolon = line.indexOf(';');
                    remaining_ =
                        (semicolon < 0 ? line : line.left(semicolon)).trimmed().toLongLong(&ok, 16);
                    if (!ok || remaining_ < 0) {
                        fail();
                        return;
                    }
                    state_ = remaining_ == 0 ? State::Trailer : State::ChunkData;
                    break;
                }
                case State::ChunkData: {
                    const qsizetype n = std::min<qint64>(
                        std::min(kBuffer - body_.size(), buffer_.size()), remaining_);
                    if (n <= 0) return;
                    body_ += buffer_.left(n);
                    buffer_.remove(0, n);
                    if ((remaining_ -= n) == 0) state_ = State::ChunkEnd;
                    break;
                }
                case State::ChunkEnd:
                    if (!takeLine(line, false)) return;
                    if (!line.isEmpty()) {
                        fail();
                        return;
                    }
                    state_ = State::ChunkSize;
                    break;
                case State::Trailer:
                    if (!takeLine(line, true)) return;
                    if (line.isEmpty()) finish(NoError);
                    break;
                case State::Done:
                    return;
            }
        }
    }

    void headComplete() {
        setAttribute(QNetworkRequest::HttpStatusCodeAttribute, status_);
        setAttribute(QNetworkRequest::HttpReasonPhraseAttribute, reason_);
        framing_ = Framing::Close;
        for (const auto& [name, value] : headers_) {
            setRawHeader(name, value);
            if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0 &&
                value.toLower().contains("chunked"))
                framing_ = Framing::Chunked;
            bool ok = false;
            if (name.compare("Content-Length", Qt::CaseInsensitive) == 0 &&
                framing_ != Framing::Chunked) {
                remaining_ = value.toLongLong(&ok);
                if (ok && remaining_ >= 0) framing_ = Framing::Length;
            }
        }
        Q_EMIT metaDataChanged();
        if (state_ == State::Done) return;
        const bool empty =
            status_ == 204 || status_ == 304 || (framing_ == Framing::Length && remaining_ == 0);
        state_ = framing_ == Framing::Chunked ? State::ChunkSize : State::Body;
        if (empty) finish(NoError);
    }

    void finish(NetworkError error) {
        if (state_ == State::Done) return;
        state_ = State::Done;  // first: the socket's own signals find the reply ended
        socket_->abort();
        if (error != NoError) {
            setError(error, QStringLiteral("update request failed (%1)").arg(error));
            Q_EMIT errorOccurred(error);
        }
        setFinished(true);
        Q_EMIT finished();
    }

    QTcpSocket* socket_;
    QByteArray buffer_;  // received and not yet parsed
    QByteArray body_;    // body bytes not yet read
    State state_ = State::Status;
    Framing framing_ = Framing::Close;
    qint64 remaining_ = 0;  // of the content length or of the current chunk
    int status_ = 0;
    QByteArray reason_;
    QList<QPair<QByteArray, QByteArray>> headers_;
    qsizetype headBytes_ = 0;
    int headLines_ = 0;
    bool closed_ = false;
};

// Hands plain HTTP GETs to BoundedReply; anything else to Qt.
class UpdateAccess final : public QNetworkAccessManager {
  public:
    using QNetworkAccessManager::QNetworkAccessManager;

  protected:
    QNetworkReply* createRequest(Operation op, const QNetworkRequest& request,
                                 QIODevice* data) override {
        if (op == GetOperation && request.url().scheme() == QLatin1String("http"))
            return new BoundedReply(request, this);
        return QNetworkAccessManager::createRequest(op, request, data);
    }
};

}  // namespace

Form2::Form2(Platform& platform, QString updateUrl, std::function<void()> showMainWindow,
             int timerInterval, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen),
      platform_(platform),
      updateUrl_(std::move(updateUrl)),
      showMainWindow_(std::move(showMainWindow)) {
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("vintrel"));
    setFixedSize(Px(6075), Px(2925));
    // The window's default font, which the web and e-mail labels keep.
    setFont(SansFont(8, false));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(64, 0, 64));
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);
    setAutoFillBackground(true);

    Label1 = MakeLabel(this, "Label1", QStringLiteral("vintrel"), 120, 240, 5865, 840);
    Label1->setFont(SansFont(24, true));
    Label4 = MakeLabel(this, "Label4", QString(), 1320, 1080, 3825, 555);
    Label4->setFont(SansFont(24, true));
    Label3 = MakeLabel(this, "Label3", QStringLiteral("© 2026 los autores de vintrel"), 1320, 1920,
                       4545, 315);
    Label3->setFont(SansFont(12, true));
    Label2 = MakeLabel(this, "Label2", QStringLiteral("http://vintrel.quorvan.org"), 1680, 2280,
                       3825, 195);
    Label5 =
        MakeLabel(this, "Label5", QStringLiteral("vintrel@quorvan.org"), 1680, 2520, 3825, 195);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(timerInterval);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);

    Inet = new UpdateAccess(this);
    Inet->setObjectName(QStringLiteral("Inet"));

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    Form_Load();
}

Form2::~Form2() = default;

QString Form2::defaultUpdateUrl() {
    constexpr std::string_view kServer = VINTREL_UPDATE_SERVER;
    if (kServer.empty()) return {};
    return QString::fromUtf8(kServer.data(), static_cast<qsizetype>(kServer.size())) +
           QStringLiteral("/quorvan/update/vintrel.upd");
}

Version Form2::runningVersion() {
    return {VINTREL_VERSION_MAJOR, VINTREL_VERSION_MINOR, VINTREL_VERSION_PATCH};
}

void Form2::Form_Load() {
    Label4->setText(QStringLiteral("vers. ") +
                    QString::fromStdString(VersionText(runningVersion())));
    Timer1->start();
}

void Form2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!activated_) {
        activated_ = true;
        Form_Activate();
    }
}

void Form2::Form_Activate() {
    if (updateUrl_.isEmpty()) return;
    QNetworkRequest request{QUrl(updateUrl_)};
    // The status code is taken from a fixed place in an HTTP/1.x status line.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setHeader(
        QNetworkRequest::UserAgentHeader,
        QStringLiteral("vintrel/") + QString::fromStdString(VersionText(runningVersion())));
    // A redirect is an answer other than 200 like any other: the update file is only ever
    // asked of the configured server.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    reply_ = Inet->get(request);
    // Qt stops taking bytes off the connection while this much waits to be read.
    reply_->setReadBufferSize(kBodyLimit);
    connect(reply_, &QNetworkReply::readyRead, this, &Form2::Inet_ReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &Form2::Inet_Finished);
}

void Form2::Inet_ReadyRead() {
    // The body is taken as it arrives, whatever its framing or pace, and never beyond one byte
    // more than the largest update file: that byte ends the transfer.
    if (!reply_ || oversized_) return;
    body_ += reply_->read(kBodyLimit - body_.size());
    if (body_.size() == kBodyLimit) {
        oversized_ = true;
        reply_->abort();
    }
}

void Form2::Inet_Finished() {
    if (!reply_) return;
    Inet_ReadyRead();
    const QNetworkReply::NetworkError error = reply_->error();
    // An HTTP answer with an error status is still a completed response; failures below HTTP
    // (refused, reset, cancelled, proxy) are not.
    const bool answered =
        reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() &&
        (error == QNetworkReply::NoError || error >= QNetworkReply::ContentAccessDenied);
    Inet_StateChanged(answered && !oversized_ ? 12 : 11);
}

QByteArray Form2::responseHeaders() const {
    const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) return {};
    QByteArray text = "HTTP/1.1 " + QByteArray::number(status.toInt()) + ' ' +
                      reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray() +
                      "\r\n";
    for (const auto& [name, value] : reply_->rawHeaderPairs()) {
        text += name + ": " + value + "\r\n";
    }
    return text + "\r\n";
}

void Form2::Inet_StateChanged(int state) {
    if (gone_) return;
    if (state != 12 || !reply_ || HttpStatus(View(responseHeaders())) != 200) {
        Q_EMIT updateChecked();
        return;
    }

    // The body is read in chunks of 1024 with pending events run between them; the timer may
    // end this window meanwhile, and then the answer is dropped without touching anything of it.
    const QPointer<Form2> self(this);
    std::string body;
    qsizetype read = 0;
    auto nextChunk = [&] {
        const QByteArray chunk = body_.mid(read, 1024);
        read += chunk.size();
        return chunk;
    };
    QByteArray chunk = nextChunk();
    platform_.yield();
    if (!self || gone_) return;
    while (!chunk.isEmpty()) {
        body.append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
        chunk = nextChunk();
        platform_.yield();
        if (!self || gone_) return;
    }

    const Version running = runningVersion();
    const auto update = NewerUpdate(body, running);
    if (!update) {
        Q_EMIT updateChecked();
        return;
    }
    // The start-up window stays while the user decides.
    Timer1->stop();
    Platform& platform = platform_;
    if (platform.messageBox(UpdateQuestion(running, update->version), MessageButtons::YesNo,
                            MessageAlign::Default)) {
        platform.launch(UpdaterCommandLine(platform.applicationPath(), update->address),
                        WindowStyle::Minimized);
        platform.endProgram();
    }
    if (!self || gone_) return;
    Timer1->start();
    Q_EMIT updateChecked();
}

void Form2::Timer1_Timer() {
    Timer1->stop();
    const QPointer<Form2> self(this);
    platform_.yield();
    if (!self || gone_) return;
    gone_ = true;
    if (reply_) reply_->abort();
    if (showMainWindow_) showMainWindow_();
    if (self) close();
}

}  // namespace vintrel
