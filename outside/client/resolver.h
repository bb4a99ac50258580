// Where the platform's paths lead on this network: a path resolver for
// platform::process whose volumes are the network's volumes and whose drive
// letters are the session's drive mappings (Z:, when not mapped, stays the
// local root). It reads the network description and the session state at
// each call, so mappings made by other processes count at once.
#pragma once

#include <memory>

#include "platform/process/paths.h"

namespace outside::client {

// Install it with platform::process::setPathResolver().
std::shared_ptr<const platform::process::PathResolver> makePathResolver();

}  // namespace outside::client
