#include "form1/form1.h"
#include "image/disassembler.h"

namespace vintrel {

std::string Form1::RowText(int a, bool marked) const {
    const int w = chip.ProgramMemory[static_cast<std::size_t>(a & 0x3FF)];
    char head[12];
    std::size_t n = 0;
    FormatHex(head, a, 3);
    n = 3;
    if (marked) {
        head[n++] = ' ';
        head[n++] = '*';
    }
    head[n++] = '\t';
    FormatHex(head + n, w, 4);
    n += 4;
    head[n++] = '\t';
    const std::string mnemonic = Disassemble(w);
    std::string s;
    s.reserve(n + mnemonic.size());
    s.append(head, n).append(mnemonic);
    return s;
}

void Form1::listaprog() {
    // Only rows whose word or mark changed are rendered again: a load rebuilds the listing.
    const bool whole = prg.count() != kProgramWords;
    if (whole)
        prg.clear();
    else
        prg.restart();
    // Every set breakpoint keeps its mark: after a cancelled load the breakpoints still stop a
    // run, so the listing must not hide them.
    for (int a = 0; a < kProgramWords; ++a) {
        const auto i = static_cast<std::size_t>(a);
        const bool marked = Breakpoints[i] != 0;
        const std::uint16_t key = RowKey(chip.ProgramMemory[i], marked);
        if (whole)
            prg.append(RowText(a, marked));
        else if (listed_[i] != key)
            prg.replace(a, RowText(a, marked));
        listed_[i] = key;
    }
}

void Form1::RebuildRow(int a) {
    const auto i = static_cast<std::size_t>(a);
    const bool marked = Breakpoints[i] != 0;
    listed_[i] = RowKey(chip.ProgramMemory[i], marked);
    prg.replace(a, RowText(a, marked));
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
