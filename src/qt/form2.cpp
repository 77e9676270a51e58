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
#include <QTimer>
#include <QUrl>
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

    Inet = new QNetworkAccessManager(this);
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
