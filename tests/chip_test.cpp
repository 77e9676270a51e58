// The chip alone (linked against vintrel_chip and nothing above it). Every instruction word
// runs from a few seeded states on the chip and on the independent model of pic_model.h; what the
// model leaves out (the change effects, Timer0, the resets, the EEPROM) is stated in tables of
// {state before, actions, state after}, comparing the whole observable state after every row.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "chip/chip.h"
#include "model_check.h"

namespace vintrel {
namespace {

using model::PicModel;

// Seeded states: C and DC set and clear, all four banks and IRP, PCLATH bits, FSR at STATUS,
// PCL, INDF, a port and its own mirror, the last program addresses, empty to full stacks.
PicModel Seed(int s) {
    struct {
        int status, w, fsr, pclath, pc, depth;
    } const kSeeds[] = {
        {0x18, 0x5A, 0x20, 0x00, 0x010, 0}, {0x1F, 0xFF, 0x03, 0x1F, 0x3FF, 8},
        {0x3A, 0x0F, 0x02, 0x08, 0x155, 3}, {0x39, 0x01, 0x00, 0x10, 0x3FE, 1},
        {0x5C, 0x80, 0x8C, 0x03, 0x0FF, 0}, {0xBB, 0x33, 0x25, 0x02, 0x200, 2},
        {0x79, 0xF0, 0x06, 0x1F, 0x001, 7}, {0x1C, 0x00, 0x84, 0x07, 0x3FF, 0},
    };
    const auto& k = kSeeds[s];
    PicModel m;
    m.cell[129] = m.cell[134] = 0xFF;
    m.cell[133] = 0x1F;
    // A third of the registers hold values where results and flags turn over, relative to W.
    const int edges[] = {0, 1, 0x0F, 0x10, 0x7F, 0x80, 0xFF, k.w, 0x100 - k.w, 0xFF ^ k.w, k.w + 1};
    for (int key = 1; key < 0x50; ++key)
        m.cell[static_cast<std::size_t>(key)] =
            (key % 3 ? key * 73 + s * 29 : edges[(key / 3 + s) % 11]) & 0xFF;
    m.cell[2] = k.pc & 0xFF;
    m.cell[3] = m.statusWork = k.status;
    m.cell[4] = k.fsr;
    m.cell[10] = k.pclath;
    m.w = k.w;
    m.pc = k.pc;
    m.pinsA = 0x15 ^ s;
    m.pinsB = 0xA5 ^ (s * 0x11);
    for (int i = 0; i < 8; ++i)
        m.stack[static_cast<std::size_t>(i)] = i < k.depth ? (k.pc * 7 + i * 0x111) & 0x3FF : -1;
    m.cycles = 1000 * s;
    m.extra = s & 1;
    m.RefreshIndf();
    return m;
}

// Both ways a word runs: the step button's, and a continuous run's burst of one step.
TEST(Executor, EveryWordFromSeededStatesAsTheModelRunsIt) {
    Chip chip;
    const std::array<int, kProgramWords> noBreakpoints{};
    int compared = 0;
    for (int s = 0; s < 8; ++s) {
        const PicModel start = Seed(s);
        model::Load(chip, start);
        ASSERT_EQ(model::Differences(chip, start), "") << "seed " << s;
        for (int word = 0; word < 0x4000; ++word) {
            PicModel want = start;
            want.Execute(word);
            if (want.leftModel) continue;
            for (const bool burst : {false, true}) {
                model::Load(chip, start);
                chip.ProgramMemory[static_cast<std::size_t>(start.pc)] = word;
                std::int64_t idle = 1;
                bool skip = false;
                if (burst)
                    chip.Burst(idle, noBreakpoints.data(), skip);
                else
                    chip.Step();
                ASSERT_EQ(model::Differences(chip, want), "")
                    << "seed " << s << ", word " << HexPad(word, 4) << (burst ? ", burst" : "");
                ++compared;
            }
        }
    }
    // The words left out write OPTION, TRIS or EECON: a few hundred of the 131072.
    EXPECT_GT(compared, 2 * 130000);
}

using State = std::map<std::string, std::string>;

// Every observable of the chip by a short key: "W", "PC", "I" (INDF), data addresses "00".."4F",
// "81".."89", stack "s0".."s7", EEPROM "e00".."e3F", pin levels "pa"/"pb" and inputs "pae"/"pbe",
// and the module state and displays.
State Snapshot(const Chip& c) {
    State s{{"W", c.REGW.text()}, {"PC", c.RegPC.text()}, {"I", c.INDF.text()}};
    for (int k = 0; k < 256; ++k)
        if (Chip::IsRegKey(k)) s[HexPad(k, 2)] = c.REG(k).text();
    for (std::size_t i = 0; i < kEepromCells; ++i)
        s["e" + HexPad(int(i), 2)] = c.EE[i].text();
    int pa = 0, pae = 0, pb = 0, pbe = 0;
    for (int i = 0; i < 8; ++i) {
        const auto n = static_cast<std::size_t>(i);
        s["s" + std::to_string(i)] = c.pila[n].text();
        if (i < 5) pa |= (c.PA[n].value() != 0) << i, pae |= c.PA[n].enabled() << i;
        pb |= (c.PB[n].value() != 0) << i, pbe |= c.PB[n].enabled() << i;
    }
    // clang-format off
    s["a4v"] = std::to_string(c.PA[4].visible()); s["sl"] = std::to_string(c.estsleep.value());
    s["cy"] = std::to_string(c.CycleCount); s["x"] = std::to_string(c.ExtraCycle);
    s["pre"] = std::to_string(c.PrescalerCount); s["ul"] = std::to_string(c.EepromUnlock);
    s["clk"] = c.SENTIM.text(); s["div"] = c.divtim.text(); s["wd"] = c.WATCHDOG.text();
    s["tk"] = std::to_string(c.TOCKI.enabled());
    s["pa"] = HexPad(pa, 2); s["pae"] = HexPad(pae, 2);
    s["pb"] = HexPad(pb, 2); s["pbe"] = HexPad(pbe, 2);
    s["rp"] = c.RP[0].color() == ColorRole::Cell   ? "0"
              : c.RP[1].color() == ColorRole::Cell ? "1" : "-";
    // clang-format on
    return s;
}

// Applies one token: `key=value` sets that observable (a register by writing its cell, so its
// change effects run); a four-digit word executes at PC as the step button runs it; `por`,
// `mclr`, `wdt` reset; `kN` gives N T0CKI pulses; `nN` steps N times.
void Apply(Chip& c, const std::string& t) {
    const auto eq = t.find('=');
    if (eq == std::string::npos) {
        if (t == "por") return c.PowerOnReset();
        if (t == "mclr") return c.MclrReset();
        if (t == "wdt") return c.WatchdogReset();
        if (t[0] != 'k' && t[0] != 'n') {
            c.ProgramMemory[static_cast<std::size_t>(c.RegPC.hexValue())] =
                static_cast<int>(HexValue(t));
            return c.Step();
        }
        for (int i = std::stoi(t.substr(1)); i > 0; --i)
            t[0] == 'k' ? c.TOCKI_Click() : c.Step();
        return;
    }
    const std::string k = t.substr(0, eq), v = t.substr(eq + 1);
    const int n = static_cast<int>(HexValue(v)), decimal = std::atoi(v.c_str());
    const auto index = static_cast<std::size_t>(HexValue(k.substr(1)));
    // clang-format off
    if (k == "W") c.REGW.setHex(n, 2);
    else if (k == "PC") c.RegPC.setHex(c.ProgramCounter = n, 3);
    else if (k[0] == 's' && k.size() == 2 && k != "sl") c.pila[index].setText(v);
    else if (k[0] == 'e') c.EE[index].setHex(n, 2);
    else if (k == "pa") for (int i = 0; i < 5; ++i) c.PA[std::size_t(i)].setValue((n >> i) & 1);
    else if (k == "pb") for (int i = 0; i < 8; ++i) c.PB[std::size_t(i)].setValue((n >> i) & 1);
    else if (k == "sl") c.estsleep.setValue(n);
    else if (k == "cy") c.ciclos.setNumber(c.CycleCount = decimal);
    else if (k == "x") c.ExtraCycle = n;
    else if (k == "pre") c.PrescalerCount = decimal;
    else if (k == "fr") c.FR.setText(v);
    else c.REG(static_cast<int>(HexValue(k))).setHex(n, 2);
    // clang-format on
}

std::vector<std::string> Tokens(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> out;
    for (std::string t; in >> t;)
        out.push_back(t);
    return out;
}

struct Row {
    std::string before, actions;
    // Only what changes; PCL follows PC. After a single word PC, cy and x default to the next
    // address, one more cycle (plus x) and 0. Blanks in texts are written as '_'.
    std::string after;
};

void RunRows(const std::vector<Row>& rows) {
    for (const Row& r : rows) {
        SCOPED_TRACE(r.before + " | " + r.actions + " | " + r.after);
        Chip c;
        c.ExtraCycle = 0;
        for (const auto& t : Tokens(r.before))
            Apply(c, t);
        State want = Snapshot(c);
        const auto acts = Tokens(r.actions);
        if (acts.size() == 1 && acts[0].size() == 4 && std::isxdigit(acts[0][0])) {
            want["PC"] = HexPad(c.RegPC.hexValue() + 1, 3);
            want["cy"] = std::to_string(c.CycleCount + 1 + c.ExtraCycle);
            want["x"] = "0";
        }
        for (const auto& t : acts)
            Apply(c, t);
        bool pclGiven = false;
        for (const auto& t : Tokens(r.after)) {
            const auto eq = t.find('=');
            ASSERT_TRUE(want.count(t.substr(0, eq))) << t;
            want[t.substr(0, eq)] = t.substr(eq + 1);
            pclGiven |= t.substr(0, eq) == "02";
        }
        for (auto& [k, v] : want)
            for (auto& ch : v)
                if (ch == '_') ch = ' ';
        if (!pclGiven) want["02"] = want["PC"].substr(1);
        const State got = Snapshot(c);
        for (const auto& [k, v] : want)
            EXPECT_EQ(got.at(k), v) << "key " << k;
        EXPECT_EQ(c.StatusReg, c.REG(3).hexValue());
        EXPECT_EQ(c.ciclos.text(), std::to_string(c.CycleCount));
    }
}

// The change effects of the special registers, by a write of the cell or by an instruction.
TEST(ChangeEffects, Table) {
    RunRows({
        // instructions that write OPTION, TRIS and EECON2, in bank 1, through FSR or by name
        {"W=42 03=38", "0081", "81=42 clk=Int. div=8 wd=WDT_/_1 tk=0 a4v=1"},
        {"04=85 W=03", "0080", "85=03 I=03 pae=03"},
        {"W=55 03=38", "0089", "89=55 ul=1"},
        {"W=07 03=38", "0062", "81=07 clk=Int. div=256 wd=WDT_/_1 tk=0 a4v=1"},
        {"W=0F 03=38", "0065", "85=0F pae=0F"},
        {"W=00", "0066", "86=00 pbe=00"},
        {"pb=00 06=A5 86=0F", "0806", "W=A0 06=A0"},
        // OPTION: clock source, T0CKI button, RA4, divisors of Timer0 and the watchdog
        {"", "81=07", "81=07 clk=Int. div=256 wd=WDT_/_1 tk=0 a4v=1"},
        {"", "81=00", "81=00 clk=Int. div=2 wd=WDT_/_1 tk=0 a4v=1"},
        {"", "81=08", "81=08 clk=Int. div=1 wd=WDT_/_1 tk=0 a4v=1"},
        {"", "81=0B", "81=0B clk=Int. div=1 wd=WDT_/_8 tk=0 a4v=1"},
        {"", "81=2F", "81=2F clk=Ext. div=1 wd=WDT_/_128"},
        {"81=07", "81=FF", "81=FF clk=Ext. div=1 wd=WDT_/_128 tk=1 a4v=0"},
        {"81=07 fr=5", "81=27", "81=27 clk=Ext. div=256 tk=0 a4v=0"},
        {"81=07", "81=86", "81=86 div=128"},
        // STATUS: the bank indicator
        {"", "03=20", "03=20 rp=1"},
        {"", "03=40", "03=40 rp=-"},
        {"03=60", "03=00", "03=00 rp=0"},
        // TRIS and ports: outputs show the latch, inputs keep the user's level
        {"06=A5", "86=00", "86=00 pbe=00 pb=A5"},
        {"pb=0F 86=0F", "06=A5", "06=A5 pb=AF"},
        {"pa=04 85=04", "05=1B", "05=1B pa=1F"},
        {"pa=1F 85=00", "85=1F", "85=1F pae=1F"},
        // EEPROM write: the whole sequence, then every step of it wrong once
        {"09=05 08=3C 88=04", "89=55 89=AA 88=06", "89=AA e05=3C 88=14"},
        {"09=3F 08=3C 88=04", "89=55 89=AA 88=06", "89=AA e3F=3C 88=14"},
        {"09=05 08=3C 88=04", "89=AA 89=55 88=06", "89=55"},
        {"09=05 08=3C 88=04", "89=55 89=AB 88=06", "89=AB"},
        {"09=05 08=3C 88=04", "89=55 89=00 89=AA 88=06", "89=AA e05=3C 88=14"},
        {"09=05 08=3C 88=04", "89=55 89=AA 89=00 88=06", "89=00"},
        {"09=05 08=3C 88=04", "89=55 89=AA 88=02", "89=AA 88=00"},
        {"09=05 08=3C 88=04", "89=55 89=AA 88=06 08=11 88=04 88=06", "89=AA e05=3C 08=11"},
        {"09=05 08=3C 88=04", "89=55 89=AA 89=AA", "89=AA ul=2"},
        {"09=05 89=55", "89=55", ""},
        // EEPROM read, also beyond the last cell
        {"e05=3C 09=05", "88=01", "08=3C"},
        {"e05=3C 09=05 08=77", "88=05", "08=3C 88=04"},
        {"09=40 08=77", "88=01", "08=00"},
        // a write beyond the last cell stores nothing anywhere
        {"09=40 08=3C 88=04", "89=55 89=AA 88=06", "89=AA 88=14"},
        {"09=FF 08=3C 88=04", "89=55 89=AA 88=06", "89=AA 88=14"},
        // INDF follows a user's edit of the register FSR points at
        {"04=20", "20=5A", "20=5A I=5A"},
    });
}

// The three resets, awake and asleep; W and the other cells are kept.
TEST(Resets, Table) {
    const char* before =
        "PC=005 s0=007 s1=00A W=26 20=26 0A=1F 81=00 85=00 86=00 88=04 cy=9 pre=3 "
        "03=FF 0B=FF";
    const char* common =
        "s0=--- s1=--- 0A=00 81=FF 85=1F 86=FF 88=00 cy=0 x=1 pre=0 pae=1F "
        "pbe=FF clk=Ext. div=1 wd=WDT_/_128 tk=1 a4v=0";
    struct Case {
        const char* sleep;
        const char* reset;
        const char* after;
    };
    const Case cases[] = {
        {"", "por", "PC=000 03=18 0B=00 rp=0"},
        {"sl=1", "por", "PC=000 03=18 0B=00 sl=0 rp=0"},
        {"", "mclr", "PC=000 03=1F 0B=01 rp=0"},
        {"sl=1", "mclr", "PC=000 03=17 0B=00 sl=0 rp=0"},
        {"", "wdt", "PC=000 03=0F 0B=01 rp=0"},
        {"sl=1", "wdt", "PC=006 03=E7 0B=00 sl=0"},
        {"sl=1 PC=3FF", "wdt", "PC=000 03=E7 0B=00 sl=0"},
    };
    std::vector<Row> rows;
    for (const Case& c : cases)
        rows.push_back(
            {std::string(before) + " " + c.sleep, c.reset, std::string(common) + " " + c.after});
    // MCLR after a watchdog reset keeps TO = 0 and PD = 1.
    rows.push_back({"03=18", "wdt mclr", "03=08 x=1"});
    RunRows(rows);
}

// Timer0 with every prescaler setting, both clocks: the increment comes at the step that brings
// the pulses to the divisor, at most one a step, the overflow sets no flag.
TEST(Timer0, Table) {
    std::vector<Row> rows;
    for (int ps = 0; ps < 8; ++ps) {
        const int div = 2 << ps;
        const std::string opt = "81=0" + std::to_string(ps);
        auto steps = [](int n, int cycles) {
            return " cy=" + std::to_string(cycles) + " PC=" + HexPad(n, 3);
        };
        rows.push_back({opt, "n" + std::to_string(div - 1),
                        "pre=" + std::to_string(div - 1) + steps(div - 1, div - 1)});
        rows.push_back({opt, "n" + std::to_string(div), "01=01" + steps(div, div)});
        // The pending second cycle of the instruction before counts as a pulse.
        rows.push_back(
            {opt + " x=1", "n" + std::to_string(div - 1), "01=01 x=0" + steps(div - 1, div)});
    }
    RunRows(rows);
    RunRows({
        // divisor 1 (prescaler to the watchdog): one a step, the second cycles pile up
        {"81=08 x=1", "n3", "01=03 pre=1 cy=4 x=0 PC=003"},
        {"81=08 01=FF 0B=00", "n1", "01=00 cy=1 PC=001"},
        // T0CKI: pulses between steps turn into increments one step at a time
        {"81=28", "k3 n4", "01=03 cy=4 PC=004"},
        {"81=20", "k1 n1", "pre=1 cy=1 PC=001"},
        {"81=20", "k2 n1", "01=01 cy=1 PC=001"},
        {"81=28 fr=1", "k3 n2", "pre=3 cy=2 PC=002"},
        // until OPTION first changes: clicks divided by 256
        {"", "k255 n1", "pre=255 cy=1 PC=001"},
        {"", "k256 n1", "01=01 cy=1 PC=001"},
        // CLRF TMR0 keeps the prescaler; an OPTION change too
        {"81=01 01=05 pre=1", "0181", "01=00 pre=2 03=1C"},
        {"81=01 pre=3", "81=07", "81=07 div=256"},
    });
}

// The decoded bits of STATUS and INTCON; a hex text too long for any cell stays out of range.
TEST(HexText, HintsAndLongTexts) {
    Chip c;
    c.REG(3).setHex(0x18, 2);
    EXPECT_EQ(c.REG(3).hint(), " IRP=0 RP1=0 RP0=0  T0=1  PD=1   Z=0  DC=0   C=0");
    c.REG(11).setHex(0x81, 2);
    EXPECT_EQ(c.REG(11).hint(), " GIE=1 EIE=0 TIE=0 ITE=0 BIE=0 TIF=0 ITF=0 BIF=1");
    EXPECT_GT(HexValue("FFFFFFFFFFFFFFFFFFFFFFFF"), 0x3FFF);
}

}  // namespace
}  // namespace vintrel
