// The console launcher.
#include "app/actions/RemoteActions.h"

#include <QComboBox>
#include <QLineEdit>

#include "app/actions/ActionCatalogue.h"
#include "app/actions/UNCtoDOTConversion.h"
#include "app/shell/NameHistory.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/Validation.h"
#include "app/shell/frmMain.h"

namespace tvn::RemoteActions {

namespace {

constexpr QChar kQuote = u'"';

using Validation::trimBlanks;

QString quoted(const QString& s) {
    return kQuote + s + kQuote;
}

}  // namespace

QString consoleDirectory(bool newGeneration, const QString& server) {
    return "\\\\" + server +
           (newGeneration ? QString("\\sys\\public\\harbex\\") : QString("\\sys\\public\\win32\\"));
}

QString consoleCommandLine(const QString& code, bool newGeneration, const QString& server,
                           const QString& dottedName, const QString& tree,
                           const QString& inventoryServer) {
    const Action* action = findAction(code);
    if (!action) return {};
    QString line = consoleDirectory(newGeneration, server) + action->program + quoted(dottedName) +
                   " -n" + quoted(tree) + " -c" + quoted(action->consoleText);
    if (code == "RI") line += " -d" + quoted(inventoryServer);
    return line;
}

QString BuildConsoleCommand(frmMain& form, QString& TargetPath, QString& HistoryKey,
                            QString& HistoryImage) {
    const UNCtoDOTConversion::SplitName target = UNCtoDOTConversion::splitFullName(TargetPath);
    TargetPath = target.tree;
    const QString workstation = trimBlanks(UNCtoDOTConversion::dotted(target));
    const QString tree = trimBlanks(target.tree);

    const QString server = form.cmbServerlist->currentText();
    if (server.isEmpty()) return {};

    // The console splits its command line at quotes: a quote inside a name
    // taken from the directory (or typed into a setting) would end the option
    // early and let the rest of the name pass further options.
    const QString inventory = form.defaultAction == "RI" ? form.txtInvServer->text() : QString();
    for (const QString& part : {workstation, tree, server, inventory}) {
        if (part.contains(kQuote)) {
            form.setStatusText(
                "Console not started - a name on its command line contains a "
                "double quote: " +
                part);
            return {};
        }
    }

    const QString line = consoleCommandLine(form.defaultAction, form.consoleNewGeneration, server,
                                            workstation, tree, form.txtInvServer->text());
    form.setStatusText("");
    AddHistory(form, HistoryKey, HistoryKey, HistoryImage, HistoryImage);
    return line;
}

void startConsole(frmMain& form, const QString& commandLine) {
    if (commandLine.isEmpty()) return;
    const int number = errorNumberOf([&] { form.services().programs->start(commandLine, 1); });
    if (number == err::kFileNotFound || number == err::kPathNotFound)
        form.showConsoleFilesMissing();
}

void launchWorkstation(frmMain& form, const QString& workstation) {
    QString target = workstation;
    QString key = form.chosenKey;
    QString image = form.chosenImage;
    startConsole(form, BuildConsoleCommand(form, target, key, image));
}

void StartRemoteAction(frmMain&, QString) {
    // Acting on a chosen object (and resolving a user to a workstation) is
    // not built yet; the action menus and the tree start nothing.
}

}  // namespace tvn::RemoteActions
