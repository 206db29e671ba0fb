#include "InlineText.h"

#include <algorithm>
#include <iterator>

#include "Unicode.h"

namespace quirtle::importer {

namespace {

using Kind = InlineNode::Kind;

bool IsMark(const InlineNode& node) {
    return node.kind == Kind::Bar || node.kind == Kind::RangeStart;
}

std::size_t VisibleLength(const InlineNode& node) {
    switch (node.kind) {
        case Kind::Text:
        case Kind::Kept:
            return node.text.size();
        case Kind::Bar:
        case Kind::RangeStart:
            return 0;
        default:
            break;
    }
    std::size_t length = 0;
    for (const InlineNode& child : node.children) length += VisibleLength(child);
    return length;
}

void AppendVisible(const InlineNode& node, std::u32string& out) {
    if (node.kind == Kind::Text || node.kind == Kind::Kept) {
        out += node.text;
    } else if (!IsMark(node)) {
        for (const InlineNode& child : node.children) AppendVisible(child, out);
    }
}

// Adjacent plain text nodes become one.
void JoinText(std::vector<InlineNode>& nodes) {
    std::vector<InlineNode> joined;
    joined.reserve(nodes.size());
    for (InlineNode& node : nodes) {
        if (node.kind == Kind::Text && node.text.empty()) continue;
        if (node.kind == Kind::Text && !joined.empty() && joined.back().kind == Kind::Text) {
            joined.back().text += node.text;
        } else {
            joined.push_back(std::move(node));
        }
    }
    nodes = std::move(joined);
}

void FinishNodes(std::vector<InlineNode>& nodes) {
    for (InlineNode& node : nodes) {
        if (node.kind == Kind::Bar) {
            node.kind = Kind::Text;
        } else if (node.kind == Kind::RangeStart) {
            node.kind = Kind::Kept;
        } else {
            FinishNodes(node.children);
        }
    }
    JoinText(nodes);
}

bool ContainsRangeStart(const std::vector<InlineNode>& nodes, std::size_t from) {
    return std::any_of(nodes.begin() + static_cast<std::ptrdiff_t>(from), nodes.end(),
                       [](const InlineNode& node) { return node.kind == Kind::RangeStart; });
}

void WriteNodes(const std::vector<InlineNode>& nodes, bool inBody, std::u32string& out) {
    for (const InlineNode& node : nodes) {
        switch (node.kind) {
            case Kind::Text:
            case Kind::Kept:
            case Kind::Bar:
            case Kind::RangeStart:
                for (char32_t c : node.text) {
                    if (c == U'_' || c == U'\\' ||
                        (inBody && (c == U'[' || c == U'*' || c == U'{'))) {
                        out.push_back(U'\\');
                    }
                    out.push_back(c);
                }
                break;
            case Kind::Ruby:
                out.push_back(U'_');
                WriteNodes(node.children, true, out);
                out.push_back(U'[');
                for (char32_t c : node.text) {
                    if (c == U'\\' || c == U']' || c == U'_') out.push_back(U'\\');
                    out.push_back(c);
                }
                out.push_back(U']');
                break;
            case Kind::Emphasis:
                out.push_back(U'_');
                WriteNodes(node.children, true, out);
                out.push_back(U'*');
                break;
            case Kind::Tcy:
                out.push_back(U'_');
                WriteNodes(node.children, true, out);
                out += U"{tcy}";
                break;
        }
    }
}

}  // namespace

void InlineLine::AppendText(char32_t c) {
    if (nodes_.empty() || nodes_.back().kind != Kind::Text) nodes_.push_back({});
    nodes_.back().text.push_back(c);
}

void InlineLine::AppendText(std::u32string_view text) {
    for (char32_t c : text) AppendText(c);
}

void InlineLine::AppendKept(std::u32string_view text) {
    nodes_.push_back({Kind::Kept, std::u32string(text), {}, 0});
}

void InlineLine::AppendBar(char32_t bar) {
    nodes_.push_back({Kind::Bar, std::u32string(1, bar), {}, 0});
    ++bars_;
}

bool InlineLine::HasBar() const {
    return bars_ > 0;
}

void InlineLine::AppendRangeStart(int range, std::u32string_view annotation) {
    nodes_.push_back({Kind::RangeStart, std::u32string(annotation), {}, range});
}

bool InlineLine::RemoveLastChar(char32_t c) {
    if (nodes_.empty() || nodes_.back().kind != Kind::Text || nodes_.back().text.empty() ||
        nodes_.back().text.back() != c) {
        return false;
    }
    nodes_.back().text.pop_back();
    if (nodes_.back().text.empty()) nodes_.pop_back();
    return true;
}

bool InlineLine::RubyFromBar(std::u32string_view reading, std::size_t maxBase) {
    if (bars_ == 0) return false;
    const auto bar = std::find_if(nodes_.rbegin(), nodes_.rend(),
                                  [](const InlineNode& node) { return node.kind == Kind::Bar; });
    if (bar == nodes_.rend()) return false;
    const std::size_t index = static_cast<std::size_t>(std::distance(bar, nodes_.rend())) - 1;
    std::size_t length = 0;
    for (std::size_t i = index + 1; i < nodes_.size(); ++i) length += VisibleLength(nodes_[i]);
    if (length == 0 || length > maxBase || ContainsRangeStart(nodes_, index + 1)) return false;
    InlineNode ruby{Kind::Ruby, std::u32string(reading), {}, 0};
    std::move(nodes_.begin() + static_cast<std::ptrdiff_t>(index) + 1, nodes_.end(),
              std::back_inserter(ruby.children));
    nodes_.resize(index);
    nodes_.push_back(std::move(ruby));
    --bars_;
    return true;
}

bool InlineLine::RubyFromRun(std::u32string_view reading, unsigned allowedKinds,
                             std::size_t maxBase) {
    // Text split where an earlier annotation looked for its target is one run again.
    while (nodes_.size() >= 2 && nodes_.back().kind == Kind::Text &&
           nodes_[nodes_.size() - 2].kind == Kind::Text) {
        nodes_[nodes_.size() - 2].text += nodes_.back().text;
        nodes_.pop_back();
    }
    if (nodes_.empty() || nodes_.back().kind != Kind::Text) return false;
    const std::u32string& text = nodes_.back().text;
    unsigned kinds = allowedKinds;
    std::size_t start = text.size();
    while (start > 0 && (KindsOf(text[start - 1]) & kinds) != 0) {
        kinds &= KindsOf(text[start - 1]);
        --start;
    }
    const std::size_t length = text.size() - start;
    if (length == 0 || length > maxBase) return false;
    InlineNode ruby{Kind::Ruby, std::u32string(reading), {}, 0};
    ruby.children.push_back({Kind::Text, text.substr(start), {}, 0});
    nodes_.back().text.resize(start);
    if (nodes_.back().text.empty()) nodes_.pop_back();
    nodes_.push_back(std::move(ruby));
    return true;
}

bool InlineLine::HasRangeStart(int range) const {
    return std::any_of(nodes_.begin(), nodes_.end(), [range](const InlineNode& node) {
        return node.kind == Kind::RangeStart && node.range == range;
    });
}

bool InlineLine::DropRangeStart(int range) {
    for (std::size_t i = nodes_.size(); i-- > 0;) {
        if (nodes_[i].kind == Kind::RangeStart && nodes_[i].range == range) {
            nodes_.erase(nodes_.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

bool InlineLine::CloseRange(int range, InlineNode::Kind kind) {
    for (std::size_t i = nodes_.size(); i-- > 0;) {
        if (nodes_[i].kind != Kind::RangeStart || nodes_[i].range != range) continue;
        InlineNode wrapped{kind, {}, {}, 0};
        std::move(nodes_.begin() + static_cast<std::ptrdiff_t>(i) + 1, nodes_.end(),
                  std::back_inserter(wrapped.children));
        nodes_.resize(i);
        if (!wrapped.children.empty()) nodes_.push_back(std::move(wrapped));
        return true;
    }
    return false;
}

std::u32string InlineLine::Visible() const {
    std::u32string text;
    for (const InlineNode& node : nodes_) AppendVisible(node, text);
    return text;
}

bool InlineLine::FindTarget(std::u32string_view target, std::size_t& fromEnd,
                            std::size_t& toEnd) const {
    if (target.empty()) return false;
    // The usual place, right before the annotation: only the end of the line is read.
    std::vector<const InlineNode*> tail;
    std::size_t tailLength = 0;
    for (auto node = nodes_.rbegin(); node != nodes_.rend() && tailLength < target.size(); ++node) {
        tail.push_back(&*node);
        tailLength += VisibleLength(*node);
    }
    std::u32string end;
    for (auto node = tail.rbegin(); node != tail.rend(); ++node) AppendVisible(**node, end);
    if (end.size() >= target.size() &&
        std::u32string_view(end).substr(end.size() - target.size()) == target) {
        fromEnd = target.size();
        toEnd = 0;
        return true;
    }
    const std::u32string visible = Visible();
    const std::size_t at = visible.rfind(target);
    if (at == std::u32string::npos) return false;
    fromEnd = visible.size() - at;
    toEnd = visible.size() - at - target.size();
    return true;
}

std::ptrdiff_t InlineLine::SplitAtFromEnd(std::size_t fromEnd) {
    std::size_t counted = 0;  // visible characters after index i
    std::size_t i = nodes_.size();
    while (true) {
        if (counted == fromEnd) {
            // The first node at this place: marks standing here come after it.
            while (i > 0 && VisibleLength(nodes_[i - 1]) == 0) --i;
            return static_cast<std::ptrdiff_t>(i);
        }
        if (i == 0) return -1;
        const std::size_t length = VisibleLength(nodes_[i - 1]);
        if (counted + length > fromEnd) {
            if (nodes_[i - 1].kind != Kind::Text) return -1;
            const std::size_t keep = length - (fromEnd - counted);
            InlineNode rest{Kind::Text, nodes_[i - 1].text.substr(keep), {}, 0};
            nodes_[i - 1].text.resize(keep);
            nodes_.insert(nodes_.begin() + static_cast<std::ptrdiff_t>(i), std::move(rest));
            return static_cast<std::ptrdiff_t>(i);
        }
        counted += length;
        --i;
    }
}

bool InlineLine::Wrap(std::size_t fromEnd, std::size_t toEnd, InlineNode::Kind kind) {
    if (fromEnd <= toEnd) return false;
    std::ptrdiff_t end = SplitAtFromEnd(toEnd);
    if (end < 0) return false;
    const std::size_t before = nodes_.size();
    std::ptrdiff_t begin = SplitAtFromEnd(fromEnd);
    if (begin < 0) return false;
    if (nodes_.size() > before) ++end;
    // Marks standing where the range starts stay outside it (a bar then takes the whole
    // wrapped node as its base).
    while (begin < end && IsMark(nodes_[static_cast<std::size_t>(begin)])) ++begin;
    InlineNode wrapped{kind, {}, {}, 0};
    std::move(nodes_.begin() + begin, nodes_.begin() + end, std::back_inserter(wrapped.children));
    nodes_.erase(nodes_.begin() + begin, nodes_.begin() + end);
    nodes_.insert(nodes_.begin() + begin, std::move(wrapped));
    return true;
}

void InlineLine::Finish() {
    FinishNodes(nodes_);
    bars_ = 0;
}

void WriteInline(const std::vector<InlineNode>& nodes, std::u32string& out) {
    WriteNodes(nodes, false, out);
}

bool IsLineMarker(char32_t c) {
    return c == U'*' || c == U'-' || c == U'!' || c == U'>' || c == U'|' || c == U':' ||
           c == U'#' || c == U';';
}

}  // namespace quirtle::importer
