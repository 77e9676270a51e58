// The script interpreter in-process: parsing, exit statuses, the rest-of-line rules and the
// interplay of `at` with runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "batch/names.h"
#include "batch/script.h"
#include "batch/suite.h"

namespace vintrel {
namespace {

// start: movlw 10h; movwf 0Ch; loop: incf 0Dh,f; addwf 0Eh,f; rlf 0Fh,f; decfsz 0Ch,f;
// goto loop; goto start
constexpr int kLoop[] = {0x3010, 0x008C, 0x0A8D, 0x078E, 0x0D8F, 0x0B8C, 0x2802, 0x2800};

class Batch : public ::testing::Test {
  protected:
    // Runs a script on the runner's panel; the loop program is in memory when `loop` is set.
    int Run(const std::string& script, bool loop = false) {
        if (loop) {
            for (std::size_t a = 0; a < std::size(kLoop); ++a)
                f().ProgramMemory[a] = kLoop[a];
            f().listaprog();
        }
        std::istringstream in(script);
        return runner.run(in);
    }
    Form1& f() { return runner.form(); }
    std::vector<std::string> OutLines() const {
        std::vector<std::string> lines;
        std::istringstream s(out.str());
        for (std::string l; std::getline(s, l);)
            lines.push_back(l);
        return lines;
    }

