// A realistic manuscript (Shift_JIS, CR LF) against its reviewed XML and HTML.
#include <fstream>
#include <iterator>
#include <string>

#include "ConverterTestSupport.h"

namespace quirtle {
namespace {

std::string ReadTestData(const std::string& name) {
    std::ifstream file(std::string(QUIRTLE_TESTDATA_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(file.good()) << name;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(Manuscript, ExportDocument) {
    const std::string manuscript = ReadTestData("manuscript.txt");
    ASSERT_FALSE(manuscript.empty());
    EXPECT_EQ(testing::ToXml(manuscript), ReadTestData("manuscript.xml"));
}

TEST(Manuscript, PreviewFragment) {
    const std::string manuscript = ReadTestData("manuscript.txt");
    ASSERT_FALSE(manuscript.empty());
    EXPECT_EQ(testing::ToHtml(manuscript), ReadTestData("manuscript.html"));
}

TEST(Manuscript, LineBreaksOfTheEditorDoNotMatter) {
    // The same manuscript with LF or CR line breaks converts to the same bytes.
    const std::string manuscript = ReadTestData("manuscript.txt");
    std::string lf;
    std::string cr;
    for (std::size_t i = 0; i < manuscript.size(); ++i) {
        if (manuscript[i] == '\r' && i + 1 < manuscript.size() && manuscript[i + 1] == '\n') {
            lf.push_back('\n');
            cr.push_back('\r');
            ++i;
        } else {
            lf.push_back(manuscript[i]);
            cr.push_back(manuscript[i]);
        }
    }
    const std::string expected = testing::ToXml(manuscript);
    EXPECT_EQ(testing::ToXml(lf), expected);
    EXPECT_EQ(testing::ToXml(cr), expected);
}

}  // namespace
}  // namespace quirtle
