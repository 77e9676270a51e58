// vintrel-batch scripts built from random lines: loads of small generated HEX files, steps,
// bounded runs, commands queued into a run's yields (nested runs among them), edits, resets,
// shows, expects whose truth is known, and now and then a line that cannot be understood. The
// exit status must be the first failure in script order (an expect that fails: 1, a bad line:
// 2, none: 0), reported on the right stream with its line, and the panel keeps its invariants.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "batch/script.h"
#include "fuzz/invariants.h"
#include "fuzz/source.h"

namespace {

using vintrel::fuzz::Source;

// A short program at address 0 (any words: jumps, calls, sleeps), with or without its end.
void WriteProgram(Source& in, vintrel::fuzz::ScratchFile& file) {
    std::string text;
    const int words = in.range(1, 12);
    int sum = 2 * words;
    std::string data;
    for (int k = 0; k < words; ++k) {
        const int w = in.u16() & 0x3FFF;
        data += vintrel::HexPad(w & 0xFF, 2) + vintrel::HexPad(w >> 8, 2);
        sum += (w & 0xFF) + (w >> 8);
    }
    text = ":" + vintrel::HexPad(2 * words, 2) + "000000" + data + vintrel::HexPad(-sum & 0xFF, 2) +
           "\n";
    if (!in.chance(32)) text += ":00000001FF\n";
    file.write(text);
}

// A command that may also stand inside `at`; only there is a click on the run button bounded
// (it stops the run, or nests one counted on the same yields).
std::string Action(Source& in, bool queued) {
    switch (in.byte() % 12) {
        case 0:
            return "step " + std::to_string(in.range(0, 8));
        case 1:
            return "run " + std::to_string(in.range(1, 24));
        case 2:
            return "click eje1";
        case 3:
            return queued ? "click ejecutar" : "click eje1";
        case 4:
            return in.coin() ? "click por" : "click MCLR";
        case 5:
            return "show RegPC";
        case 6:
            return "show run";
        case 7:
            return "click PB " + std::to_string(in.range(0, 7));
        case 8:
            return "select prg " + std::to_string(in.range(0, 15));
        case 9:
            return "click break";
        case 10:
            return "click TOCKI";
        default:
            return "show REG " + std::to_string(in.range(0, 11));
    }
}

struct Script {
    std::vector<std::string> lines;
    int status = 0;
    std::size_t failing = 0;  // 1-based line of the first failure

    void Add(std::string line, int fails) {
        lines.push_back(std::move(line));
        if (fails && status == 0) {
            status = fails;
            failing = lines.size();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vintrel::fuzz::ScratchFile scratch("batch");
    const std::string& program = scratch.path();
    // One runner for all inputs (a fresh panel costs more than the script): each script starts
    // with a load and a power-on reset, which set everything it relies on.
    static std::ostringstream out, err;
    static vintrel::BatchRunner runner(out, err);
    Source in(data, size);
    WriteProgram(in, scratch);

    Script s;
    s.Add("load " + program, 0);
    s.Add("click por", 0);
    s.Add("expect RegPC 000", 0);
    for (int n = in.range(1, 14); n > 0; --n) {
        switch (in.byte() % 10) {
            case 0:
            case 1:
            case 2:
                s.Add(Action(in, false), 0);
                break;
            case 3:
            case 4: {  // commands queued into the next run's yields, then the run
                for (int q = in.range(1, 3); q > 0; --q)
                    s.Add("at " + std::to_string(in.range(1, 6)) + " " + Action(in, true), 0);
                s.Add("run " + std::to_string(in.range(1, 12)), 0);
                break;
            }
            case 5: {  // an edit of W through the Modificar panel, and its result
                const int v = in.byte();
                s.Add("click REGW", 0);
                s.Add("type dato " + vintrel::HexPad(v, 2), 0);
                s.Add("click aceptar", 0);
                s.Add("expect REGW " + vintrel::HexPad(v, 2), 0);
                break;
            }
            case 6: {  // expects whose truth does not depend on the program (a listing row
                       // does: "break" marks the row the program reached)
                const bool holds = !in.chance(24);
                static const char* kTrue[] = {"expect REG 7 --", "expect REG 0 **",
                                              "expect RP 1 RP=01"};
                static const char* kFalse[] = {"expect REG 7 00", "expect REG 0 00",
                                               "expect RP 1 RP=10"};
                const int which = in.byte() % 3;
                s.Add(holds ? kTrue[which] : kFalse[which], holds ? 0 : 1);
                break;
            }
            case 7: {
                if (!in.chance(24)) {
                    s.Add("# a comment", 0);
                    break;
                }
                static const char* kBad[] = {"frobnicate",     "step -1",
                                             "run 0",          "at 0 step",
                                             "at 1 at 1 step", "expect run sometimes",
                                             "click nothing",  "select eje1"};
                s.Add(kBad[in.byte() % 8], 2);
                break;
            }
            case 8:
                s.Add("click por", 0);
                s.Add("expect RegPC 000", 0);
                break;
            default:
                s.Add(in.coin() ? "state" : "listing 0 3", 0);
                break;
        }
    }
    std::string text;
    for (const auto& l : s.lines)
        text += l + "\n";

    out.str({});
    err.str({});
    std::istringstream script(text);
    const int status = runner.run(script);
    const std::string o = out.str(), e = err.str();
    std::string fault;
    const std::string at = " at line " + std::to_string(s.failing);
    if (status != s.status) {
        fault = "status " + std::to_string(status) + ", expected " + std::to_string(s.status);
    } else if (status == 2 && e.rfind("error" + at + ":", 0) != 0) {
        fault = "error output does not name the line";
    } else if (status == 1 && (o + e).find("expect failed" + at + ":") == std::string::npos) {
        fault = "the failed expect is not reported";
    } else if (status != 2 && !e.empty()) {
        fault = "error output without an error";
    } else if (status != 0 &&
               (runner.failure().rfind(status == 1 ? "expect failed" + at : "error" + at, 0) != 0 ||
                (o + e).find(runner.failure()) == std::string::npos)) {
        fault = "failure() is " + runner.failure();
    } else if (status == 0 && !runner.failure().empty()) {
        fault = "failure() after success";
    } else if (runner.form().running()) {
        fault = "a run outlived the script";
    } else if (auto c = vintrel::fuzz::CheckCells(runner.form()); !c.empty()) {
        fault = c;
    } else if (auto r = vintrel::fuzz::CheckRegisters(runner.form(), true); !r.empty()) {
        fault = r;
    }
    if (fault.empty()) return 0;
    std::fprintf(stderr, "%s\nscript:\n%s\nout:\n%s\nerr:\n%s\n", fault.c_str(), text.c_str(),
                 o.c_str(), e.c_str());
    std::abort();
}
