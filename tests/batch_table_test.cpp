// vintrel-batch as one table of scripts and what they print: each row runs in-process through
// BatchMain in a scratch folder holding the data files of tests/batch and the row's own files.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "batch/script.h"
#include "batch/suite.h"
#include "temp_files.h"

namespace vintrel {
namespace {

namespace fs = std::filesystem;

// `script` is standard input up to the first "=== PATH" line, which starts a file of the scratch
// folder (and so on). A --junit report is appended to the output the same way, its times blank.
// The scripts of a/ and b/ in tests/batch serve the rows with several scripts.
struct Row {
    const char* name;
    const char* args;
    const char* script;
    int status;
    const char* out;
    const char* err;
};

const Row kRows[] = {
    {"a program's road: a load, steps, CALL and RETURN", "",
     "expect REG 3 18\nexpect WATCHDOG 0\n"
     "load prog.hex\nexpect prg 8 008\t200A\tCALL 00A\nexpect EE 2 56\nexpect WATCHDOG 1\n"
     "step\nexpect REGW 25\nexpect direc P-001\n"
     "step 2\nshow RP 0\n"
     "step 5\nexpect REG 6 26\nexpect PB 1 1\n"
     "step\nexpect pila 0 009\n"
     "step 2\nexpect pila 0 ---\nexpect ciclos 13\n",
     0,
     R"({"name":"RP","index":0,"text":"RP=00","enabled":true,"visible":true,"hint":"","color":"placeholder"})",
     ""},
    {"breakpoints", "",
     "load loop.hex\nselect prg 4\nclick break\nexpect prg 4 004 *\t0D8F\tRLF 0F\n"
     "run\nrun\nexpect REG 13 02\nexpect ciclos 11\n"
     "step 5\nexpect RegPC 004\n"
     "run\nexpect ciclos 17\n"
     "select prg 4\nclick break\nselect prg 6\nclick break\nselect prg 2\nclick break\nrun\n"
     "expect RegPC 006\n"
     "click RegPC\ntype dato 002\nclick aceptar\nrun\nexpect RegPC 006\nexpect REG 13 04\n"
     "click MCLR\nselect prg 0\nclick break\nrun\nexpect RegPC 000\nexpect ciclos 0\n"
     "click REG 12\nclick break\nselect prg 4\nclick break\nchoose\nclick cargar\n"
     "expect prg 4 004 *\t0D8F\tRLF 0F\n"
     "load loop.hex\nexpect prg 4 004\t0D8F\tRLF 0F\n",
     0, R"(beep)", ""},
    {"the panel: Modificar, PCLATH, SLEEP and the watchdog, pins, T0CKI", "",
     "click REG 0x86\nexpect dato FF\n"
     "click REG 10\ntype dato 03\nclick aceptar\nexpect RegPC 300\n"
     "click RegPC\ntype dato 2A5\nclick aceptar\nexpect REG 2 A5\n"
     "select prg 5\ntype dato 3FFF\nclick aceptar\nexpect prg 5 005\t3FFF\tADDLW FF\n"
     "click por\nexpect direc P-000\n"
     "select prg 0\ntype dato 0063\nclick aceptar\nstep\nexpect estsleep 1\n"
     "step 3\nexpect ciclos 2\n"
     "click WDT\nclick WATCHDOG\nclick WDT\nexpect estsleep 0\nexpect RegPC 002\n"
     "click PA 4\nclick PB 7\nclick REG 134\ntype dato 0F\nclick aceptar\nclick PB 7\n"
     "click PB 0\nselect prg 2\ntype dato 0806\nclick aceptar\nstep\nexpect REGW 01\n"
     "click REG 0x81\ntype dato 07\nclick aceptar\nclick TOCKI\nshow PA 4\n",
     0, R"(ignored WDT
ignored PA[4]
ignored PB[7]
ignored TOCKI
{"name":"PA","index":4,"text":"","enabled":true,"visible":true,"hint":"Activar/desactivar bit","value":0})",
     ""},
    {"at: queued commands, stops, nested runs, a reset and the end inside a run", "",
     "show run\n"
     "load loop.hex\nat 2 show RegPC\nat 2 step\nat 5 show ejecutar\nrun 5\nexpect run limit\n"
     "show run\n"
     "at 10 show RegPC\nrun 3\nrun 20\nclick MCLR\nat 2 run\nrun\nexpect run stop\n"
     "expect RegPC 002\n"
     "click MCLR\nat 1 click ejecutar\nat 1 click ejecutar\nat 3 show RegPC\nrun 6\n"
     "expect run limit\nexpect RegPC 006\n"
     "click MCLR\nat 3 click MCLR\nrun 5\nexpect RegPC 002\nexpect ciclos 3\n"
     "select prg 4\nclick break\nclick MCLR\nat 2 run\nat 2 run\nat 50 show RegPC\nrun\n"
     "expect run breakpoint\nshow run\n"
     "at 1 expect ejecutar &Parar\nat 2 click fin\nrun\nexpect REG 0 never reached\n",
     0, R"({"name":"run","ended":"none","yields":0}
{"name":"RegPC","text":"002","enabled":true,"visible":true,"hint":""}
ignored eje1
{"name":"ejecutar","text":"&Parar","enabled":true,"visible":true,"hint":"Ejecutar de forma continua"}
{"name":"run","ended":"limit","yields":5}
{"name":"RegPC","text":"003","enabled":true,"visible":true,"hint":""}
{"name":"run","ended":"breakpoint","yields":4}
end)",
     ""},
    {"what the window would show; choose answers the next dialog once", "",
     "load noend.hex\nexpect prg 0 000\t3010\tMOVLW 10\n"
     "load badcks.hex\nload missing.hex\nchoose a.asm\nchoose Mis Fuentes/b.asm\n"
     "click editar\nclick editar\nchoose loop.hex\nclick ensamblar\nclick cargar\n"
     "expect prg 0 000\t0000\tNOP\n"
     "click REGW\ntype dato 100\nclick aceptar\nclick fin\nexpect REG 0 never reached\n",
     0, R"(message "Error en fichero noend.hex.\rNo hay código de fin."
message "Error en fichero badcks.hex.\rError de checksum."
message "Error en lectura"
launch "notepad Mis Fuentes/b.asm" normal
launch "/opt/vintrel/mpasmwin.exe /aINHX8M /c- /l- /rDEC /w2 /PPIC16F84 loop.hex" minimized
beep
end)",
     ""},
    {"expect message: every box since the last, the whole text", "",
     "load missing.hex\nexpect message Error en lectura\n"
     "load noend.hex\nload badcks.hex\n"
     "expect message Error en fichero badcks.hex.\\rError de checksum.\n"
     "load loop.hex\nat 2 load missing.hex\nat 2 expect message Error en lectura\nrun 3\n"
     "load noend.hex\nexpect message Error en fichero noend.hex.\n",
     1, R"(message "Error en lectura"
message "Error en fichero noend.hex.\rNo hay código de fin."
message "Error en fichero badcks.hex.\rError de checksum."
message "Error en lectura"
message "Error en fichero noend.hex.\rNo hay código de fin."
expect failed at line 11: message is "Error en fichero noend.hex.\rNo hay código de fin.", not "Error en fichero noend.hex.")",
     ""},
    {"--strict: an announced box passes, an unannounced one fails at the end", "--strict",
     "load missing.hex\nexpect message Error en lectura\n"
     "step\nload /a.hex\n",
     1, R"(message "Error en lectura"
message "Error en lectura"
unexpected message at line 4: "Error en lectura")",
     ""},
    {"--strict: the first unannounced box fails at its line", "--strict -", R"(load /a.hex
load /b.hex
expect message Error en lectura)",
     1, R"(message "Error en lectura"
