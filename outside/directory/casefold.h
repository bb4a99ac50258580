// Case-insensitive comparison of directory names: every name that is looked
// up, searched or indexed goes through foldCase first, so that one folded
// form decides equality and order. UTF-8 text folds by Unicode simple case
// mapping; a byte that is not valid UTF-8 is read as a Latin-1 character, so
// names written in either encoding fold to the same key.
#pragma once

#include <string>
#include <string_view>

namespace outside::directory {

// Appends the folded form of text to out.
void appendFolded(std::string& out, std::string_view text);
std::string foldCase(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// Matches a folded name against a folded pattern in which "*" stands for
// any run of characters (including none); every other character is literal.
bool matchesPattern(std::string_view foldedPattern, std::string_view foldedName);

}  // namespace outside::directory
