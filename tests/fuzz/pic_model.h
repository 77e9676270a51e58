// A small, independent model of the PIC16F84 data path as the simulator defines it: W, the
// register file with its banks and mirrors, FSR/INDF, the flags, PC, the stack and the cycle
// count. It is written from the instruction set's description, not from the simulator's code,
// so that the differential fuzz target compares two separate readings of it.
//
// Kept out on purpose: the registers whose writes reach the pins' directions, Timer0's options
// and the EEPROM (OPTION, TRISA, TRISB, EECON1, EECON2, and the OPTION and TRIS 5/6 words). An
// instruction that would write one of them sets `leftModel`, and the caller runs a NOP instead.
// The port pins are all inputs with fixed levels, which the model knows.
#pragma once

#include <array>
#include <cstdint>

namespace vintrel::fuzz {

struct PicModel {
    // Cells by data address key, as the panel keeps them: 0..79 and the bank-1 ones 129..137.
    std::array<int, 256> cell{};
    int w = 0;
    int statusWork = 0;  // the executor's working copy of STATUS
    int indfShown = 0;   // what the INDF display shows
    int pc = 0;
    std::array<int, 8> stack{};  // -1 = empty slot; [0] is the top
    std::int64_t cycles = 0;
    int extra = 0;
    bool sleeping = false;
    int pinsA = 0, pinsB = 0;
    bool leftModel = false;
    // The register cell the last instruction addressed (0 for none), for a cheap per-step check.
    int touched = 0;

    static bool HasCell(int key) {
        return (key >= 1 && key <= 79 && key != 7) || key == 129 || key == 133 || key == 134 ||
               key == 136 || key == 137;
    }

    // A cell's text changes: its own effect (STATUS reloads the working copy), then the INDF
    // display is recomputed. An unchanged text runs nothing.
    void SetCell(int key, int value) {
        value &= 0xFF;
        if (cell[key] == value) return;
        if (key == 129 || key == 133 || key == 134 || key == 136 || key == 137) leftModel = true;
        cell[key] = value;
        if (key == 3) statusWork = value;
        RefreshIndf();
    }

    void RefreshIndf() {
        if (statusWork & 0x80) {
            indfShown = 0;
            return;
        }
        const int fsr = cell[4];
        indfShown = (fsr == 0 || fsr == 128) ? 0 : Read(fsr);
    }

    // An absolute data address 0..255.
    int Read(int a) {
        if (a == 0 || a == 128) return indfShown;
        if (a == 5) {
            SetCell(5, pinsA & 0x1F);
            return pinsA & 0x1F;
        }
        if (a == 6) {
            SetCell(6, pinsB & 0xFF);
            return pinsB & 0xFF;
        }
        if (HasCell(a)) return cell[a];
        if (a >= 129 && a <= 207) return a == 135 ? 0 : cell[a - 128];
        return 0;
    }

    int Bank() { return (Read(3) >> 5) & 3; }

    int ReadFile(int f) {
        touched = f;
        switch (Bank()) {
            case 0:
                return Read(f);
            case 1:
                return Read(f + 128);
            default:
                return 0;
        }
    }

    void PclWrite(int value) {
        pc = (cell[10] * 256 + value) & 0x3FF;
        extra = 1;
    }

    void Store(int a, int bank, int value) {
        if (a == 0 || a == 7 || a >= 0x50) return;
        const int key = bank == 1 && (a == 1 || a == 5 || a == 6 || a == 8 || a == 9) ? a + 128 : a;
        touched = key;
        SetCell(key, value);
    }

    void Write(int f, int value, int d) {
        if (d == 0) {
            w = value & 0xFF;
            return;
        }
        const int bank = Bank();
        if (bank >= 2) return;
        if (f == 0) {
            if (statusWork & 0x80) return;
            const int fsr = cell[4];
            const int a = fsr & 0x7F;
            if (a == 2)
                PclWrite(value);
            else
                Store(a, fsr >> 7, value);
            return;
        }
        if (f == 2) {
            PclWrite(value);
            return;
        }
        Store(f, bank, value);
    }

    void Push(int address) {
        for (int i = 7; i > 0; --i)
            stack[static_cast<std::size_t>(i)] = stack[static_cast<std::size_t>(i - 1)];
        stack[0] = address & 0xFFF;
    }

    int Pop() {
        const int top = stack[0] < 0 ? 0 : stack[0];
        for (int i = 0; i < 7; ++i)
            stack[static_cast<std::size_t>(i)] = stack[static_cast<std::size_t>(i + 1)];
        stack[7] = -1;
        return top;
    }