unexpected message at line 1: "Error en lectura")",
     ""},
    {"--strict: a failed load fails at its line, before a name it would have brought", "--strict",
     "load missing.hex\nselect prg done\n", 1,
     "message \"Error en lectura\"\nunexpected message at line 1: \"Error en lectura\"", ""},
    {"expect: the whole text", "",
     "load loop.hex\nexpect RegPC 000\nexpect direc\nexpect ejecutar &Ejecutar\n"
     "expect PA 4 0\nexpect WATCHDOG 0\nexpect prg 1 001\t008C\tMOVWF 0C\nexpect RegPC 0\n",
     1, R"(expect failed at line 8: RegPC is "000", not "0")", ""},
    {"expect: an element is quoted as the script named it", "", "expect REG PORTB 01\n", 1,
     R"(expect failed at line 1: PORTB is "00", not "01")", ""},
    {"rest of line: leading blanks dropped, trailing kept, one CR of CRLF removed", "",
     "click REGW\r\ntype dato \t A B \t\r\nexpect dato A B \t\r\ntype dato 34\r\r\nexpect dato "
     "34\r\n",
     1, R"(expect failed at line 5: dato is "34\r", not "34")", ""},
    {"names: registers, a program's, at lines; a cancelled load keeps them, a failed one not", "",
     "show REG OPTION_REG\nexpect REG EECON1 00\n"
     "load loop.hex\nselect prg loop\nexpect direc P-002\nlisting start loop\n"
     "select prg 4\nclick break\nrun\nexpect REG count 10\n"
     "click por\nat 2 show prg loop\nrun 2\nchoose\nclick cargar\nexpect REG count 10\n"
     "load missing.hex\nselect prg loop\n",
     2, R"({"name":"REG","index":129,"text":"FF","enabled":true,"visible":true,"hint":""}
000	3010	MOVLW 10
001	008C	MOVWF 0C
002	0A8D	INCF 0D
{"name":"prg","index":2,"text":"002\t0A8D\tINCF 0D"}
message "Error en lectura")",
     R"(error at line 18: unknown name "loop": the load at line 17 failed: "Error en lectura")"},
    {"names: a load without a listing leaves none", "", R"(load loop.hex
load prog.hex
listing loop)",
     2, "", R"(error at line 3: unknown name "loop": there is no listing prog.lst)"},
    {"names: every page of a symbol table, up to the memory map", "",
     "load pages.hex\nselect prg done\nexpect direc P-00B\nexpect REG count 00\nshow prg after\n",
     2, "", R"(error at line 5: unknown name "after")"},
    {"an error ends the script after what came before", "",
     "show ciclos\n"
     "at 5 show REGW\nat 3 bogus\nrun 10\n",
     2,
     R"({"name":"ciclos","text":"0","enabled":true,"visible":true,"hint":"Ciclos de Instrucción transcurridos"})",
     R"(error at line 3: unknown command "bogus")"},
    {"several scripts: each in its folder, the worst status, the JUnit report",
     "--junit r.xml b/err.vbs b/fail.vbs a/ok.vbs", "", 2,
     R"(FAIL b/err.vbs: error at line 1: unknown command "bogus"
FAIL b/fail.vbs: expect failed at line 1: REGW is "00", not "01"
ok a/ok.vbs
1 passed, 2 failed
b: 0 passed, 2 failed
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
</testsuites>)",
     ""},
    {"several scripts: a failure, then a pass", "b/fail.vbs a/ok.vbs", "", 1,
     R"(FAIL b/fail.vbs: expect failed at line 1: REGW is "00", not "01"
ok a/ok.vbs
1 passed, 1 failed
b: 0 passed, 1 failed)",
     ""},
    {"several scripts: what cannot be read", "missing.vbs a", "", 2,
     R"(FAIL missing.vbs: cannot open missing.vbs
FAIL a: cannot read a: it is a folder
0 passed, 2 failed)",
     ""},
    {"a folder as the script", "a", "", 2, "", R"(vintrel-batch: cannot read a: it is a folder)"},
    {"a report that cannot be written", "--junit /nonexistent/r.xml -", R"(step)", 2, R"(ok -
1 passed, 0 failed)",
     R"(vintrel-batch: cannot write /nonexistent/r.xml)"},
    {"an unknown option", "--verbose a.vbs", "", 2, "", R"(vintrel-batch: unknown option --verbose
usage: vintrel-batch [--strict] [--chip] [--junit FILE] [--vcd FILE] [SCRIPT...])"},
    {"-- ends the options", "--strict -- -x.vbs", R"(=== -x.vbs
load missing.hex)",
     1, R"(message "Error en lectura"
