#include "export/ExportCommand.h"

#include <QFile>
#include <QScopedValueRollback>

#include "ConvertManuscript.h"
#include "base/ManuscriptEditor.h"
#include "base/Prompts.h"
#include "documents/UserMessages.h"
#include "export/BusyWait.h"
#include "export/ChildText.h"
#include "export/SameFile.h"
#include "export/ScriptCommand.h"
#include "platform/Desktop.h"
#include "process/ChildPipe.h"
#include "process/ChildProcess.h"
#include "text/ShiftJis.h"

namespace quirtle {
namespace {

using process::ChildPipe;
using process::ChildProcess;
using process::Failed;
using process::PipeDirection;

FileDialogRequest SaveRequest(const ScriptEntry& entry) {
    const QString extension = text::DecodeShiftJis(entry.extension)
                                  .value_or(QString::fromLatin1(entry.extension.c_str()));
    FileDialogRequest request;
    request.filters = {
        {QStringLiteral("%1 ファイル (*.%1)").arg(extension), QStringLiteral("*.") + extension},
        {QStringLiteral("すべてのファイル (*.*)"), QStringLiteral("*.*")},
    };
    request.defaultSuffix = extension;
    request.initialName = QStringLiteral("無題");
    request.overwritePrompt = true;
    return request;
}

}  // namespace

ExportCommand::ExportCommand(ManuscriptEditor& editor, Prompts& prompts, Desktop& desktop,
                             QWidget* owner, const std::vector<ScriptEntry>& scripts,
                             std::function<QString()> documentPath, QString programDirectory)
    : editor_(editor),
      prompts_(prompts),
      desktop_(desktop),
      owner_(owner),
      scripts_(scripts),
      documentPath_(std::move(documentPath)),
      programDirectory_(std::move(programDirectory)) {}

void ExportCommand::RunExport(int commandId) {
    Export(commandId);
}

const ScriptEntry* ExportCommand::FindEntry(int commandId) const {
    const int32_t wanted = commandId & 0xFFFF;
    for (const ScriptEntry& entry : scripts_) {
        if (entry.commandId == wanted) return &entry;
    }
    return nullptr;
}

int32_t ExportCommand::Export(int commandId) {
    if (busy_) return -1;
    const ScriptEntry* entry = FindEntry(commandId);
    if (entry == nullptr) return -1;

    // The export works on what is in the editor, unsaved edits included. Characters that
    // Shift_JIS cannot hold are reported before anything else happens.
    text::EncodedText encoded = text::EncodeShiftJis(editor_.Text());
    if (encoded.firstUnencodable &&
        !documents::ConfirmUnencodable(prompts_, owner_, *encoded.firstUnencodable)) {
        return -1;
    }

    const std::optional<QString> output = prompts_.GetSaveFileName(owner_, SaveRequest(*entry));
    if (!output) return -1;
    if (IsSameFile(*output, documentPath_ ? documentPath_() : QString())) {
        prompts_.ShowMessage(owner_, QStringLiteral("原稿ファイルの上書きはできません"),
                             QStringLiteral("Error"), MessageButtons::Ok, MessageIcon::None);
        return -1;
    }

    // The manuscript ends at its first NUL character, as the preview reads it too.
    std::string xml;
    if (ConvertManuscript(TextBeforeNul(encoded.bytes), OutputMode::Xml, xml) < 0) return -1;
    return RunScript(*entry, *output, xml);
}

int32_t ExportCommand::RunScript(const ScriptEntry& entry, const QString& outputPath,
                                 const std::string& xml) {
    ChildPipe errors;
    if (Failed(errors.Create(PipeDirection::ChildWrites))) return -1;
    ChildPipe input;
    if (Failed(input.Create(PipeDirection::ChildReads))) return -1;

    ChildProcess script;
    const std::string directory =
        QFile::encodeName(ScriptDirectory(programDirectory_)).toStdString();
    if (Failed(script.SetArguments(ScriptArguments(entry, programDirectory_, outputPath))))
        return -1;
    if (Failed(script.SetWorkingDirectory(directory.c_str()))) return -1;
    if (Failed(script.SetEnvironment(nullptr))) return -1;
    script.SetStandardInput(input.childEnd());
    script.SetStandardError(errors.childEnd());
    if (Failed(script.Start(false))) return -1;
    input.CloseChildEnd();
    errors.CloseChildEnd();
    // Without a reader nothing is written: the script sees its input end when the pipes go.
    if (!errors.StartReader()) return -1;

    const QScopedValueRollback<bool> busy(busy_, true);
    int32_t readerExit = -1;
    WaitWhileRepainting([&] {
        // A script that has already ended makes this write fail; that is not looked at.
        input.Write(xml);
        input.CloseOwnEnd();
        readerExit = errors.reader()->Wait();
    });
    if (readerExit != 0) return -1;
    if (const std::string& text = errors.reader()->text(); !text.empty()) {
        prompts_.ShowMessage(owner_, DecodeChildText(text), QStringLiteral("Message"),
                             MessageButtons::Ok, MessageIcon::None);
    }

    process::Status waited = process::kStatusFail;
    int32_t exitCode = -1;
    WaitWhileRepainting([&] { waited = script.Wait(exitCode); });
    if (Failed(waited) || exitCode != 0) return -1;

    desktop_.OpenWithAssociatedProgram(outputPath);
    return 0;
}

}  // namespace quirtle
