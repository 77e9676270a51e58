#include "qt/form1_view_widgets.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace vintrel {

namespace {
// The grid lines of the panel: cells overlap their neighbours by one pixel, so one grey line
// separates two cells.
const QColor kBorder(0x80, 0x80, 0x80);
}  // namespace

PanelLabel::PanelLabel(const QString& text, bool bordered, QWidget* parent)
    : QLabel(text, parent), bordered_(bordered) {
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
    setMargin(0);
    setIndent(0);
}

void PanelLabel::setBackground(const QColor& c) {
    if (background_ == c) return;
    background_ = c;
    update();
}

void PanelLabel::paintEvent(QPaintEvent* e) {
    {
        QPainter p(this);
        if (background_.isValid()) p.fillRect(rect(), background_);
        if (bordered_) {
            p.setPen(kBorder);
            p.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }
    QLabel::paintEvent(e);
}

void PanelLabel::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) pressed_ = true;
    QLabel::mousePressEvent(e);
}

void PanelLabel::mouseReleaseEvent(QMouseEvent* e) {
    const bool click =
        pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(e);
    if (click && onClick_) onClick_();
}

void PanelGroup::paintEvent(QPaintEvent* /*e*/) {
    QPainter p(this);
    const QFontMetrics fm(font());
    const QRect frame = rect().adjusted(0, fm.height() / 2, -1, -1);
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(frame.adjusted(0, 0, -1, -1));
    p.setPen(palette().color(QPalette::Light));
    p.drawRect(frame.adjusted(1, 1, 0, 0));
    const QString caption = title();
    if (caption.isEmpty()) return;
    const QRect textRect(6, 0, fm.horizontalAdvance(caption) + 4, fm.height());
    p.fillRect(textRect, palette().window());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, caption);
}

PanelCheckBox::PanelCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {}

void PanelCheckBox::nextCheckState() {
    if (onClick_) onClick_();
}

ListingDelegate::ListingDelegate(int tabStop, QObject* parent)
    : QStyledItemDelegate(parent), tabStop_(tabStop) {}

void ListingDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* w = opt.widget;
    QStyle* style = w ? w->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, w);

    const QRect r = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, w);
    const bool selected = (opt.state & QStyle::State_Selected) != 0;
    const QPalette::ColorGroup group =
        (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(
        opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const int pad = 2;
    int x = r.left() + pad;
    int from = 0;
    for (;;) {
        const int tab = static_cast<int>(text.indexOf(QLatin1Char('\t'), from));
        const QString field = text.mid(from, tab < 0 ? -1 : tab - from);
        painter->drawText(QRect(x, r.top(), r.right() - x, r.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, field);
        if (tab < 0) break;
        // The next tab stop to the right of this field, as a list box with tab stops does.
        const int end = x - r.left() + opt.fontMetrics.horizontalAdvance(field);
        x = r.left() + pad + ((end - pad) / tabStop_ + 1) * tabStop_;
        from = tab + 1;
    }
    painter->restore();
}

}  // namespace vintrel