    std::ostringstream out, err;
    BatchRunner runner{out, err};
};

// ---- errors ----

struct ErrorCase {
    const char* script;
    int line;
};

class BatchError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(BatchError, EndsWithStatus2AndNamesTheLine) {
    std::ostringstream out, err;
    BatchRunner runner(out, err);
    std::istringstream in(GetParam().script);
    EXPECT_EQ(runner.run(in), 2);
    const std::string prefix = "error at line " + std::to_string(GetParam().line) + ": ";
    EXPECT_EQ(err.str().rfind(prefix, 0), 0u) << err.str();
    EXPECT_EQ(err.str().find('\n'), err.str().size() - 1) << "one line: " << err.str();
    // Nothing of the failing line has been done.
    EXPECT_EQ(runner.form().CycleCount, 0);
    EXPECT_EQ(runner.platform().yields, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BatchError,
    ::testing::Values(
        ErrorCase{"frobnicate\n", 1}, ErrorCase{"# comment\n\n  \t\nClick eje1\n", 4},
        ErrorCase{"click nothing\n", 1}, ErrorCase{"click reg 3\n", 1},
        ErrorCase{"show dir 3\n", 1}, ErrorCase{"click\n", 1},
        // indices outside their arrays, missing or malformed
        ErrorCase{"show REG 80\n", 1}, ErrorCase{"show REG 0x82\n", 1},
        ErrorCase{"show REG 0x100\n", 1}, ErrorCase{"show EE 64\n", 1},
        ErrorCase{"click PA 5\n", 1}, ErrorCase{"show pila 8\n", 1}, ErrorCase{"show RP 2\n", 1},
        ErrorCase{"select prg 1024\n", 1}, ErrorCase{"show REG\n", 1}, ErrorCase{"click PB\n", 1},
        ErrorCase{"click prg\n", 1}, ErrorCase{"expect prg\n", 1}, ErrorCase{"expect EE\n", 1},
        ErrorCase{"show REG -1\n", 1}, ErrorCase{"show REG 0x\n", 1},
        ErrorCase{"show REG 1e3\n", 1}, ErrorCase{"show REG +3\n", 1},
        ErrorCase{"show REG 0x-3\n", 1}, ErrorCase{"show REG 99999999999999999999999\n", 1},
        // extra words
        ErrorCase{"click eje1 now\n", 1}, ErrorCase{"click REG 3 4\n", 1},
        ErrorCase{"click REGW 0\n", 1}, ErrorCase{"show ciclos x\n", 1},
        ErrorCase{"state now\n", 1}, ErrorCase{"step 1 2\n", 1}, ErrorCase{"run 5 5\n", 1},
        ErrorCase{"listing 1 2 3\n", 1}, ErrorCase{"step # no comments after a command\n", 1},
        // counts
        ErrorCase{"run 0\n", 1}, ErrorCase{"run 0x0\n", 1}, ErrorCase{"step -1\n", 1},
        ErrorCase{"step x\n", 1}, ErrorCase{"listing 1024\n", 1}, ErrorCase{"listing 0 1024\n", 1},
        // select and type
        ErrorCase{"select REG 3\n", 1}, ErrorCase{"select eje1\n", 1},
        ErrorCase{"type REG 3 05\n", 1}, ErrorCase{"type eje1 x\n", 1},
        ErrorCase{"type ciclos 5\n", 1}, ErrorCase{"type\n", 1}, ErrorCase{"type dat0 5\n", 1},
        // at: reported when the line is read, before any run
        ErrorCase{"at 0 step\n", 1}, ErrorCase{"at x step\n", 1}, ErrorCase{"at 5\n", 1},
        ErrorCase{"at 5   # nothing\n", 1}, ErrorCase{"at\n", 1}, ErrorCase{"at 5 at 6 step\n", 1},
        ErrorCase{"at 2 show REG 80\nrun 5\n", 1}, ErrorCase{"at 2 step\nat 3 run 0\nrun 5\n", 2},
        ErrorCase{"at 2 bogus\nrun 5\n", 1}));

TEST_F(Batch, ErrorStopsTheScriptAfterWhatCameBefore) {
    EXPECT_EQ(Run("step\nshow ciclos\nbogus\nstep\n", true), 2);
    EXPECT_EQ(f().ciclos.text(), "2");
    EXPECT_EQ(OutLines().size(), 1u);
    EXPECT_EQ(err.str(), "error at line 3: unknown command \"bogus\"\n");
}

// ---- exit statuses ----

TEST_F(Batch, EmptyScriptAndCommentsEndWithStatus0) {
    EXPECT_EQ(Run("\n   \n# a comment\n\t# indented comment\n\r\n"), 0);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "");
}

TEST_F(Batch, EndOfProgramPrintsEndAndStopsWithStatus0) {
    EXPECT_EQ(Run("step\nclick fin\nstep\nexpect REGW never\n", true), 0);
    EXPECT_EQ(out.str(), "end\n");
    EXPECT_EQ(f().ciclos.text(), "2");
}

TEST_F(Batch, ExpectFailureEndsWithStatus1) {
    EXPECT_EQ(Run("expect REG 0x86 FF\nexpect REG 0x86 00\nstep\n", true), 1);
    EXPECT_EQ(out.str(), "expect failed at line 2: REG[134] is \"FF\", not \"00\"\n");
    EXPECT_EQ(f().CycleCount, 0);
}

TEST_F(Batch, ExpectComparesTextsValuesAndRows) {
    // Each passing expectation is followed by one that must fail, so both halves count.
    struct Case {
        const char* pass;
        const char* fail;
        const char* message;
    };
    const Case cases[] = {
        {"expect RegPC 000", "expect RegPC 0", "RegPC is \"000\", not \"0\""},
        {"expect WATCHDOG 0", "expect WATCHDOG WDT / 128", "WATCHDOG is \"0\", not \"WDT / 128\""},
        {"expect estsleep 0", "expect estsleep 00", "estsleep is \"0\", not \"00\""},
        {"expect prg 1 001\t008C\tMOVWF 0C", "expect prg 1 001 008C MOVWF 0C",
         "prg[1] is \"001\\t008C\\tMOVWF 0C\", not \"001 008C MOVWF 0C\""},
        {"expect direc", "expect direc  x", "direc is \"\", not \"x\""},
        {"expect ejecutar &Ejecutar", "expect ejecutar Ejecutar",
         "ejecutar is \"&Ejecutar\", not \"Ejecutar\""},
        {"expect PA 4 0", "expect PA 0x4 1", "PA[4] is \"0\", not \"1\""},
    };
    for (const Case& c : cases) {
        std::ostringstream o, e;
        BatchRunner r(o, e);
        for (std::size_t a = 0; a < std::size(kLoop); ++a)
            r.form().ProgramMemory[a] = kLoop[a];
        r.form().listaprog();
        std::istringstream in(std::string(c.pass) + "\n" + c.fail + "\n");
        EXPECT_EQ(r.run(in), 1) << c.pass;
        EXPECT_EQ(o.str(), std::string("expect failed at line 2: ") + c.message + "\n");
    }
}

// ---- rest-of-line texts, blanks and line ends ----

TEST_F(Batch, RestOfLineKeepsTrailingBlanksAndDropsLeadingOnes) {
    EXPECT_EQ(Run("click REGW\ntype dato \t A B \t\nexpect dato A B \t\n"), 0) << out.str();
    EXPECT_EQ(f().dato.text(), "A B \t");
}

TEST_F(Batch, CrLfLineEndsAreRemovedOnce) {
    EXPECT_EQ(Run("click REGW\r\ntype dato 12\r\nexpect dato 12\r\nstate\r\n"), 0) << out.str();
    EXPECT_EQ(f().dato.text(), "12");
    EXPECT_EQ(Run("type dato 34\r\r\n"), 0);
    EXPECT_EQ(f().dato.text(), "34\r");
}

TEST_F(Batch, TabsSeparateWords) {
    EXPECT_EQ(Run("\tclick\tREG\t0x81\t\nexpect\tdato\tFF\n"), 0) << out.str();
    EXPECT_EQ(f().direc.text(), "D-81");
}

TEST_F(Batch, TypeMayEmptyATextBox) {
    EXPECT_EQ(Run("click REGW\ntype dato\nexpect dato\n"), 0) << out.str();
    EXPECT_EQ(f().dato.text(), "");
    EXPECT_EQ(f().direc.text(), "W");
}

TEST_F(Batch, TypeIntoDatoMovesTheFocusThere) {
    EXPECT_EQ(Run("type FREC 8000\ntype dato 1234\n"), 0);
    EXPECT_EQ(f().focus(), &f().dato);
    EXPECT_EQ(f().FREC.text(), "8000");
}

TEST_F(Batch, LastLineWithoutTerminatorIsRead) {
    EXPECT_EQ(Run("step\nstep", true), 0);
    EXPECT_EQ(f().ciclos.text(), "3");
}

// ---- the Open dialog's pending answer ----

TEST_F(Batch, ChooseSetsOnePendingAnswerForAnyDialog) {
    EXPECT_EQ(Run("choose First.asm\nchoose  Dir With Blanks/Second.ASM \nclick editar\n"
                  "click editar\nchoose\nclick ensamblar\nchoose x.asm\n"),
              0);
    EXPECT_EQ(out.str(), "launch \"notepad Dir With Blanks/Second.ASM \" normal\n");
    ASSERT_TRUE(runner.platform().pendingChoice.has_value());
    EXPECT_EQ(*runner.platform().pendingChoice, "x.asm");
}

TEST_F(Batch, LoadWithNothingChosenIsACancelledLoad) {
    f().Breakpoints[3] = 1;
    EXPECT_EQ(Run("load\n", true), 0) << out.str();
    EXPECT_EQ(f().ProgramMemory[0], kLoop[0]);
    EXPECT_EQ(f().prg.row(3), "003 *\t078E\tADDWF 0E");
}

// ---- clicks ----

TEST_F(Batch, ClicksOnControlsWithoutHandlerDoNothing) {
    for (const char* line :
         {"click pila 0", "click INDF", "click RP 1", "click SENTIM", "click divtim",
          "click ciclos", "click direc", "click dato", "click FREC", "click salvar"}) {
        std::ostringstream o, e;
        BatchRunner r(o, e);
        const auto before = r.form().panelRevision();
        std::istringstream in(std::string(line) + "\n");
        EXPECT_EQ(r.run(in), 0) << line;
        EXPECT_EQ(o.str(), "") << line;
        EXPECT_EQ(r.form().panelRevision(), before) << line;
    }
}

TEST_F(Batch, DisabledOrHiddenControlsAreIgnoredWithDecimalIndex) {
    EXPECT_EQ(Run("click REG 0x86\ntype dato 0F\nclick aceptar\nclick REG 6\ntype dato F0\n"
                  "click aceptar\nclick PB 0x4\nclick PA 4\nclick estsleep\nclick WDT\n"
                  "type FR 3\ntype direc D-05\nclick PB 3\n"),
              0);
    EXPECT_EQ(out.str(),
              "ignored PB[4]\nignored PA[4]\nignored estsleep\nignored WDT\nignored FR\n"
              "ignored direc\n");
    EXPECT_EQ(f().PB[4].value(), 1);  // the latch's bit, not flipped
    EXPECT_EQ(f().PB[3].value(), 1);  // an input pin flips
    EXPECT_EQ(f().FR.text(), "0");
    EXPECT_EQ(f().direc.text(), "");
}

TEST_F(Batch, CheckBoxClickFlipsAndRunsItsHandlerOnce) {
    EXPECT_EQ(Run("click WATCHDOG\n"), 0);
    EXPECT_EQ(f().WATCHDOG.value(), 1);
    EXPECT_TRUE(f().WDT.enabled());
    EXPECT_EQ(Run("click WATCHDOG\n"), 0);
    EXPECT_EQ(f().WATCHDOG.value(), 0);
    EXPECT_FALSE(f().WDT.enabled());
}

TEST_F(Batch, ClickPrgIsSelect) {
    EXPECT_EQ(Run("click prg 0x7\n", true), 0);
    EXPECT_EQ(f().prg.selected(), 7);
    EXPECT_EQ(f().direc.text(), "P-007");
    EXPECT_EQ(f().dato.text(), "2800");
}

TEST_F(Batch, StepCountsClicks) {
    EXPECT_EQ(Run("step 0\n", true), 0);
    EXPECT_EQ(f().CycleCount, 0);
    EXPECT_EQ(Run("step 0x3\n"), 0);
    EXPECT_EQ(f().RegPC.text(), "003");
    EXPECT_EQ(f().ciclos.text(), "4");
}

// ---- run and at ----

TEST_F(Batch, RunYieldsNTimesThenStops) {
    EXPECT_EQ(Run("run 7\n", true), 0);
    EXPECT_EQ(runner.platform().yields, 7);
    EXPECT_EQ(f().RegPC.text(), "002");  // 0 to 6, the last a GOTO 002
    EXPECT_FALSE(f().running());
    EXPECT_TRUE(f().eje1.enabled());
}

TEST_F(Batch, ClickEjecutarIsARunWithTheDefaultLimit) {
    EXPECT_EQ(Run("click ejecutar\n", true), 0);
    EXPECT_EQ(runner.platform().yields, BatchRunner::kDefaultRunLimit);
    EXPECT_FALSE(f().running());
}

TEST_F(Batch, AtCommandsRunInsideTheirYieldInScriptOrder) {
    EXPECT_EQ(Run("at 3 show RegPC\nat 2 expect RegPC 002\nat 3 show eje1\nat 3 show REGW\n"
                  "run 4\nexpect RegPC 004\n",
                  true),
              0)
        << out.str();
    const auto lines = OutLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("\"text\":\"003\""), std::string::npos);
    EXPECT_NE(lines[1].find("\"name\":\"eje1\""), std::string::npos);
    EXPECT_NE(lines[1].find("\"enabled\":false"), std::string::npos);
    EXPECT_NE(lines[2].find("\"text\":\"10\""), std::string::npos);
}

TEST_F(Batch, AtCommandsWaitForTheNextRunAndCountFromItsStart) {
    EXPECT_EQ(Run("at 2 show RegPC\nstep 3\nshow ciclos\nrun 2\nat 2 show RegPC\nrun 2\n", true),
              0);
    const auto lines = OutLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find("\"text\":\"005\""), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("\"text\":\"002\""), std::string::npos) << lines[2];
}

