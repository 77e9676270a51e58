// The chip model: cells and the change rule, register access, instruction execution, change
// effects, Timer0, resets and run control, exercised through the panel's own handlers.
#include <gtest/gtest.h>

#include "core/form1.h"
#include "platform/scripted_platform.h"

namespace vintrel {
namespace {

struct Chip : ::testing::Test {
    ScriptedPlatform platform;
    Form1 f{platform};

    int reg(int key) { return static_cast<int>(f.REG(key).hexValue()); }
    void set(int key, int v) { f.REG(key).setHex(v, 2); }
    // Executes one word at the current PC through the single-step handler.
    void exec(int word) {
        f.ProgramMemory[static_cast<std::size_t>(f.RegPC.hexValue())] = word;
        f.eje1_Click();
    }
    int status() { return reg(3); }
};

TEST(HexPadTest, KeepsTheLastDigits) {
    EXPECT_EQ(HexPad(5, 2), "05");
    EXPECT_EQ(HexPad(300, 2), "2C");
    EXPECT_EQ(HexPad(-1, 2), "FF");
    EXPECT_EQ(HexPad(10, 1), "A");
    EXPECT_EQ(HexPad(1023, 3), "3FF");
    EXPECT_EQ(HexPad(0, 3), "000");
    EXPECT_EQ(HexValue("  1fz"), 0x1F);
    EXPECT_EQ(HexValue("**"), 0);
    EXPECT_GT(HexValue("FFFFFFFFFFFFFFFFFFFFFFFF"), 0x3FFF);  // saturates, stays out of range
}

TEST(ControlTest, SameTextRunsNothingWhateverItsForm) {
    Control c;
    int runs = 0;
    c.setChangeHandler([&] { ++runs; });
    c.setText("05");
    c.setHex(5, 2);  // the same text in another form
    EXPECT_EQ(runs, 1);
    c.setHex(0x105, 2);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(c.text(), "05");
    c.setHex(6, 2);
    EXPECT_EQ(runs, 2);
    c.setText("---");
    EXPECT_EQ(c.hexValue(), 0);
    EXPECT_EQ(c.text(), "---");
}

TEST_F(Chip, StartUpValues) {
    EXPECT_EQ(f.REG(0).text(), "**");
    EXPECT_EQ(f.REG(7).text(), "--");
    EXPECT_EQ(f.REG(3).text(), "18");
    EXPECT_EQ(f.REG(129).text(), "FF");
    EXPECT_EQ(f.REG(133).text(), "1F");
    EXPECT_EQ(f.REG(134).text(), "FF");
    EXPECT_EQ(f.RegPC.text(), "000");
    EXPECT_EQ(f.pila[7].text(), "---");
    EXPECT_EQ(f.RP[0].color(), ColorRole::Cell);
    EXPECT_EQ(f.RP[1].color(), ColorRole::Placeholder);
    EXPECT_EQ(f.REG(3).hint(), " IRP=0 RP1=0 RP0=0  T0=1  PD=1   Z=0  DC=0   C=0");
    EXPECT_EQ(f.SENTIM.text(), "Ext. Des.");
    EXPECT_EQ(f.divtim.text(), "256");
    EXPECT_FALSE(f.WDT.enabled());
    EXPECT_EQ(f.prg.count(), 1024);
    EXPECT_EQ(f.prg.row(0), "000\t0000\tNOP");
    EXPECT_EQ(f.ExtraCycle, 1);
}

// One instruction: W and F before, the result where it lands, and the flags after.
struct AluCase {
    const char* name;
    int word, w, f, carryIn;
    int wAfter, fAfter, flags;  // flags: C | DC << 1 | Z << 2
};

class Alu : public Chip, public ::testing::WithParamInterface<AluCase> {};

TEST_P(Alu, ResultAndFlags) {
    const AluCase& c = GetParam();
    f.REGW.setHex(c.w, 2);
    set(0x20, c.f);
    set(3, 0x18 | c.carryIn);
    exec(c.word);
    EXPECT_EQ(f.REGW.hexValue(), c.wAfter) << c.name;
    EXPECT_EQ(reg(0x20), c.fAfter) << c.name;
    EXPECT_EQ(status() & 7, c.flags) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Instructions, Alu,
    ::testing::Values(AluCase{"addwf 0F+01", 0x07A0, 0x0F, 0x01, 0, 0x0F, 0x10, 2},
                      AluCase{"addwf FF+01", 0x07A0, 0xFF, 0x01, 0, 0xFF, 0x00, 7},
                      AluCase{"subwf F=W", 0x02A0, 0x33, 0x33, 0, 0x33, 0x00, 7},
                      AluCase{"subwf 00-01 to W", 0x0220, 0x01, 0x00, 1, 0xFF, 0x00, 0},
                      AluCase{"sublw 00 W=01", 0x3C00, 0x01, 0x00, 1, 0xFF, 0x00, 0},
                      AluCase{"addlw FF W=01", 0x3EFF, 0x01, 0x00, 0, 0x00, 0x00, 7},
                      AluCase{"rlf 80 C=0", 0x0DA0, 0x00, 0x80, 0, 0x00, 0x00, 1},
                      AluCase{"rrf 01 C=1", 0x0CA0, 0x00, 0x01, 1, 0x00, 0x80, 1},
                      AluCase{"swapf 3C", 0x0EA0, 0x00, 0x3C, 0, 0x00, 0xC3, 0},
                      AluCase{"comf 00", 0x09A0, 0x00, 0x00, 0, 0x00, 0xFF, 0},
                      AluCase{"decf 01 to W", 0x0320, 0x00, 0x01, 0, 0x00, 0x01, 4},
                      AluCase{"incf FF", 0x0AA0, 0x00, 0xFF, 0, 0x00, 0x00, 4},
                      AluCase{"clrw", 0x0100, 0x55, 0x12, 0, 0x00, 0x12, 4},
                      AluCase{"movf to W", 0x0820, 0x00, 0x00, 0, 0x00, 0x00, 4},
                      AluCase{"iorlw 0", 0x3800, 0x00, 0x00, 0, 0x00, 0x00, 4},
                      AluCase{"3Bxx keeps W, sets Z", 0x3B12, 0x00, 0x00, 0, 0x00, 0x00, 4},
                      AluCase{"xorwf", 0x06A0, 0xF0, 0xFF, 0, 0xF0, 0x0F, 0}),
    [](const auto& p) { return "case" + std::to_string(p.index); });

TEST_F(Chip, SkipsWrapAndCountCycles) {
    set(0x20, 1);
    exec(0x0BA0);  // decfsz 20h: result 0, skip
    EXPECT_EQ(f.RegPC.text(), "002");
    EXPECT_EQ(f.ciclos.text(), "2");  // the pending start-up cycle
    exec(0x0BA0);                     // FFh: no skip, the skip's second cycle comes now
    EXPECT_EQ(f.RegPC.text(), "003");
    EXPECT_EQ(f.ciclos.text(), "4");
    f.RegPC.setHex(0x3FE, 3);
    exec(0x1C03);  // btfss STATUS,0 with C clear: no skip
    exec(0x1803);  // at 3FFh btfsc STATUS,0: skip lands on 001h
    EXPECT_EQ(f.RegPC.text(), "001");
    EXPECT_EQ(f.REG(2).text(), "01");
}

TEST_F(Chip, CallsReturnsAndTheEightLevelStack) {
    f.RegPC.setHex(0x3FF, 3);
    exec(0x2123);  // call 123 at 3FFh pushes 000h
    EXPECT_EQ(f.pila[0].text(), "000");
    for (int i = 0; i < 8; ++i)
        exec(0x2100 + i * 0x10);         // eight more nested calls
    EXPECT_EQ(f.pila[7].text(), "124");  // the oldest return address is gone
    for (int i = 0; i < 8; ++i)
        exec(0x0008);
    EXPECT_EQ(f.pila[0].text(), "---");
    exec(0x0008);  // empty stack: back to 000h
    EXPECT_EQ(f.RegPC.text(), "000");
    set(10, 0x18);
    exec(0x2FFF);  // goto 7FFh ignores PCLATH and bit 10
    EXPECT_EQ(f.RegPC.text(), "3FF");
}

TEST_F(Chip, BankingMirrorsIndirectAndPcl) {
    set(3, 0x38);  // RP0
    f.REGW.setHex(0x42, 2);
    exec(0x0081);  // movwf 01h in bank 1 is OPTION
    EXPECT_EQ(f.REG(129).text(), "42");
    exec(0x008C);  // 8Ch mirrors 0Ch
    EXPECT_EQ(reg(12), 0x42);
    set(3, 0x58);  // RP1: writes dropped, reads 0
    exec(0x018C);
    EXPECT_EQ(reg(12), 0x42);
    set(3, 0x18);
    set(4, 0x85);  // FSR -> TRISA through INDF, from bank 0
    f.REGW.setHex(3, 2);
    exec(0x0080);
    EXPECT_EQ(f.REG(133).text(), "03");
    EXPECT_EQ(f.INDF.text(), "03");
    set(4, 0x80);
    exec(0x0080);  // INDF addressing itself changes nothing
    EXPECT_EQ(f.REG(0).text(), "**");
    int addr = 0;
    set(4, 0x0C);
    f.WriteRegister(addr, 9, 1);
    EXPECT_EQ(addr, 0x0C);  // the caller sees the effective address
    set(10, 0x1F);
    f.REGW.setHex(0x34, 2);
    exec(0x0082);  // movwf PCL
    EXPECT_EQ(f.RegPC.text(), "334");
    EXPECT_EQ(f.ExtraCycle, 1);
    EXPECT_EQ(f.ciclos.text(), "7");
}

TEST_F(Chip, StatusAsDestination) {
    exec(0x0183);  // clrf STATUS
    EXPECT_EQ(f.REG(3).text(), "04");
    EXPECT_EQ(f.StatusReg, 4);
}

TEST_F(Chip, PortsTrisAndPins) {
    set(6, 0xA5);
    set(134, 0x00);
    const int want[] = {1, 0, 1, 0, 0, 1, 0, 1};
    for (int i = 0; i < 8; ++i) {
        EXPECT_FALSE(f.PB[static_cast<std::size_t>(i)].enabled());
        EXPECT_EQ(f.PB[static_cast<std::size_t>(i)].value(), want[i]) << i;
    }
    f.PA[0].setValue(1);
    f.PA[2].setValue(1);
    EXPECT_EQ(f.ReadRegister(5), 0x05);
    EXPECT_EQ(f.REG(5).text(), "05");
}

TEST_F(Chip, OptionDisplays) {
    set(129, 0x07);
    EXPECT_EQ(f.SENTIM.text(), "Int.");
    EXPECT_FALSE(f.TOCKI.enabled());
    EXPECT_TRUE(f.PA[4].visible());
    EXPECT_EQ(f.divtim.text(), "256");
    EXPECT_EQ(f.WATCHDOG.text(), "WDT / 1");
    set(129, 0xFF);
    EXPECT_EQ(f.SENTIM.text(), "Ext.");
    EXPECT_TRUE(f.TOCKI.enabled());
    EXPECT_FALSE(f.PA[4].visible());
    EXPECT_EQ(f.divtim.text(), "1");
    EXPECT_EQ(f.WATCHDOG.text(), "WDT / 128");
    set(129, 0x00);
    EXPECT_EQ(f.divtim.text(), "2");
}

TEST_F(Chip, EepromUnlockWriteAndRead) {
    set(9, 0x05);
    set(8, 0x3C);
    set(136, 0x04);
    set(136, 0x06);  // no unlock: nothing stored
    EXPECT_EQ(f.EE[5].text(), "00");
    EXPECT_EQ(f.REG(136).text(), "04");
    set(137, 0x55);
    set(137, 0xAA);
    set(136, 0x06);
    EXPECT_EQ(f.EE[5].text(), "3C");
    EXPECT_EQ(f.REG(136).text(), "14");
    EXPECT_EQ(f.EepromUnlock, 0);
    set(8, 0);
    set(136, 0x01);
    EXPECT_EQ(f.REG(8).text(), "3C");
    EXPECT_EQ(f.REG(136).text(), "00");
    set(9, 0x40);  // no such cell: the read yields 00
    set(136, 0x01);
    EXPECT_EQ(f.REG(8).text(), "00");
}

TEST_F(Chip, Timer0InternalAndExternal) {
    set(129, 0x08);  // internal clock, prescaler to the watchdog: divisor 1
    exec(0);
    exec(0);
    EXPECT_EQ(reg(1), 2);
    set(129, 0x28);  // external, divisor 1
    f.PrescalerCount = 0;
    f.TOCKI_Click();
    f.TOCKI_Click();
    f.TOCKI_Click();
    const int before = reg(1);
    for (int i = 0; i < 4; ++i)
        exec(0);
    EXPECT_EQ(reg(1), before + 3);
}

struct ResetCase {
    const char* name;
    bool asleep;
    void (Form1::*reset)();
    int status, intcon, pc;
};

class Resets : public Chip, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(Resets, Table) {
    const ResetCase& c = GetParam();
    f.WATCHDOG.setValue(1);
    f.RegPC.setHex(5, 3);
    f.ProgramCounter = 5;
    f.PushStack(7);
    if (c.asleep) f.estsleep.setValue(1);
    set(3, 0xFF);
    set(11, 0xFF);
    (f.*c.reset)();
    EXPECT_EQ(reg(3), c.status) << c.name;
    EXPECT_EQ(reg(11), c.intcon) << c.name;
    EXPECT_EQ(f.RegPC.hexValue(), c.pc) << c.name;
    EXPECT_EQ(f.prg.selected(), c.pc) << c.name;
    EXPECT_EQ(f.pila[0].text(), "---");
    EXPECT_EQ(f.estsleep.value(), 0);
    EXPECT_EQ(f.ciclos.text(), "0");
    exec(0);
    EXPECT_EQ(f.ciclos.text(), "2");
}

INSTANTIATE_TEST_SUITE_P(
    All, Resets,
    ::testing::Values(ResetCase{"por", false, &Form1::por_Click, 0x18, 0x00, 0},
                      ResetCase{"por asleep", true, &Form1::por_Click, 0x18, 0x00, 0},
                      ResetCase{"mclr", false, &Form1::MCLR_Click, 0x1F, 0x01, 0},
                      ResetCase{"mclr asleep", true, &Form1::MCLR_Click, 0x17, 0x00, 0},
                      ResetCase{"wdt", false, &Form1::WDT_Click, 0x0F, 0x01, 0},
                      ResetCase{"wdt wake-up", true, &Form1::WDT_Click, 0xE7, 0x00, 6}));

TEST_F(Chip, RunStopsAtBreakpointsAndPassesThemNextTime) {
    // loop: incf 20h; goto loop, with a breakpoint on the goto
    f.ProgramMemory[0] = 0x0AA0;
    f.ProgramMemory[1] = 0x2800;
    f.listaprog();
    f.prg.select(1);
    f.break_Click();
    EXPECT_EQ(f.prg.row(1), "001 *\t2800\tGOTO 000");
    f.ejecutar_Click();
    EXPECT_EQ(f.RegPC.text(), "001");
    EXPECT_EQ(f.ejecutar.text(), "&Ejecutar");
    EXPECT_TRUE(f.eje1.enabled());
    EXPECT_TRUE(f.BreakpointSkip);
    f.ejecutar_Click();  // one pass of the loop
    EXPECT_EQ(f.RegPC.text(), "001");
    EXPECT_EQ(reg(0x20), 2);
    f.eje1_Click();  // a step clears the skip: the next run stops at once
    f.RegPC.setHex(1, 3);
    f.ejecutar_Click();
    EXPECT_EQ(reg(0x20), 2);
    // A cancelled load keeps the marks of breakpoints that still stop a run.
    f.cargar_Click();
    EXPECT_EQ(f.prg.row(1), "001 *\t2800\tGOTO 000");
}

TEST_F(Chip, StopInsideTheYieldAndResetDuringARun) {
    f.ProgramMemory[0] = 0x0AA0;
    f.ProgramMemory[1] = 0x2800;
    int yields = 0;
    platform.onYield = [&] {
        if (++yields == 3) f.MCLR_Click();  // does not stop the run
        if (yields == 10) f.ejecutar_Click();
    };
    f.ejecutar_Click();
    EXPECT_EQ(yields, 10);
    EXPECT_FALSE(f.running());
    EXPECT_EQ(f.eje1.enabled(), true);
}

TEST_F(Chip, SleepFreezesStepsUntilTheWatchdogWakesIt) {
    exec(0x0063);
    EXPECT_EQ(f.estsleep.value(), 1);
    const auto cycles = f.ciclos.text();
    f.eje1_Click();
    EXPECT_EQ(f.ciclos.text(), cycles);
    EXPECT_EQ(f.RegPC.text(), "001");
    f.WATCHDOG.setValue(1);
    ASSERT_TRUE(f.WDT.enabled());
    f.WDT_Click();
    EXPECT_EQ(f.RegPC.text(), "002");
    EXPECT_EQ(f.estsleep.value(), 0);
}

TEST_F(Chip, ModificarTargetsRangesAndBeeps) {
    f.REG_Click(7);
    EXPECT_EQ(f.direc.text(), "");
    f.REG_Click(134);
    EXPECT_EQ(f.direc.text(), "D-86");
    EXPECT_EQ(f.dato.text(), "FF");
    EXPECT_EQ(f.focus(), &f.dato);
    f.REGW_Click();
    f.dato.setText("1FF");
    f.aceptar_Click();
    EXPECT_EQ(platform.events.back(), "beep");
    EXPECT_EQ(f.direc.text(), "W");
    EXPECT_EQ(f.dato.selLength(), 3);
    f.dato.setText("");
    f.aceptar_Click();  // no digits: writes 0
    EXPECT_EQ(f.REGW.text(), "00");
    EXPECT_EQ(f.direc.text(), "");
    f.RegPC.setHex(0x10, 3);
    f.REG_Click(10);
    f.dato.setText("03");
    f.aceptar_Click();
    EXPECT_EQ(f.RegPC.text(), "310");
    f.RegPC_Click();
    f.dato.setText("2A5");
    f.aceptar_Click();
    EXPECT_EQ(f.REG(2).text(), "A5");
    f.prg.select(5);
    f.dato.setText("3FFF");
    f.aceptar_Click();
    EXPECT_EQ(f.prg.row(5), "005\t3FFF\tADDLW FF");
    EXPECT_EQ(f.prg.selected(), 5);
    EXPECT_EQ(f.direc.text(), "");
    f.prg.select(6);
    f.dato.setText("4000");
    f.aceptar_Click();
    EXPECT_EQ(f.ProgramMemory[6], 0);
    f.direc.setText("P-FFF");  // no such program address
    f.break_Click();
    EXPECT_EQ(platform.events.back(), "beep");
}

}  // namespace
}  // namespace vintrel
