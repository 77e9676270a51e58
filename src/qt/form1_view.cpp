#include "qt/form1_view.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QKeySequence>
#include <QListView>
#include <QMouseEvent>
#include <QPushButton>

#include "qt/form1_view_widgets.h"
#include "qt/listing_model.h"
#include "qt/qt_platform.h"

namespace vintrel {

namespace {

// Positions and sizes of the panel are laid out in twips, 15 to the pixel.
int Px(int twips) {
    return (twips + 7) / 15;
}

QRect Pixels(const TwipRect& r) {
    return QRect(Px(r.left), Px(r.top), Px(r.width), Px(r.height));
}

// The panel's two fonts: a bold sans for group captions and labels, the regular one for
// controls and plain captions. Liberation Sans has the metrics the layout was drawn for; 11 px
// is 8.25 pt at 96 dpi, the size the cells were made for whatever the screen's resolution.
QFont PanelFont(Font font) {
    QFont f;
    f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                   QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    // Set explicitly, so a control never inherits the bold of its group's caption.
    f.setWeight(font == Font::Bold ? QFont::Bold : QFont::Normal);
    return f;
}

// Value cells are white (the title-bar text colour of the classic scheme); headings and
// placeholders show the panel's own background.
QColor CellColor(ColorRole role) {
    return role == ColorRole::Cell ? QColor(Qt::white) : QColor();
}

const QColor kPanelColor(0xD4, 0xD0, 0xC8);

// Width of a listing tab stop in pixels: wide enough for "3FF *" and for the four-digit word.
constexpr int kListingTabStop = 40;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Sets the caption only when it differs, so an unchanged text costs no relayout or repaint.
template <class W>
void SetTextIfChanged(W* w, const QString& t) {
    if (w->text() != t) w->setText(t);
}

// Eats the listing's mouse presses: a click selects through the model, which then draws the
// selection, so the list never selects on its own.
class ListingMouse : public QObject {
  public:
    ListingMouse(QListView* list, std::function<void(int)> onRow)
        : QObject(list), list_(list), onRow_(std::move(onRow)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        switch (e->type()) {
            case QEvent::MouseButtonPress: {
                auto* me = static_cast<QMouseEvent*>(e);
                if (me->button() != Qt::LeftButton) return true;
                const QModelIndex idx = list_->indexAt(me->position().toPoint());
                if (idx.isValid()) onRow_(idx.row());
                return true;
            }
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                return true;
            case QEvent::MouseMove:
                return static_cast<QMouseEvent*>(e)->buttons() != Qt::NoButton;
            default:
                return QObject::eventFilter(watched, e);
        }
    }

  private:
    QListView* list_;
    std::function<void(int)> onRow_;
};

}  // namespace

Form1View::Form1View(Form1& model, QtPlatform& host, QWidget* parent)
    : QWidget(parent), model_(model), host_(host) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString());
    setPalette(QPalette(kPanelColor));
    setAutoFillBackground(true);
    setFont(PanelFont(Font::Plain));
    setFixedSize(Px(kWindowTwips.width), Px(kWindowTwips.height));

    build();
    flash_ = new FlashOverlay(this);
    host_.setBeepObserver([this] { refused(); });

    runTimer_.setInterval(kRunRefreshMs);
    connect(&runTimer_, &QTimer::timeout, this, [this] { refresh(); });
    focusConnection_ = connect(qApp, &QApplication::focusChanged, this,
                               [this](QWidget*, QWidget* now) { onFocusChanged(now); });
    refresh();
}

// The children's destruction moves the focus; by then this object is no Form1View any more.
Form1View::~Form1View() {
    disconnect(focusConnection_);
    host_.setBeepObserver(nullptr);
}

// ---------------------------------------------------------------- building the panel

