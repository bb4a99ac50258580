// The console launcher and the action dispatch.
#include "app/actions/RemoteActions.h"

#include <QComboBox>
#include <QLineEdit>

#include <optional>

#include "app/actions/ActionCatalogue.h"
#include "app/actions/UNCtoDOTConversion.h"
#include "app/lookup/DatabaseRecords.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/lookup/UserWorkstations.h"
#include "app/shell/NameHistory.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/Validation.h"
#include "app/shell/frmMain.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/services.h"
#include "platform/process/errors.h"

namespace tvn::RemoteActions {

namespace pointer = platform::forms::pointer;

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
    // The builder has said why it built no line.
    if (commandLine.isEmpty()) return;
    const int number = errorNumberOf([&] { form.services().programs->start(commandLine, 1); });
    if (number == 0) return;
    if (number == err::kFileNotFound || number == err::kPathNotFound) {
        form.showConsoleFilesMissing();
        return;
    }
    form.reportFailure(QString("Console not started - %1 (error %2)")
                           .arg(QString::fromUtf8(platform::process::errorDescription(number)))
                           .arg(number));
}

void launch(frmMain& form, const QString& workstation, const QString& historyKey,
            const QString& historyImage) {
    QString target = workstation;
    QString key = historyKey;
    QString image = historyImage;
    const QString line = BuildConsoleCommand(form, target, key, image);
    if (line.isEmpty() && form.cmbServerlist->currentText().isEmpty())
        form.setStatusText("Please choose a server where you have installed Harbex files!");
    startConsole(form, line);
}

void launchWorkstation(frmMain& form, const QString& workstation) {
    launch(form, workstation, form.chosenKey, form.chosenImage);
}

void StartRemoteAction(frmMain& form, QString TargetPath) {
    const auto done = [&] { form.setMousePointer(pointer::kDefault); };
    const auto failed = [&](const std::exception_ptr& failure) {
        form.reportFailure(QString::fromStdString(errorDescription(failure)));
        done();
    };

    std::optional<KDDirEntry> entry;
    bool user = false;
    try {
        entry.emplace(need(form.KDDirWSAddress.get())->OpenEntry(TargetPath));
        user = entry->LayoutName() == "User";
    } catch (...) {
        if (errorNumber(std::current_exception()) != err::kNoSuchObject)
            return failed(std::current_exception());
        form.setStatusText("Object does not exist!");
        return done();
    }
    // A workstation, or an alias whose entry is not a user.
    if (!user) {
        launchWorkstation(form, TargetPath);
        return done();
    }

    QStringList addresses;
    try {
        addresses = networkAddresses(*entry);
    } catch (...) {
        return failed(std::current_exception());
    }
    if (addresses.value(0).isEmpty()) {
        form.setStatusText("User not logged in!");
        return done();
    }

    if (addresses.size() == 1) {
        const auto key = WorkstationDatabase::lookupKey(addresses[0].toStdString());
        const std::shared_ptr<const DatabaseIndex> database = openDatabase(form);
        if (!database) return;
        if (const auto workstation = key ? workstationFor(*database, *key) : std::nullopt)
            launchWorkstation(form, *workstation);
        else
            form.setStatusText(
                "Couldn't find workstation in database - Update the Workstation Database!");
        return done();
    }

    // Several addresses: the administrator picks the workstation from the list.
    form.lstMultiple->clearItems();
    const std::shared_ptr<const DatabaseIndex> database = openDatabase(form);
    if (!database) return;
    for (const QString& address : addresses) {
        const auto key = WorkstationDatabase::lookupKey(address.toStdString());
        if (!key || *key == WorkstationDatabase::kServerNode) continue;
        form.lstMultiple->setColumnHeader(1, "Workstation(s) currently in use ...");
        addWorkstationItem(form, *database, *key, address);
    }
    form.setStatusText("");
    done();
}

}  // namespace tvn::RemoteActions