    void ShowPc() { SetCell(2, pc & 0xFF); }
    void ZeroFrom(int v) { statusWork = v == 0 ? (statusWork | 4) : (statusWork & ~4); }
    void Flag(int bit, bool on) { statusWork = on ? (statusWork | bit) : (statusWork & ~bit); }
    void Skip() {
        pc = (pc + 1) & 0x3FF;
        extra = 1;
    }

    void Execute(int word) {
        pc = (pc + 1) & 0x3FF;
        ShowPc();
        cycles += 1 + extra;
        extra = 0;
        statusWork = cell[3];
        const int cls = (word >> 12) & 3;
        const int op = (word >> 8) & 0xF;
        if (cls == 0) ByteOp(word, op);
        if (cls == 1) BitOp(word);
        if (cls == 2) {
            if ((word & 0x800) == 0) Push(pc);
            pc = ((cell[10] & 0x18) * 0x100 + (word & 0x7FF)) & 0x3FF;
            extra = 1;
        }
        if (cls == 3) LiteralOp(word & 0xFF, op);
        SetCell(3, statusWork);
        ShowPc();
    }

    void ByteOp(int word, int op) {
        const int d = (word >> 7) & 1;
        const int f = word & 0x7F;
        const int F = ReadFile(f);
        const int W = w;
        int r = 0;
        switch (op) {
            case 0x0:
                if (d == 1) {
                    Write(f, W, 1);
                } else if (word == 0x08) {
                    pc = Pop();
                    extra = 1;
                } else if (word == 0x09) {
                    pc = Pop();
                    SetCell(11, cell[11] | 0x80);
                    extra = 1;
                } else if (word == 0x62 || word == 0x65 || word == 0x66) {
                    leftModel = true;
                } else if (word == 0x63) {
                    sleeping = true;
                }
                return;
            case 0x1:
                Write(f, 0, d);
                ZeroFrom(0);
                return;
            case 0x2:
                Flag(2, (F & 0xF) >= (W & 0xF));
                r = F - W;
                Flag(1, r >= 0);
                if (r < 0) r += 0x100;
                break;
            case 0x3:
                r = (F - 1) & 0xFF;
                break;
            case 0x4:
                r = W | F;
                break;
            case 0x5:
                r = W & F;
                break;
            case 0x6:
                r = W ^ F;
                break;
            case 0x7:
                Flag(2, (W & 0xF) + (F & 0xF) > 0xF);
                r = W + F;
                Flag(1, r > 0xFF);
                r &= 0xFF;
                break;
            case 0x8:
                Write(f, F, d);
                ZeroFrom(F);
                return;
            case 0x9:
                r = ~F & 0xFF;
                break;
            case 0xA:
                r = (F + 1) & 0xFF;
                break;
            case 0xB:
            case 0xF:
                r = (op == 0xB ? F - 1 : F + 1) & 0xFF;
                Write(f, r, d);
                if (r == 0) Skip();
                return;
            case 0xC: {
                const int carry = statusWork & 1;
                r = carry * 0x80 + (F >> 1);
                Flag(1, F & 1);
                Write(f, r, d);
                return;
            }
            case 0xD: {
                const int carry = statusWork & 1;
                // Only the low 8 bits are written, also when the destination is PCL.
                r = (F * 2 + carry) & 0xFF;
                Flag(1, (F & 0x80) != 0);
                Write(f, r, d);
                return;
            }
            case 0xE:
                Write(f, ((F & 0xF) << 4) | (F >> 4), d);
                return;
            default:
                break;
        }
        ZeroFrom(r);
        Write(f, r, d);
    }

    void BitOp(int word) {
        const int f = word & 0x7F;
        const int mask = 1 << ((word >> 7) & 7);
        const int F = ReadFile(f);
        switch ((word >> 10) & 3) {
            case 0:
                Write(f, F & (0xFF - mask), 1);
                break;
            case 1:
                Write(f, F | mask, 1);
                break;
            case 2:
                if ((F & mask) == 0) Skip();
                break;
            default:
                if ((F & mask) != 0) Skip();
                break;
        }
    }

    void LiteralOp(int k, int op) {
        int W = w;
        if (op <= 3) {
            W = k;
        } else if (op <= 7) {
            pc = Pop();
            extra = 1;
            W = k;
        } else if (op == 8) {
            W |= k;
        } else if (op == 9) {
            W &= k;
        } else if (op == 0xA) {
            W ^= k;
        } else if (op == 0xC || op == 0xD) {
            Flag(2, (k & 0xF) >= (W & 0xF));
            W = k - W;
            Flag(1, W >= 0);
            if (W < 0) W += 0x100;
        } else if (op >= 0xE) {
            Flag(2, (W & 0xF) + (k & 0xF) > 0xF);
            W += k;
            Flag(1, W > 0xFF);
            W &= 0xFF;
        }
        if (op >= 8) ZeroFrom(W);
        w = W;
    }
};

}  // namespace vintrel::fuzz