TEST_F(Batch, UnreachedAtCommandsAreDroppedWhenTheRunEnds) {
    // Beyond the limit, and after a breakpoint stop.
    EXPECT_EQ(Run("at 9 show REGW\nrun 8\nselect prg 4\nclick break\nat 6 show REGW\nrun\n"
                  "run 20\n",
                  true),
              0);
    EXPECT_EQ(out.str(), "");
    // 8; then one step onto the breakpoint; then one pass of the loop back to it.
    EXPECT_EQ(runner.platform().yields, 8 + 1 + 5);
}

TEST_F(Batch, QueuedCommandsOfTheLastYieldComeBeforeTheStop) {
    EXPECT_EQ(Run("at 3 expect ejecutar &Parar\nat 3 state\nrun 3\n", true), 0) << out.str();
    EXPECT_NE(out.str().find("\"running\":true"), std::string::npos);
    EXPECT_FALSE(f().running());
}

TEST_F(Batch, StateReportsRunningOnlyWhileTheCaptionReadsParar) {
    EXPECT_EQ(Run("state\nat 1 run\nat 1 state\nrun\n", true), 0);
    const auto lines = OutLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("\"running\":false"), std::string::npos);
    EXPECT_NE(lines[1].find("\"running\":false"), std::string::npos);
    EXPECT_EQ(runner.platform().yields, 1);
}

