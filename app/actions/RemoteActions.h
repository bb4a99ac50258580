// Console command lines, their start and the action dispatch. For one target
// workstation the builder writes the command line of the default action for
// the console on the chosen server, records the chosen object in the name
// history, and the caller starts the line without waiting for it. A chosen
// user is first resolved to a workstation.
#pragma once

#include <QString>

namespace tvn {
class frmMain;

namespace RemoteActions {

// "\\" + server + "\sys\public\harbex\" for the newer consoles, "...\win32\" for the older.
QString consoleDirectory(bool newGeneration, const QString& server);

// The command line of an action for a workstation (dotted name W, tree T);
// "" for a code outside the eight. inventoryServer is used by "RI" only.
QString consoleCommandLine(const QString& code, bool newGeneration, const QString& server,
                           const QString& dottedName, const QString& tree,
                           const QString& inventoryServer);

// Builds the default action's command line for the workstation TargetPath (a
// full name). TargetPath is consumed: on return it holds the tree name.
// HistoryKey and HistoryImage name the object the administrator chose and go
// to the name history. Returns "" when no server is chosen, and refuses (""
// with a status text) a line in which a double quote inside a name would
// change the console's options.
QString BuildConsoleCommand(frmMain& form, QString& TargetPath, QString& HistoryKey,
                            QString& HistoryImage);

// The start step: starts a built command line with a normal, activated
// window. A missing console program or folder sends the administrator to the
// server setting; any other failure is reported as "Console not started - "
// + the error's text + " (error N)". An empty line starts nothing.
void startConsole(frmMain& form, const QString& commandLine);

// Builds and starts the default action's command line for a workstation (a
// full name), with historyKey and historyImage as the history entry. Without
// a chosen server nothing starts and the status bar says so.
void launch(frmMain& form, const QString& workstation, const QString& historyKey,
            const QString& historyImage);
// The same with the chosen object (key and image of the window) as the
// history entry.
void launchWorkstation(frmMain& form, const QString& workstation);

// Runs the default action for the object TargetPath (a full name). A
// workstation (or an alias that is not a user) is launched at once. A user is
// resolved through the workstation database: one address starts the action
// on its workstation, several fill the result list with the workstations in
// use for the administrator to pick from. What does not happen is said in
// the status bar ("Object does not exist!", "User not logged in!",
// "Couldn't find workstation in database - Update the Workstation
// Database!"), a missing database by a message.
void StartRemoteAction(frmMain& form, QString TargetPath);

}  // namespace RemoteActions
}  // namespace tvn
