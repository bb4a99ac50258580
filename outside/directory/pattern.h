// Name patterns of directory searches: "*" stands for any run of
// characters (including none); every other character stands for itself.
#pragma once

#include <string_view>

namespace outside::directory {

// Matches a case-folded name against a case-folded pattern.
bool matchesPattern(std::string_view foldedPattern, std::string_view foldedName);

}  // namespace outside::directory