TEST_F(Batch, NestedRunSharesTheYieldCounterAndTheLimit) {
    EXPECT_EQ(Run("at 2 click ejecutar\nat 2 click ejecutar\nat 4 show RegPC\nrun 6\n", true), 0);
    EXPECT_EQ(runner.platform().yields, 6);
    EXPECT_NE(out.str().find("\"text\":\"004\""), std::string::npos) << out.str();
    EXPECT_FALSE(f().running());
    EXPECT_EQ(f().StopRequested, 1);
}

TEST_F(Batch, NestedRunStartedInTheLastYieldStillEnds) {
    EXPECT_EQ(Run("at 5 run\nat 5 run\nrun 5\n", true), 0);
    EXPECT_EQ(runner.platform().yields, 6);
    EXPECT_FALSE(f().running());
    EXPECT_TRUE(f().eje1.enabled());
}

TEST_F(Batch, StepInsideARunIsIgnored) {
    EXPECT_EQ(Run("at 1 step 2\nrun 2\n", true), 0);
    EXPECT_EQ(out.str(), "ignored eje1\nignored eje1\n");
    EXPECT_EQ(f().RegPC.text(), "002");
}

TEST_F(Batch, FailuresInsideARunEndTheScript) {
    EXPECT_EQ(Run("\nat 2 expect RegPC 005\nrun 5\nstep\n", true), 1);
    EXPECT_EQ(out.str(), "expect failed at line 2: RegPC is \"002\", not \"005\"\n");
    Batch::out.str("");
    BatchRunner second(out, err);
    std::istringstream in("at 3 click fin\nrun 10\nstep\n");
    EXPECT_EQ(second.run(in), 0);
    EXPECT_EQ(out.str(), "end\n");
    EXPECT_EQ(second.platform().yields, 3);
}

