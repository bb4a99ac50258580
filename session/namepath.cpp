// Name forms: full names, dotted contexts and context specifications.
#include "session/namepath.h"

#include <algorithm>

#include "platform/text/casefold.h"

namespace session {
namespace {

constexpr std::string_view kPrefix = "KTR:";
constexpr std::string_view kBlanks = " \t";

std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = text.find(separator, start);
        parts.emplace_back(text.substr(start, at - start));
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
    return parts;
}

}  // namespace

std::string_view trimLeadingBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

std::string_view trimBlanks(std::string_view text) {
    text = trimLeadingBlanks(text);
    return text.substr(0, text.find_last_not_of(kBlanks) + 1);
}

bool hasDirectoryPrefix(std::string_view text) {
    return platform::text::startsWithIgnoringCase(text, "KTR:\\\\");
}

std::string stripTreePadding(std::string_view tree) {
    while (!tree.empty() && tree.back() == '_') tree.remove_suffix(1);
    return std::string(tree);
}

NamePath NamePath::build(std::string tree, std::vector<std::string> components) {
    NamePath p;
    if (tree.empty()) return p;
    for (const std::string& c : components)
        if (c.empty()) return p;
    p.valid_ = true;
    p.tree_ = std::move(tree);
    p.components_ = std::move(components);
    p.path_ = "\\\\" + p.tree_;
    for (const std::string& c : p.components_) p.path_ += "\\" + c;
    if (p.components_.empty()) {
        p.context_ = kRootContext;
    } else {
        for (auto it = p.components_.rbegin(); it != p.components_.rend(); ++it) {
            if (!p.context_.empty()) p.context_ += '.';
            p.context_ += *it;
        }
    }
    return p;
}

NamePath NamePath::fromFullName(std::string_view fullName) {
    std::string name(trimBlanks(fullName));
    if (name.find(':') == std::string::npos && name.find('\\') == std::string::npos)
        name.insert(0, "KTR:\\\\");
    else if (name.starts_with("\\\\"))
        name.insert(0, kPrefix);
    if (platform::text::startsWithIgnoringCase(name, "ktr")) name.replace(0, 3, "KTR");
    if (!name.starts_with("KTR:\\\\") || name.ends_with('\\') ||
        name.find('.') != std::string::npos)
        return {};
    std::vector<std::string> parts = split(std::string_view(name).substr(6), '\\');
    std::string tree = std::move(parts.front());
    parts.erase(parts.begin());
    return build(std::move(tree), std::move(parts));
}

NamePath NamePath::fromTreeAndContext(std::string_view tree, std::string_view dottedContext) {
    tree = trimBlanks(tree);
    if (tree.find_first_of("\\.") != std::string_view::npos) return {};
    std::string_view context = trimBlanks(dottedContext);
    while (!context.empty() && context.front() == '.') context.remove_prefix(1);
    while (!context.empty() && context.back() == '.') context.remove_suffix(1);
    if (context.find('\\') != std::string_view::npos) return {};
    // The client names the root context "[Root]"; it is the tree alone.
    if (platform::text::equalsIgnoringCase(context, kRootContext)) context = {};
    std::vector<std::string> components;
    if (!context.empty()) {
        components = split(context, '.');
        std::reverse(components.begin(), components.end());
    }
    return build(std::string(tree), std::move(components));
}

std::string NamePath::fullName() const {
    return valid_ ? std::string(kPrefix) + path_ : std::string();
}

NamePath NamePath::parent() const {
    if (!valid_ || components_.empty()) return *this;
    std::vector<std::string> up(components_.begin(), components_.end() - 1);
    return build(tree_, std::move(up));
}

std::string contextSpecification(std::string_view fullName) {
    if (!platform::text::startsWithIgnoringCase(fullName, kPrefix)) return std::string(fullName);
    const NamePath path = NamePath::fromFullName(fullName);
    if (!path.isValid()) return {};
    return "\\\\" + path.tree() + "\\." + path.context();
}

std::optional<ContextSpec> parseContextSpecification(std::string_view spec) {
    if (spec.empty()) return std::nullopt;
    if (!spec.starts_with("\\\\")) return ContextSpec{std::nullopt, std::string(spec)};
    spec.remove_prefix(2);
    const std::size_t end = spec.find("\\.");
    if (end == 0 || end == std::string_view::npos || end + 2 == spec.size()) return std::nullopt;
    const std::string_view tree = spec.substr(0, end);
    if (tree.find('\\') != std::string_view::npos) return std::nullopt;
    return ContextSpec{std::string(tree), std::string(spec.substr(end + 2))};
}

char toUpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string toUpperAscii(std::string text) {
    for (char& c : text) c = toUpperAscii(c);
    return text;
}

}  // namespace session