void Form1View::build() {
    const auto groups = Groups();
    std::array<QWidget*, static_cast<std::size_t>(Frame::Window) + 1> frames{};
    frames[static_cast<std::size_t>(Frame::Window)] = this;
    auto frameOf = [&frames](Frame f) { return frames[static_cast<std::size_t>(f)]; };
    for (const GroupPlace& g : groups) {
        auto* box = new PanelGroup(Q(g.caption), frameOf(g.parent));
        box->setObjectName(Q(g.objectName));
        box->setFont(PanelFont(Font::Bold));
        box->setGeometry(Pixels(g.at));
        frames[static_cast<std::size_t>(g.frame)] = box;
    }

    for (const StaticLabel& s : StaticLabels()) {
        auto* lab = new PanelLabel(Q(s.text), s.bordered, frameOf(s.frame));
        lab->setFont(PanelFont(s.font));
        lab->setGeometry(Pixels(s.at));
        if (s.align == Align::Left) lab->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        if (s.hidden) lab->hide();
    }

    // Every element of the control table gets its widget; the tab order follows the groups,
    // and the table's order within a group.
    std::vector<std::pair<std::size_t, QWidget*>> focusable;
    for (const ControlEntry& e : Controls()) {
        ForEachElement(e, [&](int index) {
            const std::optional<Place> p = e.at.at(index);
            if (!p) return;
            QWidget* parent = frameOf(p->frame);
            QWidget* w = e.kind == ControlKind::List ? (buildListing(*p, parent), listing_)
                                                     : bindElement(e, index, *p, parent);
            if (w->focusPolicy() != Qt::NoFocus) {
                const auto rank = static_cast<std::size_t>(
                    std::find_if(groups.begin(), groups.end(),
                                 [&](const GroupPlace& g) { return g.frame == p->frame; }) -
                    groups.begin());
                focusable.emplace_back(rank, w);
            }
        });
    }
    std::stable_sort(focusable.begin(), focusable.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1].second, focusable[i].second);
}

QWidget* Form1View::bindElement(const ControlEntry& e, int index, const Place& place,
                                QWidget* parent) {
    Control& c = e.get(model_, index < 0 ? 0 : index);
    const QString name = index < 0 ? Q(e.name) : Q(e.name) + QStringLiteral("_%1").arg(index);
    QWidget* w = nullptr;
    Kind kind = Kind::Label;
    switch (e.kind) {
        case ControlKind::Cell:
        case ControlKind::Label: {
            auto* lab = new PanelLabel(QString(), true, parent);
            if (e.kind == ControlKind::Cell)
                lab->setClickHandler([this, &e, index, lab] { clicked(e, index, lab); });
            w = lab;
            break;
        }
        case ControlKind::Button: {
            auto* b = new QPushButton(parent);
            b->setAutoDefault(false);
            connect(b, &QPushButton::clicked, this, [this, &e, index, b] { clicked(e, index, b); });
            buttons_.push_back(b);
            // While a run is in progress its access key wins over a button sharing it.
            if (&c == &model_.ejecutar) runButton_ = b;
            kind = Kind::Button;
            w = b;
            break;
        }
        case ControlKind::Check: {
            auto* box = new PanelCheckBox(QString(), parent);
            box->setPinLook(place.look == Look::Pin);
            box->setClickHandler([this, &e, index, box] { clicked(e, index, box); });
            kind = Kind::Check;
            w = box;
            break;
        }
        case ControlKind::TextBox: {
            auto* edit = new PanelLineEdit(parent);
            edit->setTextMargins(0, 0, 0, 0);
            connect(edit, &QLineEdit::textEdited, this, [this, &c](const QString& text) {
                forward([&c, t = text.toStdString()] { c.setText(t); });
            });
            if (&c == &model_.dato) {
                datoEdit_ = edit;
                // Enter accepts and Escape cancels, as the two buttons beside the box do.
                edit->setKeyHandler([this](int key) {
                    const char* button = key == Qt::Key_Escape ? "cancelar"
                                         : key == Qt::Key_Return || key == Qt::Key_Enter ? "aceptar"
                                                                                         : nullptr;
                    const ControlEntry* target = button ? FindControl(button) : nullptr;
                    if (!target) return false;
                    clicked(*target, -1, widgetOf(target->get(model_, 0)));
                    return true;
                });
            }
            kind = Kind::Edit;
            w = edit;
            break;
        }
        case ControlKind::List:
            break;
    }
    w->setObjectName(name);
    w->setFont(PanelFont(place.font));
    w->setGeometry(Pixels(place.at));
    bindings_.push_back(Binding{&c, w, kind, c.revision() + 1, static_cast<ColorRole>(0xFF)});
    widgetOf_[&c] = w;
    if (kind != Kind::Label) controlOf_[w] = &c;
    return w;
}

