// The command-line step. Options are not read yet: every run uses the
// directory control's default context and the program's own directory.
#include "app/shell/CommandLine.h"

namespace tvn::CommandLine {

void ProcessCommandLine(frmMain&) {}

void ShowHelpWindow(frmMain&) {}

}  // namespace tvn::CommandLine
