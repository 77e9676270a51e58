// The panel: every message of the HEX loader with what stays stored and what the listing shows
// (fuzz_hex's round trip states the silent loads), both ends of every range of the Modificar
// panel, and the run loop against single steps.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "form1/form1.h"
#include "host/scripted_platform.h"
#include "temp_files.h"

namespace vintrel {
namespace {

namespace fs = std::filesystem;

// A record with a correct checksum over the bytes of `data`; `bad` puts it off by one.
std::string Rec(int count, int address, int type, const std::string& data, bool bad = false) {
    int sum = count + (address >> 8) + (address & 0xFF) + type + bad;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2)
        sum += std::stoi(data.substr(i, 2), nullptr, 16);
    char head[16];
    std::snprintf(head, sizeof head, ":%02X%04X%02X", count, address, type);
    return head + data + HexPad(0x100 - (sum & 0xFF), 2);
}

const std::string kEnd = ":00000001FF", kGood = Rec(2, 0, 0, "0130");
const std::string kNoEnd = "No hay código de fin.", kSum = "Error de checksum.",
                  kFormat = "Formato incorrecto.", kWord = "Código de operación no valido.",
                  kAddress = "Dirección no valida.", kRead = "Error en lectura";

struct LoadCase {
    std::vector<std::string> lines;  // joined with "\n"; a line may hold its own terminators
    std::vector<std::string> messages;
    // What memory holds afterwards: "a=word" (hex), "eNN=byte", "wd=0|1". Every other word is
    // 0 and every other EEPROM cell 00 (a load starts from cleared memories).
    std::string stored;
};

TEST(Loader, MessagesAndWhatStaysStored) {
    const LoadCase cases[] = {
        {{kGood}, {kNoEnd}, "0=3001"},
        {{Rec(2, 0, 0, "0130", true), kEnd}, {kSum}, "0=3001"},
        {{Rec(2, 0, 0, "0130", true)}, {kNoEnd, kSum}, "0=3001"},
        {{kGood, ":00000001FE", kEnd}, {kSum}, "0=3001"},
        {{kGood, ":00000001FE"}, {kNoEnd, kSum}, "0=3001"},
        {{kGood, ":020000040000FA", Rec(2, 2, 0, "0230"), kEnd}, {kFormat}, "0=3001"},
        {{kGood, "; comment", kEnd}, {kFormat}, "0=3001"},
        {{Rec(6, 0, 0, "FF3F00400130"), kEnd}, {kWord}, "0=3FFF"},
        {{Rec(4, 0x4200, 0, "12000001"), kEnd}, {kWord}, "e00=12"},
        {{Rec(2, 0x0FFE, 0, "0000"), kEnd}, {kAddress}, ""},
        {{Rec(2, 0x4008, 0, "0000"), kEnd}, {kAddress}, ""},
        {{Rec(2, 0x41FE, 0, "0000"), kEnd}, {kAddress}, ""},
        {{Rec(2, 0x4280, 0, "0000"), kEnd}, {kAddress}, ""},
        {{Rec(2, 0x0800, 0, "0000"), kEnd}, {kRead}, ""},
        {{Rec(2, 0x0FFC, 0, "0000"), kEnd}, {kRead}, ""},
        {{Rec(4, 0x07FE, 0, "01300230"), kEnd}, {kRead}, "3FF=3001"},
        {{Rec(4, 0x427E, 0, "12003400"), kEnd}, {kRead}, "e3F=12"},
        {{":000000000", kEnd}, {kRead}, ""},
        {{}, {kRead}, ""},
        // the configuration word: no checksum, only bit 2 of the low byte counts
        {{Rec(2, 0x400E, 0, "F93F", true), kEnd}, {}, "wd=0"},
        {{Rec(8, 0x4200, 0, "1200340056007800", true), kEnd},
         {kSum},
         "e00=12 e01=34 e02=56 e03=78"},
        // a field shorter than its count reads 0; a byte count of 1 makes no word
        {{Rec(3, 0, 0, "341278"), kEnd}, {}, "0=1234 1=0078"},
        {{":0100000034CB", kEnd}, {kSum}, ""},
        // a line no record can be (past 1024 characters) is a malformed record
        {{kGood, Rec(2, 2, 0, "0230" + std::string(1009, '0')), kEnd}, {}, "0=3001 1=3002"},
        {{kGood, Rec(2, 2, 0, "0230" + std::string(1010, '0')), kEnd}, {kFormat}, "0=3001"},
        {{kGood, std::string(1025, ':')}, {kFormat}, "0=3001"},
    };
    const testing::TempDir scratch("vintrel-hex");
    const fs::path& dir = scratch.path();
    for (const LoadCase& c : cases) {
        std::string text;
        for (const auto& l : c.lines)
            text += l + "\n";
        SCOPED_TRACE(text);
        const std::string path = (dir / "Prog.hex").string();
        testing::WriteFile(path, text);

        ScriptedPlatform p;
        Form1 f(p);
        std::istringstream stored(c.stored);
        std::vector<int> words(kProgramWords, 0);
        std::vector<std::string> ee(kEepromCells, "00");
        int wd = 1;
        for (std::string t; stored >> t;) {
            const auto eq = t.find('=');
            const int v = static_cast<int>(HexValue(t.substr(eq + 1)));
            if (t[0] == 'w')
                wd = v;
            else if (t[0] == 'e')
                ee[static_cast<std::size_t>(HexValue(t.substr(1, eq - 1)))] = t.substr(eq + 1);
            else
                words[static_cast<std::size_t>(HexValue(t.substr(0, eq)))] = v;
        }
        // A breakpoint shown on a word the load leaves as it was, as when loading a file again.
        f.prg.select(5);
        f.break_Click();
        f.chip.ProgramMemory.fill(0x2FFF);
        for (auto& e : f.chip.EE)
            e.setText("FF");
        f.chip.WATCHDOG.setValue(c.stored.find("wd=") == std::string::npos ? 1 : !wd);
        p.pendingChoice = c.lines.empty() && c.messages.size() == 1 ? path + ".missing" : path;
        f.cargar_Click();

        std::vector<std::string> want;
        for (const auto& m : c.messages)
            want.push_back("message " +
                           JsonString(m == kRead ? m : "Error en fichero " + path + ".\r" + m));
        EXPECT_EQ(p.events, want);
        if (!want.empty()) {
            EXPECT_EQ(p.lastAlign,
                      c.messages.back() == kRead ? MessageAlign::Default : MessageAlign::Right);
        }
        for (int a = 0; a < kProgramWords; ++a) {
            ASSERT_EQ(f.chip.ProgramMemory[static_cast<std::size_t>(a)],
                      words[static_cast<std::size_t>(a)])
                << "word " << a;
            ASSERT_EQ(f.Breakpoints[static_cast<std::size_t>(a)], 0);
            ASSERT_EQ(f.prg.row(a), f.RowText(a, false));
        }
        for (int i = 0; i < kEepromCells; ++i)
            EXPECT_EQ(f.chip.EE[static_cast<std::size_t>(i)].text(),
                      ee[static_cast<std::size_t>(i)])
                << "cell " << i;
        EXPECT_EQ(f.chip.WATCHDOG.value(), wd);
        EXPECT_EQ(f.chip.WDT.enabled(), wd == 1);
    }
    // An empty file fails to read, and so does anything that is not a regular file: a FIFO
    // without a writer would block the open, /dev/zero would never end.
    ScriptedPlatform p;
    Form1 f(p);
    testing::WriteFile(dir / "empty.hex", "");
    fs::create_directories(dir / "folder.hex");
    ASSERT_EQ(::mkfifo((dir / "pipe.hex").c_str(), 0600), 0);
    ::alarm(20);  // a load that blocks ends the test instead of hanging it
    for (const fs::path& unreadable :
         {dir / "empty.hex", dir / "folder.hex", dir / "pipe.hex", fs::path("/dev/zero")}) {
        p.events.clear();
        p.pendingChoice = unreadable.string();
        f.cargar_Click();
        EXPECT_EQ(p.events, std::vector<std::string>{"message " + JsonString(kRead)}) << unreadable;
    }
    ::alarm(0);
    EXPECT_EQ(p.lastFilter, "Archivos hexadecimales (*.hex)|*.hex|Todos los archivos (*.*)|*.*");
}

// Both ends of every range of "&Aceptar": a value inside is written and empties the panel; one
// outside beeps, writes nothing and keeps the panel with the value selected for correction.
TEST(Modificar, Ranges) {
    struct Case {
        const char* target;
        const char* value;
        const char* written;     // the target's text afterwards; null: refused
        const char* pc = "010";  // RegPC afterwards (PCL follows it), unless PC is the target
    };
    // clang-format off
    const Case cases[] = {
        {"W", "FF", "FF"}, {"W", "00", "00"}, {"W", "100", nullptr}, {"W", "", "00"},
        {"W", " 0003c ", "3C"}, {"W", "12345", nullptr}, {"D-0C", "FF", "FF"}, {"D-4F", "0", "00"},
        {"D-0C", "100", nullptr}, {"D-89", "AB", "AB"}, {"D-00", "05", "05"}, {"E-00", "FF", "FF"},
        {"E-3F", "0", "00"}, {"E-3F", "100", nullptr}, {"P-000", "3FFF", "3FFF"},
        {"P-3FF", "0", "0000"}, {"P-3FF", "4000", nullptr}, {"PC", "3FF", "3FF"},
        {"PC", "0", "000"}, {"PC", "400", nullptr}, {"D-0A", "03", "03", "310"},
        {"D-02", "A5", "A5", "0A5"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " " + c.value);
        ScriptedPlatform p;
        Form1 f(p);
        f.chip.REGW.setHex(0x11, 2);
        f.chip.ProgramMemory[0x3FF] = 0x1111;
        f.chip.EE[63].setHex(0x11, 2);
        f.chip.RegPC.setHex(0x010, 3);
        const std::string t = c.target;
        const int a = t.size() > 2 ? static_cast<int>(HexValue(t.substr(2))) : 0;
        Control* cell = t == "W"      ? &f.chip.REGW
                        : t == "PC"   ? &f.chip.RegPC
                        : t[0] == 'D' ? &f.chip.REG(a)
                        : t[0] == 'E' ? &f.chip.EE[static_cast<std::size_t>(a)]
                                      : nullptr;
        auto text = [&] {
            return cell ? cell->text()
                        : HexPad(f.chip.ProgramMemory[static_cast<std::size_t>(a)], 4);
        };
        if (t == "W") f.REGW_Click();
        if (t == "PC") f.RegPC_Click();
        if (t[0] == 'D') f.REG_Click(a);
        if (t[0] == 'E') f.EE_Click(a);
        if (t[0] == 'P' && t[1] == '-') f.prg.select(a);
        ASSERT_EQ(f.direc.text(), t);
        const std::string before = text();
        f.dato.setText(c.value);
        f.aceptar_Click();
        if (t != "PC") {
            EXPECT_EQ(f.chip.RegPC.text(), c.pc);
        }
        EXPECT_EQ(f.chip.REG(2).text(), f.chip.RegPC.text().substr(1));
        EXPECT_EQ(text(), c.written ? c.written : before);
        EXPECT_EQ(p.events, std::vector<std::string>(c.written ? 0 : 1, "beep"));
        EXPECT_EQ(f.direc.text(), c.written ? "" : t);
        EXPECT_EQ(f.dato.text(), c.written ? "" : c.value);
        if (!c.written) {
            EXPECT_EQ(f.dato.selLength(), static_cast<int>(std::string(c.value).size()));
            EXPECT_EQ(f.focus(), &f.dato);
        } else if (!cell) {
            EXPECT_EQ(f.prg.row(a), f.RowText(a, false));
        }
    }
}

// A host whose every yield promises `idle` more with nothing to do: the run takes bursts.
struct IdlePlatform : ScriptedPlatform {
    std::int64_t idle = 0;
    std::int64_t idleYields() override { return idle; }
};

// What a step leaves on the panel.
std::string Panel(const Form1& f) {
    std::string s = f.chip.REGW.text() + f.chip.RegPC.text() + f.chip.ciclos.text() + "|";
    for (int key = 0; key < 256; ++key)
        if (Chip::IsRegKey(key)) s += f.chip.REG(key).text();
    for (const auto& level : f.chip.pila)
        s += level.text();
    return s + "|" + f.chip.INDF.text() + std::to_string(f.prg.selected());
}

// A run, in steps or in bursts short and long, stops before a breakpoint in the state single
// steps reach and leaves the Modificar panel as it was; a step clears the pass over the breakpoint,
// so the next run stops at once and the one after passes it once.
TEST(RunLoop, StopsWhereSingleStepsGoAndPassesABreakpointOnce) {
    // 000 CALL 004; 001 INCFSZ 20,F; 002 RETURN, from an empty stack to 000; 003 GOTO 003;
    // 004 RETURN to 001: 256 rounds, then 003.
    const int program[] = {0x2004, 0x0FA0, 0x0008, 0x2803, 0x0008};
    ScriptedPlatform q;
    Form1 steps(q);
    std::copy(std::begin(program), std::end(program), steps.chip.ProgramMemory.begin());
    while (steps.chip.RegPC.text() != "003")
        steps.eje1_Click();
    std::vector<std::string> want = {Panel(steps)};
    for (int i = 0; i < 2; ++i) {
        steps.eje1_Click();
        want.push_back(Panel(steps));
    }
    for (const std::int64_t idle : {0, 5, 1000}) {
        SCOPED_TRACE(idle);
        IdlePlatform p;
        p.idle = idle;
        Form1 f(p);
        p.onYield = [&] {
            if (p.yields % 20000 == 0) f.ejecutar_Click();  // a run that would not stop
        };
        std::copy(std::begin(program), std::end(program), f.chip.ProgramMemory.begin());
        f.listaprog();
        f.prg.select(3);
        f.break_Click();
        f.REGW_Click();
        f.ejecutar_Click();
        EXPECT_EQ(Panel(f), want[0]);
        EXPECT_EQ(f.direc.text(), "W");
        f.eje1_Click();
        f.ejecutar_Click();
        EXPECT_EQ(Panel(f), want[1]);
        f.ejecutar_Click();
        EXPECT_EQ(Panel(f), want[2]);
        EXPECT_EQ(f.ejecutar.text(), "&Ejecutar");
        EXPECT_TRUE(f.eje1.enabled());
    }
}

}  // namespace
}  // namespace vintrel
