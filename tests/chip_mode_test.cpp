// Chip mode, rule by rule: the smallest program that shows each rule, run in-process by a script
// whose `expect` lines are the expected states. (tests/chip_vs_gpsim.py compares the same rules
// with gpsim over thousands of steps.)
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "batch/script.h"
#include "batch/suite.h"

namespace vintrel {
namespace {

struct Case {
    const char* rule;
    std::vector<int> words;  // from address 0
    const char* script;
};

const Case kCases[] = {
    {"TMR0 counts cycles; a write holds it two cycles; FFh to 00h sets T0IF",
     {0x3088 /* movlw 88h */, 0x0062 /* option */, 0x30FE /* movlw FEh */, 0x0081 /* movwf TMR0 */,
      0x2804 /* goto $ */},
     "step 2\nexpect REG TMR0 01\nexpect ciclos 2\nstep 2\nexpect REG TMR0 FE\n"
     "step\nexpect REG TMR0 FF\nexpect ciclos 6\nstep\nexpect REG TMR0 01\n"
     "expect REG INTCON 04\nexpect ciclos 8\n"},
    {"a TMR0 write clears the prescaler (1:2)",
     {0x3080 /* movlw 80h */, 0x0062 /* option */, 0, 0, 0x0081 /* movwf TMR0 */, 0, 0, 0},
     "step 3\nexpect REG TMR0 01\nstep 4\nexpect REG TMR0 80\nstep\nexpect REG TMR0 81\n"},
    {"an interrupt pushes the next address, clears GIE and goes to 0004h in two cycles; "
     "RETFIE sets GIE, and the flag still set enters again",
     {0x2805 /* goto 5 */, 0, 0, 0, 0x0009 /* retfie */, 0x3088 /* movlw 88h */,
      0x0062 /* option */, 0x30FF /* movlw FFh */, 0x0081 /* movwf TMR0 */, 0x30A0 /* movlw A0h */,
      0x008B /* movwf INTCON */, 0x280B /* goto $ */},
     "step 7\nexpect RegPC 004\nexpect pila 0 00B\nexpect REG INTCON 24\nexpect ciclos 10\n"
     "step\nexpect RegPC 004\nexpect pila 0 00B\nexpect pila 1 ---\nexpect ciclos 14\n"},
    {"RB0/INT: the edge INTEDG selects (falling)",
     {0x30BF /* movlw BFh */, 0x0062 /* option */, 0x2802 /* goto $ */},
     "step 2\nclick PB 0\nexpect REG INTCON 00\nclick PB 0\nexpect REG INTCON 02\n"},
    {"RBIF: an RB7:RB4 input against the level last read",
     {0x0806 /* movf PORTB,w */, 0x2801 /* goto $ */},
     "step\nclick PB 5\nexpect REG INTCON 01\nclick REG 11\ntype dato 00\nclick aceptar\n"
     "click PB 5\nexpect REG INTCON 00\nclick PB 1\nexpect REG INTCON 00\n"},
    {"SLEEP sets TO, clears PD and lets time pass; an enabled flag wakes the chip, which runs "
     "the next instruction and then, with GIE, the handler",
     {0x2805 /* goto 5 */, 0, 0, 0, 0x0009 /* retfie */, 0x3090 /* movlw 90h */,
      0x008B /* movwf INTCON */, 0x0063 /* sleep */, 0 /* nop */, 0x2809 /* goto $ */},
     "step 4\nexpect estsleep 1\nexpect REG STATUS 10\nstep 3\nexpect RegPC 008\n"
     "expect ciclos 8\nclick PB 0\nstep\nexpect estsleep 0\nexpect ciclos 9\nstep\n"
     "expect RegPC 004\nexpect pila 0 009\nexpect REG INTCON 12\nexpect ciclos 12\n"},
    {"the watchdog: 18 ms at FREC (40 kHz: 180 cycles) from CLRWDT; the time-out resets",
     {0x3088 /* movlw 88h */, 0x0062 /* option */, 0x0064 /* clrwdt */, 0x2803 /* goto $ */},
     "click WATCHDOG\ntype FREC 40\nrun 92\nexpect RegPC 003\nexpect ciclos 181\n"
     "step\nexpect RegPC 000\nexpect REG STATUS 08\nexpect ciclos 0\n"},
    {"the watchdog's time-out wakes a sleeping chip after the postscaler's periods, TO and PD "
     "cleared",
     {0x3089 /* movlw 89h: WDT 1:2 */, 0x0062 /* option */, 0x0063 /* sleep */, 0x2803},
     "click WATCHDOG\ntype FREC 40\nrun 100\nexpect estsleep 1\nexpect REG STATUS 10\n"
     "run 261\nexpect estsleep 1\nexpect ciclos 361\nstep\nexpect estsleep 0\n"
     "expect REG STATUS 00\nexpect RegPC 003\nexpect ciclos 362\n"},
    {"an EEPROM write takes 4 ms (20 kHz: 20 cycles) and its EEIF wakes the chip",
     {0x303C /* movlw 3Ch */, 0x0088 /* movwf EEDATA */, 0x3040 /* movlw 40h: EEIE */,
      0x008B /* movwf INTCON */, 0x1683 /* bsf RP0 */, 0x1508 /* bsf WREN */, 0x3055,
      0x0089 /* movwf EECON2 */, 0x30AA, 0x0089, 0x1488 /* bsf WR */, 0x0063 /* sleep */,
      0x280C /* goto $ */},
     "type FREC 20\nstep 12\nexpect estsleep 1\nexpect EE 0 00\nexpect REG EECON1 06\n"
     "run 18\nexpect estsleep 1\nexpect REG EECON1 06\nstep\nexpect estsleep 0\n"
     "expect EE 0 3C\nexpect REG EECON1 14\nexpect ciclos 31\n"},
};

TEST(ChipMode, EachRuleShownByItsSmallestProgram) {
    for (const Case& c : kCases) {
        std::ostringstream out, err;
        BatchRunner runner(out, err);
        runner.setChipMode();
        for (std::size_t a = 0; a < c.words.size(); ++a)
            runner.form().chip.ProgramMemory[a] = c.words[a];
        std::istringstream script(c.script);
        EXPECT_EQ(runner.run(script), 0) << c.rule << ": " << runner.failure();
    }
}

// The mode comes from --chip or a first command `mode chip`; an erased chip reads 3FFFh, also
// where a load leaves words unprogrammed.
TEST(ChipMode, ChosenByOptionOrFirstLine) {
    const auto hex = std::filesystem::temp_directory_path() / "vintrel-chip-mode-test.hex";
    std::ofstream(hex) << ":020000000028D6\n:00000001FF\n";  // goto 0 at 0
    const std::string erased = "expect prg 1 001\t3FFF\tADDLW FF\n";
    const struct {
        std::vector<std::string> args;
        std::string script;
        int status;
        std::string err;
    } rows[] = {
        {{"--chip"}, erased, 0, ""},
        {{}, "# comment\n\nmode chip\n" + erased + "load " + hex.string() + "\n" + erased, 0, ""},
        {{}, "mode panel\nexpect prg 1 001\t0000\tNOP\n", 0, ""},
        {{"--chip"}, "mode chip\n" + erased, 0, ""},
        {{"--chip", "--chip"}, "", 2, "vintrel-batch: --chip given twice\n"},
        {{"--chip"}, "mode panel\n", 2, "error at line 1: mode panel conflicts with --chip\n"},
        {{},
         "state\nmode chip\n",
         2,
         "error at line 2: mode must come before every other command\n"},
        {{}, "at 1 mode chip\n", 2, "error at line 1: at cannot queue mode\n"},
        {{}, "mode fast\n", 2, "error at line 1: mode takes chip or panel, not \"fast\"\n"},
    };
    for (const auto& r : rows) {
        std::istringstream in(r.script);
        std::ostringstream out, err;
        EXPECT_EQ(BatchMain(r.args, "", in, out, err), r.status) << r.script << err.str();
        EXPECT_EQ(err.str(), r.err) << r.script;
    }
    std::filesystem::remove(hex);
}

}  // namespace
}  // namespace vintrel
