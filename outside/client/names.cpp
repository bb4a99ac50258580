// Text helpers of the client.
#include "outside/client/names.h"

#include <cstring>

#include "outside/client/errors.h"
#include "platform/text/casefold.h"

namespace outside::client {

bool sameName(std::string_view a, std::string_view b) {
    return platform::text::equalsIgnoringCase(a, b);
}

namespace {
// Backtracking on the last "*" keeps this linear in practice and never
// recursive, whatever the pattern.
bool wildcard(std::string_view pattern, std::string_view text) {
    std::size_t p = 0, t = 0, star = std::string_view::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}
}  // namespace

bool matchesPattern(std::string_view pattern, std::string_view text) {
    return wildcard(platform::text::foldCase(pattern), platform::text::foldCase(text));
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> dottedToPath(std::string_view dotted) {
    std::string text = trimmed(dotted);
    if (text.empty() || sameName(text, "[Root]")) return {};
    std::string_view rest = text;
    if (rest.front() == '.') rest.remove_prefix(1);
    std::vector<std::string> leafFirst;
    while (true) {
        const auto dot = rest.find('.');
        const std::string_view part = rest.substr(0, dot);
        if (part.empty() || part.find('\\') != std::string_view::npos)
            throw ClientError(KD_ERR_INVALID_NAME,
                              "\"" + std::string(dotted) + "\" is not a valid directory name");
        leafFirst.emplace_back(part);
        if (dot == std::string_view::npos) break;
        rest.remove_prefix(dot + 1);
    }
    return {leafFirst.rbegin(), leafFirst.rend()};
}

std::string pathToDotted(const std::vector<std::string>& path) {
    if (path.empty()) return "[Root]";
    std::string dotted;
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        if (!dotted.empty()) dotted += '.';
        dotted += *it;
    }
    return dotted;
}

bool samePath(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!sameName(a[i], b[i])) return false;
    return true;
}

std::string paddedTreeName(std::string_view tree) {
    std::string padded(tree);
    if (padded.size() < 32) padded.append(32 - padded.size(), '_');
    return padded;
}

void copyOut(std::string_view text, char* buffer, std::size_t size) {
    if (!buffer) throw ClientError(KD_ERR_INVALID_PARAMETER, "no buffer for the answer");
    if (text.size() + 1 > size)
        throw ClientError(KD_ERR_BUFFER_TOO_SMALL,
                          "\"" + std::string(text) + "\" needs " + std::to_string(text.size() + 1) +
                              " bytes, the buffer has " + std::to_string(size));
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
}

std::string argument(const char* text, const char* what) {
    if (!text) throw ClientError(KD_ERR_INVALID_PARAMETER, std::string("no ") + what + " given");
    return text;
}

}  // namespace outside::client
