// The output handed to a sink in pieces, and input given in pieces, equal the whole
// output collected in a string, byte for byte.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ConverterTestSupport.h"

namespace quirtle {
namespace {

struct PieceSink : OutputSink {
    std::string collected;
    std::size_t pieces = 0;
    std::size_t largestPiece = 0;
    void Write(std::string_view bytes) override {
        EXPECT_FALSE(bytes.empty());
        collected.append(bytes);
        ++pieces;
        largestPiece = std::max(largestPiece, bytes.size());
    }
};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Every manuscript the tests and the fuzz seeds hold, and the sample.
std::vector<std::filesystem::path> TestManuscripts() {
    std::vector<std::filesystem::path> paths;
    for (const char* folder : {QUIRTLE_TESTDATA_DIR, QUIRTLE_FUZZ_SEEDS_DIR}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() == ".txt") {
                paths.push_back(entry.path());
            }
        }
    }
    paths.emplace_back(QUIRTLE_SAMPLE_MANUSCRIPT);
    return paths;
}

// The conversion fed in pieces of `pieceSize` bytes, keeping the unconverted rest the
// way quirtle-convert does.
std::string ConvertInPieces(std::string_view text, OutputMode mode, std::size_t pieceSize) {
    PieceSink sink;
    DocumentConverter converter(mode, sink);
    std::string pending;
    for (std::size_t offset = 0; offset < text.size(); offset += pieceSize) {
        pending.append(text.substr(offset, pieceSize));
        pending.erase(0, converter.ConvertLines(pending, false));
    }
    EXPECT_EQ(converter.ConvertLines(pending, true), pending.size());
    EXPECT_EQ(converter.Finish(), 0);
    return sink.collected;
}

TEST(Streaming, StreamedOutputEqualsCollectedOutputForEveryTestManuscript) {
    const auto paths = TestManuscripts();
    ASSERT_GE(paths.size(), 5u);
    for (const auto& path : paths) {
        const std::string text = ReadFile(path);
        ASSERT_FALSE(text.empty()) << path;
        for (OutputMode mode : {OutputMode::Html, OutputMode::Xml}) {
            std::string collected;
            ASSERT_EQ(ConvertManuscript(text, mode, collected), 0);
            PieceSink sink;
            ASSERT_EQ(ConvertManuscript(text, mode, sink), 0);
            EXPECT_EQ(sink.collected, collected) << path;
            for (std::size_t pieceSize : {1u, 2u, 7u, 4096u}) {
                EXPECT_EQ(ConvertInPieces(text, mode, pieceSize), collected)
                    << path << " in pieces of " << pieceSize;
            }
        }
    }
}

TEST(Streaming, ACrLfSplitBetweenPiecesIsOneLineBreak) {
    PieceSink sink;
    DocumentConverter converter(OutputMode::Html, sink);
    EXPECT_EQ(converter.ConvertLines("a\r", false), 0u);  // the LF may follow
    EXPECT_EQ(converter.ConvertLines("a\r\nb", false), 3u);
    EXPECT_EQ(converter.ConvertLines("b", true), 1u);
    converter.Finish();
    EXPECT_EQ(sink.collected, "<p>a</p>\r\n<p>b</p>\r\n");
}

TEST(Streaming, ALargeManuscriptReachesTheSinkInBoundedPieces) {
    std::string text;
    while (text.size() < 4 * 1024 * 1024) {
        text += "* \x8f\xcd\r\n- _\x8a\xbf\x8e\x9a[\x82\xa9\x82\xf1\x82\xb6] \x82\xa0\x82\xa2\r\n";
        text += "\x96\x7b\x95\xb6\x82\xc5\x82\xb7\x81\x42 <&> \"q\"\r\n\r\n";
    }
    PieceSink sink;
    ASSERT_EQ(ConvertManuscript(text, OutputMode::Xml, sink), 0);
    std::string collected;
    ConvertManuscript(text, OutputMode::Xml, collected);
    EXPECT_EQ(sink.collected, collected);
    EXPECT_GT(sink.pieces, 50u);
    EXPECT_LT(sink.largestPiece, 256u * 1024);
}

// A sink that keeps where each line's output begins and which lines were rejected.
struct LineSink : PieceSink {
    std::vector<std::size_t> offsets;
    std::vector<std::size_t> rejected;
    bool ReportsLines() const override { return true; }
    void LineBegins(std::size_t line, std::size_t outputOffset) override {
        EXPECT_EQ(line, offsets.size());
        offsets.push_back(outputOffset);
    }
    void LineRejected(std::size_t line, int32_t status) override {
        EXPECT_EQ(line + 1, offsets.size());
        EXPECT_LT(status, 0);
        rejected.push_back(line);
    }
};

// Every line is reported once, in order, at the place its own output starts (the offsets
// only grow), and a line is reported rejected exactly when it writes an incomplete block.
TEST(Streaming, LinesAreReportedWhereTheirOutputBegins) {
    struct Case {
        std::string text;
        std::vector<std::size_t> rejected;
    };
    const std::vector<Case> cases = {
        {"a\r\nb\r\nc", {}},
        {"*x\r\n* ok\r\n_open\r\n\r\n- item\r\n--- skip\r\n", {0, 2, 5}},
        {"# comment\r\n:image a.png\r\n|{1bad} x\r\n", {2}},
        {"", {}},
    };
    for (const Case& c : cases) {
        for (OutputMode mode : {OutputMode::Html, OutputMode::Xml}) {
            LineSink sink;
            ASSERT_EQ(ConvertManuscript(c.text, mode, sink), 0);
            EXPECT_EQ(sink.rejected, c.rejected) << c.text;
            std::size_t lines = c.text.empty() ? 0 : 1;
            for (char byte : c.text) {
                lines += byte == '\n' ? 1 : 0;
            }
            if (c.text.ends_with("\r\n")) {
                --lines;
            }
            ASSERT_EQ(sink.offsets.size(), lines) << c.text;
            EXPECT_TRUE(std::is_sorted(sink.offsets.begin(), sink.offsets.end()));
            // A rejected line's output (the closing of what it ends, then its incomplete
            // block) lies between its offset and the next line's.
            for (std::size_t line : c.rejected) {
                const std::size_t next =
                    line + 1 < sink.offsets.size() ? sink.offsets[line + 1] : sink.collected.size();
                const std::size_t block =
                    sink.collected.find("<pre class=\"incomplete\">", sink.offsets[line]);
                EXPECT_LT(block, next) << c.text << " line " << line;
            }
        }
    }
}

TEST(Streaming, LineOffsetsCountEveryByteHandedToTheSink) {
    std::string text;
    while (text.size() < 300 * 1024) {
        text += "\x96\x7b\x95\xb6 <&>\r\n";
    }
    LineSink sink;
    ASSERT_EQ(ConvertManuscript(text, OutputMode::Html, sink), 0);
    ASSERT_GT(sink.pieces, 2u);
    for (std::size_t offset : sink.offsets) {
        ASSERT_EQ(sink.collected.compare(offset, 3, "<p>"), 0) << offset;
    }
}

}  // namespace
}  // namespace quirtle
