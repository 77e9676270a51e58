// The chip alone (linked against vintrel_chip and nothing above it): one table of
// {state before, actions, state after}. The whole observable state is compared after every row:
// `after` names what changes, everything else must stay as it was.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "chip/chip.h"

namespace vintrel {
namespace {

using State = std::map<std::string, std::string>;

std::string Bits(const Control* pins, int n, bool enabled) {
    int v = 0;
    for (int i = 0; i < n; ++i)
        v |= (enabled ? pins[i].enabled() : pins[i].value() != 0) << i;
    return HexPad(v, 2);
}

// Every observable of the chip by a short key: "W", "PC", data addresses "00".."4F", "81".."89",
// stack "s0".."s7", EEPROM "e00".."e3F", pins "pa"/"pb" (levels) and "pae"/"pbe" (inputs), and
// the module state and displays.
State Snapshot(const Chip& c) {
    State s{{"W", c.REGW.text()}, {"PC", c.RegPC.text()}, {"I", c.INDF.text()}};
    for (int k = 0; k < 256; ++k)
        if (Chip::IsRegKey(k)) s[HexPad(k, 2)] = c.REG(k).text();
    for (int i = 0; i < kStackLevels; ++i)
        s["s" + std::to_string(i)] = c.pila[static_cast<std::size_t>(i)].text();
    for (int i = 0; i < kEepromCells; ++i)
        s["e" + HexPad(i, 2)] = c.EE[static_cast<std::size_t>(i)].text();
    s["pa"] = Bits(c.PA.data(), 5, false);
    s["pae"] = Bits(c.PA.data(), 5, true);
    s["pb"] = Bits(c.PB.data(), 8, false);
    s["pbe"] = Bits(c.PB.data(), 8, true);
    s["a4v"] = std::to_string(c.PA[4].visible());
    s["sl"] = std::to_string(c.estsleep.value());
    s["cy"] = std::to_string(c.CycleCount);
    s["x"] = std::to_string(c.ExtraCycle);
    s["pre"] = std::to_string(c.PrescalerCount);
    s["ul"] = std::to_string(c.EepromUnlock);
    s["clk"] = c.SENTIM.text();
    s["div"] = c.divtim.text();
    s["wd"] = c.WATCHDOG.text();
    s["tk"] = std::to_string(c.TOCKI.enabled());
    s["rp"] = c.RP[0].color() == ColorRole::Cell   ? "0"
              : c.RP[1].color() == ColorRole::Cell ? "1"
                                                   : "-";
    return s;
}

void SetPins(Control* pins, int n, int v) {
    for (int i = 0; i < n; ++i)
        pins[i].setValue((v >> i) & 1);
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
    const int n = static_cast<int>(HexValue(v));
    if (k == "W") {
        c.REGW.setHex(n, 2);
    } else if (k == "PC") {
        c.RegPC.setHex(n, 3);
        c.ProgramCounter = n;
    } else if (k[0] == 's' && k.size() == 2 && k != "sl") {
        c.pila[static_cast<std::size_t>(k[1] - '0')].setText(v);
    } else if (k[0] == 'e') {
        c.EE[static_cast<std::size_t>(HexValue(k.substr(1)))].setHex(n, 2);
    } else if (k == "pa") {
        SetPins(c.PA.data(), 5, n);
    } else if (k == "pb") {
        SetPins(c.PB.data(), 8, n);
    } else if (k == "sl") {
        c.estsleep.setValue(n);
    } else if (k == "cy") {
        c.CycleCount = std::stoi(v);
        c.ciclos.setNumber(c.CycleCount);
    } else if (k == "x") {
        c.ExtraCycle = n;
    } else if (k == "pre") {
        c.PrescalerCount = std::stoi(v);
    } else if (k == "fr") {
        c.FR.setText(v);
    } else {
        const int key = static_cast<int>(HexValue(k));
        ASSERT_TRUE(Chip::IsRegKey(key) && k.size() == 2) << k;
        c.REG(key).setHex(n, 2);
    }
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

// Every instruction of the set: flags in and out, both destinations, both banks and RP1, skips
// taken and not, jumps across pages with PCLATH, the 3FFh wrap, STATUS, PCL and INDF as operands.
TEST(Executor, Table) {
    RunRows({
        // ADDWF, SUBWF: C, DC, Z each set and cleared
        {"W=0F 20=01", "07A0", "20=10 03=1A"},
        {"W=FF 20=01", "0720", "W=00 03=1F"},
        {"W=01 20=01 03=1F", "07A0", "20=02 03=18"},
        {"W=80 20=80", "07A0", "20=00 03=1D"},
        {"W=F0 20=0F 03=1F", "07A0", "20=FF 03=18"},
        {"W=33 20=33", "02A0", "20=00 03=1F"},
        {"W=01 20=00 03=1F", "0220", "W=FF 03=18"},
        {"W=01 20=10", "02A0", "20=0F 03=19"},
        {"W=10 20=01", "02A0", "20=F1 03=1A"},
        // DECF, INCF, IORWF, ANDWF, XORWF, COMF, MOVF, MOVWF, CLRF, CLRW, SWAPF
        {"20=01", "03A0", "20=00 03=1C"},
        {"20=00 03=1C", "0320", "W=FF 03=18"},
        {"20=FF", "0AA0", "20=00 03=1C"},
        {"20=41 03=1C", "0A20", "W=42 03=18"},
        {"W=0F 20=F0 03=1C", "04A0", "20=FF 03=18"},
        {"W=00 20=00", "0420", "03=1C"},
        {"W=0F 20=F0", "05A0", "20=00 03=1C"},
        {"W=3C 20=0F 03=1C", "0520", "W=0C 03=18"},
        {"W=F0 20=FF", "06A0", "20=0F"},
        {"W=55 20=55", "0620", "W=00 03=1C"},
        {"20=00 03=1C", "09A0", "20=FF 03=18"},
        {"20=FF", "0920", "W=00 03=1C"},
        {"W=55", "0820", "W=00 03=1C"},
        {"20=80 03=1C", "08A0", "03=18"},
        {"W=5A 03=1F", "00A0", "20=5A"},
        {"20=5A", "01A0", "20=00 03=1C"},
        {"W=55", "0100", "W=00 03=1C"},
        {"W=55", "017F", "W=00 03=1C"},
        {"20=3C 03=1F", "0EA0", "20=C3"},
        {"20=3C", "0E20", "W=C3"},
        // DECFSZ, INCFSZ: the skip (a second cycle) and no flags
        {"20=01", "0BA0", "20=00 PC=002 x=1"},
        {"20=00 03=1C", "0BA0", "20=FF"},
        {"20=01", "0B20", "W=00 PC=002 x=1"},
        {"20=FF", "0FA0", "20=00 PC=002 x=1"},
        {"20=00 03=1C", "0FA0", "20=01"},
        {"20=FF", "0F20", "W=00 PC=002 x=1"},
        // RRF, RLF: the old C goes in, the bit shifted out comes out, Z is left alone
        {"20=01 03=19", "0CA0", "20=80"},
        {"20=02 03=19", "0CA0", "20=81 03=18"},
        {"20=01 03=1C", "0CA0", "20=00 03=1D"},
        {"20=FE", "0C20", "W=7F"},
        {"20=80", "0DA0", "20=00 03=19"},
        {"20=41 03=19", "0DA0", "20=83 03=18"},
        {"20=7F 03=19", "0D20", "W=FF 03=18"},
        // bit-oriented: BCF, BSF, and the skips taken and not, across the end of memory
        {"20=FF", "13A0", "20=7F"},
        {"20=FF", "1020", "20=FE"},
        {"20=00", "1420", "20=01"},
        {"20=08", "19A0", ""},
        {"20=F7", "19A0", "PC=002 x=1"},
        {"20=08", "1DA0", "PC=002 x=1"},
        {"20=F7", "1DA0", ""},
        {"PC=3FE", "1820", "PC=000 x=1"},
        {"PC=3FF", "1820", "PC=001 x=1"},
        {"PC=3FF", "0000", "PC=000"},
        // bank 1: OPTION, TRISA and INTCON; mirrors; 87h reads 0
        {"W=42 03=38", "0081", "81=42 clk=Int. div=8 wd=WDT_/_1 tk=0 a4v=1"},
        {"W=42 03=38", "008C", "0C=42"},
        {"W=0F 03=38", "0085", "85=0F pae=0F"},
        {"W=42 03=38", "008B", "0B=42"},
        {"W=55 03=38", "0089", "89=55 ul=1"},
        {"4F=5A 03=38", "084F", "W=5A"},
        {"W=55", "0087", ""},
        {"03=38", "0801", "W=FF"},
        {"W=55 03=38", "0807", "W=00 03=3C"},
        // RP1: reads give 0, writes are dropped, BTFSC always skips
        {"0C=42 03=58", "018C", "03=5C rp=-"},
        {"0C=42 03=58", "080C", "03=5C rp=-"},
        {"0C=FF 03=58", "180C", "PC=002 x=1 rp=-"},
        {"0C=FF 03=58", "1C0C", "rp=-"},
        // STATUS as destination: flags set before the write lose to the stored value; CLRF writes
        // first, then sets Z; a write of the same text keeps the flags
        {"03=1B", "0183", "03=04"},
        {"W=01", "0783", "03=19"},
        {"03=1B", "0A83", "03=1C"},
        {"03=1C", "0883", "03=18"},
        {"W=00 03=1C", "0683", "03=18"},
        {"", "0803", "W=18"},
        {"", "1683", "03=38 rp=1"},
        {"03=38", "1283", "03=18 rp=0"},
        // PCL: a write jumps with all of PCLATH and costs a cycle; a read sees the next address
        {"W=34 0A=1F", "0082", "PC=334 x=1"},
        {"PC=010 W=03", "0782", "PC=014 x=1"},
        {"PC=010 W=03", "0702", "W=14"},
        {"PC=3FF W=55", "0802", "W=00 03=1C PC=000"},
        {"0A=03 03=1C", "0182", "PC=300 x=1"},
        // INDF: through FSR in either bank, bank 1 registers from bank 0, INDF itself, PCL, IRP
        {"04=20 20=5A", "0800", "W=5A"},
        {"04=A0 20=5A 03=38", "0800", "W=5A"},
        {"04=85 W=03", "0080", "85=03 I=03 pae=03"},
        {"04=80 W=77", "0080", ""},
        {"04=0C 0C=FF", "0A80", "0C=00 03=1C I=00"},
        {"04=02 0A=01 W=40", "0080", "PC=140 x=1 I=40"},
        {"04=20 20=5A 03=98", "0080", "rp=0"},
        {"04=20 20=5A 03=98", "0800", "W=00 03=9C"},
        // ports: every class-0 word reads its register, a read takes the pin levels
        {"pb=A5", "0806", "W=A5 06=A5"},
        {"pa=1F", "0005", "05=1F"},
        {"pb=00 06=A5 86=0F", "0806", "W=A0 06=A0"},
        // CALL, GOTO, RETURN, RETLW, RETFIE: PCLATH never moves a target, the stack shifts
        {"", "2805", "PC=005 x=1"},
        {"0A=1F", "2805", "PC=005 x=1"},
        {"", "2FFF", "PC=3FF x=1"},
        {"", "2C00", "PC=000 x=1"},
        {"PC=010 0A=18", "2123", "PC=123 s0=011 x=1"},
        {"PC=3FF", "2123", "PC=123 s0=000 x=1"},
        {"s0=001 s1=002 s2=003 s3=004 s4=005 s5=006 s6=007 s7=008 PC=010", "2200",
         "PC=200 s0=011 s1=001 s2=002 s3=003 s4=004 s5=005 s6=006 s7=007 x=1"},
        {"s0=123 s1=045", "0008", "PC=123 s0=045 s1=--- x=1"},
        {"", "0008", "PC=000 x=1"},
        {"s0=123 03=1F", "345A", "PC=123 W=5A s0=--- x=1"},
        {"s0=3FF 0B=01", "0009", "PC=3FF 0B=81 s0=--- x=1"},
        // OPTION, TRIS, SLEEP, CLRWDT, NOP and undefined words
        {"W=07 03=38", "0062", "81=07 clk=Int. div=256 wd=WDT_/_1 tk=0 a4v=1"},
        {"W=0F", "0065", "85=0F pae=0F"},
        {"W=00", "0066", "86=00 pbe=00"},
        {"W=00", "0067", ""},
        {"", "0063", "sl=1"},
        {"", "0064", ""},
        {"", "0060", ""},
        {"", "0001", ""},
        {"x=1 cy=7", "0000", "cy=9"},
        // literals: MOVLW and RETLW keep the flags, the others set Z; SUBLW and ADDLW C and DC
        {"03=1F", "305A", "W=5A"},
        {"", "33FF", "W=FF"},
        {"W=00", "3800", "03=1C"},
        {"W=F0 03=1C", "380F", "W=FF 03=18"},
        {"W=F0", "390F", "W=00 03=1C"},
        {"W=81 03=1C", "39FF", "W=81 03=18"},
        {"W=FF", "3AFF", "W=00 03=1C"},
        {"W=F0", "3A0F", "W=FF"},
        {"W=01 03=1F", "3C00", "W=FF 03=18"},
        {"W=01", "3C10", "W=0F 03=19"},
        {"W=10", "3D01", "W=F1 03=1A"},
        {"W=05", "3C05", "W=00 03=1F"},
        {"W=01", "3EFF", "W=00 03=1F"},
        {"W=0F", "3F01", "W=10 03=1A"},
        {"W=80", "3E80", "W=00 03=1D"},
        {"W=01 03=1F", "3E01", "W=02 03=18"},
        {"W=00", "3B12", "03=1C"},
        {"W=12 03=1C", "3BFF", "03=18"},
    });
}

// The change effects of the special registers.
TEST(ChangeEffects, Table) {
    RunRows({
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
        // INDF follows the register FSR points at
        {"04=20", "20=5A", "20=5A I=5A"},
        {"20=5A 04=20", "04=21", "04=21 I=00"},
        {"04=85", "85=03", "85=03 I=03 pae=03"},
        {"04=20 20=5A", "03=98", "03=98 I=00 rp=0"},
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

TEST(HexText, EncodingOfCells) {
    EXPECT_EQ(HexPad(300, 2), "2C");
    EXPECT_EQ(HexPad(-1, 2), "FF");
    EXPECT_EQ(HexPad(10, 1), "A");
    EXPECT_EQ(HexPad(1023, 3), "3FF");
    EXPECT_EQ(HexValue("  1fz"), 0x1F);
    EXPECT_EQ(HexValue("**"), 0);
    EXPECT_GT(HexValue("FFFFFFFFFFFFFFFFFFFFFFFF"), 0x3FFF);  // saturates, stays out of range
    Chip c;
    c.REG(3).setHex(0x18, 2);
    EXPECT_EQ(c.REG(3).hint(), " IRP=0 RP1=0 RP0=0  T0=1  PD=1   Z=0  DC=0   C=0");
    c.REG(11).setHex(0x81, 2);
    EXPECT_EQ(c.REG(11).hint(), " GIE=1 EIE=0 TIE=0 ITE=0 BIE=0 TIF=0 ITF=0 BIF=1");
}

}  // namespace
}  // namespace vintrel
