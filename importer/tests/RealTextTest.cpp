// The four real 青空文庫 texts beside the project (when present), imported whole and set
// against the manuscripts made from them by hand: every ruby, emphasis and heading comes
// through, and every character described by its code becomes that character.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ConvertManuscript.h"
#include "Iconv.h"
#include "Import.h"
#include "SourceText.h"

namespace quirtle::importer {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

struct Counts {
    std::size_t rubies, emphases, headings;
};

// Counted in the export XML of a Shift_JIS manuscript; the colophon's "底本" heading the
// hand-made manuscripts add is not counted.
Counts XmlCounts(const std::string& manuscript) {
    std::string xml;
    ConvertManuscript(manuscript, OutputMode::Xml, xml);
    const std::string colophon = "<heading>\x92\xea\x96\x7b</heading>";  // 底本
    return {Count(xml, "<ruby "), Count(xml, "<em>"),
            Count(xml, "<heading>") - Count(xml, colophon)};
}

TEST(ImportRealText, FourNovelsWhole) {
    const fs::path shared = fs::path(QUIRTLE_SOURCE_DIR) / ".." / "shared" / "realtext";
    if (!fs::exists(shared / "aozora")) GTEST_SKIP() << "no real texts at " << shared;
    for (const char* name : {"wagahaiwa_nekodearu", "botchan", "kappa", "yume_juya"}) {
        const std::optional<DecodedSource> source =
            DecodeSource(ReadFile(shared / "aozora" / (std::string(name) + ".txt")));
        ASSERT_TRUE(source.has_value()) << name;
        const std::string imported = ImportText(source->text, Notation::Aozora);
        // Every 外字注記 with a code became its character.
        for (const char* code : {"水準", "U+"}) {
            EXPECT_EQ(imported.find(code), std::string::npos) << name << ": " << code;
        }
        // Characters Shift_JIS lacks become "?" only for counting.
        Iconv toShiftJis("CP932//TRANSLIT", "UTF-8");
        std::string manuscript;
        std::size_t failedAt = 0;
        ASSERT_TRUE(toShiftJis.Convert(imported, manuscript, failedAt)) << name;
        const Counts mine = XmlCounts(manuscript);
        const Counts reference = XmlCounts(ReadFile(shared / (std::string(name) + ".txt")));
        EXPECT_EQ(mine.rubies, reference.rubies) << name;
        EXPECT_EQ(mine.emphases, reference.emphases) << name;
        EXPECT_EQ(mine.headings, reference.headings) << name;
    }
}

}  // namespace
}  // namespace quirtle::importer
