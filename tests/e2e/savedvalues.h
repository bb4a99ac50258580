// Settings values that say which save wrote them, for the runs that end tvn
// while it saves: generation g of a key is "<key>#<g>#" and a run of one
// letter that depends on g, long enough to span several database pages. A
// value cut short or mixed from two saves does not read back as any
// generation.
#pragma once

#include <optional>
#include <string>

namespace savedvalues {

// The keys of the "Settings" section that the save loop changes.
inline const char* const kKeys[] = {"HB Server", "Inventory Server"};
inline constexpr std::size_t kFill = 3000;

inline std::string value(const std::string& key, long generation) {
    return key + "#" + std::to_string(generation) + "#" +
           std::string(kFill, static_cast<char>('a' + generation % 26));
}

// The generation of a value written by value(key, g); nullopt for any other text.
inline std::optional<long> generationOf(const std::string& key, const std::string& text) {
    const std::string head = key + "#";
    if (text.rfind(head, 0) != 0) return std::nullopt;
    const auto end = text.find('#', head.size());
    if (end == std::string::npos || end == head.size()) return std::nullopt;
    long generation = 0;
    for (std::size_t i = head.size(); i < end; ++i) {
        if (text[i] < '0' || text[i] > '9' || generation > 1000000000) return std::nullopt;
        generation = generation * 10 + (text[i] - '0');
    }
    return text == value(key, generation) ? std::optional<long>(generation) : std::nullopt;
}

}  // namespace savedvalues
