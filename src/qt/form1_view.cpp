#include "qt/form1_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>

#include "qt/form1_view_widgets.h"

namespace vintrel {

namespace {

// Positions and sizes of the panel are laid out in twips, 15 to the pixel.
int Px(int twips) {
    return (twips + 7) / 15;
}

QRect Twips(int l, int t, int w, int h) {
    return QRect(Px(l), Px(t), Px(w), Px(h));
}

// The panel's two fonts: a bold sans for group captions and labels, the regular one for
// controls and plain captions. Liberation Sans has the metrics the layout was drawn for; 11 px
// is 8.25 pt at 96 dpi, the size the cells were made for whatever the screen's resolution.
QFont PanelFont(bool bold) {
    QFont f;
    f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                   QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    // Set explicitly, so a control never inherits the bold of its group's caption.
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
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

// Sets the caption only when it differs, so an unchanged text costs no relayout or repaint.
template <class W>
void SetTextIfChanged(W* w, const QString& t) {
    if (w->text() != t) w->setText(t);
}

// Eats the listing's mouse presses: a click selects through the model, which then draws the
// selection, so the list never selects on its own.
class ListingMouse : public QObject {
  public:
    ListingMouse(QListWidget* list, std::function<void(int)> onRow)
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
    QListWidget* list_;
    std::function<void(int)> onRow_;
};

}  // namespace

Form1View::Form1View(Form1& model, QWidget* parent) : QWidget(parent), model_(model) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString());
    setPalette(QPalette(kPanelColor));
    setAutoFillBackground(true);
    setFont(PanelFont(false));
    setFixedSize(Px(11655), Px(8070));

    buildDataMemory();
    buildEeprom(group(this, "Frame3", QStringLiteral("Memoria EEPROM"), 120, 4800, 6375, 1575));
    buildPic(group(this, "Frame7", QStringLiteral("PIC"), 120, 6360, 3255, 1575));
    buildStack(group(this, "Frame9", QStringLiteral("Pila"), 3480, 6360, 3015, 615));
    buildEditing(group(this, "Frame10", QStringLiteral("Modificar"), 3480, 6960, 3015, 975));
    buildFiles(group(this, "Frame8", QStringLiteral("Ficheros"), 6600, 4800, 1455, 3135));
    buildPorts(group(this, "Frame5", QStringLiteral("Puertos E/S"), 8160, 0, 3375, 1095));
    buildTimer(group(this, "Frame6", QStringLiteral("RTCC"), 8160, 1080, 3375, 855));
    buildProgram(
        group(this, "Frame2", QStringLiteral("Memoria de PROGRAMA"), 8160, 1920, 3375, 6015));

    runTimer_.setInterval(kRunRefreshMs);
    connect(&runTimer_, &QTimer::timeout, this, [this] { refresh(); });
    focusConnection_ = connect(qApp, &QApplication::focusChanged, this,
                               [this](QWidget*, QWidget* now) { onFocusChanged(now); });
    refresh();
}

// The children's destruction moves the focus; by then this object is no Form1View any more.
Form1View::~Form1View() {
    disconnect(focusConnection_);
}

// ---------------------------------------------------------------- building the panel

QGroupBox* Form1View::group(QWidget* parent, const char* name, const QString& caption, int l, int t,
                            int w, int h) {
    auto* g = new PanelGroup(caption, parent);
    g->setObjectName(QLatin1String(name));
    g->setFont(PanelFont(true));
    g->setGeometry(Twips(l, t, w, h));
    return g;
}

void Form1View::bind(const Control& c, QWidget* w, Kind kind) {
    bindings_.push_back(Binding{&c, w, kind, c.revision() + 1, static_cast<ColorRole>(0xFF)});
    widgetOf_[&c] = w;
}

PanelLabel* Form1View::cell(QWidget* parent, const Control& c, int l, int t, int w, int h,
                            bool bold) {
    auto* lab = new PanelLabel(QString(), true, parent);
    lab->setFont(PanelFont(bold));
    lab->setGeometry(Twips(l, t, w, h));
    bind(c, lab, Kind::Label);
    return lab;
}

PanelLabel* Form1View::label(QWidget* parent, const QString& text, int l, int t, int w, int h,
                             bool bold, bool bordered) {
    auto* lab = new PanelLabel(text, bordered, parent);
    lab->setFont(PanelFont(bold));
    lab->setGeometry(Twips(l, t, w, h));
    // Headings are centred; plain captions start at the left like the text they introduce.
    if (!bordered) lab->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return lab;
}

