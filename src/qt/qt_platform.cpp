#include "qt/qt_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QMessageBox>
#include <QTreeView>

#include "host/process_launch.h"

namespace vintrel {

namespace {

const QString kTitle = QStringLiteral("vintrel");
const QSize kOpenDialogSize(860, 520);
// Name, size, type and date.
constexpr int kColumnWidths[] = {250, 90, 190, 150};

QWidget* DialogParent() {
    return QApplication::activeWindow();
}

// The dialog's file model writes dates in the environment's locale ("7 Dec 2026" under
// LANG=C.UTF-8); this program speaks Spanish whatever the environment, so the dates are
// written in the default locale, which is Spanish.
class SpanishDates final : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        constexpr int kModifiedColumn = 3;
        if (role == Qt::DisplayRole && index.column() == kModifiedColumn) {
            if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel()))
                return QLocale().toString(files->lastModified(mapToSource(index)),
                                          QLocale::ShortFormat);
        }
        return QIdentityProxyModel::data(index, role);
    }
};

}  // namespace

QStringList QtNameFilters(std::string_view filter) {
    const QStringList parts =
        QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size()))
            .split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            if (t.isEmpty()) continue;
            patterns.append(t == QLatin1String("*.*") ? QStringLiteral("*") : t);
        }
        if (patterns.isEmpty()) patterns.append(QStringLiteral("*"));
        out.append(parts[i].trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                   QLatin1Char(')'));
    }
    return out;
}

QString QtMessageText(std::string_view text) {
    QString t = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

void QtPlatform::beep() {
    QApplication::beep();
    if (beepObserver_) beepObserver_();
}

bool QtPlatform::messageBox(std::string_view text, MessageButtons buttons, MessageAlign align) {
    QMessageBox box(DialogParent());
    box.setWindowTitle(kTitle);
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setText(QtMessageText(text));
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    if (align == MessageAlign::Right) {
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    const int answer = box.exec();
    return buttons == MessageButtons::Ok || answer == QMessageBox::Yes;
}

std::string QtPlatform::openFileDialog(std::string_view filter, std::string_view defaultExt) {
    QFileDialog dialog(DialogParent());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name that does not exist is handed back: the loader reports it as a read error.
    dialog.setFileMode(QFileDialog::AnyFile);
    // Show the descriptions as written; each already names its patterns.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(QtNameFilters(filter));
    dialog.setProxyModel(new SpanishDates(&dialog));
    QString ext = QString::fromUtf8(defaultExt.data(), static_cast<qsizetype>(defaultExt.size()));
    while (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    dialog.setDefaultSuffix(ext);
    // Qt keeps the last folder of its own dialog between runs; this program keeps nothing.
    dialog.setDirectory(lastFolder_.isEmpty() ? QDir::currentPath() : lastFolder_);
    dialog.selectFile(QString());
    // Wide enough for the name, size, type and date columns of the detail view, whatever
    // widths Qt remembered from an earlier run.
    dialog.resize(dialog.sizeHint().expandedTo(kOpenDialogSize));
    if (auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = tree->header();
        for (int i = 0; i < header->count() && i < static_cast<int>(std::size(kColumnWidths)); ++i)
            header->resizeSection(i, std::max(header->sectionSizeHint(i), kColumnWidths[i]));
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    lastFolder_ = QFileInfo(chosen.first()).absolutePath();
    return chosen.first().toStdString();
}

void QtPlatform::yield() {
    // Reading the clock costs more than an instruction on some virtual machines: the yields
    // in between are idle ones (idleYields), which a run loop does not even call.
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPump_ < kYieldInterval) return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Timed from the end of the pump: a slow pump (a repaint) still leaves the run its time.
    lastPump_ = std::chrono::steady_clock::now();
}

void QtPlatform::launch(std::string_view commandLine, WindowStyle /*style*/) {
    // X11 and Wayland give no say over another program's first window, so the style is
    // dropped. Whether the program started is not the simulator's concern: it reports nothing.
    LaunchDetached(commandLine, applicationPath());
}

std::string QtPlatform::applicationPath() {
    return QCoreApplication::applicationDirPath().toStdString();
}

void QtPlatform::endProgram() {
    // At once, also from inside a run's loop: leaving the event loop would only take effect
    // when the run returns to it.
    std::fflush(nullptr);
    std::_Exit(0);
}

}  // namespace vintrel
