// A small, independent model of the PIC16F84 data path as the simulator defines it: W, the
// register file with its banks and mirrors, FSR/INDF, the flags, PC, the stack and the cycle
// count. It is written from the instruction set's description, not from the simulator's code,
// so that comparing the two compares two separate readings of it.
//
// Kept out on purpose: the registers whose writes reach the pins' directions, Timer0's options
// and the EEPROM (OPTION, TRISA, TRISB, EECON1, EECON2, and the OPTION and TRIS 5/6 words). An
// instruction that would change one of them sets `leftModel`. The port pins are all inputs
// with levels the model knows.
#pragma once

#include <array>
#include <cstdint>

namespace vintrel::model {

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

    static bool OwnBank1(int key) {
        return key == 129 || key == 133 || key == 134 || key == 136 || key == 137;
    }
    static bool HasCell(int key) { return (key >= 1 && key <= 79 && key != 7) || OwnBank1(key); }

    // A cell's text changes: its own effect (STATUS reloads the working copy), then the INDF
    // display is recomputed. An unchanged text runs nothing.
    void SetCell(int key, int value) {
        value &= 0xFF;
        if (cell[key] == value) return;
        leftModel |= OwnBank1(key);
        cell[key] = value;
        if (key == 3) statusWork = value;
        RefreshIndf();
    }
    void RefreshIndf() {
        const int fsr = cell[4];
        indfShown = (statusWork & 0x80) || fsr == 0 || fsr == 128 ? 0 : Read(fsr);
    }

    // An absolute data address 0..255; a port read leaves the pin levels in its cell.
    int Read(int a) {
        if (a == 0 || a == 128) return indfShown;
        if (a == 5 || a == 6) {
            SetCell(a, a == 5 ? pinsA & 0x1F : pinsB);
            return cell[a];
        }
        if (HasCell(a)) return cell[a];
        return a >= 129 && a <= 207 && a != 135 ? cell[a - 128] : 0;
    }
    int Bank() { return (Read(3) >> 5) & 3; }
    int ReadFile(int f) { return Bank() == 0 ? Read(f) : Bank() == 1 ? Read(f + 128) : 0; }

    void Jump(int target) {
        pc = target & 0x3FF;
        extra = 1;
    }
    void Store(int a, int bank, int value) {
        const bool own = bank == 1 && (a == 1 || a == 5 || a == 6 || a == 8 || a == 9);
        if (a == 2)
            Jump(cell[10] * 256 + value);  // PCL: PCLATH gives the high bits
        else if (a != 0 && a != 7 && a < 0x50)
            SetCell(own ? a + 128 : a, value);
    }
    void Write(int f, int value, int d) {
        if (d == 0)
            w = value & 0xFF;
        else if (Bank() >= 2 || (f == 0 && (statusWork & 0x80)))
            return;
        else if (f == 0)
            Store(cell[4] & 0x7F, cell[4] >> 7, value);  // through FSR
        else
            Store(f, Bank(), value);
    }

    void Push(int address) {
        for (std::size_t i = 7; i > 0; --i)
            stack[i] = stack[i - 1];
        stack[0] = address;
    }
    void Return() {
        const int top = stack[0] < 0 ? 0 : stack[0];
        for (std::size_t i = 0; i < 7; ++i)
            stack[i] = stack[i + 1];
        stack[7] = -1;
        Jump(top);
    }

    void Flag(int bit, bool on) { statusWork = on ? (statusWork | bit) : (statusWork & ~bit); }
    int Zero(int v) {  // Z from v; returns v
        Flag(4, v == 0);
        return v;
    }
    // a - b and a + b, with C and DC (C and DC of a subtraction mean "no borrow").
    int Sub(int a, int b) {
        Flag(2, (a & 0xF) >= (b & 0xF));
        Flag(1, a >= b);
        return (a - b + 0x100) & 0xFF;
    }
    int Add(int a, int b) {
        Flag(2, (a & 0xF) + (b & 0xF) > 0xF);
        Flag(1, a + b > 0xFF);
        return (a + b) & 0xFF;
    }

    void Execute(int word) {
        pc = (pc + 1) & 0x3FF;
        SetCell(2, pc);
        cycles += 1 + extra;
        extra = 0;
        statusWork = cell[3];
        const int op = (word >> 8) & 0xF, d = (word >> 7) & 1, f = word & 0x7F, k = word & 0xFF;
        const int mask = 1 << ((word >> 7) & 7);
        const int F = word < 0x2000 ? ReadFile(f) : 0, W = w, C = statusWork & 1;
        // clang-format off
        if (word < 0x1000) switch (op) {
            case 0x0:
                if (d) Write(f, W, 1);
                else if (word == 0x08 || word == 0x09) Return();
                else if (word == 0x62 || word == 0x65 || word == 0x66) leftModel = true;
                else if (word == 0x63) sleeping = true;
                if (word == 0x09) SetCell(11, cell[11] | 0x80);
                break;
            case 0x1: Write(f, 0, d); Zero(0); break;  // write first, then Z
            case 0x2: Write(f, Zero(Sub(F, W)), d); break;
            case 0x3: Write(f, Zero((F + 0xFF) & 0xFF), d); break;
            case 0x4: Write(f, Zero(W | F), d); break;
            case 0x5: Write(f, Zero(W & F), d); break;
            case 0x6: Write(f, Zero(W ^ F), d); break;
            case 0x7: Write(f, Zero(Add(W, F)), d); break;
            case 0x8: Write(f, F, d); Zero(F); break;
            case 0x9: Write(f, Zero(0xFF - F), d); break;
            case 0xA: Write(f, Zero((F + 1) & 0xFF), d); break;
            case 0xB: Write(f, (F + 0xFF) & 0xFF, d); if (F == 1) Jump(pc + 1); break;
            case 0xC: Flag(1, F & 1); Write(f, C * 0x80 + F / 2, d); break;
            case 0xD: Flag(1, F >= 0x80); Write(f, (F * 2 + C) & 0xFF, d); break;
            case 0xE: Write(f, (F % 16) * 16 + F / 16, d); break;
            default: Write(f, (F + 1) & 0xFF, d); if (F == 0xFF) Jump(pc + 1); break;
        } else if (word < 0x2000) switch ((word >> 10) & 3) {
            case 0: Write(f, F & (0xFF - mask), 1); break;
            case 1: Write(f, F | mask, 1); break;
            case 2: if ((F & mask) == 0) Jump(pc + 1); break;
            default: if ((F & mask) != 0) Jump(pc + 1); break;
        } else if (word < 0x3000) {
            if ((word & 0x800) == 0) Push(pc);
            Jump((cell[10] & 0x18) * 0x100 + (word & 0x7FF));
        } else switch (op) {
            case 0x0: case 0x1: case 0x2: case 0x3: w = k; break;
            case 0x4: case 0x5: case 0x6: case 0x7: Return(); w = k; break;
            case 0x8: w = Zero(W | k); break;
            case 0x9: w = Zero(W & k); break;
            case 0xA: w = Zero(W ^ k); break;
            case 0xB: Zero(W); break;
            case 0xC: case 0xD: w = Zero(Sub(k, W)); break;
            default: w = Zero(Add(W, k)); break;
        }
        // clang-format on
        SetCell(3, statusWork);
        SetCell(2, pc);
    }
};

}  // namespace vintrel::model
