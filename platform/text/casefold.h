// Case-insensitive comparison of UTF-8 text, as the directory, the registry
// store and the automation layer compare names: simple case folding for
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic; other characters
// compare as they are. Invalid UTF-8 bytes are kept as they are.
#pragma once

#include <string>
#include <string_view>

namespace platform::text {

// The folded (lower-case) form of a UTF-8 string.
std::string foldCase(std::string_view text);
// Appends the folded form of text to out (no allocation when out has room).
void appendFolded(std::string& out, std::string_view text);

bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);
// Byte offset of the first case-insensitive occurrence of needle in text, or npos.
std::size_t findIgnoringCase(std::string_view text, std::string_view needle);

// The length of the UTF-8 sequence at text[at], or 0 when none starts
// there (stray continuation bytes, overlong forms, surrogates, values past
// U+10FFFF, sequences cut short).
std::size_t utf8Length(std::string_view text, std::size_t at);
bool isUtf8(std::string_view text);

}  // namespace platform::text
