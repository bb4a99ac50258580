// The command line of tvn: its options, the tree they give the directory
// controls, the tree name of the run, and the help window shown instead of
// the main window when help is asked for.
//
// Only "/" separates arguments, so on this platform a path on the command
// line is written in the platform's own form with "\" (t:\tvn,
// \\SERVER\VOL\tvn, \home\me\tvn); the file calls translate it.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace tvn {
class frmMain;
struct CommandLineOptions;

namespace CommandLine {

// The process's command-line text: the program's arguments (without the
// program itself) joined by single blanks.
QString processCommandLineText(const QStringList& arguments);

// Splits command-line text at every "/" into at most MaxArgs arguments. The
// list counts from 1; element 0 exists and stays empty. Text before the first
// "/" is an argument of its own; blanks stay inside the arguments; arguments
// beyond MaxArgs are ignored.
std::vector<QString> GetCommandLine(const QString& text, int MaxArgs = 10);

// Recognises the options in the split arguments (keys anywhere in an
// argument, ignoring case; a later argument replaces an earlier value).
CommandLineOptions parseOptions(const std::vector<QString>& arguments);

// The command-line step of start-up: reads the options of the window's
// command-line text, gives the tree to the five directory controls, derives
// the tree name and builds the workstation database when asked to.
void ProcessCommandLine(frmMain& form);

// Shows the help window on the command-line options, not modal.
void ShowHelpWindow(frmMain& form);

}  // namespace CommandLine
}  // namespace tvn
