#include <array>
#include <cstdint>
#include <cstring>

#include "form1/form1.h"
#include "image/disassembler.h"

namespace vintrel {

std::string Form1::RowText(int a, bool marked) const {
    const int w = chip.ProgramMemory[static_cast<std::size_t>(a & kPcMask)];
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
    // Only rows whose word or mark changed are rendered again, found a block at a time: a load
    // changes few rows of the 1024.
    // Every set breakpoint keeps its mark: after a cancelled load the breakpoints still stop a
    // run, so the listing must not hide them.
    const auto& words = chip.ProgramMemory;
    const auto& marks = Breakpoints;
    std::array<std::uint16_t, kProgramWords> keys;
    for (std::size_t i = 0; i < keys.size(); ++i)
        keys[i] = RowKey(words[i], marks[i] != 0);
    if (prg.count() != kProgramWords) {
        prg.clear();
        for (int a = 0; a < kProgramWords; ++a)
            prg.append(RowText(a, Breakpoints[static_cast<std::size_t>(a)] != 0));
    } else {
        prg.restart();
        constexpr std::size_t kBlock = 64;
        for (std::size_t b = 0; b < keys.size(); b += kBlock) {
            if (std::memcmp(&keys[b], &listed_[b], kBlock * sizeof keys[0]) == 0) continue;
            for (std::size_t i = b; i < b + kBlock; ++i) {
                if (keys[i] != listed_[i])
                    prg.replace(static_cast<int>(i),
                                RowText(static_cast<int>(i), (keys[i] & kRowMarked) != 0));
            }
        }
    }
    listed_ = keys;
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
    SelectDato();
}

}  // namespace vintrel
