#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace quirtle::testing {

inline void WriteBytes(const QString& path, const std::string& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qFatal("cannot create %s", qPrintable(path));
    }
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// The file's bytes, or "<missing>" when it cannot be read.
inline std::string ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    return file.readAll().toStdString();
}

}  // namespace quirtle::testing
