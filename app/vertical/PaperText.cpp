#include "vertical/PaperText.h"

#include <QList>
#include <algorithm>
#include <utility>

#include "ConvertManuscript.h"
#include "Utf8Repair.h"
#include "counts/ExportText.h"
#include "counts/TextCounts.h"
#include "vertical/TypedLineAligner.h"

namespace quirtle::vertical {

namespace {

// Keeps the export document and where each line's output begins.
class LineSink : public OutputSink {
  public:
    LineSink(std::string& output, std::vector<std::size_t>& starts)
        : output(output), starts(starts) {}
    void Write(std::string_view bytes) override { output.append(bytes); }
    bool ReportsLines() const override { return true; }
    void LineBegins(std::size_t line, std::size_t offset) override {
        if (starts.size() <= line) starts.resize(line + 1, offset);
        starts[line] = offset;
    }

  private:
    std::string& output;
    std::vector<std::size_t>& starts;
};

// The columns the blocks of one line's output take. Every line that shows text opens its
// block before it, so a line's blocks are read from its own output alone.
struct ColumnCounter {
    std::size_t block = 0;  // characters of the block being read
    int columns = 0;

    void Text(const char*, const char*, std::size_t characters) { block += characters; }
    void BlockEnd() {
        columns += static_cast<int>(counts::BlockLines(block));
        block = 0;
    }
    void Tag(std::string_view) {}
};

int FragmentColumns(std::string_view fragment) {
    ColumnCounter counter;
    counts::ReadExportText(fragment, TextEncoding::Utf8, counter);
    return counter.columns;
}

// A character the paper shows, and where it stands in the typed line.
struct PaperChar {
    char32_t code = 0;
    int position = 0;  // UTF-16 units
    int length = 0;    // UTF-16 units it takes in the line (0: not found there)
    bool emphasis = false;
    int reading = -1;  // the ruby it is a base character of
};

// Collects the blocks of one line's output, each character placed in the typed line.
struct BlockCollector {
    TypedLineAligner aligner;
    std::vector<std::vector<PaperChar>> blocks;
    std::vector<QString> readings;
    std::vector<int> rubies;  // the readings of the rubies open, innermost last
    int emphasis = 0;         // emphases open

