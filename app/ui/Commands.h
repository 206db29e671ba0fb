#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

namespace quirtle {

// Command ids of the main window's menu items, toolbar buttons and accelerators.
namespace command {
inline constexpr int kNew = 57600;
inline constexpr int kOpen = 57601;
inline constexpr int kSave = 57603;
inline constexpr int kSaveAs = 57604;
inline constexpr int kPrint = 57607;  // Ctrl+P: no item of its own, reaches the export command
inline constexpr int kExit = 57665;
inline constexpr int kUndo = 57643;
inline constexpr int kRedo = 57644;
inline constexpr int kCut = 57635;
inline constexpr int kCopy = 57634;
inline constexpr int kPaste = 57637;
inline constexpr int kSelectAll = 32775;
inline constexpr int kLaunchExternalEditor = 32777;
inline constexpr int kPreview = 32772;
inline constexpr int kChooseExternalEditor = 32776;
inline constexpr int kAutoPreview = 32778;
inline constexpr int kHelpContents = 32779;
inline constexpr int kAbout = 57664;
inline constexpr int kNextPane = 57680;      // F6: reaches the export command
inline constexpr int kPreviousPane = 57681;  // Shift+F6: reaches the export command
inline constexpr int kSeparator = 0;         // marks a separator in the layout tables

// The editor's own commands, in the menus 検索, 表示 and 書式.
inline constexpr int kFind = 33001;
inline constexpr int kFindNext = 33002;
inline constexpr int kFindPrevious = 33003;
inline constexpr int kReplace = 33004;
inline constexpr int kReplaceAll = 33005;
inline constexpr int kOutline = 33011;
inline constexpr int kZoomIn = 33012;
inline constexpr int kZoomOut = 33013;
inline constexpr int kZoomReset = 33014;
inline constexpr int kVertical = 33015;
inline constexpr int kManuscriptPaper = 33016;
inline constexpr int kRuby = 33021;
inline constexpr int kEmphasis = 33022;
// Bringing in a text written in another notation (ファイル menu).
inline constexpr int kImport = 33031;
// ファイル > エンコーディング: the encoding of the next save.
inline constexpr int kEncodingMenu = 33041;
inline constexpr int kEncodingShiftJis = 33042;
inline constexpr int kEncodingUtf8 = 33043;
}  // namespace command

// One command as the menus show it.
struct CommandInfo {
    int id = 0;
    QString text;              // menu text with its "&" mnemonic, without key label
    QList<QKeySequence> keys;  // accelerators; the first is the menu's key label
    bool checkable = false;    // the item shows a check mark
    // A submenu: its items in order. Its checkable items are radio items (one checked).
    QList<int> submenu = {};
};

// One top-level menu: its title and its items in order (command::kSeparator = separator).
struct MenuLayout {
    QString title;
    QList<int> items;
};

// Every command that has a menu item.
const QList<CommandInfo>& MenuCommands();
const CommandInfo* FindCommand(int id);

// The menus in their order. The export menu's script items are added at run time.
const QList<MenuLayout>& MenuBarLayout();
inline constexpr int kExportMenuIndex = 5;

// The toolbar buttons in order (command::kSeparator = separator, a leading one included).
const QList<int>& ToolbarLayout();

// Accelerators without a menu item of their own.
struct ExtraAccelerator {
    int id;
    QKeySequence key;
};
const QList<ExtraAccelerator>& ExtraAccelerators();

// The string of a command: the status-bar prompt, then after a newline the tooltip.
// Empty for commands without a string.
QString CommandString(int id);
// The part before the first newline (the status-bar prompt).
QString CommandPrompt(int id);
// The part after the first newline (the tooltip); empty when there is no newline.
QString CommandTooltip(int id);

// Text of the status bar when no prompt is shown.
QString ReadyText();

// The menu text as shown: the text, then a TAB and the first key's label when it has keys.
QString MenuItemText(const CommandInfo& info);

}  // namespace quirtle
