// vintrel-batch for firmware tests, through its command line in-process: `call` with its cycle
// limit, pins by name and the --vcd waveform, each a row of a table run in a scratch folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "batch/suite.h"
#include "temp_files.h"

namespace vintrel {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// start: goto start | setb: bsf STATUS,RP0; clrf TRISB; bcf STATUS,RP0; movwf PORTB; return |
// double: movwf count; addwf count,W; return | deep: call double; return | spin: goto spin
constexpr int kProgram[] = {0x2800, 0x1683, 0x0186, 0x1283, 0x0086, 0x0008,
                            0x008C, 0x070C, 0x0008, 0x2006, 0x0008, 0x280B};
constexpr const char* kListing =
    "SYMBOL TABLE\n  LABEL                             VALUE\n\n"
    "count                             0000000C\ndeep                              00000009\n"
    "double                            00000006\nsetb                              00000001\n"
    "spin                              0000000B\n";

// One INHX8M data record for the whole program, then the end record.
std::string HexFile() {
    std::string line = ":";
    int sum = 0;
    auto put = [&](int b) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", b & 0xFF);
        line += digits;
        sum += b & 0xFF;
    };
    put(static_cast<int>(std::size(kProgram) * 2));
    put(0), put(0), put(0);
    for (const int w : kProgram)
        put(w), put(w >> 8);
    put(-sum);
    return line + "\n:00000001FF\n";
}

constexpr const char* kSetW = "click REGW\ntype dato 81\nclick aceptar\n";

struct Row {
    const char* name;
    std::string script;  // after `load prog.hex`
    int status;
    std::string out, err;
};

class BatchFirmware : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(dir.path() / "prog.hex", HexFile());
        WriteFile(dir.path() / "prog.lst", kListing);
    }
    // Runs `load prog.hex` and the script with the options; the exit status.
    int Run(const std::string& script, std::vector<std::string> args = {}) {
        WriteFile(dir.path() / "t.vbs", "load prog.hex\n" + script);
        args.push_back((dir.path() / "t.vbs").string());
        std::istringstream in;
        out.str(""), err.str("");
        return BatchMain(args, "/opt", in, out, err);
    }
    std::string Vcd() const { return ReadFile(dir.path() / "w.vcd"); }
    bool HasVcd() const { return std::filesystem::exists(dir.path() / "w.vcd"); }

    TempDir dir;
    std::ostringstream out, err;
};

