#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "counts/TextCounts.h"
#include "preview/PreviewConversion.h"

namespace quirtle {

class FragmentFile;

// How long each step of one preview took, in milliseconds.
struct PreviewStageTimes {
    double encode = 0;
    double convert = 0;
    double decode = 0;
    double handOff = 0;  // writing the file, or making the script when there is no file
};

// What one preview made of the manuscript, ready for the page.
struct PreviewOutcome {
    enum class Kind {
        Failed,  // the conversion failed: the page stays as it is
        File,    // the fragment is in the fragment file, for the page to fetch
        Script,  // the fragment could not be written: `script` assigns it itself
    };
    std::uint64_t number = 0;  // the preview's place in the order they were asked for
    Kind kind = Kind::Failed;
    QString script;
    std::optional<counts::TextCounts> counts;  // when asked for and the text could be counted
    PreviewStageTimes stages;
};

// Encodes the editor's text as Shift_JIS, converts it with the converter and hands the
// fragment on as UTF-8 in the file, or as a page script when there is no file or it cannot
// be written; counts the text too when withCounts is set. Safe on any thread: it touches
// nothing but its arguments.
PreviewOutcome MakePreview(std::uint64_t number, const QString& text,
                           const PreviewConverter& converter, const FragmentFile* file,
                           bool withCounts = false);

}  // namespace quirtle
