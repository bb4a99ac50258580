// Full names, the backslash form by which every caller addresses a directory
// object: "KTR:\\" + tree + "\" + the containers from the top down + "\" +
// the object; the tree root alone is "KTR:\\" + tree.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace outside::directory {

inline constexpr std::string_view kFullNamePrefix = "KTR:\\\\";

// The names along the path, tree name first. Empty when the text is not a
// full name: wrong prefix (compared without regard to case), no tree name,
// or an empty level ("KTR:\\T\\x", a trailing backslash).
std::optional<std::vector<std::string_view>> splitFullName(std::string_view fullName);

// The tree name of a full name, without prefix; empty when it is none.
std::string treeOfFullName(std::string_view fullName);

// Joins names (tree first) into a full name.
std::string joinFullName(const std::vector<std::string_view>& names);

}  // namespace outside::directory
