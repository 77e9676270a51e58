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
    REG(pic::INDF).setText("**");
    REG(pic::kUnimplemented).setText("--");
    ResetControlRegisters();

    REGW.setHex(0, 2);
    RegPC.setHex(0, 3);
    INDF.setHex(0, 2);
    for (auto& p : pila)
        p.setText("---");
    for (auto& e : EE)
        e.setHex(0, 2);
    PA[pic::kT0ckiPin].setVisible(false);

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
