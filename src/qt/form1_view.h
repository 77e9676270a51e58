// The Qt window of the simulator's front panel. It holds no chip state: it builds one widget per
// element of the panel's control table (form1/controls.h), where the table places it, and the
// groups and captions of form1/layout.h; every user action goes to the model, and the widgets
// are brought in line with the model after each action (and at display rate during a run).
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include <QTimer>
#include <QWidget>

#include "form1/controls.h"
#include "form1/form1.h"

class QLineEdit;
class QListView;
class QPushButton;

namespace vintrel {

class FlashOverlay;
class ListingModel;
class QtPlatform;
struct Place;

class Form1View : public QWidget {
    Q_OBJECT

  public:
    // `host` is the model's platform: its beeps blink the refused control.
    Form1View(Form1& model, QtPlatform& host, QWidget* parent = nullptr);
    ~Form1View() override;

    Form1& model() { return model_; }

    // Redraws what changed in the model since the last refresh. The view calls it after every
    // forwarded event and from its display timer during a run; call it after changing the model
    // directly.
    void refresh();

    // Refreshes that found something to redraw.
    std::uint64_t refreshCount() const { return refreshes_; }

    // A refusal beep: blinks the refused box (or button), since desktop bells are mostly muted.
    // The host calls it on every beep.
    void refused();

    // Interval of the display timer that refreshes the window during a continuous run.
    static constexpr int kRunRefreshMs = 25;

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    enum class Kind : std::uint8_t { Label, Button, Check, Edit };
    struct Binding {
        const Control* control;
        QWidget* widget;
        Kind kind;
        std::uint32_t drawn;
        ColorRole color;
    };

    void build();
    QWidget* bindElement(const ControlEntry& e, int index, const Place& place, QWidget* parent);
    void buildListing(const Place& place, QWidget* parent);
    // A user's click on a control element: through the control table's click rule.
    void clicked(const ControlEntry& e, int index, QWidget* widget);
    // Runs a model action for a user event, then redraws.
    void forward(const std::function<void()>& handler);
    void draw(Binding& b);
    void drawListing();
    void drawAccessKeys();
    void drawFocus();
    void applyDatoSelection();
    void onFocusChanged(QWidget* now);
    // After a handler that gives a control the focus: put the widget focus there too, even when
    // the model's focus did not change (the list box has no model control to hold it).
    void followModelFocus();
    QWidget* widgetOf(const Control& c) const;

    Form1& model_;
    QtPlatform& host_;
    std::vector<Binding> bindings_;
    std::unordered_map<const Control*, QWidget*> widgetOf_;
    std::unordered_map<QWidget*, Control*> controlOf_;
    std::vector<QPushButton*> buttons_;
    QPushButton* runButton_ = nullptr;
    bool accessKeysRunning_ = false;
    bool accessKeysFresh_ = false;

    QListView* listing_ = nullptr;
    ListingModel* listingModel_ = nullptr;
    std::uint32_t rowsDrawn_ = 0;
    std::uint32_t selectionDrawn_ = 0;
    bool listingFresh_ = false;
    bool settingSelection_ = false;

    QLineEdit* datoEdit_ = nullptr;
    std::uint64_t panelDrawn_ = 0;
    bool panelFresh_ = false;
    std::uint32_t focusDrawn_ = 0;
    int datoSelStart_ = -1;
    int datoSelLength_ = -1;
    bool datoSelectionDue_ = false;
    std::uint32_t datoSelectionsDrawn_ = 0;

    // The widget the user is acting on, whose blink shows a refusal.
    QWidget* acting_ = nullptr;
    FlashOverlay* flash_ = nullptr;

    bool refreshing_ = false;
    bool refreshAgain_ = false;
    std::uint64_t refreshes_ = 0;
    QTimer runTimer_;
    QMetaObject::Connection focusConnection_;
};

}  // namespace vintrel
