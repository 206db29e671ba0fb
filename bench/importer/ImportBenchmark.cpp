// Time of importing a 青空文庫 novel of 750 KB (Shift_JIS): decoding and the import with a
// UTF-8 manuscript (quirtle-import --utf-8); the same with the Shift_JIS manuscript (which
// for the real novel ends at its first character beyond Shift_JIS, as the command does);
// and the import alone. The real 吾輩は猫である is used when it lies
// beside the project, else a generated text of the same size and kinds of notation.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "Iconv.h"
#include "Import.h"
#include "ShiftJisOutput.h"
#include "SourceText.h"

namespace {

using namespace quirtle::importer;

std::string Novel() {
    const std::filesystem::path real = std::filesystem::path(QUIRTLE_SOURCE_DIR) / ".." / "shared" /
                                       "realtext" / "aozora" / "wagahaiwa_nekodearu.txt";
    std::ifstream file(real, std::ios::binary);
    if (file) {
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    std::string text = "題名\r\n著者\r\n\r\n";
    const std::string chapter =
        "［＃８字下げ］一［＃「一」は中見出し］\r\n\r\n"
        "　吾輩《わがはい》は猫である。名前はまだ無い。一番｜獰悪《どうあく》な種族であった"
        "そうだ。どこで生れたかとんと見当《けんとう》がつかぬ。へっつい［＃「へっつい」に傍点］の"
        "中へ押し込んだりする。※［＃「言＋墟のつくり」、第4水準2-88-74］\r\n"
        "［＃ここから２字下げ］\r\n　日記の一行。\r\n［＃ここで字下げ終わり］\r\n";
    while (text.size() < 750000) text += chapter;
    std::string sjis;
    std::size_t failedAt = 0;
    Iconv("CP932//TRANSLIT", "UTF-8").Convert(text, sjis, failedAt);
    return sjis;
}

void ImportNovelToUtf8(benchmark::State& state) {
    const std::string bytes = Novel();
    std::size_t size = 0;
    for (auto _ : state) {
        const auto source = DecodeSource(bytes);
        size = ImportText(source->text, Notation::Aozora).size();
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(bytes.size()));
    state.counters["input_bytes"] = static_cast<double>(bytes.size());
    state.counters["output_bytes"] = static_cast<double>(size);
}

void ImportNovelToShiftJis(benchmark::State& state) {
    const std::string bytes = Novel();
    std::size_t size = 0;
    for (auto _ : state) {
        const auto source = DecodeSource(bytes);
        const ShiftJisResult result = EncodeShiftJis(ImportText(source->text, Notation::Aozora));
        size = result.ok ? result.bytes.size() : 0;
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(bytes.size()));
    state.counters["input_bytes"] = static_cast<double>(bytes.size());
    state.counters["output_bytes"] = static_cast<double>(size);
}

void ImportNovelOnly(benchmark::State& state) {
    const auto source = DecodeSource(Novel());
    for (auto _ : state) {
        benchmark::DoNotOptimize(ImportText(source->text, Notation::Aozora));
    }
}

BENCHMARK(ImportNovelToUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(ImportNovelToShiftJis)->Unit(benchmark::kMillisecond);
BENCHMARK(ImportNovelOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
