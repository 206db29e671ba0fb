#include "export/ExportXml.h"

#include <QStringList>
#include <cstdio>
#include <vector>

#include "ConvertManuscript.h"
#include "text/Utf8ShiftJis.h"

namespace quirtle {
namespace {

constexpr std::string_view kUtf8Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
constexpr std::string_view kShiftJisDeclaration = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";

bool IsXmlCharacter(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendReference(char32_t c, std::string& out) {
    char reference[16];
    const int length = std::snprintf(reference, sizeof reference, "&#x%X;",
                                     static_cast<unsigned>(IsXmlCharacter(c) ? c : 0xFFFD));
    out.append(reference, static_cast<std::size_t>(length));
}

// Where a byte of the export stands: in text, in a tag's name, or in the rest of a tag
// (its attributes). Text and attribute values have '<', '>' and '"' escaped, so every '<'
// opens a tag and the first '>' after it closes it.
class TagTracker {
  public:
    explicit TagTracker(std::string_view xml) : xml_(xml) {}

    bool InName(std::size_t offset) {
        for (; scanned_ < offset; ++scanned_) {
            const char c = xml_[scanned_];
            if (c == '<') {
                state_ = State::Name;
            } else if (c == '>') {
                state_ = State::Text;
            } else if (state_ == State::Name && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
                state_ = State::Attributes;
            }
        }
        return state_ == State::Name;
    }

  private:
    enum class State { Text, Name, Attributes };
    std::string_view xml_;
    std::size_t scanned_ = 0;
    State state_ = State::Text;
};

std::string ToUtf8(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

std::optional<std::string> ConvertUtf8(std::string_view manuscript) {
    std::string xml;
    if (ConvertManuscript(manuscript, OutputMode::Xml, xml, TextEncoding::Utf8) < 0)
        return std::nullopt;
    return xml;
}

// A control character the text does not hold, to stand in for characters Shift_JIS
// cannot hold in the lines whose names hold them: no name may hold it, so the converter
// rejects those lines; '\0' when the text holds them all.
char UnusedControl(const QString& text) {
    for (char c = 1; c < 0x20; ++c) {
        if (c == '\t' || c == '\n' || c == '\r') continue;
        if (!text.contains(QChar(c))) return c;
    }
    return '\0';
}

bool LineHasUnencodableName(const QString& line) {
    const std::optional<std::string> xml = ConvertUtf8(ToUtf8(line));
    if (!xml) return false;
    bool inName = false;
    (void)ExportXmlToShiftJis(*xml, inName);
    return inName;
}

}  // namespace

std::string ExportXmlToShiftJis(std::string_view utf8Xml, bool& nameUnencodable) {
    nameUnencodable = false;
    std::string out;
    if (utf8Xml.starts_with(kUtf8Declaration)) {
        out.append(kShiftJisDeclaration);
        utf8Xml.remove_prefix(kUtf8Declaration.size());
    }
    TagTracker tags(utf8Xml);
    text::Utf8ToShiftJis(
        utf8Xml, out, [&tags, &nameUnencodable](char32_t c, std::size_t offset, std::string& to) {
            if (tags.InName(offset)) nameUnencodable = true;
            AppendReference(c, to);
            return true;
        });
    return out;
}

std::optional<std::string> MakeExportXml(const QString& text) {
    std::optional<std::string> xml = ConvertUtf8(ToUtf8(text));
    if (!xml) return std::nullopt;
    bool nameUnencodable = false;
    std::string result = ExportXmlToShiftJis(*xml, nameUnencodable);
    if (!nameUnencodable) return result;

    // Rare: an element name holds a character Shift_JIS cannot hold. In each line where
    // that happens those characters are replaced by a control character no name may hold,
    // so that the converter rejects the line, and put back as references afterwards.
    const char stand = UnusedControl(text);
    QStringList lines = text.split(u'\n');
    std::vector<char32_t> replaced;
    for (QString& line : lines) {
        if (stand == '\0' || !LineHasUnencodableName(line)) continue;
        QString marked;
        for (const char32_t c : line.toUcs4()) {
            if (text::ShiftJisHolds(c)) {
                marked += QString::fromUcs4(&c, 1);
            } else {
                marked += QChar(stand);
                replaced.push_back(c);
            }
        }
        line = marked;
    }
    xml = ConvertUtf8(ToUtf8(lines.join(u'\n')));
    if (!xml) return std::nullopt;
    result = ExportXmlToShiftJis(*xml, nameUnencodable);
    std::string restored;
    restored.reserve(result.size() + replaced.size() * 8);
    std::size_t next = 0;
    for (const char c : result) {
        // Shift_JIS's second bytes are never control characters.
        if (c != stand || stand == '\0') {
            restored.push_back(c);
            continue;
        }
        AppendReference(next < replaced.size() ? replaced[next++] : U'\xFFFD', restored);
    }
    if (nameUnencodable) {
        // Left only where no control character was free: no such name is written.
        return std::nullopt;
    }
    return restored;
}

}  // namespace quirtle
