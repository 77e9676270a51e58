// vintrel-batch as one table of scripts and what they print: each row runs in-process through
// BatchMain in a scratch folder holding the data files of tests/batch and the row's own files.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "batch/names.h"
#include "batch/script.h"
#include "batch/suite.h"
#include "temp_files.h"

namespace vintrel {
namespace {

namespace fs = std::filesystem;

// `script` is standard input up to the first "=== PATH" line, which starts a file of the scratch
// folder (and so on). A --junit report is appended to the output the same way, its times blank.
struct Row {
    const char* name;
    const char* args;
    const char* script;
    int status;
    const char* out;
    const char* err;
};

const Row kRows[] = {
    {"a program's road: a load, steps, CALL and RETURN", "", R"(expect REG 3 18
expect WATCHDOG 0
load prog.hex
expect prg 8 008	200A	CALL 00A
expect EE 2 56
expect WATCHDOG 1
step
expect REGW 25
expect direc P-001
step 2
show RP 0
step 5
expect REG 6 26
expect PB 1 1
step
expect pila 0 009
step 2
expect pila 0 ---
expect ciclos 13
listing 4 6
)",
     0,
     R"({"name":"RP","index":0,"text":"RP=00","enabled":true,"visible":true,"hint":"","color":"placeholder"}
004	1283	BCF 03,5
005	0AA0	INCF 20
006	0820	MOVF 20,W
)",
     ""},
    {"breakpoints", "", R"(load loop.hex
select prg 4
click break
expect prg 4 004 *	0D8F	RLF 0F
run
run
expect REG 13 02
expect ciclos 11
step 5
expect RegPC 004
run
expect ciclos 17
select prg 4
click break
select prg 6
click break
select prg 2
click break
run
expect RegPC 006
click RegPC
type dato 002
click aceptar
run
expect RegPC 006
expect REG 13 04
click MCLR
select prg 0
click break
run
expect RegPC 000
expect ciclos 0
click REG 12
click break
select prg 4
click break
choose
click cargar
expect prg 4 004 *	0D8F	RLF 0F
load loop.hex
expect prg 4 004	0D8F	RLF 0F
)",
     0, R"(beep
)",
     ""},
    {"the panel: Modificar, PCLATH, SLEEP and the watchdog, pins, T0CKI", "", R"(click REG 0x86
expect dato FF
click REG 10
type dato 03
click aceptar
expect RegPC 300
click RegPC
type dato 2A5
click aceptar
expect REG 2 A5
select prg 5
type dato 3FFF
click aceptar
expect prg 5 005	3FFF	ADDLW FF
click por
expect direc P-000
select prg 0
type dato 0063
click aceptar
step
expect estsleep 1
step 3
expect ciclos 2
click WDT
click WATCHDOG
click WDT
expect estsleep 0
expect RegPC 002
click PA 4
click PB 7
click REG 134
type dato 0F
click aceptar
click PB 7
click PB 0
select prg 2
type dato 0806
click aceptar
step
expect REGW 01
click REG 0x81
type dato 07
click aceptar
click TOCKI
show PA 4
)",
     0, R"(ignored WDT
