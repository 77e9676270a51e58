// The few widget kinds of the main window that Qt does not offer as they are: labels that take a
// click, check boxes whose state only the model changes, and the listing's column painter.
#pragma once

#include <functional>

#include <QCheckBox>
#include <QColor>
#include <QGroupBox>
#include <QLabel>
#include <QStyledItemDelegate>

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
// whatever value the model then holds.
class PanelCheckBox : public QCheckBox {
  public:
    PanelCheckBox(const QString& text, QWidget* parent);
    void setClickHandler(std::function<void()> h) { onClick_ = std::move(h); }

  protected:
    void nextCheckState() override;

  private:
    std::function<void()> onClick_;
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
