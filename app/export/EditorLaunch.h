#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace quirtle {

// Splits an Exec value into its arguments: double quotes group, and inside them a
// backslash takes the next character as it is. Nothing for an unclosed quote or an empty
// command.
std::optional<QStringList> SplitExecValue(const QString& exec);

// The command that edits `file` with the program of an Exec value: the field codes %f, %F,
// %u and %U become the file, %% a percent sign, and the other field codes are dropped;
// without a file code the file is added at the end. A well-known editor that would hand
// the file to an instance already running gets its option to wait (WaitOption).
std::optional<QStringList> EditorCommandFromExec(const QString& exec, const QString& file);

// The command for a program chosen by path: the program, its wait option if it has one,
// and the file.
QStringList EditorCommandForProgram(const QString& program, const QString& file);

// The option that keeps a well-known editor's process running until the file is closed
// (or starts an instance of its own), by the program's file name; empty when none is known.
QString WaitOption(const QString& program);

}  // namespace quirtle