unexpected message at line 1: "Error en lectura")",
     ""},
};

// Expected texts are written without their last line end.
std::string Lines(std::string text) {
    return text.empty() || text.back() == '\n' ? text : text + "\n";
}

TEST(Batch, Table) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        testing::TempDir dir("vintrel-batch");
        for (const auto& data : fs::directory_iterator(VINTREL_TEST_BATCH_DATA))
            fs::copy(data.path(), dir.path() / data.path().filename(), fs::copy_options::recursive);
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
            // Times blanked, and the room the head keeps for its counts dropped.
            static const std::regex kTime("time=\"[0-9.]+\""), kRoom("\" +>");
            printed += "=== " + args[i + 1] + "\n" +
                       std::regex_replace(
                           std::regex_replace(testing::ReadFile(args[i + 1]), kTime, "time=\"\""),
                           kRoom, "\">");
        }
        fs::current_path(home);
        EXPECT_EQ(printed, Lines(row.out));
        EXPECT_EQ(err.str(), Lines(row.err));
    }
}

// A line that cannot be understood: status 2, one line on standard error, nothing of it done.
TEST(Batch, Errors) {
    const std::pair<const char*, const char*> cases[] = {
        {"# c\n\n  \t\nClick eje1", "4: unknown command \"Click\""},
        {"click nothing", "1: unknown control \"nothing\""},
        {"show REG 0x82", "1: index \"0x82\" is outside REG"},
        {"click PA 5", "1: index \"5\" is outside PA"},
        {"show REG", "1: REG needs an index"},
        {"show REG -1", "1: \"-1\" is not a number"},
        {"show REG 99999999999999999999999", "1: \"99999999999999999999999\" is out of range"},
        {"click REGW 0", "1: extra words from \"0\""},
        {"step # no comment after a command", "1: \"#\" is not a number"},
        {"run 0", "1: the run's yield count must be at least 1"},
        {"select REG 3", "1: select works only on prg"},
        {"type eje1 x", "1: eje1 is not a text box"},
        {"at 5   # nothing", "1: at needs a command"},
        {"at 5 at 6 step", "1: at cannot queue another at"},
        {"at 2 step\nat 3 run 0\nrun 5", "2: the run's yield count must be at least 1"},
        {"expect run bogus",
         "1: expect run takes breakpoint, limit, stop, end or return, not \"bogus\""},
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

// Hostile scripts: a huge word is quoted by its first 80 characters (1 MB of control characters,
// the longest line, would be 6 MB once escaped); runs nest at most 1000 deep, each pair of queued
// clicks stopping a run and starting a nested one on the same yields.
TEST(Batch, Limits) {
    std::string quoted = "\"";
    for (int i = 0; i < 80; ++i)
        quoted += "\\u0001";
    std::ostringstream out, err;
    std::istringstream huge("step 1 " + std::string(1'000'000, '\x01'));
    EXPECT_EQ(RunBatch(huge, out, err), 2);
    EXPECT_EQ(err.str(), "error at line 1: extra words from " + quoted + "\"...\n");
    for (const int pairs : {1000, 1001}) {
        std::string script;
        for (int k = 1; k <= pairs; ++k)
            script += "at " + std::to_string(k) + " run\nat " + std::to_string(k) + " run\n";
        std::ostringstream o, e;
        std::istringstream in(script + "run 2000\n");
        EXPECT_EQ(RunBatch(in, o, e), pairs == 1000 ? 0 : 2);
        EXPECT_EQ(e.str(),
                  pairs == 1000 ? "" : "error at line 2002: runs nested deeper than 1000\n");
    }
}

// The JUnit report's text: markup escaped, what XML cannot carry replaced by U+FFFD.
TEST(Batch, XmlText) {
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_EQ(XmlText("a<b>&\"'\t\n\r\xC3\xB3\xF0\x9F\x98\x80"),
              "a&lt;b&gt;&amp;&quot;&apos;\t\n\r\xC3\xB3\xF0\x9F\x98\x80");
    EXPECT_EQ(XmlText(std::string("\0\x01\x7F\xC3", 4)), bad + bad + bad + bad);
    EXPECT_EQ(XmlText("\xC0\xAF\xED\xA0\x80\xEF\xBF\xBE"),
              bad + bad + bad + bad + bad + bad + bad + bad);
}

}  // namespace
}  // namespace vintrel