QPushButton* Form1View::button(QWidget* parent, Control& c, const char* name, int l, int t, int w,
                               int h, std::function<void()> onClick) {
    auto* b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setFont(PanelFont(false));
    b->setGeometry(Twips(l, t, w, h));
    b->setAutoDefault(false);
    bind(c, b, Kind::Button);
    controlOf_[b] = &c;
    connect(b, &QPushButton::clicked, this, [this, &c, onClick = std::move(onClick)] {
        // The model is the authority on whether the button can be pressed: a click that
        // arrives before the window shows a run's disabled step button is still refused.
        forward([&c, &onClick] {
            if (c.enabled() && c.visible() && onClick) onClick();
        });
    });
    return b;
}

PanelCheckBox* Form1View::checkBox(QWidget* parent, Control& c, const char* name, int l, int t,
                                   int w, int h, std::function<void()> onClick) {
    auto* box = new PanelCheckBox(QString(), parent);
    box->setObjectName(QLatin1String(name));
    box->setFont(PanelFont(false));
    box->setGeometry(Twips(l, t, w, h));
    bind(c, box, Kind::Check);
    controlOf_[box] = &c;
    box->setClickHandler([this, &c, onClick = std::move(onClick)] {
        forward([&c, &onClick] {
            if (c.enabled() && c.visible()) onClick();
        });
    });
    return box;
}

QLineEdit* Form1View::lineEdit(QWidget* parent, Control& c, const char* name, int l, int t, int w,
                               int h) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setFont(PanelFont(false));
    e->setGeometry(Twips(l, t, w, h));
    e->setTextMargins(0, 0, 0, 0);
    bind(c, e, Kind::Edit);
    controlOf_[e] = &c;
    connect(e, &QLineEdit::textEdited, this, [this, &c](const QString& text) {
        forward([&c, t = text.toStdString()] { c.setText(t); });
    });
    return e;
}

void Form1View::buildDataMemory() {
    QGroupBox* frame =
        group(this, "Frame1", QStringLiteral("Memoria de DATOS"), 120, 0, 7935, 4815);

    for (int i = 0; i < 2; ++i) {
        auto* rp = cell(frame, model_.RP[static_cast<std::size_t>(i)], i == 0 ? 240 : 2280, 240,
                        i == 0 ? 2055 : 1935, 255, true);
        rp->setObjectName(QStringLiteral("RP_%1").arg(i));
    }

    auto regCell = [this](QWidget* parent, int key, int l, int t) {
        PanelLabel* c = cell(parent, model_.REG(key), l, t, 375, 255, true);
        c->setObjectName(QStringLiteral("REG_%1").arg(key));
        c->setClickHandler([this, key] { cellClicked([this, key] { model_.REG_Click(key); }); });
    };
    auto heading = [this](QWidget* parent, int index, int l, int t) {
        PanelLabel* c =
            cell(parent, model_.dir[static_cast<std::size_t>(index)], l, t, 375, 255, true);
        c->setObjectName(QStringLiteral("dir_%1").arg(index));
    };

    struct Row {
        const char* name;   // register name of the bank-0 column, null for none
        bool sharedColumn;  // cell between the bank columns (mirrored in both banks)
        const char* bank1;  // name of the bank-1 register with storage of its own
    };
    static constexpr Row kRows[16] = {
        {"INDF", false, nullptr},   {"RTCC", false, "OPTION"},  {"PCL", true, nullptr},
        {"STATUS", true, nullptr},  {"FSR", true, nullptr},     {"PORTA", false, "TRISA"},
        {"PORTB", false, "TRISB"},  {"--", true, nullptr},      {"EEDATA", false, "EECON1"},
        {"EEADR", false, "EECON2"}, {"PCLATCH", true, nullptr}, {"INTCON", true, nullptr},
        {nullptr, true, nullptr},   {nullptr, true, nullptr},   {nullptr, true, nullptr},
        {nullptr, true, nullptr},
    };
    for (int r = 0; r < 16; ++r) {
        const int top = 480 + 240 * r;
        const Row& row = kRows[r];
        heading(frame, r, 240, top);
        if (row.name) label(frame, QLatin1String(row.name), 600, top, 1065, 255, true, true);
        regCell(frame, r, row.sharedColumn ? 2040 : 1680, top);
        if (r == 0) {
            auto* arrow = label(frame, QStringLiteral("->"), 2040, top, 375, 255, true, false);
            arrow->setAlignment(Qt::AlignCenter);
            cell(frame, model_.INDF, 2400, top, 375, 255, true)
                ->setObjectName(QStringLiteral("INDF"));
        }
        if (row.bank1) {
            regCell(frame, 128 + r, 2400, top);
            label(frame, QLatin1String(row.bank1), 2760, top, 1065, 255, true, true);
        }
        heading(frame, 80 + r, 3840, top);
    }

    label(frame, QStringLiteral("W"), 1200, 4440, 375, 255, true, true);
    PanelLabel* w = cell(frame, model_.REGW, 1560, 4440, 375, 255, true);
    w->setObjectName(QStringLiteral("REGW"));
    w->setClickHandler([this] { cellClicked([this] { model_.REGW_Click(); }); });
    label(frame, QStringLiteral("PC"), 2520, 4440, 375, 255, true, true);
    PanelLabel* pc = cell(frame, model_.RegPC, 2880, 4440, 495, 255, true);
    pc->setObjectName(QStringLiteral("RegPC"));
    pc->setClickHandler([this] { cellClicked([this] { model_.RegPC_Click(); }); });

    QGroupBox* user = group(frame, "Frame4", QStringLiteral("Usuario"), 4320, 240, 3495, 4215);
    for (int k = 0; k < 4; ++k) {
        for (int r = 0; r < 16; ++r) {
            const int index = 16 + 16 * k + r;
            heading(user, index, 120 + 840 * k, 240 + 240 * r);
            regCell(user, index, 480 + 840 * k, 240 + 240 * r);
        }
    }
}

