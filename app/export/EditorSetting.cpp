#include "export/EditorSetting.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <optional>

namespace quirtle {
namespace {

constexpr qint64 kSettingLimit = 260;  // a file this long or longer is ignored

// The setting held by `path`: nothing when the file does not open; empty when it holds
// no usable setting.
std::optional<QByteArray> ReadSetting(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.read(kSettingLimit);
    if (bytes.isEmpty() || bytes.size() >= kSettingLimit) return QByteArray();
    const qsizetype nul = bytes.indexOf('\0');
    return nul >= 0 ? bytes.left(nul) : bytes;
}

bool WriteSetting(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

bool IsWritableDirectory(const QString& directory) {
    return access(QFile::encodeName(directory).constData(), W_OK) == 0;
}

}  // namespace

EditorSetting::EditorSetting(QString programDirectory, QString configDirectory)
    : programDirectory(std::move(programDirectory)), configDirectory(std::move(configDirectory)) {}

EditorSetting::EditorSetting(QString programDirectory)
    : EditorSetting(std::move(programDirectory), UserConfigDirectory()) {}

QString EditorSetting::UserConfigDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quirtle/");
}

QByteArray EditorSetting::Load() const {
    if (!IsWritableDirectory(programDirectory)) {
        if (const auto user = ReadSetting(UserFile())) return *user;
    }
    if (const auto beside = ReadSetting(ProgramFile())) return *beside;
    return ReadSetting(UserFile()).value_or(QByteArray());
}

bool EditorSetting::Save(const QByteArray& editorPath) const {
    if (WriteSetting(ProgramFile(), editorPath)) return true;
    if (!QDir().mkpath(configDirectory)) return false;
    return WriteSetting(UserFile(), editorPath);
}

}  // namespace quirtle