TEST_F(BatchFirmware, CallsPinsAndTheirErrors) {
    const std::string full =
        "call spin 1\ncall spin 1\ncall spin 1\ncall spin 1\n"
        "call spin 1\ncall spin 1\ncall spin 1\ncall spin 1\n";
    const Row rows[] = {
        // W and a register in and out; the return leaves the PC and the stack as they were.
        {"return",
         "click REGW\ntype dato 05\nclick aceptar\ncall double\nexpect run return\n"
         "expect REGW 0A\nexpect REG count 05\nexpect RegPC 000\nexpect pila 0 ---\n"
         "show run\n",
         0, "{\"name\":\"call\",\"ended\":\"return\",\"cycles\":4}\n", ""},
        // deep takes 8 cycles with its nested call: a limit of 7 is passed by the last return.
        {"limit", "call deep 7\nexpect run limit\ncall deep 8\nexpect run return\nshow run\n", 0,
         "{\"name\":\"call\",\"ended\":\"return\",\"cycles\":8}\n", ""},
        // A routine that never returns stops at the first instruction from the limit on, its
        // frame still on the stack.
        {"endless", "call spin 9\nshow run\nexpect RegPC 00B\nexpect pila 0 000\n", 0,
         "{\"name\":\"call\",\"ended\":\"limit\",\"cycles\":10}\n", ""},
        // A breakpoint inside stops it; one on the routine's first word does not.
        {"breakpoint",
         "select prg double\nclick break\ncall deep\nexpect run breakpoint\nexpect RegPC 006\n"
         "show run\ncall double\nexpect run return\n",
         0, "{\"name\":\"call\",\"ended\":\"breakpoint\",\"cycles\":2}\n", ""},
        {"pins", "click PB RB7\nexpect PB RB7 1\nexpect PB 7 1\nexpect PA RA2 0\nshow PA RA4\n", 0,
         "{\"name\":\"PA\",\"index\":4,\"text\":\"\",\"enabled\":true,\"visible\":false,\"hint\":"
         "\"Activar/desactivar bit\",\"value\":0}\n",
         ""},
        {"unknown label", "call nowhere\n", 2, "", "error at line 2: unknown name \"nowhere\"\n"},
        {"inside a run", "at 1 call double\n", 2, "",
         "error at line 2: call cannot start inside a run\n"},
        {"no limit", "call double 0\n", 2, "",
         "error at line 2: the cycle limit must be at least 1\n"},
        {"full stack", full + "call double\n", 2, "",
         "error at line 10: call needs a free stack level, and all 8 are in use\n"},
        {"other port", "click PB RA0\n", 2, "", "error at line 2: index \"RA0\" is outside PB\n"},
        {"no such pin", "expect PA RA5 0\n", 2, "",
         "error at line 2: index \"RA5\" is outside PA\n"},
        {"trace late", "step\ntrace W\n", 2, "",
         "error at line 3: trace must come before the first step, run or call\n"},
        {"trace INDF", "trace INDF\n", 2, "", "error at line 2: \"INDF\" has no value to trace\n"},
        {"run end", "expect run returned\n", 2, "",
         "error at line 2: expect run takes breakpoint, limit, stop, end or return, not "
         "\"returned\"\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(Run(r.script), r.status);
        EXPECT_EQ(out.str(), r.out);
        EXPECT_EQ(err.str(), r.err);
    }
}

// The header, the values at time 0, and changes at 1 µs a cycle: setb's port write drives RB0
// and RB7 at cycle 5; the reset restarts the chip's count, not the waveform's time.
TEST_F(BatchFirmware, WaveformOfPinsWAndARegister) {
    const std::string vcd = (dir.path() / "w.vcd").string();
    ASSERT_EQ(Run(std::string("trace W count W\n") + kSetW + "call setb\nclick MCLR\ncall double\n",
                  {"--vcd", vcd}),
              0)
        << err.str();
    const std::string w = Vcd();
    EXPECT_EQ(w.rfind("$version vintrel-batch $end\n$timescale 1ns $end\n"
                      "$scope module PIC16F84 $end\n$var wire 1 ! RA0 $end\n",
                      0),
              0u)
        << w;
    for (const char* part : {"$var wire 1 & RB0 $end\n$var wire 1 ' RB1 $end\n",
                             "$var wire 1 - RB7 $end\n$var reg 8 . W $end\n"
                             "$var reg 8 / count $end\n$upscope $end\n$enddefinitions $end\n"
                             "#0\n$dumpvars\n0!\n",
                             "0-\nb10000001 .\nb00000000 /\n$end\n"})
        EXPECT_NE(w.find(part), std::string::npos) << part << "\nin\n" << w;
    EXPECT_EQ(w.substr(w.rfind("$end\n") + 5),
              "#5000\n1&\n1-\n#8000\nb10000001 /\n#9000\nb00000010 .\n");

    // Twice the frequency, half the time.
    ASSERT_EQ(Run(std::string("type FREC 8000\n") + kSetW + "call setb\n", {"--vcd=" + vcd}), 0);
    EXPECT_EQ(Vcd().substr(Vcd().rfind("$end\n") + 5), "#2500\n1&\n1-\n");

    // A run's bursts record what single steps record, PCL included (a burst shows it late).
    const std::string start = std::string("trace PCL count\n") + kSetW + "call deep 2\n";
    ASSERT_EQ(Run(start + "step 6\n", {"--vcd", vcd}), 0);
    const std::string stepped = Vcd();
    EXPECT_NE(stepped.find("#6000\nb00001010 .\n#8000\nb00000000 .\n"), std::string::npos);
    ASSERT_EQ(Run(start + "run 6\n", {"--vcd", vcd}), 0);
    EXPECT_EQ(Vcd(), stepped);
}

TEST_F(BatchFirmware, AWaveformIsWholeOrNone) {
    const std::string vcd = (dir.path() / "w.vcd").string();
    // A failed expect keeps what ran; an error leaves no file, not even an older one.
    EXPECT_EQ(Run("step\nexpect REGW 01\n", {"--vcd", vcd}), 1);
    EXPECT_NE(Vcd().find("$enddefinitions"), std::string::npos);
    EXPECT_EQ(Run("step\nbogus\n", {"--vcd", vcd}), 2);
    EXPECT_FALSE(HasVcd());
    EXPECT_EQ(Run("type FREC 0\nstep\n", {"--vcd", vcd}), 2);
    EXPECT_EQ(err.str(),
              "error at line 3: a waveform needs FREC from 1 to 4000000 kHz, not \"0\"\n");
    EXPECT_FALSE(HasVcd());
    // Paths that cannot be written: nothing runs.
    const std::string folder = dir.path().string();
    const std::string missing = folder + "/no/w.vcd";
    for (const auto& [path, why] : {std::pair{folder, folder + ": it is a folder"},
                                    std::pair{missing, missing + ": No such file or directory"}}) {
        EXPECT_EQ(Run("state\n", {"--vcd", path}), 2);
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(err.str(), "vintrel-batch: cannot write " + why + "\n");
    }
    // Only the same file once, for one script.
    EXPECT_EQ(Run("state\n", {"--vcd", vcd, "--vcd", vcd}), 2);
    EXPECT_EQ(err.str(), "vintrel-batch: --vcd given twice\n");
    EXPECT_EQ(Run("state\n", {"--vcd", vcd, "-"}), 2);
    EXPECT_EQ(err.str(), "vintrel-batch: --vcd takes one script\n");
    EXPECT_FALSE(HasVcd());
}

}  // namespace
}  // namespace vintrel
