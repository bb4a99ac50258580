// The program's run: the main window is loaded with the process's command
// line, shown unless start-up closed it or ended the program, and the program
// runs until its last window closes. An unattended run that failed ends at
// once with its reason on standard error and exit status 1; one whose
// database was written without some entries (skipped, or cut short by the
// server) says so on standard error and ends with status 3. A request to end
// the session (SIGTERM) during start-up ends the program at once with status
// 143, saving nothing and removing the database file it was writing; once the
// window is up it closes the windows as the user would, so the settings are
// saved. Without a display the run says so and ends with status 2, unless it
// shows no window (a database build with /autoclose), which runs offscreen.
#pragma once

#include <functional>

namespace tvn {
class frmMain;

// Runs tvn with the arguments of main; returns the exit code. `running` is
// called once the main window is shown and the event loop has started (for
// drivers that script a run; the program itself passes none).
int runProgram(int argc, char** argv, const std::function<void(frmMain&)>& running = {});

}  // namespace tvn
