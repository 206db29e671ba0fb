// Runs the JPEG, PNG and GIF readers over arbitrary bytes, once from memory and once from
// a real file descriptor, and checks that both give the same, well-formed result.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "FileByteSource.h"
#include "ImageReaders.h"
#include "ImageSizeTool.h"
#include "MemoryByteSource.h"

using namespace quirtle::imgsize;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckResult(const ReadResult& result, std::int64_t largest) {
    if (result.outcome == ReadOutcome::Found) {
        Check(result.size.width >= 0 && result.size.width <= largest);
        Check(result.size.height >= 0 && result.size.height <= largest);
    } else {
        Check(result.size.width == -1 && result.size.height == -1);
    }
}

bool SameResult(const ReadResult& a, const ReadResult& b) {
    return a.outcome == b.outcome && a.size.width == b.size.width && a.size.height == b.size.height;
}

// A file holding the fuzzer's bytes, kept open for the process's whole life.
int ScratchFile() {
    static const int fd = memfd_create("fuzz_imgsize", MFD_CLOEXEC);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const int fd = ScratchFile();
    Check(fd >= 0);
    Check(ftruncate(fd, 0) == 0);
    Check(pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));

    struct {
        ReadResult (*read)(ByteSource&);
        std::int64_t largest;
    } const readers[] = {{ReadJpegSize, 0xFFFF}, {ReadPngSize, 0x7FFFFFFF}, {ReadGifSize, 0xFFFF}};
    for (const auto& reader : readers) {
        MemoryByteSource memory(bytes);
        const ReadResult fromMemory = reader.read(memory);
        CheckResult(fromMemory, reader.largest);
        Check(memory.BytesDelivered() <= size);

        FileByteSource file(fd);
        Check(SameResult(reader.read(file), fromMemory));
    }

    const std::string_view path(reinterpret_cast<const char*>(data), size);
    const std::size_t extension = FindExtension(path);
    Check(extension <= size);
    if (extension < size) {
        Check(path[extension] == '.' && path.find('/', extension) == std::string_view::npos);
        FormatForExtension(path.substr(extension));
    }
    return 0;
}
