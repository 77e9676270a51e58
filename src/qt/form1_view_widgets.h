// The few widget kinds of the main window that Qt does not offer as they are: labels that take a
// click, check boxes whose state only the model changes, and the listing's column painter.
#pragma once

#include <functional>

#include <QCheckBox>
#include <QColor>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTimer>

namespace vintrel {

// A label of the panel. Value cells, headings and name labels are bordered; a click (press and
// release over the label) runs the callback, which is how the cells choose an editing target.
class PanelLabel : public QLabel {
  public:
    PanelLabel(const QString& text, bool bordered, QWidget* parent);

    void setClickHandler(std::function<void()> h) { onClick_ = std::move(h); }
    // Background colour; the label paints it itself so a cell can be white on the grey panel.
    void setBackground(const QColor& c);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    std::function<void()> onClick_;
    QColor background_;
    bool bordered_;
    bool pressed_ = false;
};

// A framed group whose etched frame runs through the middle of its caption, so the controls
// placed just below the caption sit inside the frame.
class PanelGroup : public QGroupBox {
  public:
    PanelGroup(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

  protected:
    void paintEvent(QPaintEvent* e) override;
};

// A check box that never toggles itself: a click only runs the callback, and the box shows
// whatever value the model then holds. A port pin that is an output (a disabled box) shows its
// level as a filled mark instead of a greyed box, so it reads at a glance.
class PanelCheckBox : public QCheckBox {
  public:
    PanelCheckBox(const QString& text, QWidget* parent);
    void setClickHandler(std::function<void()> h) { onClick_ = std::move(h); }
    void setPinLook(bool on) { pinLook_ = on; }

  protected:
    void nextCheckState() override;
    void paintEvent(QPaintEvent* e) override;

  private:
    std::function<void()> onClick_;
    bool pinLook_ = false;
};

// A text box whose text, when a mouse click gives it the focus with the text selected, stays
// selected: the click that enters the box does not place the cursor, so typing replaces the
// whole value. Clicks into a box that already has the focus place the cursor as usual.
class PanelLineEdit : public QLineEdit {
  public:
    explicit PanelLineEdit(QWidget* parent) : QLineEdit(parent) {}
    // Offered every key press first; returning true consumes it.
    void setKeyHandler(std::function<bool(int key)> h) { onKey_ = std::move(h); }

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

  private:
    std::function<bool(int key)> onKey_;
    bool keepSelection_ = false;  // the focus came with a mouse press
    bool swallowing_ = false;     // between the entering press and its release
};

// A red frame over a widget that refused a click: the beep alone is muted on most desktops. It
// stays long enough to be seen (a blink of a few tenths of a second was missed). It is a child
// of the window drawn on top of the target; it takes no input.
class FlashOverlay : public QWidget {
  public:
    explicit FlashOverlay(QWidget* window);
    // Shows the frame over `target` for kShowMs; a new flash replaces a running one.
    void flash(QWidget* target);
    QWidget* target() const { return target_; }

    static constexpr int kShowMs = 800;

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QWidget* target_ = nullptr;
    QTimer timer_;
};

// Draws a listing row's tab-separated fields at fixed tab stops, so address, word and mnemonic
// line up as columns while the item keeps the row's text unchanged.
class ListingDelegate : public QStyledItemDelegate {
  public:
    ListingDelegate(int tabStop, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    int tabStop_;
};

}  // namespace vintrel
