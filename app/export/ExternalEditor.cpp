#include "export/ExternalEditor.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "base/ManuscriptEditor.h"
#include "base/Prompts.h"
#include "documents/UserMessages.h"
#include "export/BusyWait.h"
#include "platform/Desktop.h"
#include "process/ChildProcess.h"
#include "text/ShiftJis.h"

namespace quirtle {
namespace {

constexpr qint64 kSettingLimit = 260;  // an "EDITOR" file this long or longer is ignored

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

// Text another program saved: Shift_JIS as written, or UTF-8 (many editors save that).
std::optional<QString> DecodeEditedText(const QByteArray& bytes) {
    const std::string_view view(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (text::LooksLikeUtf8(view)) {
        QString text = QString::fromUtf8(bytes);
        if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        return text;
    }
    return text::DecodeShiftJis(view);
}

}  // namespace

ExternalEditor::ExternalEditor(ManuscriptEditor& editor, Prompts& prompts, Desktop& desktop,
                               QWidget* owner, QString programDirectory)
    : editor_(editor),
      prompts_(prompts),
      desktop_(desktop),
      owner_(owner),
      programDirectory_(std::move(programDirectory)) {}

void ExternalEditor::LoadEditorSetting() {
    QFile file(programDirectory_ + QStringLiteral("EDITOR"));
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray bytes = file.read(kSettingLimit);
    if (bytes.isEmpty() || bytes.size() >= kSettingLimit) return;
    const qsizetype nul = bytes.indexOf('\0');
    editorPath_ = nul >= 0 ? bytes.left(nul) : bytes;
}

void ExternalEditor::ChooseExternalEditor() {
    FileDialogRequest request;
    request.filters = {
        {QStringLiteral("exe ファイル (*.exe)"), QStringLiteral("*.exe")},
        {QStringLiteral("すべてのファイル (*.*)"), QStringLiteral("*.*")},
    };
    // Programs here carry no extension: all files are shown first, and no ".exe" is
    // added to a chosen name.
    request.selectedFilter = 1;
    const std::optional<QString> chosen = prompts_.GetOpenFileName(owner_, request);
    if (!chosen || !QFileInfo(*chosen).isFile()) return;
    editorPath_ = QFile::encodeName(*chosen);

    QFile file(programDirectory_ + QStringLiteral("EDITOR"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    file.write(editorPath_);
}

QByteArray ExternalEditor::EditorToRun() const {
    if (!editorPath_.isEmpty()) return editorPath_;
    const QString license = programDirectory_ + QStringLiteral("LICENSE.TXT");
    if (!QFileInfo::exists(license)) return {};
    const std::optional<QString> program = desktop_.FindDefaultProgram(license);
    if (!program || program->isEmpty()) return {};
    return QFile::encodeName(*program);
}

void ExternalEditor::LaunchExternalEditor() {
    if (busy_) return;
    const QByteArray program = EditorToRun();
    if (program.isEmpty()) return;

    text::EncodedText encoded = text::EncodeShiftJis(editor_.Text());
    if (encoded.firstUnencodable &&
        !documents::ConfirmUnencodable(prompts_, owner_, *encoded.firstUnencodable)) {
        return;
    }

    const QByteArray directory = QFile::encodeName(QDir::tempPath());
    TemporaryFile temporary(directory);
    if (!temporary.valid()) return;
    // A file that could not be written whole is not handed on: its text would come back
    // cut short and replace the manuscript.
    if (!temporary.WriteAndClose(encoded.bytes)) return;

    process::ChildProcess child;
    if (process::Failed(
            child.SetArguments({program.toStdString(), temporary.path().toStdString()}))) {
        return;
    }
    if (process::Failed(child.SetWorkingDirectory(directory.constData()))) return;
    if (process::Failed(child.SetEnvironment(nullptr))) return;
    if (process::Failed(child.Start(true))) return;

    const QScopedValueRollback<bool> busy(busy_, true);
    process::Status waited = process::kStatusFail;
    int32_t exitCode = -1;
    WaitWhileRepainting([&] { waited = child.Wait(exitCode); });
    if (process::Failed(waited) || exitCode != 0) return;
    ReloadFromFile(QFile::decodeName(temporary.path()));
}

void ExternalEditor::ReloadFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return;
    if (const std::optional<QString> text = DecodeEditedText(bytes)) editor_.ReplaceText(*text);
}

}  // namespace quirtle
