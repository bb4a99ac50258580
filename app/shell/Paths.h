// Where tvn's file paths lead. The program builds every path in the
// platform's own form with "\" (the database file, the help file) and
// translates it here, at the file call: \\SERVER\VOLUME\dir through the
// network's volumes, X:\dir through the network client's drive mappings (an
// unmapped Z: is the local root), \dir from the local root.
#pragma once

#include <QString>
#include <filesystem>
#include <memory>

#include "platform/process/paths.h"

namespace tvn {

// The local path of a path in the platform's form; raises the path layer's
// error (53, 76, ...) when there is none.
std::filesystem::path localPath(const QString& platformPath);

// Tvn.hlp of the program in programDir: beside the program in a build folder,
// else in the data folder of an installed program (<prefix>/share/tolvane
// for <prefix>/bin). The path beside the program when neither exists.
QString helpFilePath(const QString& programDir);

// The folder of the workstation database when none is given: the program's
// folder when the program may write it (a build folder, a copied program
// folder), else $XDG_DATA_HOME/tolvane (~/.local/share/tolvane), made with
// mode 0700 when it is missing. The program's folder when that cannot be made
// either, so that the build says what it lacks.
QString defaultDatabaseDirectory(const QString& programDir);

// The resolver the program installs: volumes the network client knows lead
// where the client says, any other volume is looked for below the network
// root ($UNC_ROOT); drive letters are the client's drive mappings.
std::shared_ptr<const platform::process::PathResolver> networkPathResolver();

}  // namespace tvn
