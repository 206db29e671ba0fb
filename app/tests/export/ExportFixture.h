#pragma once

#include <QDir>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "ConvertManuscript.h"
#include "export/ExportCommand.h"
#include "scripts/ScriptEntry.h"
#include "support/PlainTextEditor.h"
#include "support/RecordingDesktop.h"
#include "support/ScriptedPrompts.h"
#include "text/ShiftJis.h"

namespace quirtle::testing {

inline std::string Sjis(const QString& text) {
    return text::EncodeShiftJis(text).bytes;
}

// The export XML the converter makes of the given editor text.
inline std::string ExportXml(const QString& text) {
    std::string xml;
    ConvertManuscript(text::EncodeShiftJis(text).bytes, OutputMode::Xml, xml);
    return xml;
}

// A program folder with its script/ folder and an output folder in a fresh temporary
// directory, a real editor, scripted prompts, a recording desktop and the command.
struct ExportFixture {
    QTemporaryDir root;
    QString programDirectory = root.filePath("app") + "/";
    QString outputDirectory = root.filePath("out") + "/";
    PlainTextEditor editor;
    ScriptedPrompts prompts;
    RecordingDesktop desktop;
    std::vector<ScriptEntry> scripts;
    QString documentPath;
    ExportCommand command{editor,          prompts, desktop,
                          nullptr,         scripts, [this] { return documentPath; },
                          programDirectory};

    ExportFixture() {
        QDir().mkpath(programDirectory + "script");
        QDir().mkpath(outputDirectory);
    }

    ScriptEntry& AddEntry(std::string program, std::string script, std::string arguments,
                          std::string extension, std::string label = "&Test") {
        ScriptEntry entry;
        entry.label = std::move(label);
        entry.program = std::move(program);
        entry.script = std::move(script);
        entry.arguments = std::move(arguments);
        entry.extension = std::move(extension);
        entry.commandId = 3280 + static_cast<int32_t>(scripts.size());
        scripts.push_back(entry);
        return scripts.back();
    }
};

}  // namespace quirtle::testing
