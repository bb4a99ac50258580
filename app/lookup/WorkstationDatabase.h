// The workstation database: the file "<database directory>\<tree name>.lst"
// that lists every workstation of a directory subtree with its addresses
// (one line each, see DatabaseRecords.h), built from the container chosen in
// the database tree or from the build context of the command line.
//
// A build writes a new file beside the database and puts it in the
// database's place only once every line is written: a build that fails, is
// cancelled or is killed midway leaves the old database as it was.
//
// A build started from the window reads the workstations a slice at a time
// from the event loop, on the window's thread: the directory control's
// objects (the controls, their entries, a search's answer) belong to the
// thread that made them. Between slices the window is in use; status panel
// 2 and a progress bar show how far the build is, and its Cancel button (or
// Escape) stops it. A build without a window to watch (the command line's)
// runs to its end at once and tells its progress to a terminal.
#pragma once

#include <QString>
#include <QTimer>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>

#include "app/lookup/ReplacementFile.h"
#include "platform/automation/variant.h"

namespace tvn {
class frmMain;

// The database file of the run, in the platform's form (translate it with
// localPath at the file call).
QString databaseFileName(const frmMain& form);

// A build from its search until its file is in place: the new file, whether
// the old lines were copied into it first, the context searched, and, once
// the search answered, its hits and how far they are read.
struct DatabaseBuild {
    DatabaseBuild(const std::filesystem::path& target, bool append);
    ~DatabaseBuild();
    ReplacementFile file;
    bool append;
    QString context;

    // Read in slices while the window is in use, or all at once.
    bool inSlices = false;
    bool answered = false;
    platform::automation::Variant hits;
    // The hits known so far: a server's come page by page, read as the
    // build reaches the end of those it has.
    std::size_t total = 0;
    std::size_t next = 0;  // the hit read next
    // Every hit read: none left on the server either.
    bool done() const { return next == total && (!hits.isArray() || hits.arrayComplete()); }
    std::size_t written = 0;
    std::size_t skipped = 0;
    // What a server's size limit cut from the search, as the status bar says it.
    QString limitNotice;

    // Starts the next slice from the event loop. Stopped with the build, so
    // that a cancelled build reads nothing more, and deleted once the event
    // loop is back (a build ends within its timer's own signal).
    struct LaterDelete {
        void operator()(QTimer* timer) const {
            timer->stop();
            timer->deleteLater();
        }
    };
    std::unique_ptr<QTimer, LaterDelete> slices;
};

// Builds the database from the build context of the command line, or from
// the container chosen in the database tree. A build context always starts a
// new file; otherwise "Append to Existing Database" keeps the old lines.
// A missing database folder ends the program (with a message), a folder or
// database that may not be written is refused (with a message) before
// anything is searched, and so is a context that lies in another tree than
// the run's (its database would replace this tree's) or that names no
// container.
//
// The answer writes one line per workstation. A build during which the
// directory was lost (error 600) is a failed build: nothing of it is kept,
// nor of a cancelled one.
// A build that skipped entries the directory did answer for (or that a
// server's size limit cut short) keeps what it read and says so, and an
// unattended run then ends with status 3. An overwrite that found nothing
// removes the database and says so.
void makeDB(frmMain& form);

// Ends a build that is still running without a word (the window goes): its
// new file is removed, the old database stays.
void abandonDatabaseBuild(frmMain& form);

}  // namespace tvn
