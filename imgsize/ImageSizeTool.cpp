#include "ImageSizeTool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "FileByteSource.h"

namespace quirtle::imgsize {

namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// Opens an existing file for reading; directories count as files that cannot be opened.
// O_NONBLOCK keeps a named pipe without a writer from stalling the tool.
int OpenForReading(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return -1;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

ToolReport RunReader(ImageFormat format, ByteSource& source) {
    ReadResult result;
    std::string_view invalidMessage;
    switch (format) {
        case ImageFormat::Jpeg:
            result = ReadJpegSize(source);
            invalidMessage = kInvalidJpegMessage;
            break;
        case ImageFormat::Png:
            result = ReadPngSize(source);
            invalidMessage = kInvalidPngMessage;
            break;
        case ImageFormat::Gif:
            result = ReadGifSize(source);
            invalidMessage = kInvalidGifMessage;
            break;
        case ImageFormat::Other:
            return {};
    }
    if (result.outcome == ReadOutcome::Invalid) {
        return {{}, invalidMessage};
    }
    return {result.size, {}};
}

}  // namespace

std::size_t FindExtension(std::string_view path) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos) {
        return path.size();
    }
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string_view::npos && slash > dot) {
        return path.size();
    }
    return dot;
}

ImageFormat FormatForExtension(std::string_view extension) {
    if (EqualIgnoringCase(extension, ".jpg") || EqualIgnoringCase(extension, ".jpeg")) {
        return ImageFormat::Jpeg;
    }
    if (EqualIgnoringCase(extension, ".png")) {
        return ImageFormat::Png;
    }
    if (EqualIgnoringCase(extension, ".gif")) {
        return ImageFormat::Gif;
    }
    return ImageFormat::Other;
}

ToolReport MeasureImage(std::span<const char* const> arguments) {
    if (arguments.size() != 1) {
        return {{}, kInvalidArgumentsMessage};
    }
    const std::string_view path = arguments[0];
    const std::size_t extension = FindExtension(path);
    if (extension == 0) {
        return {{}, kInvalidFilenameMessage};
    }
    const int fd = OpenForReading(arguments[0]);
    if (fd < 0) {
        return {{}, kOpenFailedMessage};
    }
    FileByteSource source(fd);
    const ToolReport report = RunReader(FormatForExtension(path.substr(extension)), source);
    close(fd);
    return report;
}

std::string FormatSizeLines(ImageSize size) {
    return std::to_string(size.width) + "\r\n" + std::to_string(size.height) + "\r\n";
}

}  // namespace quirtle::imgsize
