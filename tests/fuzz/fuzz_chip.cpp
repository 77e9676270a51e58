// Differential: a random program runs on the real Chip and on the separate model of
// fuzz/pic_model.h from the same random state; after every instruction W, the flags, every
// register, the INDF display, PC, the stack and the cycle count must agree.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "chip/chip.h"
#include "fuzz/pic_model.h"
#include "fuzz/source.h"

namespace {

using vintrel::Chip;
using vintrel::fuzz::PicModel;
using vintrel::fuzz::Source;

// Registers the program may start with any value in (the bank-1 ones keep their reset values,
// outside the model's reach).
bool FreeCell(int key) {
    return PicModel::HasCell(key) && key < 0x80;
}

[[noreturn]] void Fail(const char* what, int step, int word, long chip, long model) {
    std::fprintf(stderr, "step %d, word %04X: %s is %lX on the chip, %lX in the model\n", step,
                 word, what, chip, model);
    std::abort();
}

// The checks are not worth coverage feedback, and tracing their comparisons costs most of the
// run time.
[[clang::no_sanitize("coverage")]] void CompareCell(Chip& c, const PicModel& m, int key, int step,
                                                    int word) {
    const long v = c.REG(key).hexValue();
    if (v != m.cell[static_cast<std::size_t>(key)]) {
        const std::string name = "register " + std::to_string(key);
        Fail(name.c_str(), step, word, v, m.cell[static_cast<std::size_t>(key)]);
    }
}

// Every step: W, the flags, FSR, PCL, the register the instruction addressed, PC and the stack;
// with `all`, every register.
[[clang::no_sanitize("coverage")]] void Compare(Chip& c, const PicModel& m, int step, int word,
                                                bool all) {
    if (c.REGW.hexValue() != m.w) Fail("W", step, word, c.REGW.hexValue(), m.w);
    if (c.StatusReg != m.cell[3]) Fail("StatusReg", step, word, c.StatusReg, m.cell[3]);
    if (all) {
        for (int key = 1; key < 256; ++key)
            if (PicModel::HasCell(key)) CompareCell(c, m, key, step, word);
        if (!c.REG(0).textIs("**") || !c.REG(7).textIs("--"))
            Fail("a placeholder", step, word, 0, 0);
    } else {
        for (int key : {2, 3, 4, 5, 6})
            CompareCell(c, m, key, step, word);
        if (PicModel::HasCell(m.touched)) CompareCell(c, m, m.touched, step, word);
        if (PicModel::HasCell(m.touched + 128)) CompareCell(c, m, m.touched + 128, step, word);
    }
    if (c.INDF.hexValue() != m.indfShown)
        Fail("the INDF display", step, word, c.INDF.hexValue(), m.indfShown);
    if (c.ProgramCounter != m.pc) Fail("PC", step, word, c.ProgramCounter, m.pc);
    if (c.RegPC.hexValue() != m.pc) Fail("RegPC", step, word, c.RegPC.hexValue(), m.pc);
    for (std::size_t i = 0; i < 8; ++i) {
        const int want = m.stack[i];
        const bool empty = c.pila[i].textIs("---");
        const long have = empty ? -1 : c.pila[i].hexValue();
        if (have != want || (!empty && !c.pila[i].isHex(3)))
            Fail(("stack level " + std::to_string(i)).c_str(), step, word, have, want);
    }
    if (c.CycleCount != m.cycles) Fail("CycleCount", step, word, c.CycleCount, m.cycles);
    if (c.ExtraCycle != m.extra) Fail("ExtraCycle", step, word, c.ExtraCycle, m.extra);
    if ((c.estsleep.value() != 0) != m.sleeping)
        Fail("SLEEP", step, word, c.estsleep.value(), m.sleeping);
}

// A program word: mostly a byte or bit operation on an interesting register, sometimes any word.
int RandomWord(Source& in) {
    const int raw = in.u16() & 0x3FFF;
    if ((raw & 0x3000) == 0x3000 || (raw & 0x3000) == 0x2000) return raw;
    // Bias the file address toward the special registers and the bank edges.
    static constexpr int kFiles[] = {0, 2, 3, 4, 5, 6, 7, 10, 11, 12, 0x4F, 0x50, 0x7F, 1, 8, 9};
    if ((raw & 0x40) == 0) return (raw & ~0x7F) | kFiles[raw & 0xF];
    return raw;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Source in(data, size);
    // One chip for the whole run: everything compared is set afresh below, and the bank-1
    // registers left out of the model never change.
    static Chip chip;
    PicModel m;
    m.cell[129] = 0xFF;
    m.cell[133] = 0x1F;
    m.cell[134] = 0xFF;

    // Pins: all inputs (TRISA/TRISB as at reset), at random levels.
    m.pinsA = in.byte() & 0x1F;
    m.pinsB = in.byte();
    for (int i = 0; i < 5; ++i)
        chip.PA[static_cast<std::size_t>(i)].setValue((m.pinsA >> i) & 1);
    for (int i = 0; i < 8; ++i)
        chip.PB[static_cast<std::size_t>(i)].setValue((m.pinsB >> i) & 1);

    // Registers, STATUS last (its change reloads the working copy); then the display. Until
    // then IRP in the working copy keeps the INDF display from sampling a port half-way.
    chip.StatusReg = 0x80;
    for (int key = 1; key < 0x50; ++key) {
        if (!FreeCell(key) || key == 3) continue;
        const int v = in.byte();
        m.cell[static_cast<std::size_t>(key)] = v;
        chip.REG(key).setHex(v, 2);
    }
    m.w = in.byte();
    chip.REGW.setHex(m.w, 2);
    m.pc = in.u16() & 0x3FF;
    chip.ProgramCounter = m.pc;
    chip.RegPC.setHex(m.pc, 3);
    m.cell[2] = m.pc & 0xFF;
    chip.REG(2).setHex(m.cell[2], 2);
    m.cell[3] = m.statusWork = in.byte();
    chip.REG(3).setHex(m.cell[3], 2);
    chip.StatusReg = m.cell[3];
    chip.changeindf();
    m.RefreshIndf();

    const int depth = in.range(0, 8);
    for (std::size_t i = 0; i < 8; ++i) {
        m.stack[i] = static_cast<int>(i) < depth ? in.u16() & 0x3FF : -1;
        if (m.stack[i] < 0)
            chip.pila[i].setText("---");
        else
            chip.pila[i].setHex(m.stack[i], 3);
    }
    m.cycles = chip.CycleCount = 0;
    m.extra = chip.ExtraCycle = in.coin() ? 1 : 0;
    chip.estsleep.setValue(0);
    chip.EepromUnlock = 0;
    Compare(chip, m, 0, 0, true);

    // A program of up to 32 words at the PC and up to 16 at a second place; the rest NOPs.
    static std::array<int, vintrel::kProgramWords> program;
    program.fill(0);
    const int words = in.range(1, 32);
    for (int i = 0; i < words; ++i)
        program[static_cast<std::size_t>((m.pc + i) & 0x3FF)] = RandomWord(in);
    const int other = in.u16() & 0x3FF;
    const int more = in.range(0, 16);
    for (int i = 0; i < more; ++i)
        program[static_cast<std::size_t>((other + i) & 0x3FF)] = RandomWord(in);

    const int steps = in.range(1, 64);
    for (int s = 1; s <= steps; ++s) {
        int word = program[static_cast<std::size_t>(m.pc)];
        PicModel next = m;
        next.Execute(word);
        if (next.leftModel) {
            // Pin directions, Timer0 options and the EEPROM are not modelled: run a NOP instead.
            word = 0;
            next = m;
            next.Execute(word);
        }
        m = next;
        chip.ExecuteInstruction(word);
        Compare(chip, m, s, word, s == steps || s % 16 == 0);
    }
    return 0;
}
