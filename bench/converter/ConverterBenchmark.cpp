// Throughput of the converter on generated manuscripts of 1 MB and 10 MB, measured
// the way the editor uses it: the whole text in, the whole result collected in a string;
// the same manuscripts recoded to UTF-8 and converted as UTF-8.
// Then manuscripts made to be hard (one very long line, deep nesting, long runs of
// backslashes, quotes and open brackets) at growing sizes: the time must grow linearly.
#include <benchmark/benchmark.h>

#include <string>

#include "ConvertManuscript.h"
#include "ManuscriptGenerator.h"

namespace {

using quirtle::OutputMode;
using quirtle::TextEncoding;

void Convert(benchmark::State& state, OutputMode mode, const std::string& manuscript,
             TextEncoding encoding = TextEncoding::ShiftJis) {
    std::size_t outputSize = 0;
    // The result string is kept between runs, as the editor's preview keeps its memory:
    // the figures are the converter's, not those of the system's page faults.
    std::string result;
    quirtle::ConvertManuscript(manuscript, mode, result, encoding);  // the memory, once
    for (auto _ : state) {
        const int32_t status = quirtle::ConvertManuscript(manuscript, mode, result, encoding);
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
    const std::string manuscript =
        quirtle::GenerateManuscript(static_cast<std::size_t>(state.range(0)));
    Convert(state, OutputMode::Html, manuscript);
    state.SetLabel("target >= 1 GB/s");
}
void ConvertToXml(benchmark::State& state) {
    const std::string manuscript =
        quirtle::GenerateManuscript(static_cast<std::size_t>(state.range(0)));
    Convert(state, OutputMode::Xml, manuscript);
    state.SetLabel("target >= 1 GB/s");
}

// 1 MB and 10 MB, five runs each, reported as mean, median and spread: a shared machine's
// speed drifts from second to second, and one run alone can be off by a tenth.
void ThroughputRuns(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(1 << 20)
        ->Arg(10 << 20)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
}

BENCHMARK(ConvertToHtml)->Apply(ThroughputRuns);
BENCHMARK(ConvertToXml)->Apply(ThroughputRuns);

// The same manuscripts in UTF-8. Bytes per second count the UTF-8 bytes; "per_shift_jis_byte"
// is the rate in bytes of the Shift_JIS manuscript, for comparing like with like.
void ConvertUtf8(benchmark::State& state, OutputMode mode) {
    const std::string shiftJis =
        quirtle::GenerateManuscript(static_cast<std::size_t>(state.range(0)));
    const std::string manuscript = quirtle::InUtf8(shiftJis);
    if (manuscript.empty()) {
        state.SkipWithError("the manuscript cannot be recoded to UTF-8");
        return;
    }
    Convert(state, mode, manuscript, TextEncoding::Utf8);
    state.counters["per_shift_jis_byte"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(shiftJis.size()),
        benchmark::Counter::kIsRate);
    state.SetLabel("target: within 10 % of Shift_JIS");
}
void ConvertToHtmlUtf8(benchmark::State& state) {
    ConvertUtf8(state, OutputMode::Html);
}
void ConvertToXmlUtf8(benchmark::State& state) {
    ConvertUtf8(state, OutputMode::Xml);
}

BENCHMARK(ConvertToHtmlUtf8)->Apply(ThroughputRuns);
BENCHMARK(ConvertToXmlUtf8)->Apply(ThroughputRuns);

// `piece` repeated to `size` bytes, each copy on a line of its own when `lines` is set.
std::string Repeat(std::string_view piece, std::size_t size, bool lines) {
    std::string text;
    text.reserve(size + piece.size() + 2);
    while (text.size() < size) {
        text.append(piece);
        if (lines) {
            text.append("\r\n");
        }
    }
    return text;
}

std::string Nested(std::size_t depth) {
    return std::string(depth, '_') + "\x8a\xbf" + std::string(depth, '*');
}

// Each hard manuscript, by name, at `size` bytes.
std::string Adversarial(int kind, std::size_t size) {
    switch (kind) {
        case 0:  // one line of text with markup, no line break at all
            return Repeat("\x96\x7b\x95\xb6_\x8a\xbf[\x82\xa9\x82\xf1] <&> \\_ _\x8b\xad*", size,
                          false);
        case 1:  // lines nested 1000 deep, the most accepted
            return Repeat(Nested(1000), size, true);
        case 2:  // lines nested 1001 deep, rejected
            return Repeat(Nested(1001), size, true);
        case 3:  // one long run of backslashes
            return std::string(size, '\\');
        case 4:  // a one-line command with a long run of quotes
            return ":cmd " + std::string(size, '"');
        case 5:  // open brackets and braces that never close
            return Repeat("_[_{", size, false);
        default:  // a long run of "_" opening elements that never close
            return std::string(size, '_');
    }
}

const char* const adversarialNames[] = {"long line",       "nesting 1000", "nesting 1001",
                                        "backslashes",     "quotes",       "open brackets",
                                        "open underscores"};

void ConvertAdversarial(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const std::string manuscript = Adversarial(kind, static_cast<std::size_t>(state.range(1)));
    Convert(state, OutputMode::Html, manuscript);
    state.SetComplexityN(state.range(1));
    state.SetLabel(std::string(adversarialNames[kind]) + ", target: time linear in size");
}

void AdversarialSizes(benchmark::internal::Benchmark* benchmark) {
    for (int kind = 0; kind < 7; ++kind) {
        for (int64_t size : {256 << 10, 1 << 20, 4 << 20}) {
            benchmark->Args({kind, size});
        }
    }
}

BENCHMARK(ConvertAdversarial)->Apply(AdversarialSizes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
