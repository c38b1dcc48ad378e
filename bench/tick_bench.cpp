// The cost of one second: oneSecondTick on a started program (the event check, the countdown,
// the caption of 标签7) against the baseline of the one thing every tick must do, writing the
// countdown caption into the label, here with a caption made beforehand.
#include "engine/state.h"
#include "engine/tick.h"
#include "tests/support/program_fixture.h"

#include <benchmark/benchmark.h>

namespace rudi::testing {
namespace {

// A tick far from the next rest and from the event time: the path taken 2,699 times out of
// 2,700 with the supplied 45 minutes.
constexpr std::int32_t secondsLeft = 1000;

void oneTick(benchmark::State& bench) {
    ProgramHarness program;
    program.startWith({Settings{}});
    for (auto _ : bench) {
        state().secondsToRest = secondsLeft; // one store: the rest window never comes
        oneSecondTick(program.rt);
    }
    const Text caption = program.rt.control(WindowName::main, "标签7").text;
    if (caption != Text("到下次提醒还有") + std::to_string(secondsLeft - 1) + "秒。") {
        bench.SkipWithError("the tick did not write the countdown");
    }
}

void setCountdownText(benchmark::State& bench) {
    ProgramHarness program;
    program.startWith({Settings{}});
    const Text caption = Text("到下次提醒还有") + std::to_string(secondsLeft - 1) + "秒。";
    for (auto _ : bench) {
        program.rt.setText(WindowName::main, "标签7", caption);
        benchmark::ClobberMemory();
    }
    if (program.rt.control(WindowName::main, "标签7").text != caption) {
        bench.SkipWithError("the caption did not arrive");
    }
}

BENCHMARK(setCountdownText)->Unit(benchmark::kNanosecond);
BENCHMARK(oneTick)->Unit(benchmark::kNanosecond);

} // namespace
} // namespace rudi::testing

BENCHMARK_MAIN();
