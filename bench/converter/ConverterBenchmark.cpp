// Throughput of the converter on generated manuscripts of 1 MB and 10 MB, measured
// the way the editor uses it: the whole text in, the whole result collected in a string.
#include <benchmark/benchmark.h>

#include <string>

#include "ConvertManuscript.h"
#include "ManuscriptGenerator.h"

namespace {

using quirtle::OutputMode;

void Convert(benchmark::State& state, OutputMode mode) {
    const std::string manuscript =
        quirtle::GenerateManuscript(static_cast<std::size_t>(state.range(0)));
    std::size_t outputSize = 0;
    for (auto _ : state) {
        std::string result;
        const int32_t status = quirtle::ConvertManuscript(manuscript, mode, result);
        if (status < 0) {
            state.SkipWithError("conversion failed");
            break;
        }
        outputSize = result.size();
        benchmark::DoNotOptimize(result.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(manuscript.size()));
    state.counters["output_bytes"] = static_cast<double>(outputSize);
}

void ConvertToHtml(benchmark::State& state) {
    Convert(state, OutputMode::Html);
}
void ConvertToXml(benchmark::State& state) {
    Convert(state, OutputMode::Xml);
}

BENCHMARK(ConvertToHtml)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(ConvertToXml)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
