// The chip fed random program words and random user actions between single steps. Checks the
// panel's invariants after every action, not just that nothing crashes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/invariants.h"
#include "platform/scripted_platform.h"

namespace {

void Fail(const std::string& what, int action) {
    std::fprintf(stderr, "invariant failed after action %d: %s\n", action, what.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vintrel;
    ScriptedPlatform platform;
    Form1 f(platform);
    std::size_t pos = 0;
    auto next = [&]() -> int { return pos < size ? data[pos++] : 0; };

    // The first bytes give a program of up to 64 words, spread over the address space.
    const int words = next() % 65;
    const int base = (next() * 4) & 0x3FF;
    for (int i = 0; i < words; ++i) {
        const int w = ((next() << 8) | next()) & 0x3FFF;
        f.ProgramMemory[static_cast<std::size_t>((base + i) & 0x3FF)] = w;
    }
    f.listaprog();

    int action = 0;
    // A PC edit moves only RegPC; the module counter follows at the next executed instruction.
    bool pcSynced = true;
    while (pos < size) {
        ++action;
        const int op = next();
        const auto cyclesBefore = f.CycleCount;
        switch (op % 12) {
            case 0:
            case 1:
            case 2:
            case 3:
            case 4:
                f.eje1_Click();
                break;
            case 5: {
                const int r = next() % 3;
                if (r == 0)
                    f.por_Click();
                else if (r == 1)
                    f.MCLR_Click();
                else if (f.WDT.enabled())
                    f.WDT_Click();
                else
                    break;
                pcSynced = true;
                break;
            }
            case 6: {
                const int i = next() % 13;
                Control& pin = i < 5 ? f.PA[static_cast<std::size_t>(i)]
                                     : f.PB[static_cast<std::size_t>(i - 5)];
                if (pin.enabled() && pin.visible()) pin.setValue(pin.value() ? 0 : 1);
                break;
            }
            case 7:
                if (f.TOCKI.enabled()) f.TOCKI_Click();
                break;
            case 8: {  // choose a target and write a value through the Modificar panel
                const int kind = next() % 5;
                const int idx = next();
                if (kind == 0 && Form1::IsRegKey(idx))
                    f.REG_Click(idx);
                else if (kind == 1)
                    f.EE_Click(idx % kEepromCells);
                else if (kind == 2)
                    f.REGW_Click();
                else if (kind == 3)
                    f.RegPC_Click();
                else
                    f.prg.select((idx * 4 + next()) & 0x3FF);
                const int v = (next() << 8) | next();
                f.dato.setText(HexPad(v, 1 + next() % 4));
                f.aceptar_Click();
                pcSynced = false;
                break;
            }
            case 9:
                f.prg.select(((next() << 8) | next()) & 0x3FF);
                f.break_Click();
                break;
            case 10:
                f.WATCHDOG.setValue(f.WATCHDOG.value() ? 0 : 1);
                break;
            default: {
                // A short continuous run, stopped from inside its yield.
                int left = 1 + next() % 32;
                platform.onYield = [&] {
                    if (--left == 0) f.ejecutar_Click();
                };
                f.ejecutar_Click();
                if (f.running()) Fail("run did not end", action);
                platform.onYield = nullptr;
                break;
            }
        }
        if ((op % 12 < 5 || op % 12 == 11) && f.CycleCount != cyclesBefore) pcSynced = true;
        if (auto e = fuzz::CheckCells(f); !e.empty()) Fail(e, action);
        if (auto e = fuzz::CheckRegisters(f, pcSynced); !e.empty()) Fail(e, action);
        // The whole listing is costly to compare; only edits and breakpoints rewrite rows.
        if (op % 12 == 8 || op % 12 == 9) {
            if (auto e = fuzz::CheckListing(f); !e.empty()) Fail(e, action);
        }
    }
    if (auto e = fuzz::CheckListing(f); !e.empty()) Fail(e, action);
    return 0;
}