ignored PA[4]
ignored PB[7]
ignored TOCKI
{"name":"PA","index":4,"text":"","enabled":true,"visible":true,"hint":"Activar/desactivar bit","value":0}
)",
     ""},
    {"at: queued commands, stops, nested runs, a reset and the end inside a run", "", R"(show run
load loop.hex
at 2 show RegPC
at 2 step
at 5 show ejecutar
run 5
expect run limit
show run
at 10 show RegPC
run 3
run 20
click MCLR
at 2 run
run
expect run stop
expect RegPC 002
click MCLR
at 1 click ejecutar
at 1 click ejecutar
at 3 show RegPC
run 6
expect run limit
expect RegPC 006
click MCLR
at 3 click MCLR
run 5
expect RegPC 002
expect ciclos 3
select prg 4
click break
click MCLR
at 2 run
at 2 run
at 50 show RegPC
run
expect run breakpoint
show run
at 1 expect ejecutar &Parar
at 2 click fin
run
expect REG 0 never reached
)",
     0, R"({"name":"run","ended":"none","yields":0}
{"name":"RegPC","text":"002","enabled":true,"visible":true,"hint":""}
ignored eje1
{"name":"ejecutar","text":"&Parar","enabled":true,"visible":true,"hint":"Ejecutar de forma continua"}
{"name":"run","ended":"limit","yields":5}
{"name":"RegPC","text":"003","enabled":true,"visible":true,"hint":""}
{"name":"run","ended":"breakpoint","yields":4}
end
)",
     ""},
    {"what the window would show; choose answers the next dialog once", "", R"(load noend.hex
expect prg 0 000	3010	MOVLW 10
load badcks.hex
load missing.hex
choose a.asm
choose Mis Fuentes/b.asm
click editar
click editar
choose loop.hex
click ensamblar
click cargar
expect prg 0 000	0000	NOP
click REGW
type dato 100
click aceptar
click fin
expect REG 0 never reached
)",
     0, R"(message "Error en fichero noend.hex.\rNo hay código de fin."
message "Error en fichero badcks.hex.\rError de checksum."
message "Error en lectura"
launch "notepad Mis Fuentes/b.asm" normal
launch "/opt/vintrel/mpasmwin.exe /aINHX8M /c- /l- /rDEC /w2 /PPIC16F84 loop.hex" minimized
beep
end
)",
     ""},
    {"expect message: every box since the last, the whole text", "", R"(load missing.hex
expect message Error en lectura
load noend.hex
load badcks.hex
expect message Error en fichero badcks.hex.\rError de checksum.
load loop.hex
at 2 load missing.hex
at 2 expect message Error en lectura
run 3
load noend.hex
expect message Error en fichero noend.hex.
)",
     1, R"(message "Error en lectura"
message "Error en fichero noend.hex.\rNo hay código de fin."
message "Error en fichero badcks.hex.\rError de checksum."
message "Error en lectura"
message "Error en fichero noend.hex.\rNo hay código de fin."
expect failed at line 11: message is "Error en fichero noend.hex.\rNo hay código de fin.", not "Error en fichero noend.hex."
)",
     ""},
    {"expect message: none since the last", "", R"(load missing.hex
expect message Error en lectura
expect message Error en lectura
)",
     1, R"(message "Error en lectura"
expect failed at line 3: no message, not "Error en lectura"
)",
     ""},
    {"--strict: an announced box passes, an unannounced one fails at the end", "--strict",
     R"(load missing.hex
expect message Error en lectura
step
load /a.hex
)",
     1, R"(message "Error en lectura"
message "Error en lectura"
unexpected message at line 4: "Error en lectura"
)",
     ""},
    {"--strict: the first unannounced box fails at its line", "--strict -", R"(load /a.hex
load /b.hex
expect message Error en lectura
)",
     1, R"(message "Error en lectura"
unexpected message at line 1: "Error en lectura"
)",
     ""},
    {"expect: the whole text", "", R"(load loop.hex
expect RegPC 000
expect direc
expect ejecutar &Ejecutar
expect PA 4 0
expect WATCHDOG 0
expect prg 1 001	008C	MOVWF 0C
expect RegPC 0
)",
     1, R"(expect failed at line 8: RegPC is "000", not "0"
)",
     ""},
    {"rest of line: leading blanks dropped, trailing kept, one CR of CRLF removed", "",
     "click REGW\r\ntype dato \t A B \t\r\nexpect dato A B \t\r\ntype dato 34\r\r\nexpect dato "
     "34\r\n",
     1, R"(expect failed at line 5: dato is "34\r", not "34"
)",
     ""},
    {"names: registers, a program's, at lines; a cancelled load keeps them, a failed one not", "",
     R"(show REG OPTION_REG
expect REG EECON1 00
load loop.hex
select prg loop
expect direc P-002
listing start loop
select prg 4
click break
run
expect REG count 10
click por
at 2 show prg loop
run 2
choose
click cargar
expect REG count 10
load missing.hex
select prg loop
)",
     2, R"({"name":"REG","index":129,"text":"FF","enabled":true,"visible":true,"hint":""}
