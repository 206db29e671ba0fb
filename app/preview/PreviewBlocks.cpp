#include "preview/PreviewBlocks.h"

#include <algorithm>
#include <optional>

namespace quirtle {

namespace {

using Kind = PreviewBlock::Kind;

bool IsTagSpace(char16_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

struct Tag {
    bool closing = false;
    QStringView name;
    qsizetype end = 0;  // just after '>'
};

// The tag that starts at html[pos] ('<'). The converter escapes every '<' and '>' of text
// and attribute values, so a '<' always starts a tag and the next '>' ends it.
std::optional<Tag> ReadTag(QStringView html, qsizetype pos) {
    const qsizetype size = html.size();
    qsizetype i = pos + 1;
    Tag tag;
    if (i < size && html[i] == u'/') {
        tag.closing = true;
        ++i;
    }
    const qsizetype nameBegin = i;
    while (i < size && !IsTagSpace(html[i].unicode()) && html[i] != u'>' && html[i] != u'/') ++i;
    const qsizetype close = html.indexOf(u'>', i);
    if (close < 0 || i == nameBegin) return std::nullopt;
    tag.name = html.mid(nameBegin, i - nameBegin);
    tag.end = close + 1;
    return tag;
}

qsizetype NextTag(QStringView html, qsizetype from) {
    const qsizetype next = html.indexOf(u'<', from);
    return next < 0 ? html.size() : next;
}

bool IsOneOf(QStringView name, std::initializer_list<const char16_t*> names) {
    for (const char16_t* n : names)
        if (name.compare(QStringView(n), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// Elements whose content the page's parser reads as text up to their end tag.
bool IsRawText(QStringView name) {
    return IsOneOf(name, {u"style", u"script", u"xmp", u"iframe", u"noembed", u"noframes",
                          u"noscript", u"textarea", u"title"});
}

// Elements an end tag inside them cannot close anything outside of.
bool IsScopeBoundary(QStringView name) {
    return IsOneOf(name, {u"applet", u"caption", u"html", u"table", u"td", u"th", u"marquee",
                          u"object", u"template", u"foreignObject", u"desc", u"mi", u"mo", u"mn",
                          u"ms", u"mtext", u"annotation-xml"});
}

// The end of the element whose start tag is at pos, as the page's parser reads it: where
// its end tag closes it, by the names of the tags in between. An end tag that closes
// nothing open in it is passed over (the converter writes one inside a one-line command's
// text), except a section's end tag inside a section: the parser closes the section there,
// and so the element ends before it.
qsizetype ElementEnd(QStringView html, qsizetype pos, bool insideSection) {
    std::vector<QStringView> open;
    qsizetype i = pos;
    while (i < html.size()) {
        const auto tag = ReadTag(html, i);
        if (!tag) return html.size();
        if (!tag->closing) {
            if (tag->name.compare(u"plaintext", Qt::CaseInsensitive) == 0) return html.size();
            if (IsRawText(tag->name)) {
                // Up to the end tag of the same name: nothing in between is a tag.
                qsizetype at = tag->end;
                for (;;) {
                    at = html.indexOf(u"</", at);
                    if (at < 0) return html.size();
                    const auto end = ReadTag(html, at);
                    if (end && end->name.compare(tag->name, Qt::CaseInsensitive) == 0) {
                        i = end->end;
                        break;
                    }
                    at += 2;
                }
                if (open.empty()) return i;
                i = NextTag(html, i);
                continue;
            }
            open.push_back(tag->name);
        } else {
            const auto match = std::find(open.rbegin(), open.rend(), tag->name);
            if (match != open.rend()) {
                open.erase(std::next(match).base(), open.end());
            } else if (insideSection && tag->name == u"div" &&
                       std::none_of(open.begin(), open.end(), IsScopeBoundary)) {
                return i;
            }
        }
        i = tag->end;
        if (open.empty()) return i;
        i = NextTag(html, i);
    }
    return html.size();
}

}  // namespace

std::size_t PreviewDocument::BlockOfLine(std::uint32_t line) const {
    // Lines only grow along the blocks; the last element that begins on or before the line.
    auto after =
        std::upper_bound(blocks.begin(), blocks.end(), line,
                         [](std::uint32_t l, const PreviewBlock& b) { return l < b.line; });
    while (after != blocks.begin()) {
        --after;
        // A leaf of text alone (the line break after a section's end) shows nothing.
        if (after->kind == Kind::Leaf && Text(*after).startsWith(u'<'))
            return static_cast<std::size_t>(after - blocks.begin());
    }
    return 0;
}

std::vector<PreviewBlock> SplitIntoBlocks(QStringView html,
                                          const std::vector<PreviewLineStart>& lines) {
    std::vector<PreviewBlock> blocks;
    const qsizetype size = html.size();
    std::size_t lineIndex = 0;
    auto lineAt = [&](qsizetype offset) -> const PreviewLineStart* {
        if (lines.empty()) return nullptr;
        while (lineIndex + 1 < lines.size() && lines[lineIndex + 1].offset <= offset) ++lineIndex;
        return &lines[lineIndex];
    };
    auto add = [&](Kind kind, qsizetype begin, qsizetype end) {
        const PreviewLineStart* line = lineAt(begin);
        blocks.push_back({kind, static_cast<std::uint32_t>(begin),
                          static_cast<std::uint32_t>(end - begin), line ? line->line : 0});
    };
    int depth = 0;
    qsizetype pos = 0;
    while (pos < size) {
        if (html[pos] != u'<') {
            const qsizetype end = NextTag(html, pos);
            add(Kind::Leaf, pos, end);
            pos = end;
            continue;
        }
        const auto tag = ReadTag(html, pos);
        if (!tag) {
            add(Kind::Leaf, pos, size);
            break;
        }
        if (tag->closing) {
            if (depth > 0 && tag->name == u"div") {
                add(Kind::Close, pos, tag->end);
                --depth;
                pos = tag->end;
            } else {
                // An end tag with nothing to close: a block of its own, as the page reads it.
                const qsizetype end = NextTag(html, tag->end);
                add(Kind::Leaf, pos, end);
                pos = end;
            }
            continue;
        }
        const PreviewLineStart* line = lineAt(pos);
        if (tag->name == u"div" && line && line->section) {
            add(Kind::Open, pos, tag->end);
            ++depth;
            pos = tag->end;
            continue;
        }
        // A whole element, and the text after it (the line break the converter writes).
        const qsizetype elementEnd = ElementEnd(html, pos, depth > 0);
        const qsizetype end =
            elementEnd < size && html[elementEnd] == u'<' ? elementEnd : NextTag(html, elementEnd);
        add(Kind::Leaf, pos, end);
        pos = end;
    }
    return blocks;
}

PreviewPatch MakePatch(const PreviewDocument& shown, const PreviewDocument& next) {
    const auto& a = shown.blocks;
    const auto& b = next.blocks;
    auto same = [&](std::size_t i, std::size_t j) {
        return a[i].kind == b[j].kind && shown.Text(a[i]) == next.Text(b[j]);
    };
    std::size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && same(prefix, prefix)) ++prefix;
    std::size_t suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
           same(a.size() - 1 - suffix, b.size() - 1 - suffix))
        ++suffix;

    // The depth of sections before each block.
    auto depths = [](const std::vector<PreviewBlock>& blocks) {
        std::vector<int> depth(blocks.size() + 1, 0);
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            const Kind kind = blocks[i].kind;
            depth[i + 1] = depth[i] + (kind == Kind::Open) - (kind == Kind::Close);
        }
        return depth;
    };
    const std::vector<int> da = depths(a);
    const std::vector<int> db = depths(b);
    auto lowest = [](const std::vector<int>& depth, std::size_t from, std::size_t to) {
        return *std::min_element(depth.begin() + from, depth.begin() + to + 1);
    };
    // Widen the runs until both are whole under one container. Blocks before them are the
    // same in both, and so are blocks after them, so both agree on the depth at either end
    // when the fragments are whole; a fragment that is not gives way to a full replacement.
    for (;;) {
        const std::size_t aEnd = a.size() - suffix;
        const std::size_t bEnd = b.size() - suffix;
        if (da[prefix] != db[prefix] || da[aEnd] != db[bEnd]) {
            prefix = 0;
            suffix = 0;
            break;
        }
        const int level = std::min(lowest(da, prefix, aEnd), lowest(db, prefix, bEnd));
        if (level == da[prefix] && level == da[aEnd]) break;
        while (prefix > 0 && da[prefix] > level) --prefix;
        while (suffix > 0 && da[a.size() - suffix] > level) --suffix;
        if (prefix == 0 && suffix == 0) break;
    }
    return {prefix, a.size() - suffix - prefix, b.size() - suffix - prefix};
}

}  // namespace quirtle
