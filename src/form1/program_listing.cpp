#include "form1/form1.h"
#include "image/disassembler.h"

namespace vintrel {

std::string Form1::RowText(int a, bool marked) const {
    const int w = chip.ProgramMemory[static_cast<std::size_t>(a & 0x3FF)];
    std::string s = HexPad(a, 3);
    if (marked) s += " *";
    s += '\t';
    s += HexPad(w, 4);
    s += '\t';
    s += Disassemble(w);
    return s;
}

void Form1::listaprog() {
    prg.clear();
    // Every set breakpoint keeps its mark: after a cancelled load the breakpoints still stop a
    // run, so the listing must not hide them.
    for (int a = 0; a < kProgramWords; ++a)
        prg.append(RowText(a, Breakpoints[static_cast<std::size_t>(a)] != 0));
}

void Form1::RebuildRow(int a) {
    prg.replace(a, RowText(a, Breakpoints[static_cast<std::size_t>(a)] != 0));
    prg.select(a);
}

void Form1::prg_Click() {
    if (running_) return;  // a run leaves the Modificar panel alone
    const int row = prg.selected();
    if (row < 0) return;
    char buf[5] = {'P', '-', 0, 0, 0};
    FormatHex(buf + 2, row, 3);
    direc.setText(std::string_view(buf, 5));
    dato.setHex(chip.ProgramMemory[static_cast<std::size_t>(row)], 4);
}

}  // namespace vintrel
