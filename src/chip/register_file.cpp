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
        case pic::INDF:
        case pic::kBank1 + pic::INDF:
            return static_cast<int>(INDF.hexValue());
        case pic::PORTA:
            return ReadPort(pic::PORTA, PA.data(), static_cast<int>(PA.size()));
        case pic::PORTB:
            return ReadPort(pic::PORTB, PB.data(), static_cast<int>(PB.size()));
        default:
            break;
    }
    if (pic::OwnInBank1(address) || (address >= pic::TMR0 && address <= pic::FSR) ||
        (address >= pic::EEDATA && address <= pic::kLastGeneral))
        return static_cast<int>(REG(address).hexValue());
    if (address > pic::kBank1 && address <= pic::kBank1 + pic::kLastGeneral)
        return static_cast<int>(REG(address - pic::kBank1).hexValue());
    return 0;
}

void Chip::changeindf() {
    if (StatusReg & pic::IRP) {
        INDF.setHex(0, 2);
        return;
    }
    const int fsr = static_cast<int>(REG(pic::FSR).hexValue());
    if (fsr == pic::INDF || fsr == pic::kBank1 + pic::INDF) {
        INDF.setHex(0, 2);
        return;
    }
    INDF.setHex(ReadRegister(fsr), 2);
}

}  // namespace vintrel
