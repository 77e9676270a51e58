#include "chip/chip.h"

namespace vintrel {

// A port read returns the pin levels and leaves them in the port's cell.
int Chip::ReadPort(int key, const Control* pins, int count) {
    int v = 0;
    for (int i = 0; i < count; ++i)
        v += pins[i].value() << i;
    SetReg(key, v);
    return v;
}

int Chip::ReadOtherRegister(int address) {
    switch (address) {
        case 0:
        case 128:
            return static_cast<int>(INDF.hexValue());
        case 5:
            return ReadPort(5, PA.data(), static_cast<int>(PA.size()));
        case 6:
            return ReadPort(6, PB.data(), static_cast<int>(PB.size()));
        case 129:
        case 133:
        case 134:
        case 136:
        case 137:
            return static_cast<int>(REG(address).hexValue());
        default:
            break;
    }
    if ((address >= 1 && address <= 4) || (address >= 8 && address <= 79))
        return static_cast<int>(REG(address).hexValue());
    if (address >= 129 && address <= 207) return static_cast<int>(REG(address - 128).hexValue());
    return 0;
}

void Chip::changeindf() {
    if (StatusReg & 0x80) {
        INDF.setHex(0, 2);
        return;
    }
    const int fsr = static_cast<int>(REG(4).hexValue());
    if (fsr == 0 || fsr == 128) {
        INDF.setHex(0, 2);
        return;
    }
    INDF.setHex(ReadRegister(fsr), 2);
}

}  // namespace vintrel
