// Lookups and searches over a built Directory.
#include "outside/directory/directory.h"

#include <algorithm>

#include "outside/directory/fullname.h"
#include "outside/directory/pattern.h"
#include "platform/text/casefold.h"

namespace outside::directory {

using platform::text::foldCase;

EntryId Directory::findChild(EntryId parent, std::string_view name) const {
    const std::string key = foldCase(name);
    return table_.find(nameHash(parent, key),
                       [&](EntryId id) { return parent_[id] == parent && folded(id) == key; });
}

EntryId Directory::findTree(std::string_view treeName) const {
    return findChild(kNoEntry, treeName);
}

EntryId Directory::find(std::string_view fullName) const {
    const auto names = splitFullName(fullName);
    if (!names) return kNoEntry;
    EntryId current = kNoEntry;
    for (std::string_view name : *names) {
        current = findChild(current, name);
        if (current == kNoEntry) return kNoEntry;
    }
    return current;
}

std::string Directory::fullName(EntryId id) const {
    std::vector<std::string_view> names;
    for (EntryId at = id; at != kNoEntry; at = parent_[at]) names.push_back(name(at));
    std::reverse(names.begin(), names.end());
    return joinFullName(names);
}

EntryId Directory::treeOf(EntryId id) const {
    while (parent_[id] != kNoEntry) id = parent_[id];
    return id;
}

std::vector<std::string_view> Directory::values(EntryId id, AttributeId attribute) const {
    std::vector<std::string_view> out;
    // A field read as stored from another type reads that type; the other
    // forms were kept under the field when the entry was added.
    if (const Derivation* d = schema_.derivation(attribute, class_[id]);
        d && (d->form == ValueForm::Stored || d->form == ValueForm::HostName))
        attribute = d->backing;
    for (std::uint32_t v = valueStart_[id]; v < valueStart_[id + 1]; ++v) {
        if (values_[v].attribute == attribute) out.push_back(text(values_[v].text));
    }
    return out;
}

std::vector<std::string_view> Directory::values(EntryId id, std::string_view attributeName) const {
    const auto attribute = schema_.findAttribute(attributeName);
    return attribute ? values(id, *attribute) : std::vector<std::string_view>();
}

std::vector<Directory::Value> Directory::allValues(EntryId id) const {
    std::vector<Value> out;
    for (std::uint32_t v = valueStart_[id]; v < valueStart_[id + 1]; ++v) {
        out.push_back({values_[v].attribute, text(values_[v].text)});
    }
    return out;
}

std::pair<std::size_t, std::size_t> Directory::nameRange(std::string_view key, bool exact) const {
    const auto begin = byName_.begin();
    const auto lo =
        std::lower_bound(begin, byName_.end(), key,
                         [this](EntryId id, std::string_view k) { return folded(id) < k; });
    const auto hi =
        exact ? std::upper_bound(lo, byName_.end(), key,
                                 [this](std::string_view k, EntryId id) { return k < folded(id); })
              : std::upper_bound(lo, byName_.end(), key, [this](std::string_view k, EntryId id) {
                    return k < folded(id).substr(0, k.size());
                });
    return {static_cast<std::size_t>(lo - begin), static_cast<std::size_t>(hi - begin)};
}

std::vector<EntryId> Directory::search(const SearchQuery& query) const {
    if (query.context >= size() || query.maxHits == 0) return {};
    return searchAltNames(query, searchNames(query));
}

std::vector<EntryId> Directory::searchNames(const SearchQuery& query) const {
    std::vector<EntryId> hits;
    const EntryId context = query.context;
    if (context >= size() || query.maxHits == 0) return hits;

    std::vector<bool> allowed;
    if (!query.classes.empty()) {
        allowed.assign(schema_.classCount(), false);
        for (const std::string& name : query.classes) {
            if (const auto cls = schema_.findClass(name)) allowed[*cls] = true;
        }
    }
    const auto classMatches = [&](EntryId id) { return allowed.empty() || allowed[class_[id]]; };

    const std::string pattern = foldCase(query.pattern);
    const std::size_t star = pattern.find('*');
    const bool exact = star == std::string::npos;
    const std::string_view literal = std::string_view(pattern).substr(0, star);
    const bool plainPrefix = !exact && star + 1 == pattern.size();
    const auto nameMatches = [&](EntryId id) {
        const std::string_view name = folded(id);
        if (exact) return name == pattern;
        return name.starts_with(literal) && (plainPrefix || matchesPattern(pattern, name));
    };

    const bool oneLevel = query.scope == Scope::OneLevel;
    const std::span<const EntryId> level = children(context);
    const std::size_t scopeSize = oneLevel ? level.size() : subtreeEnd_[context] - context - 1;
    const auto [lo, hi] = literal.empty() && !exact ? std::pair<std::size_t, std::size_t>(0, size())
                                                    : nameRange(literal, exact);

    // Two ways: through the name index (cost: every name that fits the
    // pattern, wherever it lies), or through the scope in directory order
    // (cost: the entries passed before the limit is reached, about
    // maxHits / density for hits spread evenly). Take the cheaper.
    const std::size_t candidates = hi - lo;
    const double walk = candidates == 0 ? static_cast<double>(scopeSize)
                                        : std::min(static_cast<double>(scopeSize),
                                                   static_cast<double>(query.maxHits) *
                                                       static_cast<double>(size()) /
                                                       static_cast<double>(candidates));
    if (static_cast<double>(candidates) <= walk) {
        // The range holds exactly the names that fit a whole name or a plain
        // prefix; only other patterns need the names themselves read (two
        // reads far apart in memory per candidate).
        const bool rangeFits = exact || plainPrefix;
        // The hits come out of the index in name order; put them back into
        // directory order.
        for (std::size_t i = lo; i < hi; ++i) {
            const EntryId id = byName_[i];
            const bool inScope = oneLevel ? parent_[id] == context : isBelow(id, context);
            if (inScope && classMatches(id) && (rangeFits || nameMatches(id))) hits.push_back(id);
        }
        if (hits.size() > query.maxHits) {
            std::partial_sort(hits.begin(), hits.begin() + query.maxHits, hits.end());
            hits.resize(query.maxHits);
        } else {
            std::sort(hits.begin(), hits.end());
        }
        return hits;
    }
    // Otherwise walk the scope in directory order and stop at the limit.
    const auto consider = [&](EntryId id) {
        if (classMatches(id) && nameMatches(id)) hits.push_back(id);
        return hits.size() < query.maxHits;
    };
    if (oneLevel) {
        for (EntryId id : level) {
            if (!consider(id)) break;
        }
    } else {
        for (EntryId id = context + 1; id < subtreeEnd_[context]; ++id) {
            if (!consider(id)) break;
        }
    }
    return hits;
}

std::vector<EntryId> Directory::searchAltNames(const SearchQuery& query,
                                               std::vector<EntryId> hits) const {
    const std::string pattern = foldCase(query.pattern);
    if (altNames_.empty() || pattern.find_first_not_of('*') == std::string::npos) return hits;
    const std::size_t star = pattern.find('*');
    const std::string_view literal = std::string_view(pattern).substr(0, star);
    std::vector<bool> allowed;
    if (!query.classes.empty()) {
        allowed.assign(schema_.classCount(), false);
        for (const std::string& name : query.classes)
            if (const auto cls = schema_.findClass(name)) allowed[*cls] = true;
    }
    const auto lo = std::lower_bound(
        altNames_.begin(), altNames_.end(), literal,
        [this](const auto& alt, std::string_view k) { return text(alt.first) < k; });
    const std::size_t before = hits.size();
    for (auto it = lo; it != altNames_.end() && text(it->first).starts_with(literal); ++it) {
        const EntryId id = it->second;
        const bool inScope = query.scope == Scope::OneLevel ? parent_[id] == query.context
                                                            : isBelow(id, query.context);
        if (!inScope || (!allowed.empty() && !allowed[class_[id]])) continue;
        if (star == std::string::npos ? text(it->first) != pattern
                                      : !matchesPattern(pattern, text(it->first)))
            continue;
        hits.push_back(id);
    }
    if (hits.size() == before) return hits;
    std::sort(hits.begin(), hits.end());
    hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
    if (hits.size() > query.maxHits) hits.resize(query.maxHits);
    return hits;
}

std::size_t Directory::memoryUsage() const {
    const auto bytes = [](const auto& v) { return v.memoryUsage(); };
    return sizeof(*this) + text_.memoryUsage() + bytes(parent_) + bytes(name_) + bytes(folded_) +
           bytes(class_) + bytes(subtreeEnd_) + bytes(childStart_) + bytes(childList_) +
           bytes(valueStart_) + bytes(values_) + bytes(byName_) +
           altNames_.capacity() * sizeof(altNames_[0]) + table_.memoryUsage() + bytes(trees_);
}

}  // namespace outside::directory
