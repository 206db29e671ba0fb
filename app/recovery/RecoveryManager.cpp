#include "recovery/RecoveryManager.h"

#include <QDateTime>
#include <QFile>
#include <QStringList>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "base/ManuscriptEditor.h"
#include "base/Prompts.h"
#include "recovery/RecoveryStore.h"
#include "recovery/RecoveryWriter.h"
#include "text/FileNames.h"

namespace quirtle {
namespace {

constexpr int kPauseMs = 2000;
constexpr int kLongestMs = 20000;
constexpr std::time_t kKeptSeconds = 7 * 24 * 60 * 60;

QString ReasonText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString ChoiceLabel(const recovery::FoundCopy& copy) {
    const QString name = copy.manuscriptPath.isEmpty()
                             ? QStringLiteral("無題")
                             : text::ShownFileName(text::FileNameFromBytes(copy.manuscriptPath));
    const QString when =
        QDateTime::fromSecsSinceEpoch(copy.written).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return QStringLiteral("%1  (%2, %3 バイト)").arg(name, when).arg(copy.size);
}

}  // namespace

QByteArray RecoveryFolder() {
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    if (state.startsWith('/')) return state + "/quirtle";
    return qgetenv("HOME") + "/.local/state/quirtle";
}

RecoveryManager::RecoveryManager(QByteArray folder, ManuscriptEditor& editor,
                                 std::function<QString()> documentPath, QObject* parent)
    : QObject(parent),
      folder_(std::move(folder)),
      editor_(editor),
      documentPath_(std::move(documentPath)) {
    pause_.setSingleShot(true);
    pause_.setInterval(kPauseMs);
    longest_.setSingleShot(true);
    longest_.setInterval(kLongestMs);
    connect(&pause_, &QTimer::timeout, this, &RecoveryManager::WriteCopy);
    connect(&longest_, &QTimer::timeout, this, &RecoveryManager::WriteCopy);
}

RecoveryManager::~RecoveryManager() {
    writer_.reset();  // finishes a write under way
}

void RecoveryManager::SetDelays(int pauseMs, int longestMs) {
    pause_.setInterval(pauseMs);
    longest_.setInterval(longestMs);
}

bool RecoveryManager::Start() {
    store_ = std::make_unique<recovery::RecoveryStore>(folder_);
    if (const int error = store_->Open()) {
        errorText_ = QStringLiteral("復元用の控えを保存するフォルダを使えません: %1 (%2)")
                         .arg(QFile::decodeName(folder_), ReasonText(error));
        store_.reset();
        return false;
    }
    // Called on the writer's thread; the signals reach this object's thread.
    writer_ = std::make_unique<recovery::RecoveryWriter>(*store_, [this](int error) {
        QMetaObject::invokeMethod(
            this, [this, error] { Finished(error); }, Qt::QueuedConnection);
    });
    return true;
}

QByteArray RecoveryManager::CopyPath() const {
    return store_ ? store_->CopyPath() : QByteArray();
}

std::optional<RecoveryManager::Restored> RecoveryManager::OfferRestore(Prompts& prompts,
                                                                       QWidget* owner) {
    if (!store_) return std::nullopt;
    store_->PurgeKept(std::time(nullptr), kKeptSeconds);
    std::vector<recovery::FoundCopy> copies = store_->FindAbandoned();
    if (copies.empty()) return std::nullopt;

    QStringList choices;
    for (const recovery::FoundCopy& copy : copies) choices.append(ChoiceLabel(copy));
    const QString text =
        QStringLiteral(
            "前回保存されなかった原稿があります。復元しますか?\n\n"
            "いいえを選ぶと、原稿は次のフォルダに 1 週間残され、その後削除されます:\n%1")
            .arg(QFile::decodeName(store_->KeptFolder()));
    const std::optional<int> chosen =
        prompts.AskWithChoice(owner, text, QStringLiteral("確認"), choices);

    if (!chosen || *chosen < 0 || *chosen >= static_cast<int>(copies.size())) {
        for (recovery::FoundCopy& copy : copies) {
            if (const int error = store_->Keep(copy)) {
                prompts.ShowMessage(owner,
                                    QStringLiteral("復元用の控えを移せません: %1 (%2)")
                                        .arg(QFile::decodeName(folder_), ReasonText(error)),
                                    QStringLiteral("エラー"), MessageButtons::Ok,
                                    MessageIcon::Error);
                recovery::RecoveryStore::Release(copy);
            }
        }
        return std::nullopt;
    }

    // The others stay where they are and are offered again at the next start.
    recovery::FoundCopy& copy = copies[static_cast<size_t>(*chosen)];
    for (recovery::FoundCopy& other : copies) {
        if (&other != &copy) recovery::RecoveryStore::Release(other);
    }
    QByteArray bytes;
    if (!store_->ReadText(copy, bytes)) {
        prompts.ShowMessage(owner,
                            QStringLiteral("復元用の控えを読めません: %1")
                                .arg(QFile::decodeName(folder_ + '/' + copy.id + ".txt")),
                            QStringLiteral("エラー"), MessageButtons::Ok, MessageIcon::Error);
        recovery::RecoveryStore::Release(copy);
        return std::nullopt;
    }
    Restored restored{QString::fromUtf8(bytes), text::FileNameFromBytes(copy.manuscriptPath)};
    // The copy becomes this program's own: it stays on disk until the text is saved.
    if (store_->Adopt(copy) != 0) recovery::RecoveryStore::Release(copy);
    return restored;
}

void RecoveryManager::NoteTextChanged() {
    if (!writer_ || ended_) return;
    pause_.start();
    if (!longest_.isActive()) longest_.start();
}

void RecoveryManager::NoteModifiedChanged(bool modified) {
    if (!writer_ || ended_) return;
    if (modified) {
        NoteTextChanged();
        return;
    }
    Discard();
}

void RecoveryManager::Discard() {
    if (!writer_ || ended_) return;
    pause_.stop();
    longest_.stop();
    writer_->Remove();
}

void RecoveryManager::WriteCopy() {
    pause_.stop();
    longest_.stop();
    if (!writer_ || ended_ || !editor_.IsModified()) return;
    const QString path = documentPath_ ? documentPath_() : QString();
    writer_->Write(editor_.Text(), text::FileNameToBytes(path));
}

void RecoveryManager::KeepNow() {
    if (!writer_ || ended_) return;
    if (editor_.IsModified()) WriteCopy();
    writer_->Flush();
}

void RecoveryManager::EndNormally() {
    if (!writer_ || ended_) return;
    ended_ = true;
    pause_.stop();
    longest_.stop();
    writer_->Flush();
    writer_.reset();
    store_->Close();
}

void RecoveryManager::Finished(int error) {
    emit CopyFinished(error);
    if (error == 0) {
        reportedFailure_ = false;
        return;
    }
    if (reportedFailure_) return;
    reportedFailure_ = true;
    emit CopyFailed(QStringLiteral("復元用の控えを書けません: %1 (%2)")
                        .arg(QFile::decodeName(CopyPath()), ReasonText(error)));
}

}  // namespace quirtle
