#pragma once

#include <span>
#include <string>
#include <string_view>

#include "ImageReaders.h"

namespace quirtle::imgsize {

// The fixed texts the tool writes to standard error.
inline constexpr std::string_view kInvalidArgumentsMessage = "Invalid Arguments number.";
inline constexpr std::string_view kInvalidFilenameMessage = "Invalid filename.";
inline constexpr std::string_view kOpenFailedMessage = "Failed to open file.";
inline constexpr std::string_view kInvalidJpegMessage = "Invalid jpeg file format.";
inline constexpr std::string_view kInvalidPngMessage = "Invalid png file format.";
inline constexpr std::string_view kInvalidGifMessage = "Invalid gif file format.";

enum class ImageFormat { Jpeg, Png, Gif, Other };

// The offset of the extension of `path`: its last dot, when that dot lies in the last
// path component ('/' separates components); otherwise path.size() (no extension).
std::size_t FindExtension(std::string_view path);

// The reader for an extension such as ".JPG" (letter case ignored).
ImageFormat FormatForExtension(std::string_view extension);

// What one run of the tool found: the size (-1 and -1 when none) and the message for
// standard error (empty when there is none).
struct ToolReport {
    ImageSize size;
    std::string_view message;
};

// Runs the tool on its arguments (the program name left out): checks the argument and
// its extension, opens the file and runs the reader its extension names.
ToolReport MeasureImage(std::span<const char* const> arguments);

// The standard output text: width and height, each followed by CR LF.
std::string FormatSizeLines(ImageSize size);

}  // namespace quirtle::imgsize