000	3010	MOVLW 10
001	008C	MOVWF 0C
002	0A8D	INCF 0D
{"name":"prg","index":2,"text":"002\t0A8D\tINCF 0D"}
message "Error en lectura"
)",
     R"(error at line 18: unknown name "loop"
)"},
    {"names: a load without a listing leaves none", "", R"(load loop.hex
load prog.hex
listing loop
)",
     2, "", R"(error at line 3: unknown name "loop"
)"},
    {"names: every page of the symbol table, up to the memory map", "", R"(load two.hex
select prg done
expect direc P-00B
expect REG count 00
show prg after
=== two.hex
:00000001FF
=== two.lst
0000   1683           00012 start   bsf     STATUS,RP0
SYMBOL TABLE
  LABEL                             VALUE

count                             0000000C
gpasm-1.4.0 #1107 (Jan  1 2021)  two.asm   12-7-2026  15:08:25         PAGE  4


SYMBOL TABLE
  LABEL                             VALUE

done                              0000000B
bad                               -0000001

MEMORY USAGE MAP ('X' = Used,  '-' = Unused)
after                             00000001
)",
     2, "", R"(error at line 5: unknown name "after"
)"},
    {"an error ends the script after what came before", "", R"(show ciclos
at 5 show REGW
at 3 bogus
run 10
)",
     2,
     R"({"name":"ciclos","text":"0","enabled":true,"visible":true,"hint":"Ciclos de Instrucción transcurridos"}
)",
     R"(error at line 3: unknown command "bogus"
)"},
    {"several scripts: each in its folder, the worst status, the JUnit report",
     "--junit r.xml b/err.vbs b/fail.vbs a/ok.vbs", R"(=== b/err.vbs
bogus
=== b/fail.vbs
expect REGW 01
=== a/ok.vbs
load ../loop.hex
step 2
expect REGW 10
)",
     2, R"(FAIL b/err.vbs: error at line 1: unknown command "bogus"
FAIL b/fail.vbs: expect failed at line 1: REGW is "00", not "01"
ok a/ok.vbs
1 passed, 2 failed
=== r.xml
<?xml version="1.0" encoding="UTF-8"?>
<testsuites name="vintrel-batch" tests="3" failures="1" errors="1" time="">
  <testsuite name="vintrel-batch" tests="3" failures="1" errors="1" time="" skipped="0">
    <testcase classname="b" name="b/err.vbs" time="">
      <error message="error at line 1: unknown command &quot;bogus&quot;" type="error">error at line 1: unknown command &quot;bogus&quot;</error>
      <system-err>error at line 1: unknown command &quot;bogus&quot;
</system-err>
    </testcase>
    <testcase classname="b" name="b/fail.vbs" time="">
      <failure message="expect failed at line 1: REGW is &quot;00&quot;, not &quot;01&quot;" type="failure">expect failed at line 1: REGW is &quot;00&quot;, not &quot;01&quot;</failure>
      <system-out>expect failed at line 1: REGW is &quot;00&quot;, not &quot;01&quot;
</system-out>
    </testcase>
    <testcase classname="a" name="a/ok.vbs" time="">
    </testcase>
  </testsuite>
</testsuites>
)",
     ""},
    {"several scripts: a failure, then a pass", "b/fail.vbs a/ok.vbs", R"(=== b/err.vbs
bogus
=== b/fail.vbs
expect REGW 01
=== a/ok.vbs
load ../loop.hex
step 2
expect REGW 10
)",
     1, R"(FAIL b/fail.vbs: expect failed at line 1: REGW is "00", not "01"
ok a/ok.vbs
1 passed, 1 failed
)",
     ""},
    {"several scripts: what cannot be read", "missing.vbs a", R"(=== b/err.vbs
bogus
=== b/fail.vbs
expect REGW 01
=== a/ok.vbs
load ../loop.hex
step 2
expect REGW 10
)",
     2, R"(FAIL missing.vbs: cannot open missing.vbs
