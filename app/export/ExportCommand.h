#pragma once

#include <QString>
#include <cstdint>
#include <functional>
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
    // The same, giving 0 after a successful run and -1 otherwise.
    int32_t Export(int commandId);

    // True while a script runs. The window repaints meanwhile but must not close.
    bool busy() const { return busy_; }

  private:
    const ScriptEntry* FindEntry(int commandId) const;
    int32_t RunScript(const ScriptEntry& entry, const QString& outputPath, const std::string& xml);

    ManuscriptEditor& editor_;
    Prompts& prompts_;
    Desktop& desktop_;
    QWidget* owner_;
    const std::vector<ScriptEntry>& scripts_;
    std::function<QString()> documentPath_;
    QString programDirectory_;
    bool busy_ = false;
};

}  // namespace quirtle
