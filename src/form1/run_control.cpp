#include "form1/form1.h"

namespace vintrel {

void Form1::eje1_Click() {
    // Asleep, nothing at all happens, except in chip mode, where time passes.
    if (chip.estsleep.value() != 0 && !chip.ChipMode()) return;
    BreakpointSkip = false;
    chip.Step();
    prg.select(chip.ProgramCounter);
}

void Form1::setRunning(bool on) {
    running_ = on;
    eje1.setEnabled(!on);
    ejecutar.setText(on ? "&Parar" : "&Ejecutar");
}

void Form1::ejecutar_Click() {
    if (running_) {
        // The stop; during a run it arrives inside the run's yield.
        StopRequested = 1;
        setRunning(false);
        return;
    }
    StopRequested = 0;
    setRunning(true);
    std::int64_t idle = 0;  // yields the host said have nothing to do
    for (;;) {
        const auto a = static_cast<std::size_t>(chip.RegPC.hexValue() & kPcMask);
        if (Breakpoints[a] == 1 && !BreakpointSkip) {
            platform_.returnIdleYields(idle);
            BreakpointSkip = true;
            ejecutar_Click();
            return;
        }
        eje1_Click();
        if (idle > 0) {
            // The steps between yields that have nothing to do, in one go; the listing then
            // shows where the last of them ended (every step counts cycles).
            const std::int64_t cycles = chip.CycleCount;
            const bool atBreakpoint = chip.Burst(idle, Breakpoints.data(), BreakpointSkip);
            if (chip.CycleCount != cycles) prg.select(chip.ProgramCounter);
            if (atBreakpoint) continue;  // the check above stops the run
        }
        platform_.yield();
        if (StopRequested != 0) return;
        idle = platform_.idleYields();
    }
}

void Form1::break_Click() {
    // The row chosen is the one Dir. names: the listing never selects more than one.
    const std::string d = direc.text();
    if (d.size() < 2 || d[0] != 'P' || d[1] != '-') {
        platform_.beep();
        return;
    }
    const auto a = HexValue(std::string_view(d).substr(2));
    // Never true (Dir. is read-only and prg_Click writes only rows of the listing); it keeps
    // the index below inside Breakpoints should that ever change.
    if (a >= kProgramWords) {
        platform_.beep();
        return;
    }
    const auto idx = static_cast<std::size_t>(a);
    Breakpoints[idx] = Breakpoints[idx] == 1 ? 0 : 1;
    RebuildRow(static_cast<int>(a));
}

// Each reset leaves the listing on the row of the new program counter, which also fills the
// Modificar panel when no run is in progress.
void Form1::por_Click() {
    BreakpointSkip = false;
    chip.PowerOnReset();
    prg.select(chip.ProgramCounter);
}

void Form1::MCLR_Click() {
    BreakpointSkip = false;
    chip.MclrReset();
    prg.select(chip.ProgramCounter);
}

void Form1::WDT_Click() {
    BreakpointSkip = false;
    chip.WatchdogReset();
    prg.select(chip.ProgramCounter);
}

void Form1::Form_QueryUnload() {
    platform_.endProgram();
}

}  // namespace vintrel