void Form1View::buildEeprom(QWidget* frame) {
    for (int i = 0; i < 16; ++i) {
        cell(frame, model_.dire[static_cast<std::size_t>(i)], 480 + 360 * i, 240, 375, 255, true)
            ->setObjectName(QStringLiteral("dire_%1").arg(i));
    }
    for (int r = 0; r < 4; ++r)
        label(frame, QStringLiteral("%1x").arg(r), 120, 480 + 240 * r, 375, 255, true, true);
    for (int i = 0; i < kEepromCells; ++i) {
        PanelLabel* c = cell(frame, model_.EE[static_cast<std::size_t>(i)], 480 + 360 * (i % 16),
                             480 + 240 * (i / 16), 375, 255, true);
        c->setObjectName(QStringLiteral("EE_%1").arg(i));
        c->setClickHandler([this, i] { cellClicked([this, i] { model_.EE_Click(i); }); });
    }
}

void Form1View::buildPic(QWidget* frame) {
    label(frame, QStringLiteral("Frecuencia"), 120, 270, 855, 255, false, false);
    lineEdit(frame, model_.FREC, "FREC", 960, 240, 615, 285);
    label(frame, QStringLiteral("KHz"), 1680, 270, 375, 255, false, false);
    checkBox(frame, model_.estsleep, "estsleep", 120, 600, 855, 255,
             [this] { model_.estsleep.setValue(model_.estsleep.value() != 0 ? 0 : 1); });
    // The switch's change handler is WATCHDOG_Click, so flipping the value is the whole click.
    checkBox(frame, model_.WATCHDOG, "WATCHDOG", 1080, 600, 1155, 255,
             [this] { model_.WATCHDOG.setValue(model_.WATCHDOG.value() != 0 ? 0 : 1); });
    label(frame, QStringLiteral("Ciclos"), 480, 960, 495, 255, false, false);
    cell(frame, model_.ciclos, 960, 960, 1095, 255, false)->setObjectName(QStringLiteral("ciclos"));
    // The watchdog countdown never shows: no operation makes it visible.
    label(frame, QStringLiteral("Watchdog"), 120, 1230, 855, 255, false, false)->hide();
    cell(frame, model_.contawdt, 960, 1200, 1095, 255, false)
        ->setObjectName(QStringLiteral("contawdt"));
    button(frame, model_.por, "por", 2280, 240, 855, 375, [this] { model_.por_Click(); });
    button(frame, model_.MCLR, "MCLR", 2280, 660, 855, 375, [this] { model_.MCLR_Click(); });
    button(frame, model_.WDT, "WDT", 2280, 1080, 855, 375, [this] { model_.WDT_Click(); });
}

