#include "chip/chip.h"

namespace vintrel {

using pic::C;
using pic::DC;
using pic::PD;
using pic::TO;
using pic::Z;

// What every reset does to the counters and the stack.
void Chip::RestartCounters() {
    if (observer_) observer_->CountersRestarting();
    ExtraCycle = 1;
    CycleCount = 0;
    PrescalerCount = 0;
    wdtCycles_ = 0;
    eeLeft_ = 0;  // a write under way is lost
    ciclos.setNumber(0);
    for (auto& p : pila)
        p.setText("---");
    stackDepth_ = 0;
}

// The registers every reset sets to the same value, whatever the sleep state.
void Chip::ResetControlRegisters() {
    REG(pic::PCLATH).setHex(0x00, 2);
    REG(pic::OPTION_REG).setHex(0xFF, 2);
    REG(pic::TRISA).setHex(0x1F, 2);  // every pin an input
    REG(pic::TRISB).setHex(0xFF, 2);
    REG(pic::EECON1).setHex(0x00, 2);
}

void Chip::PowerOnReset() {
    RegPC.setHex(0, 3);
    ProgramCounter = 0;
    estsleep.setValue(0);
    RestartCounters();
    REG(pic::STATUS).setHex(TO | PD, 2);
    REG(pic::INTCON).setHex(0x00, 2);
    ResetControlRegisters();
}

void Chip::MclrReset() {
    RegPC.setHex(0, 3);
    ProgramCounter = 0;
    RestartCounters();
    const auto s = REG(pic::STATUS).hexValue();
    const auto i = REG(pic::INTCON).hexValue();
    if (estsleep.value() == 0) {
        REG(pic::STATUS).setHex(s & (TO | PD | Z | DC | C), 2);
        REG(pic::INTCON).setHex(i & pic::RBIF, 2);
    } else {
        REG(pic::STATUS).setHex((s & (Z | DC | C)) | TO, 2);
        REG(pic::INTCON).setHex(0x00, 2);
        estsleep.setValue(0);
    }
    ResetControlRegisters();
}

void Chip::WatchdogReset() {
    const bool asleep = estsleep.value() != 0;
    if (!asleep) {
        RegPC.setHex(0, 3);
        ProgramCounter = 0;
    } else {
        // Wake-up: the program goes on one word past the address RegPC shows.
        ProgramCounter = (ProgramCounter + 1) & kPcMask;
        RegPC.setHex(ProgramCounter, 3);
    }
    RestartCounters();
    const auto s = REG(pic::STATUS).hexValue();
    const auto i = REG(pic::INTCON).hexValue();
    if (!asleep) {
        REG(pic::STATUS).setHex((s & (Z | DC | C)) | PD, 2);
        REG(pic::INTCON).setHex(i & pic::RBIF, 2);
    } else {
        REG(pic::STATUS).setHex(s & ~(TO | PD), 2);
        REG(pic::INTCON).setHex(0x00, 2);
        estsleep.setValue(0);
    }
    ResetControlRegisters();
}

}  // namespace vintrel
