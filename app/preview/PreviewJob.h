#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "counts/TextCounts.h"
#include "preview/PreviewBlocks.h"
#include "preview/PreviewConversion.h"

namespace quirtle {

// How long each step of one preview took, in milliseconds.
struct PreviewStageTimes {
    double encode = 0;
    double convert = 0;
    double decode = 0;
    double split = 0;  // cutting the fragment into its blocks
};

// What one preview made of the manuscript, ready for the page.
struct PreviewOutcome {
    std::uint64_t number = 0;  // the preview's place in the order they were asked for
    // The fragment (UTF-16) and its blocks; none when the conversion failed (the page then
    // stays as it is).
    std::shared_ptr<const PreviewDocument> document;
    std::optional<counts::TextCounts> counts;  // when asked for and the text could be counted
    PreviewStageTimes stages;
};

// Encodes the editor's text as Shift_JIS, converts it, decodes the fragment and cuts it
// into blocks, each with the manuscript line it begins on; counts the text too when
// withCounts is set. Safe on any thread: it touches nothing but its arguments.
PreviewOutcome MakePreview(std::uint64_t number, const QString& text,
                           const PreviewLinesConverter& converter, bool withCounts = false);

}  // namespace quirtle
