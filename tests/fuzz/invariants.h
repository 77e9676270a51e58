// Invariants of the panel model that must hold between any two user actions. Shared by the
// fuzz targets; each returns an empty text when all hold, or the first violation.
#pragma once

#include <cctype>
#include <string>

#include "form1/form1.h"

namespace vintrel::fuzz {

inline bool IsHexText(const std::string& t, std::size_t width) {
    if (t.size() != width) return false;
    for (char c : t)
        if (!std::isdigit(static_cast<unsigned char>(c)) && (c < 'A' || c > 'F')) return false;
    return true;
}

// Value of a data address as the program would read it, without a port read's side effect.
inline int PeekRegister(Chip& f, int address) {
    if (address == 0 || address == 128) return static_cast<int>(f.INDF.hexValue());
    if (address == 7 || address == 135) return 0;
    if ((address >= 1 && address <= 79) || Chip::IsRegKey(address))
        return static_cast<int>(f.REG(address).hexValue());
    if (address >= 129 && address <= 207) return static_cast<int>(f.REG(address - 128).hexValue());
    return 0;
}

inline std::string CheckCells(Form1& form) {
    Chip& f = form.chip;
    for (int key = 0; key < 256; ++key) {
        if (!Chip::IsRegKey(key)) continue;
        const std::string t = f.REG(key).text();
        const bool placeholder = (key == 0 && t == "**") || (key == 7 && t == "--");
        if (!placeholder && !IsHexText(t, 2)) return "REG " + std::to_string(key) + " is " + t;
    }
    if (f.REG(7).text() != "--") return "cell 7 lost its placeholder";
    if (!IsHexText(f.REGW.text(), 2)) return "REGW is " + f.REGW.text();
    if (!IsHexText(f.RegPC.text(), 3)) return "RegPC is " + f.RegPC.text();
    if (!IsHexText(f.INDF.text(), 2)) return "INDF is " + f.INDF.text();
    for (auto& p : f.pila)
        if (p.text() != "---" && !IsHexText(p.text(), 3)) return "pila is " + p.text();
    for (auto& e : f.EE)
        if (!IsHexText(e.text(), 2)) return "EE is " + e.text();
    return {};
}

inline std::string CheckListing(Form1& form) {
    const Chip& f = form.chip;
    if (form.prg.count() != kProgramWords) return "listing has " + std::to_string(form.prg.count());
    for (int a = 0; a < kProgramWords; ++a) {
        const int w = f.ProgramMemory[static_cast<std::size_t>(a)];
        if (w < 0 || w > 0x3FFF) return "program word out of range at " + std::to_string(a);
        if (form.prg.row(a) != form.RowText(a, form.Breakpoints[static_cast<std::size_t>(a)] != 0))
            return "listing row " + std::to_string(a) + " is stale: " + form.prg.row(a);
    }
    return {};
}

// Holds after every step, reset and edit (a PC edit moves RegPC first; the next step reloads it,
// so callers check the PC pair only after steps and resets).
inline std::string CheckRegisters(Form1& form, bool checkPc) {
    Chip& f = form.chip;
    if (f.ProgramCounter < 0 || f.ProgramCounter > 0x3FF) return "ProgramCounter out of range";
    if (checkPc && f.RegPC.hexValue() != f.ProgramCounter) return "RegPC does not show PC";
    if (f.StatusReg != f.REG(3).hexValue()) return "StatusReg differs from the STATUS cell";
    if (f.REG(2).hexValue() != (f.RegPC.hexValue() & 0xFF)) return "PCL is not RegPC's low byte";
    const int fsr = static_cast<int>(f.REG(4).hexValue());
    // A port read through INDF shows the pins as they were at the last refresh; skip those.
    if (fsr != 5 && fsr != 6) {
        int expect = 0;
        if ((f.StatusReg & 0x80) == 0 && fsr != 0 && fsr != 128) expect = PeekRegister(f, fsr);
        if (f.INDF.hexValue() != expect) return "INDF display is stale";
    }
    if (f.EepromUnlock < 0 || f.EepromUnlock > 2) return "EepromUnlock out of range";
    return {};
}

}  // namespace vintrel::fuzz