void Form1View::buildListing(const Place& place, QWidget* parent) {
    listing_ = new QListView(parent);
    listing_->setObjectName(QStringLiteral("prg"));
    listing_->setFont(PanelFont(place.font));
    listing_->setGeometry(Pixels(place.at));
    listing_->setUniformItemSizes(true);
    listing_->setSelectionMode(QAbstractItemView::SingleSelection);
    listing_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listing_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    listing_->setItemDelegate(new ListingDelegate(kListingTabStop, listing_));
    listingModel_ = new ListingModel(model_.prg, listing_);
    listing_->setModel(listingModel_);
    listing_->viewport()->installEventFilter(new ListingMouse(
        listing_, [this](int row) { forward([this, row] { model_.prg.select(row); }); }));
    // Keyboard moves of the current row are the user's selections; the view's own moves are
    // made with `settingSelection_` set.
    connect(listing_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& now) {
                if (settingSelection_ || !now.isValid()) return;
                const int row = now.row();
                forward([this, row] { model_.prg.select(row); });
            });
}

// ---------------------------------------------------------------- events

void Form1View::clicked(const ControlEntry& e, int index, QWidget* widget) {
    QWidget* shows = widget;
    if (const ControlEntry* target = e.refusalShows.empty() ? nullptr : FindControl(e.refusalShows))
        shows = widgetOf(target->get(model_, 0));
    QWidget* const outer = std::exchange(acting_, shows);
    const std::uint64_t before = model_.panelRevision();
    // The model is the authority on whether the control can be clicked: a click that arrives
    // before the window shows a run's disabled step button is still refused.
    forward([this, &e, index] {
        if (Clickable(model_, e, index)) Click(model_, e, index);
    });
    acting_ = outer;
    // A cell click that chose a target gives `dato` the focus, also when the model's focus
    // already was there while the widget focus had moved to the listing (no model control).
    if (e.kind == ControlKind::Cell && model_.panelRevision() != before) followModelFocus();
}

void Form1View::forward(const std::function<void()>& handler) {
    // A handler may be a continuous run that only returns when it stops: the display timer
    // keeps the window current meanwhile, firing inside the run's yields.
    if (!runTimer_.isActive()) runTimer_.start();
    handler();
    refresh();
    if (!model_.running()) runTimer_.stop();
}

void Form1View::refused() {
    QWidget* target = acting_ ? acting_ : QApplication::focusWidget();
    if (!target || !isAncestorOf(target) || target == flash_) return;
    flash_->flash(target);
    // A refused value is selected again for correction.
    if (target == datoEdit_) datoSelectionDue_ = true;
}

QWidget* Form1View::widgetOf(const Control& c) const {
    auto it = widgetOf_.find(&c);
    return it == widgetOf_.end() ? nullptr : it->second;
}

void Form1View::followModelFocus() {
    const Control* f = model_.focus();
    if (!f) return;
    QWidget* w = widgetOf(*f);
    if (w && w->isEnabled() && !w->isHidden() && QApplication::focusWidget() != w)
        w->setFocus(Qt::OtherFocusReason);
}

void Form1View::onFocusChanged(QWidget* now) {
    auto it = controlOf_.find(now);
    if (it == controlOf_.end()) return;
    Control* c = it->second;
    if (c == &model_.dato) {
        datoSelectionDue_ = true;
        forward([this] {
            if (model_.focus() != &model_.dato)
                model_.setFocus(model_.dato);  // runs dato_GotFocus
            else
                model_.dato_GotFocus();
        });
        return;
    }
    if (model_.focus() != c) forward([this, c] { model_.setFocus(*c); });
}

void Form1View::closeEvent(QCloseEvent* e) {
    // Closing the window ends the program at once, also in the middle of a run.
    model_.Form_QueryUnload();
    e->accept();
}

// ---------------------------------------------------------------- drawing

void Form1View::refresh() {
    if (refreshing_) {
        // A handler run from inside a redraw (a focus change): draw again when this one ends.
        refreshAgain_ = true;
        return;
    }
    refreshing_ = true;
    do {
        refreshAgain_ = false;
        if (panelFresh_ && model_.panelRevision() == panelDrawn_ && !datoSelectionDue_) break;
        panelDrawn_ = model_.panelRevision();
        panelFresh_ = true;
        ++refreshes_;
        for (Binding& b : bindings_)
            if (b.drawn != b.control->revision()) draw(b);
        drawAccessKeys();
        drawListing();
        applyDatoSelection();
        drawFocus();
    } while (refreshAgain_);
    refreshing_ = false;
}

