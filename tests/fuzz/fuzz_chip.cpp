// Differential: a random program from a random state runs on the chip and on the model of
// pic_model.h, either step by step (compared after every step) or as one burst of a continuous
// run, with or without a breakpoint (compared where it stops).
#include <array>
#include <string>

#include "fuzz/fuzz.h"
#include "model_check.h"

namespace {

using vintrel::model::PicModel;

// Mostly a byte or bit operation on a special register or a bank edge, sometimes any word.
int RandomWord(vintrel::fuzz::Source& in) {
    static constexpr int kFiles[] = {0, 2, 3, 4, 5, 6, 7, 10, 11, 12, 0x4F, 0x50, 0x7F, 1, 8, 9};
    const int raw = in.u16() & 0x3FFF;
    if (raw >= 0x2000 || (raw & 0x40)) return raw;
    return (raw & ~0x7F) | kFiles[raw & 0xF];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vintrel::fuzz::Source in(data, size);
    // One chip for all inputs: the model's state is loaded afresh, and what it leaves out
    // (bank-1 registers, EEPROM, pin directions) never leaves its reset values.
    static vintrel::Chip chip;
    PicModel start;
    start.cell[129] = start.cell[134] = 0xFF;
    start.cell[133] = 0x1F;
    for (std::size_t key = 1; key < 0x50; ++key)
        start.cell[key] = in.byte();
    start.w = in.byte();
    start.pc = in.u16() & 0x3FF;
    start.cell[2] = start.pc & 0xFF;
    start.statusWork = start.cell[3];
    start.pinsA = in.byte() & 0x1F;
    start.pinsB = in.byte();
    const int depth = in.range(0, 8);
    for (int i = 0; i < 8; ++i)
        start.stack[static_cast<std::size_t>(i)] = i < depth ? in.u16() & 0x3FF : -1;
    start.extra = in.coin();
    start.RefreshIndf();

    auto& program = chip.ProgramMemory;
    program.fill(0);
    for (int n = in.range(1, 32), a = start.pc; n > 0; --n, a = (a + 1) & 0x3FF)
        program[static_cast<std::size_t>(a)] = RandomWord(in);
    for (int n = in.range(0, 16), a = in.u16() & 0x3FF; n > 0; --n, a = (a + 1) & 0x3FF)
        program[static_cast<std::size_t>(a)] = RandomWord(in);
    static std::array<int, vintrel::kProgramWords> breakpoints;
    breakpoints.fill(0);
    const bool burst = in.coin();
    if (burst && in.coin()) breakpoints[static_cast<std::size_t>(in.u16() & 0x3FF)] = 1;
    const int steps = in.range(1, burst ? 600 : 64);

    // The run as the model sees it, ending before the breakpoint or asleep (where a burst looks
    // at the breakpoint once more). A word the model leaves out becomes a NOP, and the run
    // starts over.
    PicModel m = start;
    bool atBreakpoint = false;
    for (int s = 0; s < steps; ++s) {
        if ((atBreakpoint = breakpoints[static_cast<std::size_t>(m.pc)] == 1) || m.sleeping) break;
        PicModel next = m;
        next.Execute(program[static_cast<std::size_t>(m.pc)]);
        if (next.leftModel) {
            program[static_cast<std::size_t>(m.pc)] = 0;
            m = start;
            s = -1;
            continue;
        }
        m = next;
    }

    vintrel::model::Load(chip, start);
    auto check = [&](const PicModel& want, int step) {
        const std::string d = vintrel::model::Differences(chip, want);
        if (!d.empty()) vintrel::fuzz::Fail("step " + std::to_string(step) + ": " + d);
    };
    check(start, 0);
    if (burst) {
        std::int64_t idle = steps;
        bool skip = false;
        if (chip.Burst(idle, breakpoints.data(), skip) != atBreakpoint)
            vintrel::fuzz::Fail("the burst's breakpoint stop differs");
        check(m, steps);
        return 0;
    }
    PicModel s = start;
    for (int n = 1; n <= steps && !s.sleeping; ++n) {
        s.Execute(program[static_cast<std::size_t>(s.pc)]);
        chip.Step();
        check(s, n);
    }
    return 0;
}
