#pragma once

#include <QString>

namespace quirtle {

// Whether two paths name the same file: the same device and inode when both exist,
// otherwise the same location once symbolic links and "." / ".." in their folders are
// resolved. Spelling alone (a different but equivalent path) does not make them differ.
bool IsSameFile(const QString& first, const QString& second);

}  // namespace quirtle
