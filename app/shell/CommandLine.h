// The command line of tvn: its options, the tree they give the directory
// controls, the tree name of the run, and the help window shown instead of
// the main window when help is asked for.
#pragma once

namespace tvn {
class frmMain;

namespace CommandLine {
// Reads the options into the window's state and derives the tree name.
void ProcessCommandLine(frmMain& form);
// Shows the help window on the command-line options, not modal.
void ShowHelpWindow(frmMain& form);
}  // namespace CommandLine

}  // namespace tvn
