#include "results_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

namespace vintrel::tools {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QLabel* AddLabel(QVBoxLayout* layout, const QString& name, const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    layout->addWidget(label);
    return label;
}

}  // namespace

ResultsWindow::ResultsWindow(const AssemblyOutcome& o, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("vintrel - Ensamblar"));
    auto* layout = new QVBoxLayout(this);
    AddLabel(layout, QStringLiteral("fuente"), QStringLiteral("Fuente: ") + Q(o.source));

    QLabel* verdict = AddLabel(layout, QStringLiteral("veredicto"), Q(VerdictText(o)));
    verdict->setAlignment(Qt::AlignCenter);
    verdict->setMargin(6);
    verdict->setStyleSheet(o.ok
                               ? QStringLiteral("background:#2e8b3a;color:white;font-weight:bold")
                               : QStringLiteral("background:#c0282d;color:white;font-weight:bold"));
    AddLabel(layout, QStringLiteral("recuento"), Q(CountsText(o)));

    auto* rows = new QTreeWidget;
    rows->setObjectName(QStringLiteral("mensajes"));
    rows->setRootIsDecorated(false);
    rows->setHeaderLabels(
        {QStringLiteral("Tipo"), QStringLiteral("Lugar"), QStringLiteral("Mensaje")});
    // A list beyond a few thousand rows is read in the .err file, not in a window.
    const std::size_t shown = std::min(o.messages.size(), kShownRows);
    for (std::size_t i = 0; i < shown; ++i) {
        const AssemblerMessage& m = o.messages[i];
        auto* item =
            new QTreeWidgetItem({Q(KindText(m.kind)), Q(WhereText(m, o.source)), Q(m.text)});
        if (m.kind == AssemblerMessage::Kind::Error)
            item->setForeground(0, QColor(0xc0, 0x28, 0x2d));
        rows->addTopLevelItem(item);
    }
    for (int column : {0, 1}) {
        rows->resizeColumnToContents(column);
        rows->setColumnWidth(column, rows->columnWidth(column) + 16);  // room between columns
    }
    rows->setVisible(!o.messages.empty());
    layout->addWidget(rows, 1);
    if (shown < o.messages.size())
        AddLabel(layout, QStringLiteral("mas"),
                 QStringLiteral("… y %1 mensajes más; están todos en %2")
                     .arg(o.messages.size() - shown)
                     .arg(Q(std::filesystem::path(o.hex).replace_extension(".err").string())));

    AddLabel(layout, QStringLiteral("hex"), Q(HexText(o)));
    if (!o.listing.empty())
        AddLabel(layout, QStringLiteral("listado"), QStringLiteral("Listado: ") + Q(o.listing));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(o.messages.empty() ? 520 : 720, o.messages.empty() ? 0 : 340);
}

NoticeWindow::NoticeWindow(const QString& title, const QString& text, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel;
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    icon->setAlignment(Qt::AlignTop);
    row->addWidget(icon);
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("texto"));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(label, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace vintrel::tools
