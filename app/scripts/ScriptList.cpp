#include "scripts/ScriptList.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quirtle {

int32_t ParseScriptLine(std::string_view line, int32_t commandId, ScriptEntry& entry) {
    ScriptEntry parsed;
    std::string* const fields[] = {&parsed.label, &parsed.program, &parsed.script,
                                   &parsed.arguments};
    std::size_t start = 0;
    for (std::string* field : fields) {
        const std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) return kStatusFail;
        field->assign(line.substr(start, tab - start));
        start = tab + 1;
    }
    parsed.extension.assign(line.substr(start));
    parsed.commandId = commandId;
    entry = std::move(parsed);
    return kStatusOk;
}

int32_t ParseScriptList(std::string_view bytes, std::vector<ScriptEntry>& scripts) {
    std::vector<ScriptEntry> parsed;
    std::size_t lineStart = 0;
    std::size_t pos = 0;
    const std::size_t size = bytes.size();
    while (pos < size) {
        const char c = bytes[pos];
        if (c == '\r') {
            if (bytes[lineStart] != '#') {
                ScriptEntry entry;
                const auto commandId =
                    static_cast<int32_t>(kFirstScriptCommand + static_cast<int32_t>(parsed.size()));
                if (ParseScriptLine(bytes.substr(lineStart, pos - lineStart), commandId, entry) <
                    0) {
                    scripts.clear();
                    return kStatusFail;
                }
                parsed.push_back(std::move(entry));
            }
            // The byte after a CR is taken to be its LF and skipped without a look.
            pos += 2;
            lineStart = pos;
        } else if (c == '\n') {
            ++pos;
            lineStart = pos;
        } else {
            ++pos;
        }
    }
    scripts = std::move(parsed);
    return kStatusOk;
}

int32_t LoadScripts(const std::string& programDirectory, std::vector<ScriptEntry>& scripts) {
    const std::string path = programDirectory + std::string(kScriptListFileName);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kStatusFail;
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return kStatusFail;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (got == 0) break;
    }
    ::close(fd);
    std::vector<ScriptEntry> parsed;
    if (ParseScriptList(bytes, parsed) < 0) return kStatusFail;
    scripts = std::move(parsed);
    return kStatusOk;
}

}  // namespace quirtle
