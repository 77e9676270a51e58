#include <string>

#include "core/form1.h"

namespace vintrel {

void ListBox::clear() {
    rows_.clear();
    rowRevisions_.clear();
    selected_ = -1;
    ++selectionRevision_;
    touched();
}

void ListBox::append(std::string text) {
    rows_.push_back(std::move(text));
    rowRevisions_.push_back(revision_ + 1);
    touched();
}

void ListBox::replace(int i, std::string text) {
    if (i < 0 || i >= count()) return;
    auto idx = static_cast<std::size_t>(i);
    if (rows_[idx] == text) return;
    rows_[idx] = std::move(text);
    ++rowRevisions_[idx];
    touched();
}

void ListBox::select(int i) {
    if (i < 0 || i >= count()) return;
    if (selected_ != i) {
        selected_ = i;
        ++selectionRevision_;
        touched();
    }
    if (onClick_) onClick_();
}

Form1::Form1(Platform& platform) : platform_(platform) {
    // Design-time values: set before the change handlers are wired, so they run nothing.
    for (int key = 0; key < 256; ++key) {
        if (!IsRegKey(key)) continue;
        Control& c = REG(key);
        c.setHex(0, 2);
        c.setColor(ColorRole::Cell);
    }
    REG(0).setText("**");
    REG(0).setColor(ColorRole::Placeholder);
    REG(7).setText("--");
    REG(7).setColor(ColorRole::Placeholder);
    REG(129).setHex(0xFF, 2);
    REG(133).setHex(0x1F, 2);
    REG(134).setHex(0xFF, 2);

    REGW.setHex(0, 2);
    REGW.setColor(ColorRole::Cell);
    RegPC.setHex(0, 3);
    RegPC.setColor(ColorRole::Cell);
    INDF.setHex(0, 2);
    INDF.setColor(ColorRole::Cell);
    for (auto& p : pila) {
        p.setText("---");
        p.setColor(ColorRole::Cell);
    }
    for (auto& e : EE) {
        e.setHex(0, 2);
        e.setColor(ColorRole::Cell);
    }
    for (auto& p : PA)
        p.setHint("Activar/desactivar bit");
    PA[4].setVisible(false);
    PB[7].setHint("Activar/desactivar bit");
    RP[0].setText("RP=00");
    RP[1].setText("RP=01");

    SENTIM.setText("Ext. Des.");
    divtim.setNumber(256);
    ciclos.setNumber(0);
    ciclos.setHint("Ciclos de Instrucción transcurridos");
    contawdt.setHint("Ciclos hasta desbordamiento del Watchdog");
    contawdt.setVisible(false);
    estsleep.setText("SLEEP");
    estsleep.setHint("PIC en modo SLEEP");
    estsleep.setEnabled(false);
    WATCHDOG.setText("WDT / 128");
    WATCHDOG.setHint("Activar/desactivar Watchdog");
    FREC.setText("4000");
    FREC.setHint("Frecuencia del sistema");
    FR.setText("0");
    FR.setHint("Frecuencia de TOCKI");
    FR.setVisible(false);
    direc.setReadOnly(true);

    por.setText("PO&R");
    por.setHint("Power on Reset");
    MCLR.setText("&MCLR");
    MCLR.setHint("Reset por MCLR");
    WDT.setText("&WDT");
    WDT.setHint("Desbordamiento del Watchdog");
    WDT.setEnabled(false);
    TOCKI.setText("T0C&KI");
    TOCKI.setHint("Generar pulso en TOCKI");
    aceptar.setText("&Aceptar");
    cancelar.setText("Cance&lar");
    cargar.setText("&Cargar");
    salvar.setText("&Salvar");
    ensamblar.setText("&Ensamblar");
    programar.setText("&Programar");
    editar.setText("Edita&r");
    fin.setText("&Fin");
    break_.setText("&Break");
    eje1.setText("Ejec. &1");
    eje1.setHint("Ejecjutar una instrucción");
    ejecutar.setText("&Ejecutar");
    ejecutar.setHint("Ejecutar de forma continua");

    wireControls();
    Form_Load();
}

void Form1::wireControls() {
    auto wire = [this](Control& c) { c.setPanelRevision(&panelRevision_); };
    for (int key = 0; key < 256; ++key) {
        Control& c = REG(key);
        wire(c);
        if (IsRegKey(key)) c.setChangeHandler([this, key] { REG_Change(key); });
    }
    for (Control* c : {&REGW,      &RegPC,     &INDF,   &SENTIM,  &divtim,   &ciclos,   &contawdt,
                       &estsleep,  &WATCHDOG,  &FREC,   &FR,      &direc,    &dato,     &por,
                       &MCLR,      &WDT,       &TOCKI,  &aceptar, &cancelar, &cargar,   &salvar,
                       &ensamblar, &programar, &editar, &fin,     &eje1,     &ejecutar, &break_})
        wire(*c);
    for (auto& c : pila)
        wire(c);
    for (auto& c : EE)
        wire(c);
    for (auto& c : PA)
        wire(c);
    for (auto& c : PB)
        wire(c);
    for (auto& c : RP)
        wire(c);
    for (auto& c : dir)
        wire(c);
    for (auto& c : dire)
        wire(c);
    prg.setPanelRevision(&panelRevision_);

    RegPC.setChangeHandler([this] { RegPC_Change(); });
    FR.setChangeHandler([this] { FR_Change(); });
    // The switch's caption changes too; WATCHDOG_Click only follows the value, so it is safe
    // to run on either.
    WATCHDOG.setChangeHandler([this] { WATCHDOG_Click(); });
    prg.setClickHandler([this] { prg_Click(); });
}

void Form1::setFocus(Control& c) {
    if (focus_ == &c) return;
    focus_ = &c;
    ++focusRevision_;
    ++panelRevision_;
    if (&c == &dato) dato_GotFocus();
}

void Form1::Form_Load() {
    StatusReg = 0x18;
    selpag();
    for (int i = 0; i < 80; ++i)
        dir[static_cast<std::size_t>(i)].setHex(i, 2);
    for (int i = 0; i < 16; ++i) {
        dir[static_cast<std::size_t>(80 + i)].setHex(128 + i, 2);
        dire[static_cast<std::size_t>(i)].setHex(i, 1);
    }
    REGW.setHex(0, 2);
    REG(3).setHex(0x18, 2);
    REG(129).setHex(0xFF, 2);
    REG(11).setHex(0x00, 2);
    listaprog();
    ExtraCycle = 1;
}

}  // namespace vintrel
