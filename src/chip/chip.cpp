#include "chip/chip.h"

namespace vintrel {

Chip::Chip() {
    decodedWord_.fill(0);
    decoded_.fill(Decode(0));
    indfKey_ = kAnyKey;  // so that the first key sets every entry
    SetIndfKey(IndfKeyOf(0));
    // Design-time values: set before the controls are wired, so they run nothing. Captions,
    // hints and colours are the panel's, in its table of controls.
    for (int key = 0; key < 256; ++key)
        if (IsRegKey(key)) REG(key).setHex(0, 2);
    REG(0).setText("**");
    REG(7).setText("--");
    REG(129).setHex(0xFF, 2);
    REG(133).setHex(0x1F, 2);
    REG(134).setHex(0xFF, 2);

    REGW.setHex(0, 2);
    RegPC.setHex(0, 3);
    INDF.setHex(0, 2);
    for (auto& p : pila)
        p.setText("---");
    for (auto& e : EE)
        e.setHex(0, 2);
    PA[4].setVisible(false);

    SENTIM.setText("Ext. Des.");
    divtim.setNumber(256);
    ciclos.setNumber(0);
    WATCHDOG.setText("WDT / 128");
    FR.setText("0");
    WDT.setEnabled(false);

    // The panel wires the controls to its redraw counter from its table.
    for (int key = 0; key < 256; ++key)
        if (IsRegKey(key)) REG(key).setListener(this, key);
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
    StatusReg = 0x18;
    selpag();
    REGW.setHex(0, 2);
    REG(3).setHex(0x18, 2);
    REG(129).setHex(0xFF, 2);
    REG(11).setHex(0x00, 2);
    ExtraCycle = 1;
}

}  // namespace vintrel
