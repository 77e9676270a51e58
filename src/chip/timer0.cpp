#include "chip/chip.h"

namespace vintrel {

// One divisor's worth of prescaler pulses is one TMR0 increment.
void Chip::Timer0Tick(std::int64_t divisor) {
    REG(pic::TMR0).setHex((REG(pic::TMR0).hexValue() + 1) & 0xFF, 2);
    if (divisor == PrescalerCount) {
        PrescalerCount = 0;
    } else {
        PrescalerCount -= divisor;
    }
}

}  // namespace vintrel
