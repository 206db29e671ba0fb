// Time of the status-bar counts for a generated manuscript of 1 MB, the whole step the
// window runs at a preview tick: convert to the export document, then count it; and the
// counting alone.
#include <benchmark/benchmark.h>

#include <string>

#include "ConvertManuscript.h"
#include "ManuscriptGenerator.h"
#include "counts/TextCounts.h"

namespace {

// Counts `manuscript` in `encoding` again and again.
void MeasureCounting(benchmark::State& state, const std::string& manuscript,
                     quirtle::TextEncoding encoding) {
    quirtle::counts::TextCounts counts;
    for (auto _ : state) {
        const auto result = quirtle::counts::CountManuscript(manuscript, encoding);
        if (!result) {
            state.SkipWithError("conversion failed");
            break;
        }
        counts = *result;
        benchmark::DoNotOptimize(counts);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(manuscript.size()));
    state.counters["characters"] = static_cast<double>(counts.characters);
    state.counters["pages"] = static_cast<double>(counts.pages);
}

void CountManuscript(benchmark::State& state) {
    MeasureCounting(state, quirtle::GenerateManuscript(static_cast<std::size_t>(state.range(0))),
                    quirtle::TextEncoding::ShiftJis);
}

// The same manuscript in UTF-8, as the editor hands its text over.
void CountManuscriptUtf8(benchmark::State& state) {
    const std::string manuscript =
        quirtle::InUtf8(quirtle::GenerateManuscript(static_cast<std::size_t>(state.range(0))));
    MeasureCounting(state, manuscript, quirtle::TextEncoding::Utf8);
}

// The counting step alone, on the export document of the same manuscript.
void CountExportDocument(benchmark::State& state) {
    const std::string manuscript =
        quirtle::GenerateManuscript(static_cast<std::size_t>(state.range(0)));
    std::string xml;
    if (quirtle::ConvertManuscript(manuscript, quirtle::OutputMode::Xml, xml) < 0) {
        state.SkipWithError("conversion failed");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(quirtle::counts::CountExportDocument(xml));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(xml.size()));
}

BENCHMARK(CountManuscript)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(CountManuscriptUtf8)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(CountExportDocument)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
