#include "documents/DocumentFiles.h"

#include <QFile>

#include "base/ManuscriptEditor.h"
#include "base/Prompts.h"
#include "documents/DocumentImport.h"
#include "documents/ManuscriptFile.h"
#include "documents/UserMessages.h"
#include "text/EncodingDetection.h"
#include "text/FileNames.h"
#include "text/ShiftJis.h"
#include "text/Utf8ShiftJis.h"

namespace quirtle {
namespace {

FileDialogRequest ManuscriptDialog(bool save) {
    FileDialogRequest request;
    request.filters = {{QStringLiteral("テキスト ファイル (*.txt)"), QStringLiteral("*.txt")},
                       {QStringLiteral("すべてのファイル (*.*)"), QStringLiteral("*.*")}};
    request.selectedFilter = 0;
    request.defaultSuffix = QStringLiteral("txt");
    if (save) {
        request.initialName = QStringLiteral("無題");
        request.overwritePrompt = true;
    }
    return request;
}

}  // namespace

DocumentFiles::DocumentFiles(ManuscriptEditor& editor, Prompts& prompts, QWidget* owner)
    : editor_(editor), prompts_(prompts), owner_(owner) {}

DocumentFiles::Answer DocumentFiles::AskSaveChanges() {
    switch (prompts_.ShowMessage(owner_, QStringLiteral("変更を保存しますか?"),
                                 QStringLiteral("確認"), MessageButtons::YesNoCancel,
                                 MessageIcon::None)) {
        case MessageAnswer::Yes:
            return Answer::Yes;
        case MessageAnswer::No:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

void DocumentFiles::ResetDocument() {
    documentPath_.clear();
    ChangeEncoding(ManuscriptEncoding::ShiftJis, false);
    editor_.ReplaceText(QString());
    editor_.EmptyUndoBuffer();
    editor_.SetModified(false);
}

bool DocumentFiles::SaveChangesFirst() {
    if (!editor_.IsModified()) return true;
    switch (AskSaveChanges()) {
        case Answer::Yes:
            // A save that does not happen (dialog cancelled, write failed) stops the
            // command: going on would throw the text away.
            return Save();
        case Answer::No:
            return true;
        case Answer::Cancel:
            return false;
    }
    return false;
}

void DocumentFiles::NewDocument() {
    if (SaveChangesFirst()) ResetDocument();
}

void DocumentFiles::OpenDocument() {
    if (SaveChangesFirst()) ChooseAndOpen();
}

void DocumentFiles::ImportDocument() {
    if (!SaveChangesFirst()) return;
    const std::optional<QString> manuscript = documents::ChooseAndImport(prompts_, owner_);
    if (!manuscript) return;
    ResetDocument();
    RestoreUnsaved(QString(), *manuscript);
}

void DocumentFiles::ChooseAndOpen() {
    const std::optional<QString> path = prompts_.GetOpenFileName(owner_, ManuscriptDialog(false));
    if (!path) return;

    // A file that cannot be read (missing, no permission, not a regular file) ends the
    // command silently with nothing changed.
    const std::optional<std::string> bytes =
        documents::ReadManuscriptBytes(text::FileNameToBytes(*path));
    if (!bytes) return;

    const std::optional<text::DecodedText> decoded = text::DecodeAnyText(*bytes);
    if (!decoded) {
        prompts_.ShowMessage(owner_, documents::NotShiftJisText(*path), QStringLiteral("エラー"),
                             MessageButtons::Ok, MessageIcon::Error);
        return;
    }
    // Shift_JIS and UTF-8 files open as they are and are saved in their encoding again. A
    // file in another encoding opens converted, as an unsaved change: the next save writes
    // it as Shift_JIS (or asks about UTF-8 when Shift_JIS cannot hold it).
    const bool utf8 = decoded->encoding == text::TextEncoding::Utf8 ||
                      decoded->encoding == text::TextEncoding::Utf8WithBom;
    const bool converted = decoded->encoding != text::TextEncoding::ShiftJis && !utf8;
    if (converted &&
        prompts_.ShowMessage(owner_, documents::ConvertOnOpenText(*path, decoded->encoding),
                             QStringLiteral("確認"), MessageButtons::YesNo,
                             MessageIcon::Question) != MessageAnswer::Yes) {
        return;
    }

    // Replacing the text is one undoable edit: the history is kept on purpose.
    editor_.ReplaceText(decoded->text);
    editor_.SetModified(converted);
    documentPath_ = *path;
    ChangeEncoding(utf8 ? ManuscriptEncoding::Utf8 : ManuscriptEncoding::ShiftJis,
                   decoded->encoding == text::TextEncoding::Utf8WithBom);
}

void DocumentFiles::SaveDocument() {
    Save();
}

void DocumentFiles::SaveDocumentAs() {
    SaveUnderNewName();
}

bool DocumentFiles::Save() {
    if (documentPath_.isEmpty()) return SaveUnderNewName();
    if (WriteDocument(documentPath_) < 0) return false;
    editor_.SetModified(false);
    return true;
}

bool DocumentFiles::SaveUnderNewName() {
    const QString previous = documentPath_;
    if (!PromptSaveName()) return false;
    if (WriteDocument(documentPath_) < 0) {
        // Nothing was written under the new name: the document is still what it was.
        documentPath_ = previous;
        return false;
    }
    editor_.SetModified(false);
    return true;
}

bool DocumentFiles::PromptSaveName() {
    const std::optional<QString> path = prompts_.GetSaveFileName(owner_, ManuscriptDialog(true));
    if (!path || path->isEmpty()) return false;
    documentPath_ = *path;
    return true;
}

std::optional<std::string> DocumentFiles::EncodeForSaving(ManuscriptEncoding& encoding) {
    const std::string utf8 = text::Utf8WithCrLf(editor_.Text());
    if (encoding == ManuscriptEncoding::ShiftJis) {
        std::string bytes;
        std::optional<text::Unencodable> first;
        const bool held = text::Utf8ToShiftJis(
            utf8, bytes, [&first, &utf8](char32_t character, std::size_t offset, std::string&) {
                first = text::Unencodable{character, text::LineAt(utf8, offset)};
                return false;
            });
        if (held) return bytes;
        if (!documents::ConfirmSaveAsUtf8(prompts_, owner_, *first)) return std::nullopt;
        encoding = ManuscriptEncoding::Utf8;
    }
    return byteOrderMark_ ? "\xEF\xBB\xBF" + utf8 : utf8;
}

int32_t DocumentFiles::WriteDocument(const QString& path) {
    ManuscriptEncoding encoding = encoding_;
    const std::optional<std::string> bytes = EncodeForSaving(encoding);
    if (!bytes) return kStatusCancelled;
    const int error = documents::ReplaceFileContents(text::FileNameToBytes(path), *bytes);
    if (error != 0) {
        prompts_.ShowMessage(owner_, documents::SaveFailedText(path, error),
                             QStringLiteral("エラー"), MessageButtons::Ok, MessageIcon::Error);
        return StatusFromError(error);
    }
    ChangeEncoding(encoding, byteOrderMark_);
    return 0;
}

void DocumentFiles::SetEncoding(ManuscriptEncoding encoding) {
    ChangeEncoding(encoding, byteOrderMark_);
}

void DocumentFiles::ChangeEncoding(ManuscriptEncoding encoding, bool byteOrderMark) {
    const bool changed = encoding != encoding_;
    encoding_ = encoding;
    byteOrderMark_ = byteOrderMark;
    if (changed && encodingObserver_) encodingObserver_();
}

void DocumentFiles::RestoreUnsaved(const QString& path, const QString& text) {
    editor_.ReplaceText(text);
    editor_.SetModified(true);
    documentPath_ = path;
    // The copy keeps no encoding: the manuscript's file on disk tells it, if it is there.
    bool utf8 = false;
    bool byteOrderMark = false;
    if (!path.isEmpty()) {
        if (const auto bytes = documents::ReadManuscriptBytes(text::FileNameToBytes(path))) {
            if (const auto decoded = text::DecodeAnyText(*bytes)) {
                byteOrderMark = decoded->encoding == text::TextEncoding::Utf8WithBom;
                utf8 = byteOrderMark || decoded->encoding == text::TextEncoding::Utf8;
            }
        }
    }
    ChangeEncoding(utf8 ? ManuscriptEncoding::Utf8 : ManuscriptEncoding::ShiftJis, byteOrderMark);
}

bool DocumentFiles::ConfirmClose() {
    return SaveChangesFirst();
}

}  // namespace quirtle
