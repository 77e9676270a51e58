// The Qt window of the simulator's front panel. It holds no chip state: every widget mirrors one
// model control of a `Form1`, every user action goes to the model's handler, and the widgets are
// brought in line with the model after each action (and at display rate during a run).
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include <QTimer>
#include <QWidget>

#include "form1/form1.h"

class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vintrel {

class PanelLabel;
class PanelCheckBox;

class Form1View : public QWidget {
    Q_OBJECT

  public:
    explicit Form1View(Form1& model, QWidget* parent = nullptr);
    ~Form1View() override;

    Form1& model() { return model_; }

    // Redraws what changed in the model since the last refresh. The view calls it after every
    // forwarded event and from its display timer during a run; call it after changing the model
    // directly.
    void refresh();

    // Refreshes that found something to redraw.
    std::uint64_t refreshCount() const { return refreshes_; }

    // Interval of the display timer that refreshes the window during a continuous run.
    static constexpr int kRunRefreshMs = 25;

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    QMetaObject::Connection focusConnection_;
    enum class Kind : std::uint8_t { Label, Button, Check, Edit };
    struct Binding {
        const Control* control;
        QWidget* widget;
        Kind kind;
        std::uint32_t drawn;
        ColorRole color;
    };

    // Runs a model handler for a user action, then redraws.
    void forward(const std::function<void()>& handler);
    // Forwards a cell click, which chooses an editing target and moves the focus to `dato`.
    void cellClicked(const std::function<void()>& handler);
    void draw(Binding& b);
    void drawListing();
    void drawFocus();
    void applyDatoSelection();
    void onFocusChanged(QWidget* now);
    // After a handler that gives a control the focus: put the widget focus there too, even when
    // the model's focus did not change (the list box has no model control to hold it).
    void followModelFocus();

    void bind(const Control& c, QWidget* w, Kind kind);
    PanelLabel* cell(QWidget* parent, const Control& c, int l, int t, int w, int h, bool bold);
    PanelLabel* label(QWidget* parent, const QString& text, int l, int t, int w, int h, bool bold,
                      bool bordered);
    QPushButton* button(QWidget* parent, Control& c, const char* name, int l, int t, int w, int h,
                        std::function<void()> onClick);
    PanelCheckBox* checkBox(QWidget* parent, Control& c, const char* name, int l, int t, int w,
                            int h, std::function<void()> onClick);
    QLineEdit* lineEdit(QWidget* parent, Control& c, const char* name, int l, int t, int w, int h);
    QGroupBox* group(QWidget* parent, const char* name, const QString& caption, int l, int t, int w,
                     int h);

    void buildDataMemory();
    void buildEeprom(QWidget* parent);
    void buildPic(QWidget* parent);
    void buildStack(QWidget* parent);
    void buildEditing(QWidget* parent);
    void buildFiles(QWidget* parent);
    void buildPorts(QWidget* parent);
    void buildTimer(QWidget* parent);
    void buildProgram(QWidget* parent);

    Form1& model_;
    std::vector<Binding> bindings_;
    std::unordered_map<const Control*, QWidget*> widgetOf_;
    std::unordered_map<QWidget*, Control*> controlOf_;

    QListWidget* listing_ = nullptr;
    QLineEdit* datoEdit_ = nullptr;
    std::vector<std::uint32_t> rowDrawn_;
    std::uint32_t listingDrawn_ = 0;
    std::uint32_t selectionDrawn_ = 0;
    bool listingFresh_ = false;

    std::uint64_t panelDrawn_ = 0;
    bool panelFresh_ = false;
    std::uint32_t focusDrawn_ = 0;
    int datoSelStart_ = -1;
    int datoSelLength_ = -1;
    bool datoSelectionDue_ = false;

    bool refreshing_ = false;
    bool refreshAgain_ = false;
    std::uint64_t refreshes_ = 0;
    QTimer runTimer_;
};

}  // namespace vintrel
