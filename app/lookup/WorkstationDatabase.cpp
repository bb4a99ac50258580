// Building the workstation database: the button, makeDB and the answer of the
// database search, which writes one line per workstation.
#include "app/lookup/WorkstationDatabase.h"

#include <QCoreApplication>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTreeWidgetItem>
#include <memory>
#include <optional>

#include "app/browser/treeExp.h"
#include "app/lookup/DatabaseRecords.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/shell/Paths.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/automation/variant.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/services.h"
#include "platform/forms/statusbar.h"

namespace tvn {

namespace pointer = platform::forms::pointer;
namespace msgbox = platform::forms::msgbox;
using Clock = std::chrono::steady_clock;

DatabaseBuild::DatabaseBuild(const std::filesystem::path& target, bool append)
    : file(target), append(append) {}
DatabaseBuild::~DatabaseBuild() = default;

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

// The window shows the build no longer: no progress bar, no Cancel, the
// button usable again.
QShortcut* escape(frmMain& form) {
    return form.findChild<QShortcut*>("cancelBuildShortcut");
}

void endBuilding(frmMain& form) {
    if (QShortcut* key = escape(form)) key->setEnabled(false);
    form.prgBuildWSdb->hide();
    form.prgBuildWSdb->reset();
    form.cmdCancelBuildWSdb->hide();
    form.cmdBuildWSdb->setEnabled(true);
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

// Reads the next workstations into the new file until the slice is over
// (at least one is read) or none is left. Answers false when the directory
// was lost: the build failed and is gone.
bool readSlice(frmMain& form, std::chrono::milliseconds slice) {
    DatabaseBuild& build = *form.databaseBuild;
    const Clock::time_point until = Clock::now() + slice;
    do {
        if (build.done()) return true;
        if (build.next == build.total) {
            // The next page of a server's hits. A page that cannot be read
            // leaves an unknown part of the tree out: the build fails.
            try {
                build.hits.arrayReadMore();
            } catch (...) {
                const auto failure = std::current_exception();
                const std::size_t read = build.next;
                form.databaseBuild.reset();
                endBuilding(form);
                buildFailed(form, QString("the directory's hits could not be read after %1 "
                                          "workstation(s): ")
                                          .arg(read) +
                                      describe(failure));
                return false;
            }
            build.total = build.hits.arraySize();
            continue;
        }
        const std::size_t index = build.next++;
        try {
            const QString workstation =
                QString::fromStdString(build.hits.arrayItem(index).toString());
            // A server's search of workstations reads their values with the
            // hits: opening each one costs no request of its own.
            const QStringList addresses =
                need(form.KDDirWSAddress.get())
                    ->OpenEntry(workstation)
                    .GetFieldValue("RJ:Network Address");
            build.file.write(WorkstationDatabase::formatRecord(workstation.toStdString(),
                                                               addresses.value(0).toStdString(),
                                                               addresses.value(1).toStdString()));
            ++build.written;
        } catch (...) {
            const auto failure = std::current_exception();
            if (errorNumber(failure) == err::kConnectionLost) {
                // Every entry after this one would be missing: a database
                // that lacks an unknown part of the tree is no database.
                const std::size_t total = build.total;
                form.databaseBuild.reset();
                endBuilding(form);
                buildFailed(form, QString("the directory was lost after %1 of %2 workstation(s): ")
                                          .arg(index)
                                          .arg(total) +
                                      describe(failure));
                return false;
            }
            // An entry the directory could not give (gone since the search,
            // unreadable) gets no line; the build goes on.
            ++build.skipped;
        }
    } while (Clock::now() < until);
    return true;
}

// Puts the new file in place once every workstation is read, and says what
// was found.
void finishBuild(frmMain& form) {
    const std::unique_ptr<DatabaseBuild> build = std::move(form.databaseBuild);
    endBuilding(form);
    if (!build->inSlices) form.services().errors->progress({});
    if (build->total > 0 && build->written == 0) {
        buildFailed(form, QString("none of the %1 workstation(s) below %2 could be read")
                              .arg(build->total)
                              .arg(build->context));
        return;
    }

    // A new database of nothing: the old one goes, as when a new, empty file
    // had been written.
    const bool removes = build->total == 0 && !build->append;
    bool removed = false;
    try {
        if (build->written > 0)
            build->file.commit();
        else if (removes)
            removed = std::filesystem::remove(build->file.target());
    } catch (...) {
        buildFailed(form, describe(std::current_exception()));
        return;
    }
    form.setMousePointer(pointer::kDefault);
    if (removes) {
        form.reportNotice(
            "No workstation below " + build->context +
                (removed ? ": the database was removed" : ": no database was written"),
            false);
        return;
    }
    QString found = QString("Found: %1 Workstation(s)").arg(build->total);
    if (build->skipped > 0) found += QString(", %1 skipped").arg(build->skipped);
    // A database built from a cut list lacks workstations: say so.
    if (!build->limitNotice.isEmpty()) found += ". " + build->limitNotice;
    if (build->skipped > 0 || !build->limitNotice.isEmpty())
        form.reportNotice(found, true);
    else
        form.setStatusText(found);
}

QString progressText(const DatabaseBuild& build) {
    return QString("Building: %1 workstation(s)").arg(build.next);
}

// Reads the workstations of a build whose search answered: in slices from
// the event loop while the window is in use, else all at once.
void continueBuild(frmMain& form) {
    DatabaseBuild* build = form.databaseBuild.get();
    if (!build || !build->answered) return;
    if (!build->inSlices) {
        while (!build->done()) {
            if (!readSlice(form, form.databaseBuildSlice)) return;
            if (!build->done()) form.services().errors->progress(progressText(*build));
        }
        return finishBuild(form);
    }

    if (!readSlice(form, form.databaseBuildSlice)) return;
    if (build->done()) return finishBuild(form);
    // Shown again after each slice: what ran in between (a name search) may
    // have put its own text and pointer there.
    form.setStatusText(progressText(*build));
    form.prgBuildWSdb->setMaximum(static_cast<int>(build->total));
    form.prgBuildWSdb->setValue(static_cast<int>(build->next));
    if (form.MousePointer() != pointer::kArrowHourglass)
        form.setMousePointer(pointer::kArrowHourglass);
    if (build->slices) return;
    // The first slice did not read everything: the window is handed back
    // between the slices that follow.
    build->slices.reset(new QTimer(&form));
    build->slices->setInterval(0);
    QObject::connect(build->slices.get(), &QTimer::timeout, &form,
                     [&form] { continueBuild(form); });
    build->slices->start();
    form.prgBuildWSdb->show();
    form.cmdCancelBuildWSdb->show();
    if (QShortcut* key = escape(form)) key->setEnabled(true);
    // In their place at once, for a click before the next turn of the loop.
    form.StatusBar->layout()->activate();
    form.cmdBuildWSdb->setEnabled(false);
}

}  // namespace

QString databaseFileName(const frmMain& form) {
    return form.dbDirectory + "\\" + form.treeName + ".lst";
}

void makeDB(frmMain& form) {
    abandonDatabaseBuild(form);
    form.setMousePointer(pointer::kHourglass);
    form.setStatusText("Searching ...");
    const bool newFile = !form.options.buildContext.isEmpty() || !form.optDBfile[0]->isChecked();
    if (form.dbDirectory.isEmpty())
        form.dbDirectory = defaultDatabaseDirectory(QCoreApplication::applicationDirPath());

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
    // Nobody can use a window that is not shown (a build of the command
    // line runs before it is) or that ends with the build.
    build->inSlices = form.isVisible() && !form.unattended();
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
    if (form.databaseBuild && !form.databaseBuild->answered) {
        form.databaseBuild.reset();
        buildFailed(form, "the search below " + context + " failed" +
                              (failure ? ": " + describe(failure) : QString()));
    }
}

void abandonDatabaseBuild(frmMain& form) {
    if (!form.databaseBuild) return;
    form.databaseBuild.reset();
    endBuilding(form);
    form.setMousePointer(pointer::kDefault);
}

void frmMain::cmdBuildWSdb_Click() {
    makeDB(*this);
}

void frmMain::cmdCancelBuildWSdb_Click() {
    if (!databaseBuild) return;
    abandonDatabaseBuild(*this);
    setStatusText("Cancelled: the Workstation Database is as it was");
}

void frmMain::KDDirWSdb_SearchCompleted(const platform::automation::Variant& Results) {
    DatabaseBuild* build = databaseBuild.get();
    if (!build || build->answered) return;  // a search that no build waits for
    build->answered = true;
    build->hits = Results;
    build->total = Results.isArray() ? Results.arraySize() : 0;
    resumeNext([&] { build->limitNotice = need(KDDirWSdb.get())->limitNotice(); });
    continueBuild(*this);
}

}  // namespace tvn
