#include <algorithm>

#include "chip/chip.h"

namespace vintrel {

using pic::INTCON;
using pic::TMR0;

void Chip::SetChipMode(bool on) {
    if (on && !chipMode_) ProgramMemory.fill(kWordMask);  // an erased chip
    chipMode_ = on;
    rbLatch_ = PortBPins();
}

void Chip::ReadFrequency() {
    const std::int64_t khz = frequency_ ? DecimalValue(frequency_->text()) : 4000;
    // A cycle is four clock periods: 18 ms is 4.5 cycles a kHz, 4 ms one; at least one cycle.
    wdtBase_ = std::max<std::int64_t>(18 * khz / 4, 1);
    eeWriteTime_ = std::max<std::int64_t>(khz, 1);
}

int Chip::PortBPins() const {
    int v = 0;
    for (int i = 0; i < pic::kPortBPins; ++i)
        v |= PB[static_cast<std::size_t>(i)].value() << i;
    return v;
}

void Chip::ChipTouched(const Instruction& in, int target) {
    if (target == TMR0 && ((in.op <= Op::XORWF && in.d) || in.op == Op::BCF || in.op == Op::BSF)) {
        // A write to TMR0 holds it for two cycles and clears the prescaler (when TMR0's; as
        // the watchdog's it is not PrescalerCount).
        PrescalerCount = -2;
    } else if (target == pic::PORTB) {
        rbLatch_ = PortBPins();  // PORTB read (or written: the mismatch ends either way)
    }
}

int Chip::FileTarget(int f) {
    int a = f + pic::BankOf(StatusReg) * pic::kBank1;
    if (f == pic::INDF)  // with IRP, none
        a = StatusReg & pic::IRP ? -1 : static_cast<int>(REG(pic::FSR).hexValue());
    return a == TMR0 || a == pic::PORTB ? a : -1;
}

std::int64_t Chip::ChipSleep(std::int64_t n) {
    // Up to the first thing that can wake the chip: a flag already set wakes it at once, a
    // time-out or the end of an EEPROM write when it comes.
    const int intcon = static_cast<int>(REG(INTCON).hexValue());
    const bool watchdog = WATCHDOG.value() != 0;
    if (FlagPending(intcon)) n = 1;
    if (watchdog) n = std::min(n, std::max<std::int64_t>(WatchdogPeriod() - wdtCycles_, 1));
    if (eeLeft_ > 0) n = std::min(n, eeLeft_);
    CycleCount += n;
    if (eeLeft_ > 0) ChipEeprom(n);
    if (watchdog && (wdtCycles_ += n) >= WatchdogPeriod()) {
        // The time-out wakes the chip at the instruction after SLEEP: TO and PD cleared.
        wdtCycles_ = 0;
        SyncStatus();
        SetReg(pic::STATUS, static_cast<int>(REG(pic::STATUS).hexValue()) & ~(pic::TO | pic::PD));
    } else if (!FlagPending(static_cast<int>(REG(INTCON).hexValue()))) {
        return n;
    }
    // Awake (with GIE the handler runs after the next instruction); the clock runs again in
    // the wake-up's cycle.
    estsleep.setValue(0);
    UpdateRare();
    ChipCycles(1);
    return n;
}

// The write ends after its time, asleep or awake: the byte stored, WR cleared, EEIF set.
void Chip::ChipEeprom(std::int64_t cycles) {
    if ((eeLeft_ -= cycles) > 0) return;
    eeLeft_ = 0;
    if (eeAddress_ < kEepromCells) EE[static_cast<std::size_t>(eeAddress_)].setHex(eeData_, 2);
    SetReg(pic::EECON1, (static_cast<int>(REG(pic::EECON1).hexValue()) & ~pic::WR) | pic::EEIF);
}

void Chip::ChipTimer(int divisor) {
    for (; PrescalerCount >= divisor; PrescalerCount -= divisor) {
        const int tmr0 = static_cast<int>(REG(TMR0).hexValue() + 1) & 0xFF;
        SetReg(TMR0, tmr0);
        if (tmr0 == 0) SetReg(INTCON, static_cast<int>(REG(INTCON).hexValue()) | pic::T0IF);
    }
}

// The external clock: one click, one pulse through the prescaler.
void Chip::ChipPulse() {
    const int option = static_cast<int>(REG(pic::OPTION_REG).hexValue());
    if (!(option & pic::T0CS)) return;
    ++PrescalerCount;
    ChipTimer((option & pic::PSA) ? 1 : 2 << pic::PrescalerRate(option));
}

// The watchdog's count (CLRWDT and SLEEP clear it as their cycle starts) and the EEPROM write.
void Chip::ChipRare(const Instruction& in, int cycles) {
    if (WATCHDOG.value() != 0)
        wdtCycles_ = in.op == Op::CLRWDT || in.op == Op::SLEEP ? cycles : wdtCycles_ + cycles;
    if (eeLeft_ > 0) ChipEeprom(cycles);
}

// Like a CALL to 0004h that also clears GIE: two cycles, which Timer0 and the watchdog count.
void Chip::ChipInterrupt() {
    if (estsleep.value() != 0) return;  // the wake-up comes first
    PushStack(ProgramCounter);
    SetReg(INTCON, static_cast<int>(REG(INTCON).hexValue()) & ~pic::GIE);
    ProgramCounter = pic::kInterruptVector;
    CycleCount += 2;
    ChipCycles(2);
    if (WATCHDOG.value() != 0) wdtCycles_ += 2;
}

void Chip::PB_Click(int index) {
    if (!chipMode_) return;
    const int pins = PortBPins();
    const int inputs = static_cast<int>(REG(pic::TRISB).hexValue());
    int flags = 0;
    // RB0/INT: the edge OPTION_REG's INTEDG selects (1 rising).
    const bool rising = (REG(pic::OPTION_REG).hexValue() & pic::INTEDG) != 0;
    if (index == 0 && (inputs & pic::RB0) && ((pins & pic::RB0) != 0) == rising) flags |= pic::INTF;
    // RB7:RB4: an input whose level differs from the one last read.
    if ((pins ^ rbLatch_) & inputs & pic::kRbChange & (1 << index)) flags |= pic::RBIF;
    if (flags) SetReg(INTCON, static_cast<int>(REG(INTCON).hexValue()) | flags);
}

}  // namespace vintrel
