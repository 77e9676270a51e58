// vintrel-batch as one table of scripts and what they print: each row runs in-process through
// BatchMain in a scratch folder holding the data files of tests/batch (programs assembled by
// gpasm, their source in the listings; chip/ for chip mode) and the row's own files.
#include <gtest/gtest.h>
#include <sys/stat.h>

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
// folder (a FIFO when its text is "|fifo"), and so on. The files named after --junit (times
// blanked) and --vcd (from its first change on) are appended to the output the same way.
struct Row {
    const char* name;
    const char* args;
    const char* script;
    int status;
    const char* out;
    const char* err;
};

#define SET_W_81 "click REGW\ntype dato 81\nclick aceptar\n"
// After `trace PCL count`, W = 81h and `call deep 2`: the steps of double and two returns.
#define STEPS_VCD                                                               \
    "#2000\nb00000110 .\n#4000\nb00000111 .\nb10000001 /\n#5000\nb00001000 .\n" \
    "#6000\nb00001010 .\n#8000\nb00000000 .\n"

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
    {"the panel: Modificar, SLEEP and the watchdog, pins by number and name, T0CKI", "",
     "click REG 0x86\nexpect dato FF\nselect prg 5\nclick por\nexpect direc P-000\n"
     "select prg 0\ntype dato 0063\nclick aceptar\nstep\nexpect estsleep 1\n"
     "step 3\nexpect ciclos 2\n"
     "click WDT\nclick WATCHDOG\nclick WDT\nexpect estsleep 0\nexpect RegPC 002\n"
     "click PA RA4\nclick PB 7\nclick REG 134\ntype dato 0F\nclick aceptar\nclick PB RB7\n"
     "click PB RB0\nselect prg 2\ntype dato 0806\nclick aceptar\nstep\nexpect REGW 01\n"
     "click REG 0x81\ntype dato 07\nclick aceptar\nclick TOCKI\nshow PA RA4\n",
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
     "load missing.hex\nchoose a.asm\nchoose Mis Fuentes/b.asm\n"
     "click editar\nclick editar\nchoose loop.hex\nclick ensamblar\nclick cargar\n"
     "expect prg 0 000\t0000\tNOP\n"
     "click REGW\ntype dato 100\nclick aceptar\nclick fin\nexpect REG 0 never reached\n",
     0, R"(message "Error en lectura"
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
    {"an editor's byte-order mark before the first command", "", "\xEF\xBB\xBFstep", 0, "", ""},
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
    {"names: a FIFO as the listing is not read", "",
     "load p.hex\nshow REG count\n=== p.hex\n:00000001FF\n=== p.lst\n|fifo", 2, "",
     "error at line 2: unknown name \"count\": the listing p.lst was not read: it is not a regular "
     "file"},
    {"an error ends the script after what came before", "",
     "show ciclos\nat 5 show REGW\nat 3 bogus\nrun 10\n", 2,
     R"({"name":"ciclos","text":"0","enabled":true,"visible":true,"hint":"Ciclos de Instrucción transcurridos"})",
     R"(error at line 3: unknown command "bogus")"},

    // ---- call: W and a register in and out; the return leaves the PC and the stack as they were
    {"call: a return", "",
     "load calls.hex\nclick REGW\ntype dato 05\nclick aceptar\ncall double\nexpect run return\n"
     "expect REGW 0A\nexpect REG count 05\nexpect RegPC 000\nexpect pila 0 ---\nshow run\n",
     0, R"({"name":"call","ended":"return","cycles":4})", ""},
    {"call: deep takes 8 cycles with its nested call, so 7 is a limit", "",
     "load calls.hex\ncall deep 7\nexpect run limit\ncall deep 8\nexpect run return\nshow run\n", 0,
     R"({"name":"call","ended":"return","cycles":8})", ""},
    {"call: a routine that never returns stops from the limit on, its frame on the stack", "",
     "load calls.hex\ncall spin 9\nshow run\nexpect RegPC 00B\nexpect pila 0 000\n", 0,
     R"({"name":"call","ended":"limit","cycles":10})", ""},
    {"call: a breakpoint inside stops it, one on the routine's first word does not", "",
     "load calls.hex\nselect prg double\nclick break\ncall double\nexpect run return\n"
     "call deep\nexpect run breakpoint\nexpect RegPC 006\nshow run\n",
     0, R"({"name":"call","ended":"breakpoint","cycles":2})", ""},
    {"call: all 8 stack levels in use", "",
     "call 5 1\ncall 5 1\ncall 5 1\ncall 5 1\ncall 5 1\ncall 5 1\ncall 5 1\ncall 5 1\ncall 5\n", 2,
     "", "error at line 9: call needs a free stack level, and all 8 are in use"},
    {"trace after a step", "", "step\ntrace W", 2, "",
     "error at line 2: trace must come before the first step, run or call"},

    // ---- --vcd: pins, W and a register at 1 µs a cycle; a reset restarts the chip's count, not
    // the waveform's time; a failed expect keeps the file
    {"--vcd: pins, W and a register", "--vcd w.vcd",
     "load calls.hex\ntrace W count W\n" SET_W_81 "call setb\nclick MCLR\ncall double\n"
     "expect REGW 01\n",
     1,
     "expect failed at line 9: REGW is \"02\", not \"01\"\n=== w.vcd\n#5000\n1&\n1-\n#8000\n"
     "b10000001 /\n#9000\nb00000010 .",
     ""},
    {"--vcd: twice the frequency, half the time", "--vcd w.vcd",
     "load calls.hex\ntype FREC 8000\n" SET_W_81 "call setb\n", 0, "=== w.vcd\n#2500\n1&\n1-", ""},
    {"--vcd: single steps", "--vcd w.vcd",
     "load calls.hex\ntrace PCL count\n" SET_W_81 "call deep 2\nstep 6\n", 0,
     "=== w.vcd\n" STEPS_VCD, ""},
    {"--vcd: a run's bursts record what single steps record, PCL included", "--vcd=w.vcd",
     "load calls.hex\ntrace PCL count\n" SET_W_81 "call deep 2\nrun 6\n", 0,
     "=== w.vcd\n" STEPS_VCD, ""},
    {"--vcd: an error leaves no waveform, not even an older one", "--vcd w.vcd",
     "type FREC 0\nstep\n=== w.vcd\nold", 2, "",
     "error at line 2: a waveform needs FREC from 1 to 4000000 kHz, not \"0\""},
    {"--vcd: a folder", "--vcd a", "state", 2, "", "vintrel-batch: cannot write a: it is a folder"},
    {"--vcd: a missing folder", "--vcd no/w.vcd", "state", 2, "",
     "vintrel-batch: cannot write no/w.vcd: No such file or directory"},
    {"--vcd twice", "--vcd w.vcd --vcd w.vcd", "", 2, "", "vintrel-batch: --vcd given twice"},
    {"--vcd with two scripts", "--vcd w.vcd a/ok.vbs -", "", 2, "",
     "vintrel-batch: --vcd takes one script"},

    // ---- chip mode, each rule by its smallest program
    {"--chip: an erased chip, also where a load leaves words unprogrammed", "--chip",
     "mode chip\nexpect prg 1 001\t3FFF\tADDLW FF\nload chip/t0.hex\n"
     "expect prg 5 005\t3FFF\tADDLW FF\n",
     0, "", ""},
    {"mode chip as the first command", "", "# c\n\nmode chip\nexpect prg 1 001\t3FFF\tADDLW FF\n",
     0, "", ""},
    {"mode panel", "", "mode panel\nexpect prg 1 001\t0000\tNOP\n", 0, "", ""},
    {"--chip twice", "--chip --chip", "", 2, "", "vintrel-batch: --chip given twice"},
    {"mode panel against --chip", "--chip", "mode panel", 2, "",
     "error at line 1: mode panel conflicts with --chip"},
    {"chip: TMR0 counts cycles, a write holds it two cycles, FFh to 00h sets T0IF", "--chip",
     "load chip/t0.hex\nstep 2\nexpect REG TMR0 01\nexpect ciclos 2\nstep 2\n"
     "expect REG TMR0 FE\nstep\nexpect REG TMR0 FF\nexpect ciclos 6\nstep\nexpect REG TMR0 01\n"
     "expect REG INTCON 04\nexpect ciclos 8\n",
     0, "", ""},
    {"chip: a TMR0 write clears the prescaler (1:2)", "--chip",
     "load chip/prescaler.hex\nstep 3\nexpect REG TMR0 01\nstep 4\nexpect REG TMR0 80\nstep\n"
     "expect REG TMR0 81\n",
     0, "", ""},
    {"chip: an interrupt pushes the next address, clears GIE and goes to 0004h in two cycles; "
     "RETFIE sets GIE, and the flag still set enters again",
     "--chip",
     "load chip/interrupt.hex\nstep 7\nexpect RegPC 004\nexpect pila 0 00B\n"
     "expect REG INTCON 24\nexpect ciclos 10\nstep\nexpect RegPC 004\nexpect pila 0 00B\n"
     "expect pila 1 ---\nexpect ciclos 14\n",
     0, "", ""},
    {"chip: RB0/INT on the edge INTEDG selects; RBIF for an RB7:RB4 input against the level "
     "last read",
     "--chip",
     "load chip/portb.hex\nstep 3\nclick PB 0\nexpect REG INTCON 00\nclick PB 0\n"
     "expect REG INTCON 02\nclick PB 5\nexpect REG INTCON 03\nclick REG 11\ntype dato 00\n"
     "click aceptar\nclick PB 5\nexpect REG INTCON 00\nclick PB 1\nexpect REG INTCON 00\n",
     0, "", ""},
    {"chip: SLEEP sets TO, clears PD and lets time pass; an enabled flag wakes the chip, which "
     "runs the next instruction and then, with GIE, the handler",
     "--chip",
     "load chip/sleep.hex\nstep 4\nexpect estsleep 1\nexpect REG STATUS 10\nstep 3\n"
     "expect RegPC 008\nexpect ciclos 8\nclick PB 0\nstep\nexpect estsleep 0\nexpect ciclos 9\n"
     "step\nexpect RegPC 004\nexpect pila 0 009\nexpect REG INTCON 12\nexpect ciclos 12\n",
     0, "", ""},
    {"chip: the watchdog resets 18 ms (40 kHz: 180 cycles) after CLRWDT; a CLRWDT loop runs on",
     "--chip",
     "load chip/watchdog.hex\nexpect WATCHDOG 1\ntype FREC 40\nrun 92\nexpect RegPC 003\n"
     "expect ciclos 181\nstep\nexpect RegPC 000\nexpect REG STATUS 08\nexpect ciclos 0\n"
     "select prg 3\ntype dato 2802\nclick aceptar\nrun 200\nexpect ciclos 299\n",
     0, "", ""},
    {"chip: the watchdog wakes a sleeping chip after its postscaler's periods, TO and PD cleared",
     "--chip",
     "load chip/wdtsleep.hex\ntype FREC 40\nrun 100\nexpect estsleep 1\nexpect REG STATUS 10\n"
     "run 261\nexpect estsleep 1\nexpect ciclos 361\nstep\nexpect estsleep 0\n"
     "expect REG STATUS 00\nexpect RegPC 003\nexpect ciclos 362\n",
     0, "", ""},
    {"chip: an EEPROM write takes 4 ms (20 kHz: 20 cycles) and its EEIF wakes the chip", "--chip",
     "load chip/eeprom.hex\ntype FREC 20\nstep 12\nexpect estsleep 1\nexpect EE 0 00\n"
     "expect REG EECON1 06\nrun 18\nexpect estsleep 1\nexpect REG EECON1 06\nstep\n"
     "expect estsleep 0\nexpect EE 0 3C\nexpect REG EECON1 14\nexpect ciclos 31\n",
     0, "", ""},

    // ---- several scripts, the report, the options
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
    {"several scripts: what cannot be read", "missing.vbs a f.vbs", "=== f.vbs\n|fifo", 2,
     R"(FAIL missing.vbs: cannot open missing.vbs
FAIL a: cannot read a: it is a folder
FAIL f.vbs: cannot read f.vbs: it is not a regular file
0 passed, 3 failed)",
     ""},
    {"a folder as the script", "a", "", 2, "", R"(vintrel-batch: cannot read a: it is a folder)"},
    {"a report that cannot be written", "--junit /nonexistent/r.xml -", R"(step)", 2, R"(ok -
1 passed, 0 failed)",
     R"(vintrel-batch: cannot write /nonexistent/r.xml)"},
    {"a script is no report", "--junit b/fail.vbs a/ok.vbs", "", 2,
     "=== b/fail.vbs\nexpect REGW 01",
     "vintrel-batch: not writing the report to b/fail.vbs: it is not a JUnit report of "
     "vintrel-batch"},
    {"the report named as a script too", "--junit b/err.vbs b/err.vbs", "", 2,
     "=== b/err.vbs\nbogus",
     "vintrel-batch: not writing the report to b/err.vbs: it is one of the scripts"},
    {"a folder as the report", "--junit a -", "", 2, "",
     "vintrel-batch: not writing the report to a: it is a folder"},
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
        for (const auto& [path, text] : files) {
            if (text == "|fifo\n")
                ASSERT_EQ(mkfifo((dir.path() / path).c_str(), 0600), 0);
            else
                testing::WriteFile(dir.path() / path, text);
        }
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
        for (std::size_t i = 0; i < args.size(); ++i) {
            const bool vcd = args[i].rfind("--vcd", 0) == 0;
            const std::string file = args[i].rfind("--vcd=", 0) == 0 ? args[i].substr(6)
                                     : i + 1 < args.size()           ? args[i + 1]
                                                                     : "";
            if ((args[i] != "--junit" && !vcd) || !fs::is_regular_file(file)) continue;
            // Times blanked, and the room the head keeps for its counts dropped.
            static const std::regex kTime("time=\"[0-9.]+\""), kRoom("\" +>");
            const std::string text = testing::ReadFile(file);
            printed += "=== " + file + "\n" +
                       (vcd ? text.substr(text.rfind("$end\n") + 5)
                            : std::regex_replace(std::regex_replace(text, kTime, "time=\"\""),
                                                 kRoom, "\">"));
        }
        fs::current_path(home);
        EXPECT_EQ(printed, Lines(row.out));
        EXPECT_EQ(err.str(), Lines(row.err));
    }
}

