// Text helpers of the client: case-insensitive names, wildcard patterns,
// dotted directory names and the fixed-size buffers of the C interface.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace outside::client {

bool sameName(std::string_view a, std::string_view b);

// "*" matches any run, "?" one character; case is ignored.
bool matchesPattern(std::string_view pattern, std::string_view text);

std::string trimmed(std::string_view text);

// A dotted name (leaf first) as its components from the root down. "" and
// "[Root]" (any case) give no components; one leading "." is allowed. Throws
// KD_ERR_INVALID_NAME for empty components or "\".
std::vector<std::string> dottedToPath(std::string_view dotted);
// Components from the root down as a dotted name; none give "[Root]".
std::string pathToDotted(const std::vector<std::string>& path);
bool samePath(const std::vector<std::string>& a, const std::vector<std::string>& b);

// A tree name as connections report it: padded with "_" to 32 characters.
std::string paddedTreeName(std::string_view tree);

// Copies text and its NUL into buffer; KD_ERR_BUFFER_TOO_SMALL when it does not
// fit, KD_ERR_INVALID_PARAMETER for a null buffer.
void copyOut(std::string_view text, char* buffer, std::size_t size);
// A NUL-terminated argument; KD_ERR_INVALID_PARAMETER when null.
std::string argument(const char* text, const char* what);

}  // namespace outside::client