    void Add(char32_t code) {
        if (blocks.empty()) blocks.emplace_back();
        const auto [position, length] = aligner.Find(code);
        blocks.back().push_back(
            {code, position, length, emphasis > 0, rubies.empty() ? -1 : rubies.back()});
    }
    void Text(const char* begin, const char* end, std::size_t characters) {
        if (*begin == '&') {
            Add(EntityValue(std::string_view(begin, static_cast<std::size_t>(end - begin))));
            return;
        }
        // One character for each that the counter counts: a character as UTF-8 decodes it,
        // or a byte that starts none.
        for (std::size_t told = 0; told < characters && begin < end; ++told) {
            char32_t code = 0xFFFD;
            std::size_t length = utf8::DecodeChar(begin, end, code);
            if (length == 0) {
                code = 0xFFFD;
                length = 1;
                while (begin + length < end &&
                       (static_cast<unsigned char>(begin[length]) & 0xC0) == 0x80)
                    ++length;
            }
            Add(code);
            begin += length;
        }
    }
    void BlockEnd() {
        if (!blocks.empty() && !blocks.back().empty()) blocks.emplace_back();
    }
    void Tag(std::string_view tag) {
        if (tag.size() < 3 || tag.back() != '>') return;
        const bool closing = tag[1] == '/';
        const std::string_view name = tag.substr(closing ? 2 : 1);
        const auto named = [&](std::string_view element) {
            return name.substr(0, element.size()) == element &&
                   (name.size() == element.size() || name[element.size()] == '>' ||
                    name[element.size()] == ' ');
        };
        if (named("ruby")) {
            if (!closing) {
                readings.push_back(ParamZero(tag));
                rubies.push_back(static_cast<int>(readings.size()) - 1);
            } else {
                if (!rubies.empty()) rubies.pop_back();
                aligner.SkipReading();
            }
        } else if (named("em")) {
            if (!closing) {
                ++emphasis;
            } else {
                emphasis = std::max(0, emphasis - 1);
                aligner.SkipPast('*');
            }
        } else if (closing && !blocks.empty()) {
            // The end of a command written inside the text, whose head follows its body.
            aligner.SkipHead();
        }
    }
};

std::string_view LineOf(const std::string& text, const std::vector<std::size_t>& starts,
                        std::size_t line) {
    if (line >= starts.size()) return {};
    std::size_t end = line + 1 < starts.size() ? starts[line + 1] - 1 : text.size();
    if (end > starts[line] && text[end - 1] == '\r') --end;
    return std::string_view(text).substr(starts[line], end - starts[line]);
}

}  // namespace

void PaperText::Clear() {
    last = {};
    source = std::string();
    xml = std::string();
    lineStarts = {};
    xmlStarts = {};
    columns = {};
}

int PaperText::Read(std::string manuscript) {
    return Reread(std::move(manuscript), 0, Lines(), -1);
}

int PaperText::Replace(int from, int removed, std::string_view lines) {
    if (from < 0 || removed < 1 || from + removed > Lines()) return -1;
    const auto first = static_cast<std::size_t>(from);
    const auto end = static_cast<std::size_t>(from + removed);
    std::string text;
    text.reserve(source.size() + lines.size());
    text.append(source, 0, lineStarts[first]);
    text.append(lines);
    if (end < lineStarts.size()) {
        text += '\n';
        text.append(source, lineStarts[end], std::string::npos);
    }
    const auto added = static_cast<int>(std::count(lines.begin(), lines.end(), '\n')) + 1;
    return Reread(std::move(text), from, removed, added);
}

std::string_view PaperText::Fragment(const std::string& output,
                                     const std::vector<std::size_t>& starts, std::size_t line) {
    const std::size_t from = starts[line];
    const std::size_t to = line + 1 < starts.size() ? starts[line + 1] : output.size();
    return std::string_view(output).substr(from, to - from);
}

int PaperText::Reread(std::string manuscript, int from, int removed, int added) {
    last = {};
    const std::string oldXml = std::exchange(xml, std::string());
    const std::vector<std::size_t> oldStarts = std::exchange(xmlStarts, {});
    const std::vector<int> oldColumns = std::exchange(columns, {});

    source = std::move(manuscript);
    lineStarts.assign(1, 0);
    for (std::size_t at = source.find('\n'); at != std::string::npos;
         at = source.find('\n', at + 1))
        lineStarts.push_back(at + 1);
    LineSink sink(xml, xmlStarts);
    ConvertManuscript(source, OutputMode::Xml, sink, TextEncoding::Utf8);
    // Lines the converter did not reach (an empty last line) write nothing.
    xmlStarts.resize(lineStarts.size(), xml.size());
    xmlStarts.front() = 0;

    // A line before the edit reads as it did; a line after it keeps its columns when its
    // output is what it was (most are: only what a line opens or ends flows on).
    const int lines = static_cast<int>(lineStarts.size());
    if (added < 0) added = lines;
    columns.resize(lineStarts.size());
    int changed = lines;
    for (int line = 0; line < lines; ++line) {
        const auto index = static_cast<std::size_t>(line);
        int old = -1;
        if (line < from) {
            old = line;
        } else if (line >= from + added) {
            old = line - added + removed;
        }
        if (old >= 0 && old < static_cast<int>(oldColumns.size()) &&
            (line < from || Fragment(xml, xmlStarts, index) ==
                                Fragment(oldXml, oldStarts, static_cast<std::size_t>(old)))) {
            columns[index] = oldColumns[static_cast<std::size_t>(old)];
        } else {
            columns[index] = FragmentColumns(Fragment(xml, xmlStarts, index));
        }
        if (changed == lines && (index >= oldColumns.size() || columns[index] != oldColumns[index]))
            changed = line;
    }
    return changed;
}

bool PaperText::Holds(int line, QStringView text) const {
    if (line < 0 || line >= Lines()) return false;
    const std::string_view read = LineOf(source, lineStarts, static_cast<std::size_t>(line));
    return QString::fromUtf8(read.data(), static_cast<qsizetype>(read.size())) == text;
}

LineLayout PaperText::Layout(int line, QStringView preedit, int preeditAt) const {
    if (last.line == line && last.preeditAt == preeditAt && last.preedit == preedit)
        return last.layout;
    last = {line, preedit.toString(), preeditAt, LayOut(line, preedit, preeditAt)};
    return last.layout;
}

LineLayout PaperText::LayOut(int line, QStringView preedit, int preeditAt) const {
    LineLayout layout;
    layout.paper = true;
    const auto index = static_cast<std::size_t>(line);
    const std::string_view typed = LineOf(source, lineStarts, index);
    layout.length = static_cast<int>(
        QString::fromUtf8(typed.data(), static_cast<qsizetype>(typed.size())).size());
    if (index >= xmlStarts.size()) return layout;
    BlockCollector collector{TypedLineAligner(typed), {}, {}, {}, 0};
    counts::ReadExportText(Fragment(xml, xmlStarts, index), TextEncoding::Utf8, collector);
    std::vector<std::vector<PaperChar>>& blocks = collector.blocks;
    if (!blocks.empty() && blocks.back().empty()) blocks.pop_back();

    if (!preedit.isEmpty() && preeditAt >= 0) {
        // The composed text goes after the last character typed before it.
        std::size_t block = 0;
        std::size_t at = 0;
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            for (std::size_t c = 0; c < blocks[b].size(); ++c) {
                PaperChar& shown = blocks[b][c];
                if (shown.position < preeditAt) {
                    block = b;
                    at = c + 1;
                } else {
                    shown.position += static_cast<int>(preedit.size());
                }
            }
        }
        if (blocks.empty()) blocks.emplace_back();
        std::vector<PaperChar> composed;
        int offset = 0;
        for (const char32_t code : preedit.toUcs4()) {
            composed.push_back({code, preeditAt + offset, Units(code)});
            offset += Units(code);
        }
        blocks[block].insert(blocks[block].begin() + static_cast<std::ptrdiff_t>(at),
                             composed.begin(), composed.end());
        layout.length += static_cast<int>(preedit.size());
    }