// ---- output formats ----

TEST_F(Batch, ShowFormats) {
    EXPECT_EQ(Run("show REG 0x81\nshow REGW\nshow WATCHDOG\nshow RP 0\nshow prg\nshow prg 6\n"
                  "select prg 2\nshow prg\n",
                  true),
              0);
    const auto lines = OutLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0].rfind(R"({"name":"REG","index":129,"text":"FF","enabled":true,)"
                             R"("visible":true,"hint":")",
                             0),
              0u)
        << lines[0];
    EXPECT_EQ(lines[1], R"({"name":"REGW","text":"00","enabled":true,"visible":true,"hint":""})");
    EXPECT_EQ(lines[2], R"({"name":"WATCHDOG","text":"WDT / 128","enabled":true,"visible":true,)"
                        R"("hint":"Activar/desactivar Watchdog","value":0})");
    EXPECT_EQ(lines[3], R"({"name":"RP","index":0,"text":"RP=00","enabled":true,"visible":true,)"
                        R"("hint":"","color":"cell"})");
    EXPECT_EQ(lines[4], R"({"name":"prg","selected":-1,"count":1024})");
    EXPECT_EQ(lines[5], R"({"name":"prg","index":6,"text":"006\t2802\tGOTO 002"})");
    EXPECT_EQ(lines[6], R"({"name":"prg","selected":2,"count":1024})");
}