void Form1View::draw(Binding& b) {
    const Control& c = *b.control;
    b.drawn = c.revision();
    QWidget* w = b.widget;
    const QString text = Q(c.text());
    switch (b.kind) {
        case Kind::Label: {
            auto* l = static_cast<PanelLabel*>(w);
            SetTextIfChanged(l, text);
            if (b.color != c.color()) {
                b.color = c.color();
                l->setBackground(CellColor(c.color()));
            }
            break;
        }
        case Kind::Button:
            if (static_cast<QPushButton*>(w)->text() != text) {
                static_cast<QPushButton*>(w)->setText(text);
                accessKeysFresh_ = false;  // a caption sets its own access key
            }
            break;
        case Kind::Check: {
            auto* box = static_cast<PanelCheckBox*>(w);
            SetTextIfChanged(box, text);
            if (box->isChecked() != (c.value() != 0)) box->setChecked(c.value() != 0);
            break;
        }
        case Kind::Edit: {
            auto* e = static_cast<QLineEdit*>(w);
            SetTextIfChanged(e, text);
            if (e->isReadOnly() != c.readOnly()) e->setReadOnly(c.readOnly());
            break;
        }
    }
    const QString hint = Q(c.hint());
    if (w->toolTip() != hint) w->setToolTip(hint);
    if (w->testAttribute(Qt::WA_Disabled) == c.enabled()) w->setEnabled(c.enabled());
    if (w->isHidden() == c.visible()) w->setVisible(c.visible());
}

void Form1View::drawAccessKeys() {
    // "&Parar" and "&Programar" share Alt+P: during a run the key stops the run, otherwise
    // the shared key would only move the focus between the two.
    const bool running = model_.running();
    if (accessKeysFresh_ && running == accessKeysRunning_) return;
    accessKeysFresh_ = true;
    accessKeysRunning_ = running;
    const QKeySequence runKey =
        runButton_ ? QKeySequence::mnemonic(runButton_->text()) : QKeySequence();
    for (QPushButton* b : buttons_) {
        const QKeySequence own = QKeySequence::mnemonic(b->text());
        const QKeySequence key =
            running && b != runButton_ && !own.isEmpty() && own == runKey ? QKeySequence() : own;
        if (b->shortcut() != key) b->setShortcut(key);
    }
}

void Form1View::drawListing() {
    const ListBox& prg = model_.prg;
    if (listingFresh_ && prg.rowsRevision() == rowsDrawn_ &&
        prg.selectionRevision() == selectionDrawn_)
        return;
    bool selectionDue = !listingFresh_ || prg.selectionRevision() != selectionDrawn_;
    settingSelection_ = true;
    if (!listingFresh_ || prg.rowsRevision() != rowsDrawn_) {
        rowsDrawn_ = prg.rowsRevision();
        // A reset loses the list's current row: select it again.
        if (listingModel_->sync()) selectionDue = true;
    }
    listingFresh_ = true;
    if (selectionDue) {
        selectionDrawn_ = prg.selectionRevision();
        const int s = prg.selected();
        if (s >= 0 && s < listingModel_->rowCount()) {
            const QModelIndex idx = listingModel_->index(s);
            listing_->setCurrentIndex(idx);
            listing_->scrollTo(idx, QAbstractItemView::EnsureVisible);
        } else {
            listing_->clearSelection();
            listing_->setCurrentIndex(QModelIndex());
        }
    }
    settingSelection_ = false;
}

void Form1View::applyDatoSelection() {
    if (!datoEdit_) return;
    const int s = model_.dato.selStart();
    const int l = model_.dato.selLength();
    // The panel selecting Dato again counts even with the same bounds: a new value was offered.
    const std::uint32_t selections = model_.datoSelections();
    if (!datoSelectionDue_ && s == datoSelStart_ && l == datoSelLength_ &&
        selections == datoSelectionsDrawn_)
        return;
    datoSelectionDue_ = false;
    datoSelStart_ = s;
    datoSelLength_ = l;
    datoSelectionsDrawn_ = selections;
    if (l > 0)
        datoEdit_->setSelection(s, l);
    else
        datoEdit_->setCursorPosition(s);
}

void Form1View::drawFocus() {
    if (model_.focusRevision() == focusDrawn_) return;
    focusDrawn_ = model_.focusRevision();
    followModelFocus();
}

}  // namespace vintrel
