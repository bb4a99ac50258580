// Points a benchmark of tvn at a directory file read through the real
// directory control, registered in a registry of the benchmark's own folder,
// offscreen unless a platform is set. The directory's snapshot is kept in
// that folder too, never in the user's cache. The benchmark defines
// KDDIR_LIBRARY.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/automation/create.h"

inline bool useDirectoryControl(const std::filesystem::path& folder,
                                const std::filesystem::path& ldif, const char* program) {
    setenv("REGISTRY_DB", (folder / "registry.db").c_str(), 1);
    setenv("KDDIR_SOURCE", ldif.c_str(), 1);
    setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (platform::automation::loadServer(KDDIR_LIBRARY).registerServer() == 0) return true;
    std::fprintf(stderr, "%s: cannot register the directory control\n", program);
    return false;
}
