#include "chip/chip.h"

namespace vintrel {

// Turns at most one divisor's worth of prescaler pulses into one TMR0 increment.
void Chip::Timer0Update() {
    if (!InternalClock() && !TOCKI.enabled()) return;
    const std::int64_t d = divtim.decValue();
    if (d > PrescalerCount) return;
    REG(1).setHex((REG(1).hexValue() + 1) & 0xFF, 2);
    if (d == PrescalerCount) {
        PrescalerCount = 0;
    } else {
        PrescalerCount -= d;
    }
}

}  // namespace vintrel
