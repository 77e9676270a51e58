// Single-step throughput: the tight loop program through eje1_Click, with every cell text,
// change effect, listing selection, cycle display and Timer0 update live.
#include <benchmark/benchmark.h>

#include "form1/form1.h"
#include "host/scripted_platform.h"

namespace {

// start: movlw 10h; movwf 0Ch; loop: incf 0Dh,f; addwf 0Eh,f; rlf 0Fh,f; decfsz 0Ch,f;
//        goto loop; goto start
constexpr int kLoop[] = {0x3010, 0x008C, 0x0A8D, 0x078E, 0x0D8F, 0x0B8C, 0x2802, 0x2800};

void LoadLoop(vintrel::Form1& f) {
    for (std::size_t i = 0; i < std::size(kLoop); ++i)
        f.chip.ProgramMemory[i] = kLoop[i];
    f.listaprog();
}

void BM_SingleStep(benchmark::State& state) {
    vintrel::ScriptedPlatform platform;
    vintrel::Form1 f(platform);
    LoadLoop(f);
    // Internal clock, prescaler 1:2, so Timer0 moves too.
    f.chip.REG(129).setHex(0x00, 2);
    for (auto _ : state)
        f.eje1_Click();
    state.counters["instr/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SingleStep)->MinTime(2.0);

void BM_ContinuousRun(benchmark::State& state) {
    vintrel::ScriptedPlatform platform;
    vintrel::Form1 f(platform);
    LoadLoop(f);
    f.chip.REG(129).setHex(0x00, 2);
    constexpr long kSteps = 1'000'000;
    long target = 0;
    platform.onYield = [&] {
        if (platform.yields >= target) f.ejecutar_Click();
    };
    for (auto _ : state) {
        target = platform.yields + kSteps;
        f.ejecutar_Click();
    }
    state.counters["instr/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kSteps,
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ContinuousRun)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ListingRebuild(benchmark::State& state) {
    vintrel::ScriptedPlatform platform;
    vintrel::Form1 f(platform);
    LoadLoop(f);
    for (auto _ : state)
        f.listaprog();
}
BENCHMARK(BM_ListingRebuild)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
