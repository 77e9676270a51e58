// The chip against the model of pic_model.h: a chip put in a model's state, and every place
// where the two differ. Shared by the instruction sweep (chip_test) and the fuzz target.
#pragma once

#include <string>

#include "chip/chip.h"
#include "pic_model.h"

namespace vintrel::model {

// The model's state in the chip's cells. The bank-1 registers, the EEPROM and the pin
// directions are left as they are: only a chip at their reset values matches the model.
inline void Load(Chip& c, const PicModel& m) {
    for (std::size_t i = 0; i < 8; ++i) {
        if (i < 5) c.PA[i].setValue((m.pinsA >> i) & 1);
        c.PB[i].setValue((m.pinsB >> i) & 1);
        if (m.stack[i] < 0)
            c.pila[i].setText("---");
        else
            c.pila[i].setHex(m.stack[i], 3);
    }
    c.StatusReg = 0x80;  // IRP: the INDF display samples no port until the state is complete
    for (int key = 1; key < 256; ++key)
        if (PicModel::HasCell(key) && key != 3) c.REG(key).setHex(m.cell[key], 2);
    c.REG(3).setHex(m.cell[3], 2);
    c.StatusReg = m.cell[3];
    c.changeindf();
    c.REGW.setHex(m.w, 2);
    c.RegPC.setHex(m.pc, 3);
    c.ProgramCounter = m.pc;
    c.CycleCount = m.cycles;
    c.ciclos.setNumber(m.cycles);
    c.ExtraCycle = m.extra;
    c.estsleep.setValue(m.sleeping);
}

// Empty when the chip shows the model's state: every cell as canonical text, the placeholders,
// the working copy of STATUS, PC, the stack, the cycles and the sleep state.
inline std::string Differences(const Chip& c, const PicModel& m) {
    std::string d;
    // A cell holding `want` as `width` hex digits ("---" for -1), compared as numbers when it can.
    auto hex = [&](const char* what, int index, const Control& cell, int want, int width) {
        if (cell.isHex(width) ? cell.hexValue() == want
                              : cell.textIs(want < 0 ? "---" : HexPad(want, width)))
            return;
        d += std::string(what) + " " + HexPad(index, 2) + " is " + cell.text() + "; ";
    };
    for (int key = 1; key < 256; ++key)
        if (PicModel::HasCell(key)) hex("REG", key, c.REG(key), m.cell[std::size_t(key)], 2);
    for (std::size_t i = 0; i < 8; ++i)
        hex("stack level", int(i), c.pila[i], m.stack[i], 3);
    hex("W", 0, c.REGW, m.w, 2);
    hex("INDF", 0, c.INDF, m.indfShown, 2);
    hex("RegPC", 0, c.RegPC, m.pc, 3);
    if (!c.REG(0).textIs("**") || !c.REG(7).textIs("--")) d += "a placeholder changed; ";
    if (c.ciclos.text() != std::to_string(m.cycles)) d += "ciclos is " + c.ciclos.text() + "; ";
    if (c.StatusReg != m.cell[3] || c.ProgramCounter != m.pc || c.CycleCount != m.cycles ||
        c.ExtraCycle != m.extra || (c.estsleep.value() != 0) != m.sleeping)
        d += "StatusReg, ProgramCounter, CycleCount, ExtraCycle or SLEEP differs";
    return d;
}

}  // namespace vintrel::model
