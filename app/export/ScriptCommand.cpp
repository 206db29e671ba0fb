#include "export/ScriptCommand.h"

#include <QFile>

#include "process/CommandLine.h"
#include "text/FileNames.h"
#include "text/ShiftJis.h"

namespace quirtle {

std::string ToSystemBytes(std::string_view shiftJis) {
    const std::optional<QString> text = text::DecodeShiftJis(shiftJis);
    if (!text) return std::string(shiftJis);
    return QFile::encodeName(*text).toStdString();
}

QString ScriptDirectory(const QString& programDirectory) {
    return programDirectory + QStringLiteral("script/");
}

std::vector<std::string> ScriptArguments(const ScriptEntry& entry, const QString& programDirectory,
                                         const QString& outputPath) {
    std::vector<std::string> arguments;
    for (const std::string& piece : process::SplitCommandLine(entry.program)) {
        arguments.push_back(ToSystemBytes(piece));
    }
    arguments.push_back(QFile::encodeName(ScriptDirectory(programDirectory)).toStdString() +
                        ToSystemBytes(entry.script));
    for (const std::string& piece : process::SplitArguments(entry.arguments)) {
        arguments.push_back(ToSystemBytes(piece));
    }
    arguments.emplace_back("-o");
    arguments.push_back(text::FileNameToBytes(outputPath).toStdString());
    return arguments;
}

}  // namespace quirtle
