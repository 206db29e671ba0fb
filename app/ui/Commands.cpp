#include "ui/Commands.h"

#include <QHash>

namespace quirtle {

using namespace command;

const QList<CommandInfo>& MenuCommands() {
    static const QList<CommandInfo> commands = {
        {kNew, QStringLiteral("新規作成(&N)"), {QKeySequence(Qt::CTRL | Qt::Key_N)}},
        {kOpen, QStringLiteral("開く(&O)"), {QKeySequence(Qt::CTRL | Qt::Key_O)}},
        {kImport, QStringLiteral("取り込み(&I)..."), {}},
        {kSave, QStringLiteral("上書き保存(&S)"), {QKeySequence(Qt::CTRL | Qt::Key_S)}},
        {kSaveAs, QStringLiteral("名前をつけて保存(&A)"), {}},
        {kExit, QStringLiteral("終了(&x)"), {}},
        {kUndo,
         QStringLiteral("元に戻す(&U)"),
         {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)}},
        {kRedo, QStringLiteral("やり直し(&R)"), {QKeySequence(Qt::CTRL | Qt::Key_Y)}},
        {kCut,
         QStringLiteral("切り取り(&T)"),
         {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}},
        {kCopy,
         QStringLiteral("コピー(&C)"),
         {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}},
        {kPaste,
         QStringLiteral("貼り付け(&P)"),
         {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}},
        {kSelectAll, QStringLiteral("すべて選択(&A)"), {QKeySequence(Qt::CTRL | Qt::Key_A)}},
        {kLaunchExternalEditor,
         QStringLiteral("外部エディタ起動(&E)"),
         {QKeySequence(Qt::CTRL | Qt::Key_E)}},
        {kPreview, QStringLiteral("プレビュー(&C)"), {}},
        {kChooseExternalEditor, QStringLiteral("外部エディタ設定(&E)"), {}},
        {kAutoPreview, QStringLiteral("自動プレビュー(&A)"), {}, true},
        {kHelpContents, QStringLiteral("目次(&C)"), {}},
        {kAbout, QStringLiteral("quirtleについて(&A)"), {}},
        {kFind, QStringLiteral("検索(&F)"), {QKeySequence(Qt::CTRL | Qt::Key_F)}},
        {kFindNext, QStringLiteral("次を検索(&N)"), {QKeySequence(Qt::Key_F3)}},
        {kFindPrevious, QStringLiteral("前を検索(&P)"), {QKeySequence(Qt::SHIFT | Qt::Key_F3)}},
        {kReplace, QStringLiteral("置換(&R)"), {QKeySequence(Qt::CTRL | Qt::Key_H)}},
        {kReplaceAll,
         QStringLiteral("すべて置換(&A)"),
         {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Return),
          QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Enter)}},
        {kOutline, QStringLiteral("見出し一覧(&O)"), {}, true},
        {kZoomIn,
         QStringLiteral("拡大(&I)"),
         {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal),
          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Plus)}},
        {kZoomOut, QStringLiteral("縮小(&D)"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)}},
        {kZoomReset, QStringLiteral("標準の大きさ(&Z)"), {QKeySequence(Qt::CTRL | Qt::Key_0)}},
        {kVertical, QStringLiteral("縦書きで編集(&T)"), {QKeySequence(Qt::CTRL | Qt::Key_T)}, true},
        {kManuscriptPaper, QStringLiteral("原稿用紙(&G)"), {}, true},
        {kRuby, QStringLiteral("ルビ(&R)"), {QKeySequence(Qt::CTRL | Qt::Key_R)}},
        {kEmphasis, QStringLiteral("傍点(&B)"), {QKeySequence(Qt::CTRL | Qt::Key_B)}},
        {kEncodingMenu,
         QStringLiteral("エンコーディング(&E)"),
         {},
         false,
         {kEncodingShiftJis, kEncodingUtf8}},
        {kEncodingShiftJis, QStringLiteral("Shift_JIS(&S)"), {}, true},
        {kEncodingUtf8, QStringLiteral("UTF-8(&U)"), {}, true},
    };
    return commands;
}

