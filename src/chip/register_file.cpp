#include "chip/chip.h"

namespace vintrel {

int Chip::ReadRegister(int address) {
    // The general-purpose and most special registers first: the common case.
    if ((address >= 8 && address <= 79) || (address >= 1 && address <= 4))
        return static_cast<int>(REG(address).hexValue());
    switch (address) {
        case 0:
        case 128:
            return static_cast<int>(INDF.hexValue());
        case 5: {
            // A port read returns the pin levels and leaves them in the port's cell.
            int v = 0;
            for (int i = 0; i < 5; ++i)
                v += PA[static_cast<std::size_t>(i)].value() << i;
            REG(5).setHex(v, 2);
            return v;
        }
        case 6: {
            int v = 0;
            for (int i = 0; i < 8; ++i)
                v += PB[static_cast<std::size_t>(i)].value() << i;
            REG(6).setHex(v, 2);
            return v;
        }
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

int Chip::ReadFileRegister(int f) {
    const int bank = (static_cast<int>(REG(3).hexValue()) & 0x60) >> 5;
    if (bank == 0) return ReadRegister(f);
    if (bank == 1) return ReadRegister(f + 128);
    return 0;
}

void Chip::PclWrite(int value) {
    ProgramCounter = (static_cast<int>(REG(10).hexValue()) * 256 + value) & 0x3FF;
    ExtraCycle = 1;
}

void Chip::StoreRegister(int a, int b, int value) {
    if (a == 0 || a == 7 || a >= 80 || a < 0) return;
    if (b == 1 && (a == 1 || a == 5 || a == 6 || a == 8 || a == 9)) {
        REG(a + 128).setHex(value, 2);
    } else {
        REG(a).setHex(value, 2);
    }
}

void Chip::WriteRegister(int& address, int value, int destination) {
    if (destination == 0) {
        REGW.setHex(value, 2);
        return;
    }
    const int bank = (static_cast<int>(REG(3).hexValue()) & 0x60) >> 5;
    if (address == 0 && bank <= 1) {
        if (StatusReg & 0x80) return;
        const int fsr = static_cast<int>(REG(4).hexValue());
        const int ibank = (fsr & 0x80) >> 7;
        address = fsr & 0x7F;
        if (address == 2) {
            PclWrite(value);
            return;
        }
        StoreRegister(address, ibank, value);
        return;
    }
    if (address == 2 && bank <= 1) {
        PclWrite(value);
        return;
    }
    if (bank <= 1) StoreRegister(address, bank, value);
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