// A waveform's head: the pins, then the traced signals, and their values at time 0.
TEST(Batch, WaveformHead) {
    testing::TempDir dir;
    const std::string vcd = (dir.path() / "w.vcd").string();
    std::istringstream in(SET_W_81 "trace W TMR0\n");
    std::ostringstream out, err;
    ASSERT_EQ(BatchMain({"--vcd", vcd}, "", in, out, err), 0) << err.str();
    const std::string w = testing::ReadFile(vcd);
    for (const char* part :
         {"$version vintrel-batch $end\n$timescale 1ns $end\n$scope module PIC16F84 $end\n"
          "$var wire 1 ! RA0 $end\n",
          "$var wire 1 & RB0 $end\n$var wire 1 ' RB1 $end\n",
          "$var wire 1 - RB7 $end\n$var reg 8 . W $end\n$var reg 8 / TMR0 $end\n$upscope $end\n"
          "$enddefinitions $end\n#0\n$dumpvars\n0!\n",
          "0-\nb10000001 .\nb00000000 /\n$end\n"})
        EXPECT_NE(w.find(part), std::string::npos) << part << "\nin\n" << w;
    EXPECT_EQ(w.rfind("$version", 0), 0u);
}

// A line that cannot be understood: status 2, one line on standard error, nothing of it done.
TEST(Batch, Errors) {
    const std::pair<const char*, const char*> cases[] = {
        {"# c\n\n  \t\nClick eje1", "4: unknown command \"Click\""},
        {"click nothing", "1: unknown control \"nothing\""},
        {"show REG 0x82", "1: index \"0x82\" is outside REG"},
        {"click PA 5", "1: index \"5\" is outside PA"},
        {"click PB RA0", "1: index \"RA0\" is outside PB"},
        {"expect PA RA5 0", "1: index \"RA5\" is outside PA"},
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
        {"call nowhere", "1: unknown name \"nowhere\""},
        {"at 1 call 5", "1: call cannot start inside a run"},
        {"call 5 0", "1: the cycle limit must be at least 1"},
        {"trace INDF", "1: \"INDF\" has no value to trace"},
        {"show ciclos\nmode chip", "2: mode must come before every other command"},
        {"at 1 mode chip", "1: at cannot queue mode"},
        {"mode fast", "1: mode takes chip or panel, not \"fast\""},
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

// Hostile scripts: a line past 1 MiB is refused; a huge word is quoted by its first 80
// characters (1 MB of control characters would be 6 MB once escaped); runs nest at most 1000
// deep, each pair of queued clicks stopping a run and starting a nested one on the same yields.
TEST(Batch, Limits) {
    std::string quoted = "\"", nested;
    for (int i = 0; i < 80; ++i)
        quoted += "\\u0001";
    for (int k = 1; k <= 1001; ++k)
        nested += "at " + std::to_string(k) + " run\nat " + std::to_string(k) + " run\n";
    const std::size_t pair1001 = nested.find("at 1001 ");
    const struct {
        std::string script;
        int status;
        std::string err;
    } cases[] = {
        {"step " + std::string(2 << 20, '1'), 2,
         "error at line 1: the line is longer than 1048576 bytes\n"},
        {"step 1 " + std::string(1'000'000, '\x01'), 2,
         "error at line 1: extra words from " + quoted + "\"...\n"},
        {nested.substr(0, pair1001) + "run 2000\n", 0, ""},
        {nested + "run 2000\n", 2, "error at line 2002: runs nested deeper than 1000\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        std::istringstream in(c.script);
        EXPECT_EQ(RunBatch(in, out, err), c.status);
        EXPECT_EQ(err.str(), c.err);
        EXPECT_LT(out.str().size(), 1000u);
    }
}

// Each test case is on disk beside the report as soon as its script has ended (the report's
// memory does not grow with the scripts): standard input, the last script, looks when read.
TEST(Batch, ReportWrittenAsEachScriptEnds) {
    testing::TempDir t;
    const std::string dir = t.path().string();
    testing::WriteFile(dir + "/a.vbs", "step\n");
    struct Peek : std::streambuf {
        fs::path dir;
        std::string seen;
        int_type underflow() override {
            for (const auto& e : fs::directory_iterator(dir))
                if (e.path().filename().string().rfind("r.xml.", 0) == 0)
                    seen += testing::ReadFile(e.path());
            return traits_type::eof();
        }
    } peek;
    peek.dir = t.path();
    std::istream in(&peek);
    std::ostringstream out, err;
    EXPECT_EQ(BatchMain({"--junit", dir + "/r.xml", dir + "/a.vbs", "-"}, "", in, out, err), 0);
    EXPECT_NE(peek.seen.find("a.vbs"), std::string::npos) << peek.seen;
    EXPECT_NE(testing::ReadFile(dir + "/r.xml").find("tests=\"2\""), std::string::npos);
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
