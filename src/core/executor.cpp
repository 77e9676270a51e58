#include "core/form1.h"

namespace vintrel {

namespace {

constexpr int kC = 0x01;
constexpr int kDC = 0x02;

inline void SetBit(int& status, int mask, bool on) {
    status = on ? (status | mask) : (status & ~mask);
}

}  // namespace

void Form1::SetZeroFlag(int& status, int value) {
    if (value == 0) {
        status |= 0x04;
    } else {
        status &= ~0x04;
    }
}

void Form1::PushStack(int address) {
    for (int i = kStackLevels - 2; i >= 0; --i)
        pila[static_cast<std::size_t>(i + 1)].copyText(pila[static_cast<std::size_t>(i)]);
    pila[0].setHex(address, 3);
}

int Form1::PopStack() {
    const int result = static_cast<int>(pila[0].hexValue());
    for (int i = 0; i < kStackLevels - 1; ++i)
        pila[static_cast<std::size_t>(i)].copyText(pila[static_cast<std::size_t>(i + 1)]);
    pila[kStackLevels - 1].setText("---");
    return result;
}

void Form1::ExecuteInstruction(int word) {
    ProgramCounter = (ProgramCounter + 1) & 0x3FF;
    RegPC.setHex(ProgramCounter, 3);
    CycleCount += 1 + ExtraCycle;
    if (SENTIM.textIs("Int.")) PrescalerCount += 1 + ExtraCycle;
    ExtraCycle = 0;
    const int cls = (word >> 12) & 3;
    StatusReg = static_cast<int>(REG(3).hexValue());

    auto skip = [this] {
        ProgramCounter = (ProgramCounter + 1) & 0x3FF;
        ExtraCycle = 1;
    };

    switch (cls) {
        case 0: {
            const int d = (word >> 7) & 1;
            int f = word & 0x7F;
            const int opcode = (word >> 8) & 0xF;
            // Read even for NOP and the control words: a port read refreshes the port's cell.
            const int F = ReadFileRegister(f);
            const int W = static_cast<int>(REGW.hexValue());
            int R = 0;
            switch (opcode) {
                case 0x0:
                    if (d == 1) {
                        WriteRegister(f, W, 1);
                        break;
                    }
                    switch (word) {
                        case 0x0008:
                            ProgramCounter = PopStack() & 0x3FF;
                            ExtraCycle = 1;
                            break;
                        case 0x0009:
                            ProgramCounter = PopStack() & 0x3FF;
                            REG(11).setHex(REG(11).hexValue() | 0x80, 2);
                            ExtraCycle = 1;
                            break;
                        case 0x0062:
                            REG(129).setHex(W, 2);
                            break;
                        case 0x0063:
                            estsleep.setValue(1);
                            break;
                        case 0x0065:
                            REG(133).setHex(W, 2);
                            break;
                        case 0x0066:
                            REG(134).setHex(W, 2);
                            break;
                        default:  // NOP, CLRWDT, TRIS 7 and the undefined words
                            break;
                    }
                    break;
                case 0x1:  // CLRF / CLRW: the write comes before Z, so CLRF STATUS gives 04h
                    WriteRegister(f, 0, d);
                    SetZeroFlag(StatusReg, 0);
                    break;
                case 0x2:  // SUBWF
                    SetBit(StatusReg, kDC, (F & 0xF) >= (W & 0xF));
                    R = F - W;
                    if (R < 0) {
                        R += 0x100;
                        SetBit(StatusReg, kC, false);
                    } else {
                        SetBit(StatusReg, kC, true);
                    }
                    SetZeroFlag(StatusReg, R);
                    WriteRegister(f, R, d);
                    break;
                case 0x3:  // DECF
                    R = (F - 1) & 0xFF;
                    SetZeroFlag(StatusReg, R);
                    WriteRegister(f, R, d);
                    break;
                case 0x4:  // IORWF
                    R = W | F;
                    SetZeroFlag(StatusReg, R);
                    WriteRegister(f, R, d);
                    break;
                case 0x5:  // ANDWF
                    R = W & F;
                    SetZeroFlag(StatusReg, R);
                    WriteRegister(f, R, d);
                    break;
                case 0x6:  // XORWF
                    R = W ^ F;
                    SetZeroFlag(StatusReg, R);
                    WriteRegister(f, R, d);
                    break;
                case 0x7:  // ADDWF
                    SetBit(StatusReg, kDC, (W & 0xF) + (F & 0xF) > 0xF);
                    R = W + F;
                    if (R > 0xFF) {
                        R -= 0x100;
                        SetBit(StatusReg, kC, true);
                    } else {
                        SetBit(StatusReg, kC, false);
                    }
                    SetZeroFlag(StatusReg, R);
                    WriteRegister(f, R, d);
                    break;
                case 0x8:  // MOVF: write first, then Z
                    WriteRegister(f, F, d);
                    SetZeroFlag(StatusReg, F);
                    break;
                case 0x9:  // COMF
                    R = ~F & 0xFF;
                    SetZeroFlag(StatusReg, R);
                    WriteRegister(f, R, d);
                    break;
                case 0xA:  // INCF
                    R = (F + 1) & 0xFF;
                    SetZeroFlag(StatusReg, R);
                    WriteRegister(f, R, d);
                    break;
                case 0xB:  // DECFSZ
                    R = (F - 1) & 0xFF;
                    WriteRegister(f, R, d);
                    if (R == 0) skip();
                    break;
                case 0xC: {  // RRF
                    const int carry = StatusReg & kC;
                    R = carry * 0x80 + (F >> 1);
                    SetBit(StatusReg, kC, (F & 1) != 0);
                    WriteRegister(f, R, d);
                    break;
                }
                case 0xD: {  // RLF
                    const int carry = StatusReg & kC;
                    R = (F * 2 + carry) & 0xFF;
                    SetBit(StatusReg, kC, (F & 0x80) != 0);
                    WriteRegister(f, R, d);
                    break;
                }
                case 0xE:  // SWAPF
                    R = (F & 0xF) * 0x10 + (F >> 4);
                    WriteRegister(f, R, d);
                    break;
                case 0xF:  // INCFSZ
                    R = (F + 1) & 0xFF;
                    WriteRegister(f, R, d);
                    if (R == 0) skip();
                    break;
                default:
                    break;
            }
            break;
        }
        case 1: {
            const int b = (word >> 7) & 7;
            const int bitop = (word >> 10) & 3;
            int f = word & 0x7F;
            const int F = ReadFileRegister(f);
            const int mask = 1 << b;
            switch (bitop) {
                case 0:
                    WriteRegister(f, F & (0xFF - mask), 1);
                    break;
                case 1:
                    WriteRegister(f, F | mask, 1);
                    break;
                case 2:
                    if ((F & mask) == 0) skip();
                    break;
                default:
                    if ((F & mask) != 0) skip();
                    break;
            }
            break;
        }
        case 2: {
            const int k11 = word & 0x7FF;
            if ((word & 0x800) == 0) PushStack(ProgramCounter);
            ProgramCounter = ((static_cast<int>(REG(10).hexValue()) & 0x18) * 0x100 + k11) & 0x3FF;
            ExtraCycle = 1;
            break;
        }
        default: {
            const int k8 = word & 0xFF;
            int W = static_cast<int>(REGW.hexValue());
            const int opcode = (word >> 8) & 0xF;
            switch (opcode) {
                case 0x0:
                case 0x1:
                case 0x2:
                case 0x3:
                    W = k8;
                    break;
                case 0x4:
                case 0x5:
                case 0x6:
                case 0x7:
                    ProgramCounter = PopStack() & 0x3FF;
                    ExtraCycle = 1;
                    W = k8;
                    break;
                case 0x8:
                    W |= k8;
                    break;
                case 0x9:
                    W &= k8;
                    break;
                case 0xA:
                    W ^= k8;
                    break;
                case 0xB:  // no instruction: W kept, Z still set from it below
                    break;
                case 0xC:
                case 0xD:  // SUBLW
                    SetBit(StatusReg, kDC, (k8 & 0xF) >= (W & 0xF));
                    W = k8 - W;
                    if (W < 0) {
                        W += 0x100;
                        SetBit(StatusReg, kC, false);
                    } else {
                        SetBit(StatusReg, kC, true);
                    }
                    break;
                default:  // ADDLW
                    SetBit(StatusReg, kDC, (W & 0xF) + (k8 & 0xF) > 0xF);
                    W += k8;
                    if (W > 0xFF) {
                        W -= 0x100;
                        SetBit(StatusReg, kC, true);
                    } else {
                        SetBit(StatusReg, kC, false);
                    }
                    break;
            }
            if (opcode >= 8) SetZeroFlag(StatusReg, W);
            REGW.setHex(W, 2);
            break;
        }
    }

    REG(3).setHex(StatusReg, 2);
    RegPC.setHex(ProgramCounter, 3);
}

}  // namespace vintrel