TEST_F(Batch, StateFormat) {
    EXPECT_EQ(Run("step 2\nstate\n", true), 0);
    const std::string s = out.str();
    EXPECT_EQ(s.rfind(R"({"W":"10","PC":"002","INDF":")", 0), 0u) << s;
    EXPECT_NE(s.find(R"(,"REG":{"0":"**","1":"00")"), std::string::npos);
    EXPECT_NE(s.find(R"("12":"10")"), std::string::npos);
    EXPECT_NE(s.find(R"("79":"00","129":"FF","133":"1F","134":"FF","136":"00","137":"00"},)"
                     R"("stack":["---","---","---","---","---","---","---","---"],"EE":["00",)"),
              std::string::npos);
    EXPECT_NE(s.find(R"(,"PA":[0,0,0,0,0],"PB":[0,0,0,0,0,0,0,0],"cycles":"3","sleep":0,)"
                     R"("SENTIM":"Ext. Des.","divtim":"256","WATCHDOG":0,"running":false,)"
                     R"("module":{"ProgramCounter":2,"StatusReg":24,"CycleCount":3,)"
                     R"("ExtraCycle":0,"PrescalerCount":0,"BreakpointSkip":0,"EepromUnlock":0}})"
                     "\n"),
              std::string::npos)
        << s;
    // 85 register cells, 64 EEPROM cells.
    const auto regs = s.substr(s.find("\"REG\":{"), s.find("},\"stack\"") - s.find("\"REG\":{"));
    EXPECT_EQ(std::count(regs.begin(), regs.end(), ':'), 85 + 1);
    const auto ee = s.substr(s.find("\"EE\":["), s.find("],\"PA\"") - s.find("\"EE\":["));
    EXPECT_EQ(std::count(ee.begin(), ee.end(), ','), 63);
}

TEST_F(Batch, BreakpointSkipPrintsAsOne) {
    f().Breakpoints[2] = 1;
    EXPECT_EQ(Run("run\nstate\n", true), 0);
    EXPECT_NE(out.str().find("\"BreakpointSkip\":1,"), std::string::npos);
}

TEST_F(Batch, ListingRanges) {
    struct Case {
        const char* line;
        std::size_t rows;
        const char* first;
    };
    const Case cases[] = {
        {"listing", 1024, "000\t3010\tMOVLW 10"},
        {"listing 1020", 4, "3FC\t0000\tNOP"},
        {"listing 5 6", 2, "005\t0B8C\tDECFSZ 0C"},
        {"listing 0x3ff 1023", 1, "3FF\t0000\tNOP"},
        {"listing 6 5", 0, ""},
    };
    for (const Case& c : cases) {
        out.str("");
        EXPECT_EQ(Run(std::string(c.line) + "\n", true), 0);
        const auto lines = OutLines();
        ASSERT_EQ(lines.size(), c.rows) << c.line;
        if (c.rows > 0) {
            EXPECT_EQ(lines[0], c.first) << c.line;
        }
    }
}

TEST_F(Batch, PlatformEventsArePrintedInOrder) {
    EXPECT_EQ(Run("click REGW\ntype dato 100\nclick aceptar\nchoose /tmp/A B.asm\n"
                  "click editar\nclick REG 0x81\nclick break\n"),
              0);
    EXPECT_EQ(out.str(), "beep\nlaunch \"notepad /tmp/A B.asm\" normal\nbeep\n");
}

// ---- hostile scripts ----

TEST(BatchLimits, AHugeWordIsQuotedByItsFirst80Characters) {
    // 5 MB of control characters would be 30 MB once JSON-escaped.
    const std::string huge(5'000'000, '\x01');
    const std::string big(1'000'000, '\x01');
    const std::string prefix = [] {
        std::string p;
        for (int i = 0; i < 80; ++i)
            p += "\\u0001";
        return p;
    }();
    for (const std::string& line :
         {huge, "click " + huge, "show REG " + huge, "step 1 " + huge, "expect run " + huge}) {
        std::ostringstream out, err;
        BatchRunner runner(out, err);
        std::istringstream in(line + "\n");
        EXPECT_EQ(runner.run(in), 2);
        EXPECT_LT(err.str().size(), 600u);
        EXPECT_NE(err.str().find('"' + prefix + "\"..."), std::string::npos) << err.str();
    }
}

TEST(BatchLimits, RunsNestDeeperThanTheLimitIsAnErrorOfItsLine) {
    // Each pair stops the run and starts a nested one that counts on the same yields.
    auto pairs = [](int n) {
        std::string s;
        for (int k = 1; k <= n; ++k)
            s += "at " + std::to_string(k) + " run\nat " + std::to_string(k) + " run\n";
        return s + "run " + std::to_string(n + 5) + "\n";
    };
    {
        std::ostringstream out, err;
        BatchRunner runner(out, err);
        std::istringstream in(pairs(BatchRunner::kMaxNestedRuns));
        EXPECT_EQ(runner.run(in), 0) << err.str();
    }
    std::ostringstream out, err;
    BatchRunner runner(out, err);
    std::istringstream in(pairs(100'000));
    EXPECT_EQ(runner.run(in), 2);
    EXPECT_EQ(err.str(), "error at line 2002: runs nested deeper than 1000\n");
    EXPECT_EQ(runner.failure(), "error at line 2002: runs nested deeper than 1000");
}

// ---- messages under --strict ----

TEST(BatchStrict, MessagesMustBeAnnounced) {
    struct Case {
        const char* script;
        bool strict;
        int status;
        const char* failure;
    };
    const Case cases[] = {
        {"load /nonexistent/x.hex\n", true, 1,
         "unexpected message at line 1: \"Error en lectura\""},
        {"load /nonexistent/x.hex\n", false, 0, ""},
        {"load /nonexistent/x.hex\nexpect message Error en lectura\n", true, 0, ""},
        // An expect message announces every box since the previous one and checks the last;
        // under --strict the second load already finds the first box unannounced.
        {"load /a.hex\nload /b.hex\nexpect message Error en lectura\nstep\n", false, 0, ""},
        {"load /a.hex\nload /b.hex\nexpect message Error en lectura\nstep\n", true, 1,
         "unexpected message at line 1: \"Error en lectura\""},
        // The check also comes at the end of the script.
        {"step\nload /a.hex\n", true, 1, "unexpected message at line 2: \"Error en lectura\""},
        {"step\nexpect message Error en lectura\n", false, 1,
         "expect failed at line 2: no message, not \"Error en lectura\""},
        {"load /a.hex\nexpect message Error en lectura\nexpect message Error en lectura\n", false,
         1, "expect failed at line 3: no message, not \"Error en lectura\""},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        BatchRunner runner(out, err);
        runner.setStrict(c.strict);
        std::istringstream in(c.script);
        EXPECT_EQ(runner.run(in), c.status) << c.script;
        EXPECT_EQ(runner.failure(), c.failure) << c.script;
    }
}

// ---- names ----

TEST(BatchNames, ChipRegistersMatchGputilsHeader) {
    // gputils' own p16f84.inc: `NAME EQU H'00XX'` lines.
    std::ifstream inc("/usr/share/gputils/header/p16f84.inc");
    if (!inc) GTEST_SKIP() << "gputils' p16f84.inc is not installed";
    std::map<std::string, int> header;
    for (std::string line; std::getline(inc, line);) {
        std::istringstream words(line);
        std::string name, equ, value;
        if (words >> name >> equ >> value && equ == "EQU" && value.rfind("H'", 0) == 0)
            header[name] = std::stoi(value.substr(2), nullptr, 16);
    }
    int checked = 0;
    for (const char* name :
         {"INDF", "TMR0", "PCL", "STATUS", "FSR", "PORTA", "PORTB", "EEDATA", "EEADR", "PCLATH",
          "INTCON", "OPTION_REG", "TRISA", "TRISB", "EECON1", "EECON2"}) {
        ASSERT_TRUE(ChipRegister(name).has_value()) << name;
        ASSERT_EQ(header.count(name), 1u) << name;
        EXPECT_EQ(*ChipRegister(name), header[name]) << name;
        ++checked;
    }
    EXPECT_EQ(checked, 16);
    EXPECT_FALSE(ChipRegister("status").has_value());
    EXPECT_FALSE(ChipRegister("RP0").has_value());
}

TEST(BatchNames, ListingSymbolTableAcrossPages) {
    std::istringstream lst(
        "0000   1683           00012 start   bsf     STATUS,RP0\n"
        "SYMBOL TABLE\n  LABEL                             VALUE\n\n"
        "C                                 00000000\n"
        "count                             0000000C\n"
        "\fgpasm-1.4.0 #1107 (Jan  1 2021)  x.asm   12-7-2026  15:08:25         PAGE  4\n\n\n"
        "SYMBOL TABLE\n  LABEL                             VALUE \n\n"
        "done                              0000000B\n"
        "__EEPROM_START                    00002100\n"
        "bad                               -0000001\n"
        "\nMEMORY USAGE MAP ('X' = Used,  '-' = Unused)\n"
        "0000 : XXXXXXXXXXXX---- ---------------- ---------------- ----------------\n"
        "after                             00000001\n");
    const Symbols s = ReadListingSymbols(lst);
    const Symbols expected{{"C", 0}, {"count", 12}, {"done", 11}, {"__EEPROM_START", 0x2100}};
    EXPECT_EQ(s, expected);
    EXPECT_EQ(ListingPathFor("dir/a b.hex"), "dir/a b.lst");
    EXPECT_EQ(ListingPathFor("prog"), "prog.lst");
}

TEST_F(Batch, NamesAreErrorsUntilKnownAndChipNamesOnlyForREG) {
    struct Case {
        const char* line;
        int status;
    };
    const Case cases[] = {
        {"expect REG STATUS 18", 0}, {"expect REG TRISB FF", 0}, {"show REG OPTION_REG", 0},
        {"show REG status", 2},      {"show EE STATUS", 2},      {"select prg done", 2},
        {"listing start", 2},        {"show REG 0x", 2},         {"show REG _x", 2},
    };
    for (const Case& c : cases) {
        std::ostringstream o, e;
        BatchRunner r(o, e);
        std::istringstream in(std::string(c.line) + "\n");
        EXPECT_EQ(r.run(in), c.status) << c.line << e.str();
    }
}

// ---- the JUnit report ----

TEST(BatchReport, XmlTextEscapesMarkupAndReplacesWhatXmlCannotCarry) {
    const std::pair<std::string, std::string> cases[] = {
        {"a<b>&\"'", "a&lt;b&gt;&amp;&quot;&apos;"},
        {"tab\tlf\ncr\r", "tab\tlf\ncr\r"},
        {std::string("nul\0x", 5), "nul\xEF\xBF\xBDx"},
        {"\x01\x7F", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"c\xC3\xB3"
         "digo \xE2\x82\xAC \xF0\x9F\x98\x80",
         "c\xC3\xB3"
         "digo \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"\xC3", "\xEF\xBF\xBD"},                                  // cut short
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
        {"\xEF\xBF\xBE", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // U+FFFE
    };
    for (const auto& [in, expected] : cases)
        EXPECT_EQ(XmlText(in), expected) << in;
}

TEST(BatchReport, UnknownOptionsAndUsage) {
    std::istringstream in;
    std::ostringstream out, err;
    EXPECT_EQ(BatchMain({"--verbose", "a.vbs"}, "/opt", in, out, err), 2);
    EXPECT_EQ(err.str().rfind("vintrel-batch: unknown option --verbose\nusage: ", 0), 0u);
    EXPECT_EQ(BatchMain({"--junit"}, "/opt", in, out, err), 2);
    std::istringstream script("step\n");
    std::ostringstream out2, err2;
    EXPECT_EQ(BatchMain({"--junit", "/nonexistent/dir/r.xml", "-"}, "/opt", script, out2, err2), 2);
    EXPECT_EQ(out2.str(), "ok -\n1 passed, 0 failed\n");
    EXPECT_EQ(err2.str(), "vintrel-batch: cannot write /nonexistent/dir/r.xml\n");
}

}  // namespace
}  // namespace vintrel
