// The start-up window: title, version and credits for a moment, and meanwhile the check for a
// newer version on the update server.
#pragma once

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

#include "chip/platform.h"
#include "update/update_file.h"

class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QShowEvent;
class QTimer;

namespace vintrel {

class Form2 : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kTimerInterval = 2500;
    // The most of a response body that is ever read: one byte more than the largest update
    // file, which tells that the body is too long.
    static constexpr qint64 kBodyLimit = static_cast<qint64>(kMaxUpdateBody) + 1;

    // `updateUrl` is the update file's full address (empty: no check). `showMainWindow` runs
    // when the timer ends the start-up window. Create it with new and show it: it deletes
    // itself once it has given way to the main window.
    Form2(Platform& platform, QString updateUrl, std::function<void()> showMainWindow,
          int timerInterval = kTimerInterval, QWidget* parent = nullptr);
    ~Form2() override;

    // The update file on the server this build was configured with, or empty when the build
    // has no update server.
    static QString defaultUpdateUrl();
    // The version of this build.
    static Version runningVersion();

    // The bytes of the response body read so far.
    qint64 bodyBytesRead() const { return body_.size(); }

  Q_SIGNALS:
    // The update server's answer (or its failure) has been dealt with and the main window
    // follows when the timer fires. Not emitted after a yes, which ends the program.
    void updateChecked();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Form_Load();
    void Form_Activate();
    // 12: response completed; 11: the request failed.
    void Inet_StateChanged(int state);
    void Timer1_Timer();
    void Inet_Finished();
    void Inet_ReadyRead();
    QByteArray responseHeaders() const;

    Platform& platform_;
    QString updateUrl_;
    std::function<void()> showMainWindow_;
    bool activated_ = false;
    bool gone_ = false;
    bool oversized_ = false;

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QTimer* Timer1;
    QNetworkAccessManager* Inet;
    QPointer<QNetworkReply> reply_;
    QByteArray body_;
};

}  // namespace vintrel
