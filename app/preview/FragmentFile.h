#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>
#include <string>
#include <string_view>

namespace quirtle {

// The file through which the preview's HTML fragment reaches the page: it lies in a
// private temporary folder of the program, which goes when this object goes.
class FragmentFile {
  public:
    // Creates the folder in the system's temporary folder (only its owner may enter it).
    FragmentFile();

    // False when the folder could not be created: the fragment then goes another way.
    bool IsValid() const { return folder && folder->isValid(); }
    QString FolderPath() const { return IsValid() ? folder->path() : QString(); }
    // The file's URL, as the page fetches it.
    QUrl Url() const { return url; }

    // Replaces the file's content by the bytes (written under another name, then renamed
    // over the file, so a reader sees the old content or the new, never a part). One
    // writer at a time; any thread. False, with the old file untouched, when writing
    // failed.
    bool Write(std::string_view bytes) const;

  private:
    std::unique_ptr<QTemporaryDir> folder;
    QUrl url;
    std::string filePath;
    std::string partPath;
};

}  // namespace quirtle
