#include "export/EditorLaunch.h"

#include <QFileInfo>
#include <array>

namespace quirtle {
namespace {

struct KnownEditor {
    const char* program;  // the executable's file name
    const char* option;   // from the editor's own --help or manual page
};

// Editors that pass a file to a running instance and exit at once, with the option that
// makes them wait (or run an instance of their own, whose process lives as long as its
// window).
constexpr std::array kKnownEditors = {
    KnownEditor{"gedit", "--wait"},                    // "Open files and block the gedit process"
    KnownEditor{"gnome-text-editor", "--standalone"},  // "Run a new instance of Text Editor"
    KnownEditor{"mousepad", "--disable-server"},  // "Do not register with the D-BUS session bus"
    KnownEditor{"kate", "--block"},               // block until the file is closed
    KnownEditor{"code", "--wait"},                // "Wait for the files to be closed"
    KnownEditor{"geany", "--new-instance"},       // "Don't open files in a running instance"
    KnownEditor{"gvim", "--nofork"},              // "Don't fork when starting GUI"
};

// Replaces the field codes of one argument. `dropped` is set when the argument was
// nothing but codes that are dropped.
QString ExpandFieldCodes(const QString& argument, const QString& file, bool& usedFile,
                         bool& dropped) {
    QString out;
    bool onlyDroppedCodes = !argument.isEmpty();
    for (qsizetype i = 0; i < argument.size(); ++i) {
        if (argument[i] != u'%' || i + 1 == argument.size()) {
            out += argument[i];
            onlyDroppedCodes = false;
            continue;
        }
        const QChar code = argument[++i];
        if (code == u'%') {
            out += u'%';
            onlyDroppedCodes = false;
        } else if (code == u'f' || code == u'F' || code == u'u' || code == u'U') {
            out += file;
            usedFile = true;
            onlyDroppedCodes = false;
        }
        // %i %c %k %d %D %n %N %v %m and unknown codes: nothing.
    }
    dropped = onlyDroppedCodes;
    return out;
}

QStringList WithWaitOption(QStringList command) {
    const QString option = WaitOption(command.first());
    if (!option.isEmpty() && !command.contains(option)) command.insert(1, option);
    return command;
}

}  // namespace

std::optional<QStringList> SplitExecValue(const QString& exec) {
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < exec.size()) {
                current += exec[++i];
            } else {
                current += c;
            }
        } else if (c == u'"') {
            quoted = true;
            inArgument = true;
        } else if (c == u' ' || c == u'\t') {
            if (inArgument) arguments.append(current);
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (quoted) return std::nullopt;
    if (inArgument) arguments.append(current);
    if (arguments.isEmpty() || arguments.first().isEmpty()) return std::nullopt;
    return arguments;
}

std::optional<QStringList> EditorCommandFromExec(const QString& exec, const QString& file) {
    const std::optional<QStringList> arguments = SplitExecValue(exec);
    if (!arguments) return std::nullopt;
    QStringList command;
    bool usedFile = false;
    for (const QString& argument : *arguments) {
        bool dropped = false;
        const QString expanded = ExpandFieldCodes(argument, file, usedFile, dropped);
        if (!dropped) command.append(expanded);
    }
    if (command.isEmpty() || command.first().isEmpty()) return std::nullopt;
    if (!usedFile) command.append(file);
    return WithWaitOption(command);
}

QStringList EditorCommandForProgram(const QString& program, const QString& file) {
    return WithWaitOption({program, file});
}

QString WaitOption(const QString& program) {
    const QString name = QFileInfo(program).fileName();
    for (const KnownEditor& editor : kKnownEditors) {
        if (name == QLatin1String(editor.program)) return QString::fromLatin1(editor.option);
    }
    return {};
}

}  // namespace quirtle
