#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quirtle::editing {

// A section line as the converter read it.
struct OutlineHeading {
    int line = 0;                // index of the manuscript line
    int depth = 1;               // how deep the section nests (1 = outermost)
    QString text;                // the heading as the reader sees it (no markup)
    bool rejected = false;       // the converter could not read the line
    std::size_t characters = 0;  // characters from this heading to the next one
};

// A line the converter wrote as an incomplete block, and why.
struct LineRejection {
    int line = 0;
    int32_t status = 0;
    bool operator==(const LineRejection&) const = default;
};

struct ManuscriptAnalysis {
    std::vector<OutlineHeading> headings;
    std::vector<LineRejection> rejections;
};

// Converts the manuscript (UTF-8 bytes, CR, LF or CR LF line ends; it ends at its first
// NUL byte) and reads from the converter's own output its section headings, nested as the
// sections nest, and from the converter's report the lines it rejected.
ManuscriptAnalysis AnalyseManuscript(std::string_view manuscript);

// Whether the converter rejects the last of these lines (UTF-8 bytes, CR LF between
// them): the status it rejected it with, or 0. The lines before it are the context it is
// read in.
int32_t LastLineRejection(std::string_view lines);

// The reason the converter gives for a rejection, in words for the author.
QString RejectionReason(int32_t status);

}  // namespace quirtle::editing
