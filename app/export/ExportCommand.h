#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scripts/ScriptEntry.h"

class QWidget;

namespace quirtle {

class Desktop;
class ManuscriptEditor;
class Prompts;

// The Export menu's script items: converts the editor's text into the export XML, asks
// for the output file, and runs the item's script with the XML on its standard input.
// When the script exits with code 0, the output file is opened with the program the
// desktop associates with it. What the script writes to standard error is shown in a box
// captioned "Message".
//
// `scripts` is the window's list from script.cfg and must outlive this object;
// `documentPath` gives the manuscript's file (empty when never saved);
// `programDirectory` ends in '/'; the scripts live in its "script/" folder.
class ExportCommand {
  public:
    ExportCommand(ManuscriptEditor& editor, Prompts& prompts, Desktop& desktop, QWidget* owner,
                  const std::vector<ScriptEntry>& scripts, std::function<QString()> documentPath,
                  QString programDirectory);
    virtual ~ExportCommand() = default;
    ExportCommand(const ExportCommand&) = delete;
    ExportCommand& operator=(const ExportCommand&) = delete;

    // The handler of the Export menu's script items (3280 + n).
    void RunExport(int commandId);
    // The same, giving 0 after a successful run, 1 when the author chose not to wait for
    // the script (its result is opened when it ends, unless the author has exported again
    // since), and -1 otherwise.
    int32_t Export(int commandId);
    // How long a script runs before the notice offers not to wait (tests shorten it).
    void SetNoticeDelay(int milliseconds) { noticeAfterMs_ = milliseconds; }

    // True while a script runs. The window repaints meanwhile but must not close.
    bool busy() const { return busy_; }

  private:
    struct ScriptRun;
    const ScriptEntry* FindEntry(int commandId) const;
    int32_t RunScript(const ScriptEntry& entry, const QString& outputPath, const std::string& xml);
    // After the script has closed its standard error: shows what it wrote there, then
    // waits for its end (`waiting`) or has it waited for in the background.
    int32_t AfterReader(const std::shared_ptr<ScriptRun>& run, bool waiting);
    // The script has ended: opens the output after exit code 0.
    int32_t Finish(const ScriptRun& run, bool late);
    int NoticeDelay(const ScriptRun& run) const;

    ManuscriptEditor& editor_;
    Prompts& prompts_;
    Desktop& desktop_;
    QWidget* owner_;
    const std::vector<ScriptEntry>& scripts_;
    std::function<QString()> documentPath_;
    QString programDirectory_;
    bool busy_ = false;
    int noticeAfterMs_ = -1;  // -1: the default
    std::uint64_t runs_ = 0;  // script runs started
    // Calls that arrive after the script has ended find this gone once the command is.
    std::shared_ptr<char> lifetime_ = std::make_shared<char>();
};

}  // namespace quirtle
