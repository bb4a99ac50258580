// The workstation database: the file "<database directory>\<tree name>.lst"
// that lists every workstation of a directory subtree with its addresses
// (one line each, see DatabaseRecords.h), built from the container chosen in
// the database tree or from the build context of the command line.
//
// A build writes a new file beside the database and puts it in the
// database's place only once every line is written: a build that fails or
// is killed midway leaves the old database as it was.
#pragma once

#include <QString>
#include <filesystem>

#include "app/lookup/ReplacementFile.h"

namespace tvn {
class frmMain;

// The database file of the run, in the platform's form (translate it with
// localPath at the file call).
QString databaseFileName(const frmMain& form);

// A build whose search is running: the new file, whether the old lines
// were copied into it first, and the context searched.
struct DatabaseBuild {
    DatabaseBuild(const std::filesystem::path& target, bool append)
        : file(target), append(append) {}
    ReplacementFile file;
    bool append;
    QString context;
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
// directory was lost (error 600) is a failed build: nothing of it is kept.
// A build that skipped entries the directory did answer for (or that a
// server's size limit cut short) keeps what it read and says so, and an
// unattended run then ends with status 3. An overwrite that found nothing
// removes the database and says so.
void makeDB(frmMain& form);

}  // namespace tvn
