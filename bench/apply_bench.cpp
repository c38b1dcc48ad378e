// The cost of 确定: the settings stored with the durable replacement (temporary file, flush,
// rename) against the baseline of writing the same bytes plainly, without a flush.
#include "settings/edb_configuration.h"
#include "settings/record_database.h"
#include "settings/settings_store.h"
#include "tests/support/program_fixture.h"

#include <benchmark/benchmark.h>

#include <fstream>

namespace rudi::testing {
namespace {

namespace fs = std::filesystem;

void durableApply(benchmark::State& bench) {
    ProgramHarness program;
    program.startWith({Settings{}});
    for (auto _ : bench) {
        program.rt.click(WindowName::main, "按钮1");
    }
    bench.SetLabel(std::to_string(fs::file_size(program.configurationPath())) + " bytes");
}

void plainWrite(benchmark::State& bench) {
    TempFolder folder;
    const std::string bytes = configurationFile({Settings{}});
    const fs::path path = folder.path() / "plain.edb";
    for (auto _ : bench) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    bench.SetLabel(std::to_string(bytes.size()) + " bytes");
}

// Repetitions come from the command line (bench/run.sh asks for 15).
BENCHMARK(plainWrite)->Unit(benchmark::kMicrosecond);
BENCHMARK(durableApply)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace rudi::testing

BENCHMARK_MAIN();
