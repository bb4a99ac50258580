// Points a benchmark of tvn at a directory file read through the real
// directory control, registered in a registry of the benchmark's own folder,
// offscreen unless a platform is set. The directory's snapshot is kept in
// that folder too, never in the user's cache. A file larger than the
// control's default limit is allowed by the registry value that raises it.
// The benchmark defines KDDIR_LIBRARY.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "outside/directory/load.h"
#include "outside/kddir/source.h"
#include "platform/automation/create.h"
#include "platform/registry/store.h"

inline bool useDirectoryControl(const std::filesystem::path& folder,
                                const std::filesystem::path& ldif, const char* program) {
    setenv("REGISTRY_DB", (folder / "registry.db").c_str(), 1);
    setenv("KDDIR_SOURCE", ldif.c_str(), 1);
    setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::error_code error;
    const auto bytes = std::filesystem::file_size(ldif, error);
    if (!error && bytes > outside::directory::LoadLimits::kDefaultMaxSourceBytes) {
        platform::registry::Store().setValue(outside::kddir::kSourceKey,
                                             outside::kddir::kMaxSourceBytesValue,
                                             std::to_string(bytes * 2));
    }
    if (platform::automation::loadServer(KDDIR_LIBRARY).registerServer() == 0) return true;
    std::fprintf(stderr, "%s: cannot register the directory control\n", program);
    return false;
}