FAIL a: cannot read a: it is a folder
0 passed, 2 failed
)",
     ""},
    {"a folder as the script", "a", R"(=== b/err.vbs
bogus
=== b/fail.vbs
expect REGW 01
=== a/ok.vbs
load ../loop.hex
step 2
expect REGW 10
)",
     2, "", R"(vintrel-batch: cannot read a: it is a folder
)"},
    {"a report that cannot be written", "--junit /nonexistent/r.xml -", R"(step
)",
     2, R"(ok -
1 passed, 0 failed
)",
     R"(vintrel-batch: cannot write /nonexistent/r.xml
)"},
    {"an unknown option", "--verbose a.vbs", "", 2, "", R"(vintrel-batch: unknown option --verbose
usage: vintrel-batch [--strict] [--junit FILE] [SCRIPT...]
)"},
    {"-- ends the options", "--strict -- -x.vbs", R"(=== -x.vbs
load missing.hex
)",
     1, R"(message "Error en lectura"
unexpected message at line 1: "Error en lectura"
)",
     ""},
};

TEST(Batch, Table) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        testing::TempDir dir("vintrel-batch");
        for (const auto& data : fs::directory_iterator(VINTREL_TEST_BATCH_DATA))
            fs::copy_file(data.path(), dir.path() / data.path().filename());
        std::map<std::string, std::string> files;
        std::string input, *into = &input;
        std::istringstream lines(row.script);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("=== ", 0) == 0)
                into = &files[line.substr(4)];
            else
                *into += line + "\n";
        }
        for (const auto& [path, text] : files)
            testing::WriteFile(dir.path() / path, text);
        std::vector<std::string> args;
        std::istringstream words(row.args);
        for (std::string w; words >> w;)
            args.push_back(w);

        const fs::path home = fs::current_path();
        fs::current_path(dir.path());
        std::istringstream in(input);
        std::ostringstream out, err;
        EXPECT_EQ(BatchMain(args, "/opt/vintrel", in, out, err), row.status);
        std::string printed = out.str();
        for (std::size_t i = 0; i + 1 < args.size(); ++i) {
            if (args[i] != "--junit" || !fs::exists(args[i + 1])) continue;
            static const std::regex kTime("time=\"[0-9.]+\"");
            printed += "=== " + args[i + 1] + "\n" +
                       std::regex_replace(testing::ReadFile(args[i + 1]), kTime, "time=\"\"");
        }
        fs::current_path(home);
        EXPECT_EQ(printed, row.out);
        EXPECT_EQ(err.str(), row.err);
    }
}

// A line that cannot be understood: status 2, one line on standard error, nothing of it done.
TEST(Batch, Errors) {
    const std::pair<const char*, const char*> cases[] = {
        {"frobnicate", "1: unknown command \"frobnicate\""},
        {"# c\n\n  \t\nClick eje1", "4: unknown command \"Click\""},
        {"click nothing", "1: unknown control \"nothing\""},
        {"click", "1: a control name is missing"},
        {"show REG 80", "1: index \"80\" is outside REG"},
        {"show REG 0x82", "1: index \"0x82\" is outside REG"},
        {"show EE 64", "1: index \"64\" is outside EE"},
        {"click PA 5", "1: index \"5\" is outside PA"},
        {"select prg 1024", "1: index \"1024\" is outside prg"},
        {"show REG", "1: REG needs an index"},
        {"show REG -1", "1: \"-1\" is not a number"},
        {"show REG 0x", "1: \"0x\" is not a number"},
        {"show REG 1e3", "1: \"1e3\" is not a number"},
        {"show REG 99999999999999999999999", "1: \"99999999999999999999999\" is out of range"},
        {"click eje1 now", "1: extra words from \"now\""},
        {"click REGW 0", "1: extra words from \"0\""},
        {"step # no comment after a command", "1: \"#\" is not a number"},
        {"run 0", "1: the run's yield count must be at least 1"},
        {"listing 0 1024", "1: row \"1024\" is outside prg"},
        {"select REG 3", "1: select works only on prg"},
        {"type eje1 x", "1: eje1 is not a text box"},
        {"at 0 step", "1: the yield number must be at least 1"},
        {"at 5   # nothing", "1: at needs a command"},
        {"at 5 at 6 step", "1: at cannot queue another at"},
        {"at 2 bogus\nrun 5", "1: unknown command \"bogus\""},
        {"at 2 step\nat 3 run 0\nrun 5", "2: the run's yield count must be at least 1"},
        {"expect run bogus", "1: expect run takes breakpoint, limit, stop or end, not \"bogus\""},
        {"show REG status", "1: unknown name \"status\""},
    };
    for (const auto& [script, message] : cases) {
        std::ostringstream out, err;
        BatchRunner runner(out, err);
        std::istringstream in(script);
        EXPECT_EQ(runner.run(in), 2) << script;
        EXPECT_EQ(err.str(), "error at line " + std::string(message) + "\n");
        EXPECT_EQ(runner.form().chip.CycleCount + runner.platform().yields, 0) << script;
    }
}

