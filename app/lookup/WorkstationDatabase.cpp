// Building the workstation database: the button, makeDB and the answer of the
// database search, which writes one line per workstation.
#include "app/lookup/WorkstationDatabase.h"

#include <QCoreApplication>
#include <QRadioButton>
#include <QTreeWidgetItem>
#include <memory>

#include "app/browser/treeExp.h"
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

// A context in another tree would be written under this tree's name, over
// its database. The box names both trees and the option that builds the
// other one. Returns false when the build must not go on.
bool contextInTree(frmMain& form, const QString& context) {
    QString tree;
    // A context that is no full name fails the search, with its reason.
    resumeNext([&] { tree = need(form.KDDirWSdb.get())->TreeOf(context); });
    if (tree.isEmpty() || tree.compare(form.treeName, Qt::CaseInsensitive) == 0) return true;
    // A tree the directory does not have fails the search, with its reason.
    if (errorNumberOf([&] { need(form.KDDirWSdb.get())->RootPath(tree); }) != 0) return true;
    if (form.unattended()) {
        buildFailed(form, "the build context " + context + " is in the tree " + tree + ", not in " +
                              form.treeName + ": add /tree=KTR:\\\\" + tree +
                              " to build the database of " + tree);
        return false;
    }
    form.services().msgBox("The build context\r\n" + context + "\r\nis not in the tree " +
                               form.treeName + "!\r\n\r\nPlease add /tree=KTR:\\\\" + tree +
                               "\r\nto build the Workstation Database of " + tree + "!",
                           msgbox::kCritical, "Warning!");
    form.setMousePointer(pointer::kDefault);
    form.setStatusText("");
    return false;
}

// A workstation or user typed as the context would find nothing below it
// and remove the database. An entry that cannot be opened is left to the
// search, which says why.
bool contextIsContainer(frmMain& form, const QString& context) {
    QString cls;
    resumeNext([&] { cls = need(form.KDDirWSdb.get())->OpenEntry(context).LayoutName(); });
    if (cls.isEmpty() || isContainerClass(cls)) return true;
    buildFailed(form, "the search below " + context + " failed: " + context +
                          " names no container (it is a " + cls + ")");
    return false;
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
    } catch (...) {
        const auto failure = std::current_exception();
        if (errorNumber(failure) == err::kPathFileAccess)
            noWriteRights(form, describe(failure));
        else
            databasePathNotFound(form, describe(failure));
        return;
    }
    // An old database that cannot be read (no regular file, too large) is
    // no matter of write rights: its own reason.
    try {
        if (build->append) build->file.copyTarget();
    } catch (...) {
        buildFailed(form, describe(std::current_exception()));
        return;
    }

    QString context = buildContext(form);
    if (context.isEmpty()) {
        buildFailed(form, "no container is chosen to search for workstations");
        return;
    }
    if (!contextInTree(form, context) || !contextIsContainer(form, context)) return;
    build->context = context;
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
            const auto failure = std::current_exception();
            if (errorNumber(failure) == err::kConnectionLost) {
                // Every entry after this one would be missing: a database
                // that lacks an unknown part of the tree is no database.
                build->file.discard();
                buildFailed(*this, QString("the directory was lost after %1 of %2 workstation(s): ")
                                           .arg(written + skipped)
                                           .arg(hits.size()) +
                                       describe(failure));
                return;
            }
            // An entry the directory could not give (gone since the search,
            // unreadable) gets no line; the build goes on.
            ++skipped;
        }
    }
    if (!hits.empty() && written == 0) {
        buildFailed(*this, QString("none of the %1 workstation(s) below %2 could be read")
                               .arg(hits.size())
                               .arg(build->context));
        return;
    }

    // A new database of nothing: the old one goes, as when a new, empty file
    // had been written.
    const bool removes = hits.empty() && !build->append;
    bool removed = false;
    try {
        if (written > 0)
            build->file.commit();
        else if (removes)
            removed = std::filesystem::remove(build->file.target());
    } catch (...) {
        buildFailed(*this, describe(std::current_exception()));
        return;
    }
    setMousePointer(pointer::kDefault);
    if (removes) {
        reportNotice("No workstation below " + build->context +
                         (removed ? ": the database was removed" : ": no database was written"),
                     false);
        return;
    }
    QString found = QString("Found: %1 Workstation(s)").arg(hits.size());
    if (skipped > 0) found += QString(", %1 skipped").arg(skipped);
    // A database built from a cut list lacks workstations: say so.
    QString notice;
    resumeNext([&] { notice = need(KDDirWSdb.get())->limitNotice(); });
    if (!notice.isEmpty()) found += ". " + notice;
    if (skipped > 0 || !notice.isEmpty())
        reportNotice(found, true);
    else
        setStatusText(found);
}

}  // namespace tvn
