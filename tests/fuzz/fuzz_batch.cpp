// vintrel-batch scripts from random lines: a load of a small generated program, steps, bounded
// runs with commands queued into their yields (nested runs among them), edits, resets, expects
// whose truth is known, and now and then a line that cannot be understood. The status must be the
// first failure in script order (a failed expect 1, a bad line 2, none 0), reported on the right
// stream with its line, and the panel must show PCL and STATUS as it holds them.
#include <sstream>
#include <string>
#include <vector>

#include "batch/script.h"
#include "fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vintrel::fuzz::ScratchFile program("batch");
    // One runner for all inputs: each script starts with a load and a power-on reset.
    static std::ostringstream out, err;
    static vintrel::BatchRunner runner(out, err);
    vintrel::fuzz::Source in(data, size);

    // Up to 12 words at address 0 (jumps, calls, sleeps too), with or without the end record.
    std::string words;
    const int count = in.range(1, 12);
    int sum = 2 * count;
    for (int k = 0; k < count; ++k) {
        const int w = in.u16() & 0x3FFF;
        words += vintrel::HexPad(w & 0xFF, 2) + vintrel::HexPad(w >> 8, 2);
        sum += w + (w >> 8);
    }
    program.write(":" + vintrel::HexPad(2 * count, 2) + "000000" + words +
                  vintrel::HexPad(-sum, 2) + (in.chance(32) ? "\n" : "\n:00000001FF\n"));

    // clang-format off
    static const char* kLines[] = {
        "click eje1", "click por", "click MCLR", "show RegPC", "show run", "click break",
        "click TOCKI", "state", "step 3", "run 7", "click PB 1", "select prg 2", "click REGW",
        "type dato 5A", "click aceptar", "click RegPC"};
    // A line, and its status when it fails (expects whose truth holds whatever the program does).
    static const std::pair<const char*, int> kChecks[] = {
        {"expect REG 7 --", 0}, {"expect REG 0 **", 0}, {"expect RP 1 RP=01", 0},
        {"expect REG 7 00", 1}, {"expect RP 1 RP=10", 1}, {"frobnicate", 2}, {"step -1", 2},
        {"run 0", 2}, {"at 0 step", 2}, {"at 1 at 1 step", 2}, {"click nothing", 2},
        {"select eje1", 2}};
    // clang-format on
    std::vector<std::string> lines = {"load " + program.path(), "click por", "expect RegPC 000"};
    int status = 0;
    std::size_t failing = 0;  // the 1-based line of the first failure
    for (int n = in.range(1, 20); n > 0; --n) {
        const int kind = in.byte() % 8;
        if (kind < 4) {
            lines.push_back(kLines[in.byte() % 16]);
        } else if (kind < 6) {  // queued into the next run's yields; there a click stops or nests
            const std::string yield = std::to_string(in.range(1, 6));
            lines.push_back("at " + yield + " " +
                            (in.coin() ? "click ejecutar" : kLines[in.byte() % 12]));
        } else if (kind == 6) {
            lines.push_back("run " + std::to_string(in.range(1, 12)));
        } else {
            const auto& [line, fails] = kChecks[in.byte() % 12];
            lines.push_back(line);
            if (fails && !status) status = fails, failing = lines.size();
        }
    }
    std::string text;
    for (const auto& l : lines)
        text += l + "\n";

    out.str({});
    err.str({});
    std::istringstream script(text);
    const int got = runner.run(script);
    const std::string o = out.str(), e = err.str(), failure = runner.failure();
    const std::string at =
        (status == 1 ? "expect failed at line " : "error at line ") + std::to_string(failing) + ":";
    const auto& chip = runner.form().chip;
    std::string fault;
    if (got != status)
        fault = "status " + std::to_string(got) + ", not " + std::to_string(status);
    else if (status ? failure.rfind(at, 0) != 0 || (o + e).find(failure) == o.npos
                    : !failure.empty())
        fault = "the failure is " + failure;
    else if (status == 2 ? e.rfind(at, 0) != 0 : !e.empty())
        fault = "the error output";
    else if (runner.form().running())
        fault = "a run outlived the script";
    else if (!chip.RegPC.isHex(3) ||
             chip.REG(vintrel::pic::PCL).hexValue() != (chip.RegPC.hexValue() & 0xFF) ||
             chip.StatusReg != chip.REG(vintrel::pic::STATUS).hexValue())
        fault = "the panel does not show PCL or STATUS as it holds them";
    if (!fault.empty()) vintrel::fuzz::Fail(fault, text + "out:\n" + o + "err:\n" + e);
    return 0;
}