void Form1View::buildStack(QWidget* frame) {
    for (int i = 0; i < kStackLevels; ++i) {
        cell(frame, model_.pila[static_cast<std::size_t>(i)], 60 + 360 * i, 240, 375, 255, false)
            ->setObjectName(QStringLiteral("pila_%1").arg(i));
    }
}

void Form1View::buildEditing(QWidget* frame) {
    label(frame, QStringLiteral("Dir."), 120, 240, 735, 255, true, true);
    lineEdit(frame, model_.direc, "direc", 120, 520, 735, 285);
    label(frame, QStringLiteral("Dato"), 840, 240, 735, 255, true, true);
    datoEdit_ = lineEdit(frame, model_.dato, "dato", 840, 520, 735, 285);
    button(frame, model_.aceptar, "aceptar", 1740, 240, 1095, 315, [this] {
        model_.aceptar_Click();
        // A refused value gives the box its focus and selection again.
        datoSelectionDue_ = true;
    });
    button(frame, model_.cancelar, "cancelar", 1740, 540, 1095, 315,
           [this] { model_.cancelar_Click(); });
}

void Form1View::buildFiles(QWidget* frame) {
    button(frame, model_.cargar, "cargar", 240, 240, 975, 375, [this] { model_.cargar_Click(); });
    button(frame, model_.salvar, "salvar", 240, 720, 975, 375, nullptr);
    button(frame, model_.ensamblar, "ensamblar", 240, 1200, 975, 375,
           [this] { model_.ensamblar_Click(); });
    button(frame, model_.programar, "programar", 240, 1680, 975, 375,
           [this] { model_.programar_Click(); });
    button(frame, model_.editar, "editar", 240, 2160, 975, 375, [this] { model_.editar_Click(); });
    button(frame, model_.fin, "fin", 240, 2640, 975, 375, [this] { model_.fin_Click(); });
}

void Form1View::buildPorts(QWidget* frame) {
    for (int bit = 7; bit >= 0; --bit) {
        auto* h =
            label(frame, QString::number(bit), 1200 + 240 * (7 - bit), 240, 195, 255, true, false);
        h->setAlignment(Qt::AlignCenter);
    }
    label(frame, QStringLiteral("PORTA"), 240, 480, 735, 255, true, true);
    label(frame, QStringLiteral("PORTB"), 240, 720, 735, 255, true, true);
    for (int bit = 0; bit < 5; ++bit) {
        Control& c = model_.PA[static_cast<std::size_t>(bit)];
        const QByteArray name = QStringLiteral("PA_%1").arg(bit).toLatin1();
        checkBox(frame, c, name.constData(), 2880 - 240 * bit, 480, 255, 255, [this, bit, &c] {
            c.setValue(c.value() != 0 ? 0 : 1);
            model_.PA_Click(bit);
        });
    }
    for (int bit = 0; bit < 8; ++bit) {
        Control& c = model_.PB[static_cast<std::size_t>(bit)];
        const QByteArray name = QStringLiteral("PB_%1").arg(bit).toLatin1();
        checkBox(frame, c, name.constData(), 2880 - 240 * bit, 720, 255, 255, [this, bit, &c] {
            c.setValue(c.value() != 0 ? 0 : 1);
            model_.PB_Click(bit);
        });
    }
}

void Form1View::buildTimer(QWidget* frame) {
    label(frame, QStringLiteral("Divisor"), 120, 240, 495, 255, false, false);
    cell(frame, model_.divtim, 120, 480, 495, 255, true)->setObjectName(QStringLiteral("divtim"));
    label(frame, QStringLiteral("Señal"), 720, 240, 735, 255, false, false);
    cell(frame, model_.SENTIM, 720, 480, 735, 255, true)->setObjectName(QStringLiteral("SENTIM"));
    // The T0CKI frequency setting never shows: no operation makes it visible.
    label(frame, QStringLiteral("Frec."), 1560, 240, 735, 255, false, false)->hide();
    lineEdit(frame, model_.FR, "FR", 1560, 480, 855, 285);
    button(frame, model_.TOCKI, "TOCKI", 2520, 480, 735, 255, [this] { model_.TOCKI_Click(); });
}

