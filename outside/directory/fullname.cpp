// Splitting and joining full names.
#include "outside/directory/fullname.h"

#include "platform/text/casefold.h"

namespace outside::directory {

using platform::text::equalsIgnoringCase;

std::optional<std::vector<std::string_view>> splitFullName(std::string_view fullName) {
    if (fullName.size() <= kFullNamePrefix.size() ||
        !equalsIgnoringCase(fullName.substr(0, kFullNamePrefix.size()), kFullNamePrefix)) {
        return std::nullopt;
    }
    std::vector<std::string_view> names;
    std::string_view rest = fullName.substr(kFullNamePrefix.size());
    while (true) {
        const auto cut = rest.find('\\');
        const std::string_view name = rest.substr(0, cut);
        if (name.empty()) return std::nullopt;
        names.push_back(name);
        if (cut == std::string_view::npos) break;
        rest.remove_prefix(cut + 1);
    }
    return names;
}

std::string treeOfFullName(std::string_view fullName) {
    const auto names = splitFullName(fullName);
    return names ? std::string(names->front()) : std::string();
}

std::string joinFullName(const std::vector<std::string_view>& names) {
    std::string out(kFullNamePrefix);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i) out.push_back('\\');
        out.append(names[i]);
    }
    return out;
}

}  // namespace outside::directory
