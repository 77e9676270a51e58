// Continuous run of a tight loop through the script interpreter, as `vintrel-batch` does it:
// `load` of a generated HEX file, then `run N` with a yield after every step. Reports
// instructions per second and how much the resident set grew during the run.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "batch/script.h"

namespace {

// start: movlw 10h; movwf 0Ch; loop: incf 0Dh,f; addwf 0Eh,f; rlf 0Fh,f; decfsz 0Ch,f;
// goto loop; goto start
constexpr int kLoop[] = {0x3010, 0x008C, 0x0A8D, 0x078E, 0x0D8F, 0x0B8C, 0x2802, 0x2800};

std::string HexByte(int b) {
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", b & 0xFF);
    return buf;
}

// One INHX8M data record with the words low byte first, and the end record.
std::string LoopHex() {
    const int count = 2 * static_cast<int>(std::size(kLoop));
    int sum = count;
    std::string rec(1, ':');
    rec += HexByte(count);
    rec += "000000";
    for (int w : kLoop) {
        rec += HexByte(w) + HexByte(w >> 8);
        sum += (w & 0xFF) + (w >> 8);
    }
    rec += HexByte(-sum);
    return rec + "\n:00000001FF\n";
}

// The loader opens the lower-cased path, so the file must live under a lower-case one.
const std::string& LoopHexPath() {
    static const std::string path = [] {
        std::string dir = std::filesystem::temp_directory_path().string();
        if (std::any_of(dir.begin(), dir.end(), [](unsigned char c) { return std::isupper(c); }))
            dir = "/tmp";
        const std::string p = dir.append("/vintrel_bench_loop.hex");
        std::ofstream(p, std::ios::binary) << LoopHex();
        return p;
    }();
    return path;
}

long ResidentKiB() {
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int RunScript(vintrel::BatchRunner& runner, const std::string& script) {
    std::istringstream in(script);
    return runner.run(in);
}

void BM_BatchRun(benchmark::State& state) {
    const std::int64_t n = state.range(0);
    std::int64_t steps = 0;
    long growth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::ostringstream out, err;
        vintrel::BatchRunner runner(out, err);
        // Warm up the panel so the measurement sees only what the long run itself adds.
        for (int i = 0; i < 2; ++i)
            RunScript(runner, "load " + LoopHexPath() + "\nrun 1000\n");
        const long before = ResidentKiB();
        const long yieldsBefore = runner.platform().yields;
        state.ResumeTiming();

        const int status =
            RunScript(runner, "load " + LoopHexPath() + "\nrun " + std::to_string(n) + "\n");

        state.PauseTiming();
        growth = std::max(growth, ResidentKiB() - before);
        steps += runner.platform().yields - yieldsBefore;
        if (status != 0 || !out.str().empty() || !err.str().empty())
            state.SkipWithError(("the script failed: " + out.str() + err.str()).c_str());
        state.ResumeTiming();
    }
    state.counters["instructions_per_second"] =
        benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
    state.counters["rss_growth_KiB"] = static_cast<double>(growth);
}

BENCHMARK(BM_BatchRun)
    ->Arg(2'000'000)
    ->Arg(20'000'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