void Form1View::buildProgram(QWidget* frame) {
    listing_ = new QListWidget(frame);
    listing_->setObjectName(QStringLiteral("prg"));
    listing_->setFont(PanelFont(false));
    listing_->setGeometry(Twips(120, 240, 3135, 5130));
    listing_->setUniformItemSizes(true);
    listing_->setSelectionMode(QAbstractItemView::SingleSelection);
    listing_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    listing_->setItemDelegate(new ListingDelegate(kListingTabStop, listing_));
    listing_->viewport()->installEventFilter(new ListingMouse(
        listing_, [this](int row) { forward([this, row] { model_.prg.select(row); }); }));
    // Keyboard moves of the current row are the user's selections; the view's own moves are
    // made with the list's signals blocked.
    connect(listing_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) forward([this, row] { model_.prg.select(row); });
    });

    button(frame, model_.break_, "break", 120, 5520, 975, 375, [this] { model_.break_Click(); });
    button(frame, model_.eje1, "eje1", 1200, 5520, 975, 375, [this] { model_.eje1_Click(); });
    button(frame, model_.ejecutar, "ejecutar", 2280, 5520, 975, 375,
           [this] { model_.ejecutar_Click(); });
}

// ---------------------------------------------------------------- events

void Form1View::forward(const std::function<void()>& handler) {
    // A handler may be a continuous run that only returns when it stops: the display timer
    // keeps the window current meanwhile, firing inside the run's yields.
    if (!runTimer_.isActive()) runTimer_.start();
    handler();
    refresh();
    if (!model_.running()) runTimer_.stop();
}

void Form1View::cellClicked(const std::function<void()>& handler) {
    const std::uint64_t before = model_.panelRevision();
    forward(handler);
    // A click that chose a target gives `dato` the focus, also when the model's focus already
    // was there while the widget focus had moved to the listing (which has no model control).
    if (model_.panelRevision() != before) followModelFocus();
}

void Form1View::followModelFocus() {
    const Control* f = model_.focus();
    if (!f) return;
    auto it = widgetOf_.find(f);
    if (it == widgetOf_.end()) return;
    QWidget* w = it->second;
    if (w->isEnabled() && !w->isHidden() && QApplication::focusWidget() != w)
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
            SetTextIfChanged(static_cast<QPushButton*>(w), text);
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

void Form1View::drawListing() {
    const ListBox& prg = model_.prg;
    if (listingFresh_ && prg.revision() == listingDrawn_) return;
    // A rebuild of the whole list changes at least one revision per row: then every row's
    // text is compared, so no row can be missed by a coincidence of row revisions.
    const bool rebuilt = !listingFresh_ || prg.revision() - listingDrawn_ >=
                                               static_cast<std::uint32_t>(kProgramWords);
    listingDrawn_ = prg.revision();
    listingFresh_ = true;

    const QSignalBlocker block(listing_);
    const int n = prg.count();
    if (listing_->count() != n) {
        listing_->clear();
        QStringList rows;
        rows.reserve(n);
        for (int i = 0; i < n; ++i)
            rows.append(Q(prg.row(i)));
        listing_->addItems(rows);
        rowDrawn_.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            rowDrawn_[static_cast<std::size_t>(i)] = prg.rowRevision(i);
        selectionDrawn_ = prg.selectionRevision() + 1;
    } else {
        for (int i = 0; i < n; ++i) {
            auto& drawn = rowDrawn_[static_cast<std::size_t>(i)];
            if (!rebuilt && drawn == prg.rowRevision(i)) continue;
            drawn = prg.rowRevision(i);
            QListWidgetItem* item = listing_->item(i);
            const QString t = Q(prg.row(i));
            if (item->text() != t) item->setText(t);
        }
    }
    if (prg.selectionRevision() != selectionDrawn_) {
        selectionDrawn_ = prg.selectionRevision();
        const int s = prg.selected();
        if (s >= 0 && s < listing_->count()) {
            listing_->setCurrentRow(s);
            listing_->scrollToItem(listing_->item(s), QAbstractItemView::EnsureVisible);
        } else {
            listing_->setCurrentRow(-1);
            listing_->clearSelection();
        }
    }
}

void Form1View::applyDatoSelection() {
    const int s = model_.dato.selStart();
    const int l = model_.dato.selLength();
    if (!datoSelectionDue_ && s == datoSelStart_ && l == datoSelLength_) return;
    datoSelectionDue_ = false;
    datoSelStart_ = s;
    datoSelLength_ = l;
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
