#include "export/ExportCommand.h"

#include <QFile>
#include <QScopedValueRollback>
#include <algorithm>
#include <chrono>
#include <memory>

#include "base/ManuscriptEditor.h"
#include "base/Prompts.h"
#include "export/BusyWait.h"
#include "export/ChildText.h"
#include "export/ExportXml.h"
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

    const std::optional<QString> output = prompts_.GetSaveFileName(owner_, SaveRequest(*entry));
    if (!output) return -1;
    if (IsSameFile(*output, documentPath_ ? documentPath_() : QString())) {
        prompts_.ShowMessage(owner_, QStringLiteral("原稿ファイルの上書きはできません"),
                             QStringLiteral("Error"), MessageButtons::Ok, MessageIcon::None);
        return -1;
    }

    // The export works on what is in the editor, unsaved edits included: the whole text, a
    // NUL byte included, as the preview reads it. Characters Shift_JIS cannot hold reach
    // the script as character references.
    std::optional<std::string> xml = MakeExportXml(editor_.Text());
    if (!xml) return -1;
    return RunScript(*entry, *output, *xml);
}

// One script run: everything the threads that write to the script and wait for it share
// with this object, kept until the last of them is done.
struct ExportCommand::ScriptRun {
    ChildPipe errors;
    ChildPipe input;
    ChildProcess script;
    std::string xml;
    QString outputPath;
    std::uint64_t number = 0;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    int32_t readerExit = -1;
    process::Status waited = process::kStatusFail;
    int32_t exitCode = -1;
};

namespace {

// A script that runs longer than this gets the notice that offers not to wait.
constexpr int kNoticeAfterMs = 10000;

QString ScriptNoticeText() {
    return QStringLiteral("エクスポートのスクリプトを実行しています。");
}

}  // namespace

int ExportCommand::NoticeDelay(const ScriptRun& run) const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - run.started)
                             .count();
    const int delay = noticeAfterMs_ < 0 ? kNoticeAfterMs : noticeAfterMs_;
    return static_cast<int>(std::max<long long>(0, delay - elapsed));
}

int32_t ExportCommand::RunScript(const ScriptEntry& entry, const QString& outputPath,
                                 const std::string& xml) {
    auto run = std::make_shared<ScriptRun>();
    if (Failed(run->errors.Create(PipeDirection::ChildWrites))) return -1;
    if (Failed(run->input.Create(PipeDirection::ChildReads))) return -1;

    const std::string directory =
        QFile::encodeName(ScriptDirectory(programDirectory_)).toStdString();
    if (Failed(run->script.SetArguments(ScriptArguments(entry, programDirectory_, outputPath))))
        return -1;
    if (Failed(run->script.SetWorkingDirectory(directory.c_str()))) return -1;
    if (Failed(run->script.SetEnvironment(nullptr))) return -1;
    run->script.SetStandardInput(run->input.childEnd());
    run->script.SetStandardError(run->errors.childEnd());
    if (Failed(run->script.Start(false))) return -1;
    run->input.CloseChildEnd();
    run->errors.CloseChildEnd();
    // Without a reader nothing is written: the script sees its input end when the pipes go.
    if (!run->errors.StartReader()) return -1;
    run->xml = xml;
    run->outputPath = outputPath;
    run->number = ++runs_;

    WaitEnd end = WaitEnd::Done;
    {
        const QScopedValueRollback<bool> busy(busy_, true);
        end = WaitWithNotice(
            owner_, ScriptNoticeText(), NoticeDelay(*run),
            [run] {
                // A script that has already ended makes this write fail; that is not looked at.
                run->input.Write(run->xml);
                run->input.CloseOwnEnd();
                run->readerExit = run->errors.reader()->Wait();
            },
            [this, alive = std::weak_ptr<char>(lifetime_), run] {
                if (alive.lock()) AfterReader(run, false);
            });
    }
    if (end == WaitEnd::StoppedWaiting) return 1;
    return AfterReader(run, true);
}

int32_t ExportCommand::AfterReader(const std::shared_ptr<ScriptRun>& run, bool waiting) {
    if (run->readerExit != 0) return -1;
    if (const std::string& text = run->errors.reader()->text(); !text.empty()) {
        prompts_.ShowMessage(owner_, DecodeChildText(text), QStringLiteral("Message"),
                             MessageButtons::Ok, MessageIcon::None);
    }
    auto waitForScript = [run] { run->waited = run->script.Wait(run->exitCode); };
    auto finishLater = [this, alive = std::weak_ptr<char>(lifetime_), run] {
        if (alive.lock()) Finish(*run, true);
    };
    if (!waiting) {
        RunInBackground(waitForScript, finishLater);
        return 1;
    }
    WaitEnd end = WaitEnd::Done;
    {
        const QScopedValueRollback<bool> busy(busy_, true);
        end = WaitWithNotice(owner_, ScriptNoticeText(), NoticeDelay(*run), waitForScript,
                             finishLater);
    }
    if (end == WaitEnd::StoppedWaiting) return 1;
    return Finish(*run, false);
}

int32_t ExportCommand::Finish(const ScriptRun& run, bool late) {
    if (Failed(run.waited) || run.exitCode != 0) return -1;
    if (late && run.number != runs_) {
        // The author has exported again since: this older result is not opened over it.
        prompts_.ShowMessage(owner_,
                             QStringLiteral("後からもう一度エクスポートしたため、先のエクスポートの"
                                            "結果は開きません:\n%1")
                                 .arg(run.outputPath),
                             QStringLiteral("Message"), MessageButtons::Ok,
                             MessageIcon::Information);
        return -1;
    }
    desktop_.OpenWithAssociatedProgram(run.outputPath);
    return 0;
}

}  // namespace quirtle