// Hostile scripts: a huge word is quoted by its first 80 characters (5 MB of control characters
// would be 30 MB once escaped), runs nest at most 1000 deep.
TEST(Batch, Limits) {
    const std::string huge(5'000'000, '\x01');
    std::string quoted = "\"";
    for (int i = 0; i < 80; ++i)
        quoted += "\\u0001";
    for (const std::string& line : {huge, "click " + huge, "step 1 " + huge}) {
        std::ostringstream out, err;
        std::istringstream in(line);
        EXPECT_EQ(RunBatch(in, out, err), 2);
        EXPECT_LT(err.str().size(), 600u);
        EXPECT_NE(err.str().find(quoted + "\"..."), std::string::npos) << err.str();
    }
    // Each pair of clicks stops the run and starts a nested one on the same yields.
    for (const int pairs : {BatchRunner::kMaxNestedRuns, 2000}) {
        std::string script;
        for (int k = 1; k <= pairs; ++k)
            script += "at " + std::to_string(k) + " run\nat " + std::to_string(k) + " run\n";
        std::ostringstream out, err;
        std::istringstream in(script + "run " + std::to_string(pairs + 5) + "\n");
        EXPECT_EQ(RunBatch(in, out, err), pairs == 2000 ? 2 : 0);
        EXPECT_EQ(err.str(),
                  pairs == 2000 ? "error at line 2002: runs nested deeper than 1000\n" : "");
    }
}

// The register names against gputils' own header, where it is installed.
TEST(Batch, RegisterNamesMatchGputils) {
    std::ifstream inc("/usr/share/gputils/header/p16f84.inc");
    if (!inc) GTEST_SKIP() << "gputils' p16f84.inc is not installed";
    int checked = 0;
    bool registers = false;  // the header's register section, before the bits
    for (std::string line; std::getline(inc, line) && line.rfind(";----- STATUS", 0) != 0;) {
        registers = registers || line.rfind(";----- Register Files", 0) == 0;
        std::istringstream words(line);
        std::string name, equ, value;
        if (!registers || !(words >> name >> equ >> value) || equ != "EQU") continue;
        EXPECT_EQ(ChipRegister(name), std::stoi(value.substr(2), nullptr, 16)) << name;
        ++checked;
    }
    EXPECT_EQ(checked, 16);
}

// The JUnit report's text: markup escaped, what XML cannot carry replaced by U+FFFD.
TEST(Batch, XmlText) {
    const std::pair<std::string, std::string> cases[] = {
        {"a<b>&\"'", "a&lt;b&gt;&amp;&quot;&apos;"},
        {"tab\tlf\ncr\r", "tab\tlf\ncr\r"},
        {std::string("nul\0x\x01\x7F", 7), "nul\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xC3\xB3 \xE2\x82\xAC \xF0\x9F\x98\x80", "\xC3\xB3 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"\xC3", "\xEF\xBF\xBD"},                                  // cut short
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
        {"\xEF\xBF\xBE", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // U+FFFE
    };
    for (const auto& [in, expected] : cases)
        EXPECT_EQ(XmlText(in), expected) << in;
}

}  // namespace
}  // namespace vintrel
