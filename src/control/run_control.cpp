#include "core/form1.h"

namespace vintrel {

void Form1::eje1_Click() {
    if (estsleep.value() != 0) return;  // asleep: nothing at all happens
    BreakpointSkip = false;
    // The label is the authority: an edited or reset PC is where the step executes.
    ProgramCounter = static_cast<int>(RegPC.hexValue() & 0x3FF);
    ExecuteInstruction(ProgramMemory[static_cast<std::size_t>(ProgramCounter)]);
    prg.select(ProgramCounter);
    ciclos.setNumber(CycleCount);
    Timer0Update();
}

void Form1::ejecutar_Click() {
    if (!ejecutar.textIs("&Ejecutar")) {
        // The stop; during a run it arrives inside the run's yield.
        StopRequested = 1;
        eje1.setEnabled(true);
        ejecutar.setText("&Ejecutar");
        return;
    }
    StopRequested = 0;
    eje1.setEnabled(false);
    ejecutar.setText("&Parar");
    for (;;) {
        const auto a = static_cast<std::size_t>(RegPC.hexValue() & 0x3FF);
        if (Breakpoints[a] == 1 && !BreakpointSkip) {
            BreakpointSkip = true;
            ejecutar_Click();
            return;
        }
        eje1_Click();
        platform_.yield();
        if (StopRequested != 0) return;
    }
}

void Form1::break_Click() {
    if (prg.selectedCount() > 1) {
        platform_.beep();
        return;
    }
    const std::string d = direc.text();
    if (d.size() < 2 || d[0] != 'P' || d[1] != '-') {
        platform_.beep();
        return;
    }
    const auto a = HexValue(std::string_view(d).substr(2));
    if (a > 0x3FF) {  // no such program address
        platform_.beep();
        return;
    }
    const auto idx = static_cast<std::size_t>(a);
    Breakpoints[idx] = Breakpoints[idx] == 1 ? 0 : 1;
    prg.replace(static_cast<int>(a), RowText(static_cast<int>(a), Breakpoints[idx] == 1));
    prg.select(static_cast<int>(a));
}

void Form1::Form_QueryUnload() {
    platform_.endProgram();
}

}  // namespace vintrel
