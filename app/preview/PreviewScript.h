#pragma once

#include <QString>
#include <QStringView>
#include <QUrl>
#include <cstddef>
#include <optional>
#include <string_view>

namespace quirtle {

// The text as a JavaScript string literal (double quotes), safe for any content.
QString JavaScriptStringLiteral(QStringView text);

// A script that replaces the inner HTML of the page's element "contents" by the fragment
// and evaluates to "done", or to "none" (page untouched) when there is no such element.
QString ContentsAssignmentScript(QStringView html);

// The same script made straight from the converter's Shift_JIS fragment in one pass: CR LF,
// lone CR and LF each become one line break, as when the fragment is decoded first. Nothing
// when the bytes are not valid Shift_JIS.
std::optional<QString> ContentsAssignmentScriptFromShiftJis(std::string_view html);

// What a contents script reports when it has run: "done" (the element has the fragment),
// "none" (the page has no element "contents" and was left alone) or "failed" (the fragment
// file could not be read; the page was left alone).
inline constexpr char kContentsDone[] = "done";
inline constexpr char kContentsMissing[] = "none";
inline constexpr char kContentsFetchFailed[] = "failed";

// A script that reads the fragment file (UTF-8) and makes it the inner HTML of the page's
// element "contents"; the file is read before the script ends, so when it reports "done"
// the page holds the fragment. `number` tells one reading of the file from the next.
QString ContentsFetchScript(const QUrl& fragmentFile, quint64 number);

// What the page reports when the blocks a patch was made against are not the ones it
// shows (it was loaded again meanwhile): the preview has to be sent whole.
inline constexpr char kContentsStale[] = "stale";

// The blocks a patch brings, as the page's script takes them.
struct PatchBlocks {
    QString kinds;     // one letter per block: L (leaf), O (section start), C (section end)
    QString lengths;   // a JavaScript array of their lengths in UTF-16 units
    QStringView text;  // their texts, one after the other
};

// A script that swaps `removed` blocks at `start` of the page's preview `base` (0: none,
// the element is emptied first) for the blocks given, making it preview `next`.
QString PatchScript(quint64 base, quint64 next, std::size_t start, std::size_t removed,
                    const PatchBlocks& blocks);
// The same, the blocks' texts read from the fragment file (UTF-8).
QString PatchFromFileScript(quint64 base, quint64 next, std::size_t start, std::size_t removed,
                            const PatchBlocks& blocks, const QUrl& fragmentFile);
// A script that brings block `index` into view unless some of it is in view already.
QString RevealScript(std::size_t index, bool smooth);
// A script that evaluates to the index of the block at a point of the view (CSS pixels),
// or -1.
QString BlockAtScript(double x, double y);
// A script that shows a short notice in place of the preview.
QString NoticeScript(QStringView notice);

}  // namespace quirtle
