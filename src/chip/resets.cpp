#include "chip/chip.h"

namespace vintrel {

namespace {
constexpr int kStatus = 3, kPclath = 10, kIntcon = 11, kOption = 129, kTrisa = 133, kTrisb = 134,
              kEecon1 = 136;
}

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
    REG(kPclath).setHex(0x00, 2);
    REG(kOption).setHex(0xFF, 2);
    REG(kTrisa).setHex(0x1F, 2);
    REG(kTrisb).setHex(0xFF, 2);
    REG(kEecon1).setHex(0x00, 2);
}

void Chip::PowerOnReset() {
    RegPC.setHex(0, 3);
    ProgramCounter = 0;
    estsleep.setValue(0);
    RestartCounters();
    REG(kStatus).setHex(0x18, 2);
    REG(kIntcon).setHex(0x00, 2);
    ResetControlRegisters();
}

void Chip::MclrReset() {
    RegPC.setHex(0, 3);
    ProgramCounter = 0;
    RestartCounters();
    const auto s = REG(kStatus).hexValue();
    const auto i = REG(kIntcon).hexValue();
    if (estsleep.value() == 0) {
        REG(kStatus).setHex(s & 0x1F, 2);
        REG(kIntcon).setHex(i & 0x01, 2);
    } else {
        REG(kStatus).setHex((s & 0x07) | 0x10, 2);
        REG(kIntcon).setHex(0x00, 2);
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
        ProgramCounter = (ProgramCounter + 1) & 0x3FF;
        RegPC.setHex(ProgramCounter, 3);
    }
    RestartCounters();
    const auto s = REG(kStatus).hexValue();
    const auto i = REG(kIntcon).hexValue();
    if (!asleep) {
        REG(kStatus).setHex((s & 0x07) | 0x08, 2);
        REG(kIntcon).setHex(i & 0x01, 2);
    } else {
        REG(kStatus).setHex(s & 0xE7, 2);
        REG(kIntcon).setHex(0x00, 2);
        estsleep.setValue(0);
    }
    ResetControlRegisters();
}

}  // namespace vintrel
