#include "qt/form1_view_widgets.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

namespace vintrel {

namespace {
// The grid lines of the panel: cells overlap their neighbours by one pixel, so one grey line
// separates two cells.
const QColor kBorder(0x80, 0x80, 0x80);
// An output pin's mark: red like a lit LED when high, the panel's grey when low.
const QColor kPinHigh(0xE0, 0x20, 0x20);
const QColor kPinLow(0xD4, 0xD0, 0xC8);
const QColor kPinOutline(0x40, 0x40, 0x40);
// The refusal blink.
const QColor kFlash(0xE0, 0x20, 0x20);
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

void PanelCheckBox::paintEvent(QPaintEvent* e) {
    if (!pinLook_ || isEnabled()) {
        QCheckBox::paintEvent(e);
        return;
    }
    // An output pin: a round mark, filled red for a high level, hollow for a low one, where
    // the box would be.
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QRect box = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, this);
    const int d = std::min(box.width(), box.height()) - 2;
    const QRectF mark(box.center().x() - d / 2.0 + 0.5, box.center().y() - d / 2.0 + 0.5, d, d);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kPinOutline, 1));
    p.setBrush(isChecked() ? QBrush(kPinHigh) : QBrush(kPinLow));
    p.drawEllipse(mark);
}

void PanelLineEdit::keyPressEvent(QKeyEvent* e) {
    if (onKey_ && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && onKey_(e->key())) {
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void PanelLineEdit::focusInEvent(QFocusEvent* e) {
    QLineEdit::focusInEvent(e);
    // The model may select the text on getting the focus; the window draws that selection
    // after this event and before the press that gave the focus arrives.
    keepSelection_ = e->reason() == Qt::MouseFocusReason;
}

void PanelLineEdit::focusOutEvent(QFocusEvent* e) {
    keepSelection_ = false;
    swallowing_ = false;
    QLineEdit::focusOutEvent(e);
}

void PanelLineEdit::mousePressEvent(QMouseEvent* e) {
    if (keepSelection_ && e->button() == Qt::LeftButton && hasSelectedText()) {
        keepSelection_ = false;
        swallowing_ = true;
        e->accept();
        return;
    }
    keepSelection_ = false;
    QLineEdit::mousePressEvent(e);
}

void PanelLineEdit::mouseMoveEvent(QMouseEvent* e) {
    if (swallowing_) {
        e->accept();
        return;
    }
    QLineEdit::mouseMoveEvent(e);
}

void PanelLineEdit::mouseReleaseEvent(QMouseEvent* e) {
    if (swallowing_) {
        swallowing_ = false;
        e->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(e);
}

void PanelLineEdit::mouseDoubleClickEvent(QMouseEvent* e) {
    swallowing_ = false;
    QLineEdit::mouseDoubleClickEvent(e);
}

FlashOverlay::FlashOverlay(QWidget* window) : QWidget(window) {
    setObjectName(QStringLiteral("flash"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    timer_.setSingleShot(true);
    timer_.setInterval(kShowMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        hide();
        target_ = nullptr;
    });
}

void FlashOverlay::flash(QWidget* target) {
    if (!target) return;
    target_ = target;
    const QPoint topLeft = target->mapTo(parentWidget(), QPoint(0, 0));
    // A little larger than the target, so the frame shows around a sunken box too.
    setGeometry(QRect(topLeft, target->size()).adjusted(-2, -2, 2, 2));
    raise();
    show();
    timer_.start();
}

void FlashOverlay::paintEvent(QPaintEvent* /*e*/) {
    QPainter p(this);
    QColor fill = kFlash;
    fill.setAlpha(90);
    p.fillRect(rect(), fill);
    p.setPen(QPen(kFlash, 2));
    p.drawRect(rect().adjusted(1, 1, -1, -1));
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
