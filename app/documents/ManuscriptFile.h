#pragma once

#include <QByteArray>
#include <optional>
#include <string>
#include <string_view>

namespace quirtle::documents {

// Reads a whole manuscript file. Nothing when the file cannot be opened or read, or is not
// a regular file (a folder, a device or a pipe would block or never end).
std::optional<std::string> ReadManuscriptBytes(const QByteArray& nativePath);

// Replaces the file's content without ever leaving it half written: the bytes go to a new
// file in the same folder, are flushed to disk, and that file is renamed over the target.
// An existing target keeps its permission bits (and, where allowed, its owner); a symbolic
// link is written through, so the link itself stays. A target that is not a regular file
// (EINVAL), has no write bit or may not be written by this user (EACCES) is refused.
// Returns 0, or the errno of the step
// that failed; on failure the target is untouched and no temporary file is left behind.
int ReplaceFileContents(const QByteArray& nativePath, std::string_view bytes);

}  // namespace quirtle::documents