const CommandInfo* FindCommand(int id) {
    for (const CommandInfo& info : MenuCommands()) {
        if (info.id == id) return &info;
    }
    return nullptr;
}

const QList<MenuLayout>& MenuBarLayout() {
    static const QList<MenuLayout> menus = {
        {QStringLiteral("ファイル(&F)"),
         {kNew, kOpen, kImport, kSave, kSaveAs, kEncodingMenu, kSeparator, kExit}},
        {QStringLiteral("編集(&E)"),
         {kUndo, kRedo, kSeparator, kCut, kCopy, kPaste, kSeparator, kSelectAll, kSeparator,
          kLaunchExternalEditor}},
        {QStringLiteral("検索(&S)"),
         {kFind, kFindNext, kFindPrevious, kSeparator, kReplace, kReplaceAll}},
        {QStringLiteral("表示(&V)"),
         {kOutline, kSeparator, kZoomIn, kZoomOut, kZoomReset, kSeparator, kVertical,
          kManuscriptPaper}},
        {QStringLiteral("書式(&M)"), {kRuby, kEmphasis}},
        {QStringLiteral("エクスポート(&X)"), {kPreview, kSeparator}},
        {QStringLiteral("オプション(&O)"), {kChooseExternalEditor, kAutoPreview}},
        {QStringLiteral("ヘルプ(&H)"), {kHelpContents, kSeparator, kAbout}},
    };
    return menus;
}

const QList<int>& ToolbarLayout() {
    static const QList<int> buttons = {kSeparator, kNew,  kOpen,  kSave,      kSeparator,
                                       kCut,       kCopy, kPaste, kSeparator, kAbout};
    return buttons;
}

const QList<ExtraAccelerator>& ExtraAccelerators() {
    static const QList<ExtraAccelerator> keys = {
        {kPrint, QKeySequence(Qt::CTRL | Qt::Key_P)},
        {kNextPane, QKeySequence(Qt::Key_F6)},
        {kPreviousPane, QKeySequence(Qt::SHIFT | Qt::Key_F6)},
    };
    return keys;
}

QString CommandString(int id) {
    static const QHash<int, QString> strings = {
        {57345, QStringLiteral("Ready")},
        {kNew, QStringLiteral("Create a new document\nNew")},
        {kOpen, QStringLiteral("Open an existing document\nOpen")},
        {kSave, QStringLiteral("Save the active document\nSave")},
        {kSaveAs, QStringLiteral("Save the active document with a new name\nSave As")},
        {kCopy, QStringLiteral("Copy the selection and put it on the Clipboard\nCopy")},
        {kCut, QStringLiteral("Cut the selection and put it on the Clipboard\nCut")},
        {kPaste, QStringLiteral("Insert Clipboard contents\nPaste")},
        {kUndo, QStringLiteral("Undo the last action\nUndo")},
        {kRedo, QStringLiteral("Redo the previously undone action\nRedo")},
        {kAbout,
         QStringLiteral("Display program information, version number and copyright\nAbout")},
        {kExit, QStringLiteral("Quit the application; prompts to save documents\nExit")},
    };
    return strings.value(id);
}

QString CommandPrompt(int id) {
    return CommandString(id).section('\n', 0, 0);
}

QString CommandTooltip(int id) {
    const QString text = CommandString(id);
    const qsizetype newline = text.indexOf('\n');
    return newline < 0 ? QString() : text.mid(newline + 1);
}

QString ReadyText() {
    return CommandString(57345);
}

QString MenuItemText(const CommandInfo& info) {
    if (info.keys.isEmpty()) return info.text;
    return info.text + '\t' + info.keys.first().toString(QKeySequence::PortableText);
}

}  // namespace quirtle
