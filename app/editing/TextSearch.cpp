#include "editing/TextSearch.h"

#include <QElapsedTimer>
#include <algorithm>
#include <array>

namespace quirtle::editing {

namespace {

constexpr char16_t kFirstWide = 0xFF01;
constexpr char16_t kLastHalfKana = 0xFF9F;
constexpr char16_t kVoicedMark = 0xFF9E;
constexpr char16_t kSemiVoicedMark = 0xFF9F;

// The folded form of the characters U+FF01 to U+FF9F and, for half-width katakana, of the
// kana with a following (semi-)voiced mark; made once from the compatibility forms.
struct FoldTable {
    std::array<char16_t, kLastHalfKana - kFirstWide + 1> single{};
    std::array<char16_t, kLastHalfKana - kFirstWide + 1> voiced{};
    std::array<char16_t, kLastHalfKana - kFirstWide + 1> semiVoiced{};

    FoldTable() {
        for (char16_t c = kFirstWide; c <= kLastHalfKana; ++c) {
            const QString one = QString(QChar(c)).normalized(QString::NormalizationForm_KC);
            single[c - kFirstWide] = one.size() == 1 ? one.at(0).unicode() : c;
            // A mark alone folds to the full-width spacing mark, not a combining one.
            if (c == kVoicedMark) single[c - kFirstWide] = 0x309B;
            if (c == kSemiVoicedMark) single[c - kFirstWide] = 0x309C;
            for (const auto& [mark, target] :
                 {std::pair{kVoicedMark, &voiced}, std::pair{kSemiVoicedMark, &semiVoiced}}) {
                const QString pair =
                    (QString(QChar(c)) + QChar(mark)).normalized(QString::NormalizationForm_KC);
                (*target)[c - kFirstWide] = pair.size() == 1 ? pair.at(0).unicode() : 0;
            }
        }
    }
};

const FoldTable& Table() {
    static const FoldTable table;
    return table;
}

bool InTable(char16_t c) {
    return c >= kFirstWide && c <= kLastHalfKana;
}

}  // namespace

// The folded form of in[i], and whether it takes the mark after it along.
static char16_t FoldAt(const char16_t* in, qsizetype i, qsizetype size, bool& joined) {
    const char16_t c = in[i];
    joined = false;
    if (c < 0x3000) return c;
    if (c == 0x3000) return u' ';
    if (!InTable(c)) return c;
    const FoldTable& table = Table();
    if (i + 1 < size && (in[i + 1] == kVoicedMark || in[i + 1] == kSemiVoicedMark)) {
        const auto& pairs = in[i + 1] == kVoicedMark ? table.voiced : table.semiVoiced;
        if (const char16_t both = pairs[c - kFirstWide]) {
            joined = true;
            return both;
        }
    }
    return table.single[c - kFirstWide];
}

FoldedText::FoldedText(const QString& text) {
    folded.resize(text.size());
    char16_t* out = reinterpret_cast<char16_t*>(folded.data());
    const char16_t* in = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype size = text.size();
    qsizetype written = 0;
    bool anyJoined = false;
    for (qsizetype i = 0; i < size; ++i) {
        bool joined = false;
        out[written++] = FoldAt(in, i, size, joined);
        if (joined) {
            anyJoined = true;
            ++i;
        }
    }
    folded.resize(written);
    if (!anyJoined) return;
    // A kana and its mark became one character: positions need a map from here on.
    origins.reserve(static_cast<std::size_t>(written) + 1);
    for (qsizetype i = 0; i < size; ++i) {
        origins.push_back(i);
        bool joined = false;
        FoldAt(in, i, size, joined);
        if (joined) ++i;
    }
    origins.push_back(size);
}

qsizetype FoldedText::Folded(qsizetype originalPosition) const {
    if (origins.empty()) return originalPosition;
    return std::lower_bound(origins.begin(), origins.end(), originalPosition) - origins.begin();
}

QString FoldWidth(const QString& text) {
    return FoldedText(text).Text();
}

bool TextSearch::SetPattern(const QString& newPattern, const SearchOptions& newOptions) {
    pattern = newPattern;
    options = newOptions;
    foldedPattern = options.widthInsensitive ? FoldWidth(pattern) : pattern;
    errorText.clear();
    timedOut = false;
    if (!options.regularExpression || pattern.isEmpty()) return true;
    // A bound on the steps of one match attempt; the pattern's own positions follow it.
    const QString limit = QStringLiteral("(*LIMIT_MATCH=%1)").arg(kStepLimit);
    QRegularExpression::PatternOptions flags = QRegularExpression::UseUnicodePropertiesOption;
    if (!options.caseSensitive) flags |= QRegularExpression::CaseInsensitiveOption;
    expression = QRegularExpression(limit + foldedPattern, flags);
    if (!expression.isValid()) {
        const qsizetype offset =
            std::max<qsizetype>(0, expression.patternErrorOffset() - limit.size());
        errorText = QStringLiteral("%1 (%2 文字目)").arg(expression.errorString()).arg(offset + 1);
        return false;
    }
    expression.optimize();
    return true;
}

void TextSearch::SetText(const QString& newText) {
    text = newText;
    folded = FoldedText(text);
}

TextMatch TextSearch::ToOriginal(qsizetype start, qsizetype end) const {
    if (!options.widthInsensitive) return {start, end - start};
    const qsizetype originalStart = folded.Original(start);
    return {originalStart, folded.Original(end) - originalStart};
}

std::vector<TextMatch> TextSearch::FindAll(qsizetype from, qsizetype to) {
    std::vector<TextMatch> matches;
    timedOut = false;
    if (!HasPattern()) return matches;
    if (to < 0 || to > text.size()) to = text.size();
    if (options.widthInsensitive) {
        from = folded.Folded(from);
        to = folded.Folded(to);
    }
    if (options.regularExpression) {
        FindRegular(from, to, matches);
    } else {
        FindPlain(from, to, matches);
    }
    return matches;
}

void TextSearch::FindPlain(qsizetype from, qsizetype to, std::vector<TextMatch>& matches) const {
    const QStringView subject = QStringView(Subject()).first(to);
    const Qt::CaseSensitivity sensitivity =
        options.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const qsizetype length = foldedPattern.size();
    for (qsizetype at = subject.indexOf(foldedPattern, from, sensitivity); at >= 0;
         at = subject.indexOf(foldedPattern, at + length, sensitivity)) {
        matches.push_back(ToOriginal(at, at + length));
    }
}

void TextSearch::FindRegular(qsizetype from, qsizetype to, std::vector<TextMatch>& matches) {
    const QString& subject = Subject();
    QElapsedTimer clock;
    clock.start();
    // Line by line: no match crosses a line end, ^ and $ are the line's ends, and the time
    // is looked at between lines.
    qsizetype lineStart = subject.lastIndexOf(u'\n', from > 0 ? from - 1 : 0);
    lineStart = from == 0 || lineStart < 0 ? 0 : lineStart + 1;
    while (lineStart <= to) {
        qsizetype lineEnd = subject.indexOf(u'\n', lineStart);
        if (lineEnd < 0) lineEnd = subject.size();
        const QStringView line = QStringView(subject).sliced(lineStart, lineEnd - lineStart);
        qsizetype offset = std::max<qsizetype>(0, from - lineStart);
        while (offset <= line.size()) {
            const QRegularExpressionMatch found = expression.match(line, offset);
            if (!found.hasMatch()) break;
            const qsizetype start = lineStart + found.capturedStart();
            const qsizetype end = lineStart + found.capturedEnd();
            if (end > to) break;
            if (end > start) matches.push_back(ToOriginal(start, end));
            offset = found.capturedEnd() > found.capturedStart() ? found.capturedEnd()
                                                                 : found.capturedEnd() + 1;
        }
        if (clock.elapsed() > kTimeLimitMs) {
            timedOut = true;
            return;
        }
        lineStart = lineEnd + 1;
    }
}

QString TextSearch::Replacement(const TextMatch& match, const QString& replacement) const {
    if (!options.regularExpression) return replacement;
    const QString& subject = Subject();
    const qsizetype start = options.widthInsensitive ? folded.Folded(match.start) : match.start;
    qsizetype lineStart = start > 0 ? subject.lastIndexOf(u'\n', start - 1) + 1 : 0;
    qsizetype lineEnd = subject.indexOf(u'\n', start);
    if (lineEnd < 0) lineEnd = subject.size();
    const QStringView line = QStringView(subject).sliced(lineStart, lineEnd - lineStart);
    const QRegularExpressionMatch found =
        expression.match(line, start - lineStart, QRegularExpression::NormalMatch,
                         QRegularExpression::AnchorAtOffsetMatchOption);
    auto group = [&](int number) -> QString {
        if (!found.hasMatch() || number > found.lastCapturedIndex()) return QString();
        if (found.capturedStart(number) < 0) return QString();
        const TextMatch part = ToOriginal(lineStart + found.capturedStart(number),
                                          lineStart + found.capturedEnd(number));
        return text.mid(part.start, part.length);
    };
    QString result;
    result.reserve(replacement.size());
    for (qsizetype i = 0; i < replacement.size(); ++i) {
        const QChar c = replacement.at(i);
        if (c == u'\\' && i + 1 < replacement.size()) {
            const QChar next = replacement.at(i + 1);
            if (next.isDigit() && next.unicode() < 0x80) {
                result += group(next.digitValue());
                ++i;
                continue;
            }
            if (next == u'\\') {
                result += u'\\';
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

QString TextSearch::ReplaceAll(const std::vector<TextMatch>& matches,
                               const QString& replacement) const {
    QString result;
    result.reserve(text.size());
    qsizetype copied = 0;
    for (const TextMatch& match : matches) {
        result += QStringView(text).sliced(copied, match.start - copied);
        result += Replacement(match, replacement);
        copied = match.end();
    }
    result += QStringView(text).sliced(copied);
    return result;
}

}  // namespace quirtle::editing
