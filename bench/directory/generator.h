// Writes synthetic directories as LDIF for the benchmark: one tree of
// countries, organizations and organizational units holding users and
// workstations with realistic names and five attributes each.
#pragma once

#include <cstddef>
#include <filesystem>

namespace benchdir {

struct GeneratedShape {
    std::size_t entries = 0;
    std::size_t units = 0;  // organizational units (the containers of leaves)
    std::size_t users = 0;
    std::size_t workstations = 0;
};

// Writes about `entries` entries (never fewer) to path; the tree is named "Bench".
GeneratedShape writeDirectory(const std::filesystem::path& path, std::size_t entries);

}  // namespace benchdir