    const int perColumn = static_cast<int>(counts::kColumnsPerLine);
    for (const std::vector<PaperChar>& block : blocks) {
        const int first = static_cast<int>(layout.cells.size());
        // Each block starts a column, after one blank cell.
        layout.cells.push_back({block.front().position, 0, Glyph::Upright, -1, false});
        int reading = -1;
        for (const PaperChar& shown : block) {
            const int cell = static_cast<int>(layout.cells.size());
            layout.cells.push_back({shown.position, shown.length, GlyphOf(shown.code),
                                    static_cast<int>(layout.shown.size()), shown.emphasis});
            if (QChar::requiresSurrogates(shown.code)) {
                layout.shown += QChar(QChar::highSurrogate(shown.code));
                layout.shown += QChar(QChar::lowSurrogate(shown.code));
            } else {
                layout.shown += QChar(static_cast<char16_t>(shown.code));
            }
            if (shown.reading >= 0 && shown.reading == reading) {
                ++layout.readings.back().cells;
            } else if (shown.reading >= 0) {
                layout.readings.push_back(
                    {cell, 1, collector.readings[static_cast<std::size_t>(shown.reading)]});
            }
            reading = shown.reading;
        }
        for (int cell = first; cell < static_cast<int>(layout.cells.size()); cell += perColumn)
            layout.columnStarts.push_back(cell);
    }
    return layout;
}

}  // namespace quirtle::vertical
