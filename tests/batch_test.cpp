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
                f().chip.ProgramMemory[a] = kLoop[a];
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
    EXPECT_EQ(runner.form().chip.CycleCount, 0);
    EXPECT_EQ(runner.platform().yields, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BatchError,
    ::testing::Values(
        ErrorCase{"frobnicate\n", 1}, ErrorCase{"# comment\n\n  \t\nClick eje1\n", 4},
        ErrorCase{"click nothing\n", 1}, ErrorCase{"click reg 3\n", 1}, ErrorCase{"click\n", 1},
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
    EXPECT_EQ(f().chip.ciclos.text(), "2");
    EXPECT_EQ(OutLines().size(), 1u);
    EXPECT_EQ(err.str(), "error at line 3: unknown command \"bogus\"\n");
}

// ---- exit statuses ----

TEST_F(Batch, EndOfProgramPrintsEndAndStopsWithStatus0) {
    EXPECT_EQ(Run("step\nclick fin\nstep\nexpect REGW never\n", true), 0);
    EXPECT_EQ(out.str(), "end\n");
    EXPECT_EQ(f().chip.ciclos.text(), "2");
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
            r.form().chip.ProgramMemory[a] = kLoop[a];
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

// ---- hostile scripts ----

TEST(BatchLimits, AHugeWordIsQuotedByItsFirst80Characters) {
    // 1 MB of control characters (the longest line is 1 MiB) would be 6 MB once JSON-escaped.
    const std::string huge(1'000'000, '\x01');
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
