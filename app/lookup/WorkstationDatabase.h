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

// A build whose search is running: the new file, and whether the old lines
// were copied into it first.
struct DatabaseBuild {
    DatabaseBuild(const std::filesystem::path& target, bool append)
        : file(target), append(append) {}
    ReplacementFile file;
    bool append;
};

// Builds the database from the build context of the command line, or from
// the container chosen in the database tree. A build context always starts a
// new file; otherwise "Append to Existing Database" keeps the old lines.
// A missing database folder ends the program (with a message), a folder or
// database that may not be written is refused (with a message) before
// anything is searched.
void makeDB(frmMain& form);

}  // namespace tvn
