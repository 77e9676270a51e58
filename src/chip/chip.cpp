#include "chip/chip.h"

namespace vintrel {

Chip::Chip() {
    decodedWord_.fill(0);
    decoded_.fill(Decode(0));
    indfKey_ = kAnyKey;  // so that the first key sets every entry
    SetIndfKey(IndfKeyOf(0));
    // Design-time values: set before the controls are wired, so they run nothing.
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
    ResetControlRegisters();

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
    FR.setText("0");
    FR.setHint("Frecuencia de TOCKI");
    FR.setVisible(false);
    TOCKI.setText("T0C&KI");
    TOCKI.setHint("Generar pulso en TOCKI");
    WDT.setText("&WDT");
    WDT.setHint("Desbordamiento del Watchdog");
    WDT.setEnabled(false);

    for (int key = 0; key < 256; ++key) {
        Control& c = REG(key);
        c.setPanelRevision(&panelRevision_);
        if (IsRegKey(key)) c.setListener(this, key);
    }
    for (Control* c : {&REGW, &RegPC, &INDF, &SENTIM, &divtim, &ciclos, &contawdt, &estsleep,
                       &WATCHDOG, &FR, &TOCKI, &WDT})
        c->setPanelRevision(&panelRevision_);
    for (auto& c : pila)
        c.setPanelRevision(&panelRevision_);
    for (auto& c : EE)
        c.setPanelRevision(&panelRevision_);
    for (auto& c : PA)
        c.setPanelRevision(&panelRevision_);
    for (auto& c : PB)
        c.setPanelRevision(&panelRevision_);
    for (auto& c : RP)
        c.setPanelRevision(&panelRevision_);
    RegPC.setListener(this, kRegPCId);
    FR.setListener(this, kFRId);
    // The switch's caption changes too; WATCHDOG_Click only follows the value, so it is safe
    // to run on either.
    WATCHDOG.setListener(this, kWatchdogId);

    Form_Load();
}

void Chip::ControlChanged(int id) {
    switch (id) {
        case kRegPCId:
            RegPC_Change();
            break;
        case kFRId:
            FR_Change();
            break;
        case kWatchdogId:
            WATCHDOG_Click();
            break;
        default:
            REG_Change(id);
            break;
    }
}

void Chip::Form_Load() {
    StatusReg = pic::TO | pic::PD;
    selpag();
    REGW.setHex(0, 2);
    REG(pic::STATUS).setHex(pic::TO | pic::PD, 2);
    REG(pic::OPTION_REG).setHex(0xFF, 2);
    REG(pic::INTCON).setHex(0x00, 2);
    ExtraCycle = 1;
}

void Chip::EraseMemories() {
    for (auto& cell : EE)
        cell.setHex(0, 2);
    ProgramMemory.fill(ErasedWord());
}

void Chip::StoreImage(const ProgramImage& image) {
    for (std::size_t a = 0; a < image.words.size(); ++a)
        if (image.words[a]) ProgramMemory[a] = *image.words[a];
    for (std::size_t a = 0; a < image.eeprom.size(); ++a)
        if (image.eeprom[a]) EE[a].setHex(*image.eeprom[a], 2);
    for (const bool on : image.watchdog)
        WATCHDOG.setValue(on ? 1 : 0);
}

}  // namespace vintrel
