// Building the workstation database: the button, makeDB and the answer of the
// database search, which writes one line per workstation.
#include "app/lookup/WorkstationDatabase.h"

#include <QCoreApplication>
#include <QRadioButton>
#include <QTreeWidgetItem>
#include <memory>

#include "app/lookup/DatabaseRecords.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/shell/Paths.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/automation/variant.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/services.h"

namespace tvn {

namespace pointer = platform::forms::pointer;
namespace msgbox = platform::forms::msgbox;

namespace {

// The database folder does not exist: nothing can be built or looked up in
// this run, so it ends.
void databasePathNotFound(frmMain& form, const QString& why) {
    if (form.unattended()) {
        form.reportFailure(
            "The path specified for using the Workstation Database could not be "
            "found: " +
            why);
        return;
    }
    form.services().msgBox(
        "The path specified for using the Workstation \r\nDatabase could not be found!\r\n\r\n"
        "Please check your command line settings\r\nand restart Tolvane!\r\n\r\n"
        "Tolvane will now be closed!",
        msgbox::kCritical, "Warning!");
    form.close();
}

void noWriteRights(frmMain& form, const QString& why) {
    if (form.unattended()) {
        form.reportFailure("You don't have sufficient write rights to the directory " +
                           form.dbDirectory + ": " + why);
        return;
    }
    form.services().msgBox(
        "You don't have sufficient write rights\r\nto the directory:\r\n\r\n" + form.dbDirectory,
        msgbox::kCritical, "Warning!");
    form.setMousePointer(pointer::kDefault);
    form.setStatusText("");
}

void buildFailed(frmMain& form, const QString& why) {
    form.setMousePointer(pointer::kDefault);
    form.reportFailure("The Workstation Database was not built: " + why);
}

// The context the build searches: the build context of the command line, or
// the container chosen in the database tree.
QString buildContext(const frmMain& form) {
    if (!form.options.buildContext.isEmpty()) return form.options.buildContext;
    const QTreeWidgetItem* node = form.TreeViewWS->selectedNode();
    return node ? platform::forms::KeyedTree::tagOf(node) : QString();
}

QString describe(std::exception_ptr failure) {
    return QString::fromStdString(errorDescription(failure));
}

}  // namespace

QString databaseFileName(const frmMain& form) {
    return form.dbDirectory + "\\" + form.treeName + ".lst";
}

void makeDB(frmMain& form) {
    form.setMousePointer(pointer::kHourglass);
    form.setStatusText("Searching ...");
    const bool newFile = !form.options.buildContext.isEmpty() || !form.optDBfile[0]->isChecked();
    if (form.dbDirectory.isEmpty())
        form.dbDirectory = defaultDatabaseDirectory(QCoreApplication::applicationDirPath());
    form.databaseBuild.reset();

    std::unique_ptr<DatabaseBuild> build;
    try {
        build = std::make_unique<DatabaseBuild>(localPath(databaseFileName(form)), !newFile);
        if (build->append) build->file.copyTarget();
    } catch (...) {
        const auto failure = std::current_exception();
        if (errorNumber(failure) == err::kPathFileAccess)
            noWriteRights(form, describe(failure));
        else
            databasePathNotFound(form, describe(failure));
        return;
    }

    QString context = buildContext(form);
    if (context.isEmpty()) {
        buildFailed(form, "no container is chosen to search for workstations");
        return;
    }
    form.databaseBuild = std::move(build);
    std::exception_ptr failure;
    try {
        need(form.KDDirWSdb.get())
            ->StartSearch("*", "Workstation", KDDirCtrl::kScopeSubtree, context);
    } catch (...) {
        failure = std::current_exception();
    }
    // The answer arrives before the search returns; a build still waiting
    // got none.
    if (form.databaseBuild) {
        form.databaseBuild.reset();
        buildFailed(form, "the search below " + context + " failed" +
                              (failure ? ": " + describe(failure) : QString()));
    }
}

void frmMain::cmdBuildWSdb_Click() {
    makeDB(*this);
}

void frmMain::KDDirWSdb_SearchCompleted(const platform::automation::Variant& Results) {
    const std::unique_ptr<DatabaseBuild> build = std::move(databaseBuild);
    if (!build) return;  // a search that no build waits for
    const auto& hits = Results.isArray() ? Results.array() : platform::automation::Variant::Array{};

    std::size_t written = 0;
    std::size_t skipped = 0;
    for (const auto& hit : hits) {
        try {
            const QString workstation = QString::fromStdString(hit.toString());
            const QStringList addresses = need(KDDirWSAddress.get())
                                              ->OpenEntry(workstation)
                                              .GetFieldValue("RJ:Network Address");
            build->file.write(WorkstationDatabase::formatRecord(workstation.toStdString(),
                                                                addresses.value(0).toStdString(),
                                                                addresses.value(1).toStdString()));
            ++written;
        } catch (...) {
            // An entry that cannot be read gets no line; the build goes on.
            ++skipped;
        }
    }

    try {
        if (written > 0)
            build->file.commit();
        else if (hits.empty() && !build->append)
            // A new database of nothing: the old one goes, as when a new,
            // empty file had been written.
            std::filesystem::remove(build->file.target());
    } catch (...) {
        buildFailed(*this, describe(std::current_exception()));
        return;
    }
    QString found = QString("Found: %1 Workstation(s)").arg(hits.size());
    if (skipped > 0) found += QString(", %1 skipped").arg(skipped);
    // A database built from a cut list lacks workstations: say so.
    QString notice;
    resumeNext([&] { notice = need(KDDirWSdb.get())->limitNotice(); });
    if (!notice.isEmpty()) found += ". " + notice;
    setStatusText(found);
    setMousePointer(pointer::kDefault);
}

}  // namespace tvn
