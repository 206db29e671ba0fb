#include "platform/QtDesktop.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "platform/DesktopEntry.h"

namespace quirtle {

namespace {

constexpr int kQueryTimeoutMs = 5000;

// Runs xdg-mime with the given arguments; its first output line, or nothing.
std::optional<QString> QueryXdgMime(const QStringList& arguments) {
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty()) return std::nullopt;
    QProcess process;
    process.setProgram(xdgMime);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForFinished(kQueryTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    const QString line =
        QString::fromLocal8Bit(process.readAllStandardOutput()).section('\n', 0, 0);
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    return trimmed;
}

// The text of the desktop entry of the default program for the file's type.
std::optional<QString> DefaultEntryText(const QString& path) {
    if (!QFileInfo::exists(path)) return std::nullopt;
    const auto mimeType = QueryXdgMime({QStringLiteral("query"), QStringLiteral("filetype"), path});
    if (!mimeType) return std::nullopt;
    const auto entryName =
        QueryXdgMime({QStringLiteral("query"), QStringLiteral("default"), *mimeType});
    if (!entryName) return std::nullopt;
    const QString entryPath =
        QStandardPaths::locate(QStandardPaths::ApplicationsLocation, *entryName);
    if (entryPath.isEmpty()) return std::nullopt;
    QFile entry(entryPath);
    if (!entry.open(QIODevice::ReadOnly)) return std::nullopt;
    return QString::fromUtf8(entry.readAll());
}

}  // namespace

bool QtDesktop::OpenWithAssociatedProgram(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

bool QtDesktop::OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

std::optional<QString> QtDesktop::FindDefaultExec(const QString& path) {
    const std::optional<QString> entry = DefaultEntryText(path);
    if (!entry) return std::nullopt;
    return ExecOfDesktopEntry(*entry);
}

std::optional<QString> QtDesktop::FindDefaultProgram(const QString& path) {
    const std::optional<QString> entry = DefaultEntryText(path);
    if (!entry) return std::nullopt;
    const auto program = ProgramOfDesktopEntry(*entry);
    if (!program) return std::nullopt;
    const QString found = QStandardPaths::findExecutable(*program);
    if (found.isEmpty()) return std::nullopt;
    return found;
}

std::optional<QString> ProgramOfDesktopEntry(const QString& entryText) {
    bool inMainGroup = false;
    for (const QString& rawLine : entryText.split('\n')) {
        const QString line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup || !line.startsWith(QStringLiteral("Exec"))) continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.left(equals).trimmed() != QStringLiteral("Exec")) continue;
        const QString value = line.mid(equals + 1).trimmed();
        QString program;
        bool quoted = false;
        for (qsizetype i = 0; i < value.size(); ++i) {
            const QChar c = value[i];
            if (quoted) {
                if (c == '"') {
                    quoted = false;
                } else if (c == '\\' && i + 1 < value.size()) {
                    program += value[++i];
                } else {
                    program += c;
                }
            } else if (c == '"') {
                quoted = true;
            } else if (c.isSpace()) {
                break;
            } else {
                program += c;
            }
        }
        if (program.isEmpty()) return std::nullopt;
        return program;
    }
    return std::nullopt;
}

}  // namespace quirtle
