#pragma once

#include <QByteArray>
#include <QString>

namespace quirtle::text {

// File names are the file system's bytes, which need not be valid UTF-8 (a file copied
// from an old archive, a disk of another system). Qt turns such bytes into U+FFFD and
// cannot find the file again; these two keep every byte: a byte that is not part of a
// valid UTF-8 character becomes the lone surrogate U+DC80..U+DCFF in the text, and goes
// back to the same byte. Valid UTF-8 names come out as Qt's own conversion gives them.
QString FileNameFromBytes(const QByteArray& bytes);
QByteArray FileNameToBytes(const QString& name);

// True when the bytes are valid UTF-8 (Qt's dialogs can show such a name).
bool IsValidUtf8(const QByteArray& bytes);

// A name for showing: each kept byte as \xHH.
QString ShownFileName(const QString& name);

}  // namespace quirtle::text
