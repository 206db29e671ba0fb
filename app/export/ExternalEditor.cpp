#include "export/ExternalEditor.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QStandardPaths>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ManuscriptEditor.h"
#include "base/Prompts.h"
#include "documents/UserMessages.h"
#include "export/BusyWait.h"
#include "export/EditorLaunch.h"
#include "export/EditorSetting.h"
#include "export/TempFileWatch.h"
#include "platform/Desktop.h"
#include "process/ChildProcess.h"
#include "text/EncodingDetection.h"
#include "text/LocaleCharset.h"
#include "text/ShiftJis.h"
#include "text/Utf8ShiftJis.h"

namespace quirtle {
namespace {

// The temporary file of one run, deleted when the run ends, whatever happened.
class TemporaryFile {
  public:
    // Creates "QRTxxxxxx.tmp" in `directory`; valid() tells whether it worked.
    explicit TemporaryFile(const QByteArray& directory) {
        QByteArray pattern = directory + "/QRTXXXXXX.tmp";
        fd_ = mkostemps(pattern.data(), 4, O_CLOEXEC);
        if (fd_ >= 0) path_ = pattern;
    }
    ~TemporaryFile() {
        CloseFile();
        if (!path_.isEmpty()) unlink(path_.constData());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool valid() const { return fd_ >= 0; }
    const QByteArray& path() const { return path_; }
    // The file stays when this object goes.
    void Keep() { path_.clear(); }

    // Writes all of `bytes` and closes the file; false when any of it failed.
    bool WriteAndClose(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t written = write(fd_, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return false;
            bytes.remove_prefix(static_cast<size_t>(written));
        }
        return CloseFile();
    }

  private:
    bool CloseFile() {
        if (fd_ < 0) return true;
        const bool closed = close(fd_) == 0;
        fd_ = -1;
        return closed;
    }

    int fd_ = -1;
    QByteArray path_;
};

// The whole file, or nothing when it cannot be read.
std::optional<QByteArray> ReadWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

std::optional<QString> DecodeEditedText(const QByteArray& bytes) {
    const QByteArray charset = text::LocaleCharset();
    const std::optional<text::DecodedText> decoded =
        text::DecodeAnyText(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                            charset.constData());
    if (!decoded) return std::nullopt;
    return decoded->text;
}

}  // namespace

ExternalEditor::ExternalEditor(ManuscriptEditor& editor, Prompts& prompts, Desktop& desktop,
                               QWidget* owner, QString programDirectory)
    : editor_(editor),
      prompts_(prompts),
      desktop_(desktop),
      owner_(owner),
      programDirectory_(std::move(programDirectory)) {}

ExternalEditor::~ExternalEditor() {
    watch_.reset();
    for (const QString& path : removeAtEnd_) QFile::remove(path);
}

void ExternalEditor::LoadEditorSetting() {
    editorPath_ = EditorSetting(programDirectory_).Load();
}

void ExternalEditor::ChooseExternalEditor() {
    FileDialogRequest request;
    request.filters = {
        {QStringLiteral("exe ファイル (*.exe)"), QStringLiteral("*.exe")},
        {QStringLiteral("すべてのファイル (*.*)"), QStringLiteral("*.*")},
    };
    // A name typed without extension gets ".exe" only when no such file exists, so any
    // program is still accepted.
    request.defaultSuffix = QStringLiteral("exe");
    const std::optional<QString> chosen = prompts_.GetOpenFileName(owner_, request);
    if (!chosen || !QFileInfo(*chosen).isFile()) return;
    editorPath_ = QFile::encodeName(*chosen);
    EditorSetting(programDirectory_).Save(editorPath_);
}

QStringList ExternalEditor::EditorCommand(const QString& file) const {
    std::optional<QStringList> command;
    if (!editorPath_.isEmpty()) {
        command = EditorCommandForProgram(QFile::decodeName(editorPath_), file);
    } else {
        const QString license = programDirectory_ + QStringLiteral("LICENSE.TXT");
        if (!QFileInfo::exists(license)) return {};
        if (const std::optional<QString> exec = desktop_.FindDefaultExec(license)) {
            command = EditorCommandFromExec(*exec, file);
        } else if (const std::optional<QString> program = desktop_.FindDefaultProgram(license);
                   program && !program->isEmpty()) {
            command = EditorCommandForProgram(*program, file);
        }
    }
    if (!command || command->isEmpty()) return {};
    // A desktop entry may name its program without a path.
    if (!command->first().contains(u'/')) {
        const QString found = QStandardPaths::findExecutable(command->first());
        if (found.isEmpty()) return {};
        (*command)[0] = found;
    }
    return *command;
}

void ExternalEditor::LaunchExternalEditor() {
    if (busy_) return;
    const QByteArray directory = QFile::encodeName(QDir::tempPath());
    // The command is looked up before the file exists; its name is put in afterwards.
    const QString placeholder = QStringLiteral("\u0001QRT-FILE\u0001");
    const QStringList command = EditorCommand(placeholder);
    if (command.isEmpty()) return;

    const QByteArray charset = text::LocaleCharset();
    // The locale's character set (UTF-8 on current desktops) holds every character; where
    // another one cannot hold some, the file goes out as UTF-8 if the author agrees, never
    // with characters replaced. Read back, UTF-8 is understood either way.
    text::EncodedText encoded = text::EncodeText(charset.constData(), editor_.Text());
    if (encoded.firstUnencodable) {
        if (!documents::ConfirmEditorFileAsUtf8(prompts_, owner_, *encoded.firstUnencodable,
                                                QString::fromLatin1(charset))) {
            return;
        }
        encoded.bytes = text::Utf8WithCrLf(editor_.Text());
    }

    TemporaryFile temporary(directory);
    if (!temporary.valid()) return;
    // A file that could not be written whole is not handed on: its text would come back
    // cut short and replace the manuscript.
    if (!temporary.WriteAndClose(encoded.bytes)) return;
    const QString path = QFile::decodeName(temporary.path());
    const QByteArray written = QByteArray::fromStdString(encoded.bytes);

    std::vector<std::string> arguments;
    for (QString argument : command) {
        argument.replace(placeholder, path);
        arguments.push_back(QFile::encodeName(argument).toStdString());
    }
    // Shared with the wait's thread, which may outlive this call (待たずに続ける).
    auto child = std::make_shared<process::ChildProcess>();
    if (process::Failed(child->SetArguments(arguments))) return;
    if (process::Failed(child->SetWorkingDirectory(directory.constData()))) return;
    if (process::Failed(child->SetEnvironment(nullptr))) return;
    // Another external edit begins: an earlier watched file is no longer taken back.
    StopWatching();
    if (process::Failed(child->Start(true))) return;

    struct Outcome {
        process::Status waited = process::kStatusFail;
        int32_t exitCode = -1;
    };
    auto outcome = std::make_shared<Outcome>();
    WaitEnd end = WaitEnd::Done;
    {
        const QScopedValueRollback<bool> busy(busy_, true);
        end = WaitWithNotice(
            owner_, QStringLiteral("外部エディタの終了を待っています。"), 0,
            [child, outcome] { outcome->waited = child->Wait(outcome->exitCode); }, [child] {});
    }
    if (end == WaitEnd::StoppedWaiting) {
        // The editor goes on (it is never stopped); each save of the file still reaches
        // the editor pane, as for an editor that hands the file on.
        temporary.Keep();
        StartWatching(path, written);
        return;
    }
    if (process::Failed(outcome->waited) || outcome->exitCode != 0) return;

    const std::optional<QByteArray> bytes = ReadWhole(path);
    if (!bytes) return;  // removed or made unreadable by the editor: nothing to take back
    if (*bytes == written) {
        // The editor returned before anything was saved (it handed the file to an
        // instance already running, or was closed without saving): keep watching.
        temporary.Keep();
        StartWatching(path, written);
        return;
    }
    if (!TakeBack(path, *bytes)) temporary.Keep();
}

bool ExternalEditor::TakeBack(const QString& path, const QByteArray& bytes) {
    const std::optional<QString> text = DecodeEditedText(bytes);
    if (!text) {
        prompts_.ShowMessage(owner_, documents::UnreadableEditText(path), QStringLiteral("エラー"),
                             MessageButtons::Ok, MessageIcon::Error);
        return false;
    }
    const QScopedValueRollback<bool> replacing(replacing_, true);
    editor_.ReplaceText(*text);
    return true;
}

void ExternalEditor::StartWatching(const QString& path, const QByteArray& written) {
    StopWatching();
    watch_ = std::make_unique<TempFileWatch>(path, written);
    watch_->SetSettleTime(settleMs_);
    removeAtEnd_.append(path);
    QObject::connect(watch_.get(), &TempFileWatch::Saved, watch_.get(),
                     [this, path](const QByteArray& bytes) {
                         // A file holding text that could not be read is the author's
                         // only copy of it: it stays, also after the program ends.
                         removeAtEnd_.removeAll(path);
                         if (TakeBack(path, bytes)) removeAtEnd_.append(path);
                     });
    if (watchingChanged_) watchingChanged_(true);
}

void ExternalEditor::StopWatching() {
    if (!watch_) return;
    // Deleted later, as this may run inside the watch's own signal; nothing more of it
    // reaches the editor.
    TempFileWatch* watch = watch_.release();
    watch->Stop();
    watch->deleteLater();
    if (watchingChanged_) watchingChanged_(false);
}

void ExternalEditor::NotePaneEdited() {
    if (!replacing_) StopWatching();
}

void ExternalEditor::SetWatchingChanged(std::function<void(bool)> callback) {
    watchingChanged_ = std::move(callback);
}

std::optional<QString> ExternalEditor::WatchedFile() const {
    if (!watch_) return std::nullopt;
    return watch_->path();
}

bool ExternalEditor::ReloadFromFile(const QString& path) {
    const std::optional<QByteArray> bytes = ReadWhole(path);
    if (!bytes) return false;
    const std::optional<QString> text = DecodeEditedText(*bytes);
    if (!text) return false;
    const QScopedValueRollback<bool> replacing(replacing_, true);
    editor_.ReplaceText(*text);
    return true;
}

}  // namespace quirtle
