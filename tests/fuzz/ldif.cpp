// The LDIF + schema loader on any bytes: it answers a directory or an error
// that names the source, and never reads another file. A directory it
// answers keeps its promises: every entry is found again by its full name,
// lies below its parent and inside its tree, and trees are of class "Top".
#include <cstdint>
#include <string_view>

#include "fuzzcheck.h"
#include "outside/directory/ldif.h"

using namespace outside::directory;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const LoadResult result = loadLdifText(text, "fuzz");
    if (!result.ok()) {
        FUZZ_CHECK(result.status() == LoadStatus::BadData);
        FUZZ_CHECK(!result.error.message.empty());
        FUZZ_CHECK(result.error.describe().starts_with("fuzz"));
        return 0;
    }
    const Directory& dir = *result.directory;
    for (const EntryId tree : dir.trees()) {
        FUZZ_CHECK(dir.parent(tree) == kNoEntry);
        FUZZ_CHECK(dir.className(tree) == "Top");
        FUZZ_CHECK(dir.findTree(dir.name(tree)) == tree);
    }
    for (EntryId id = 0; id < dir.size(); ++id) {
        const std::string fullName = dir.fullName(id);
        FUZZ_CHECK(dir.find(fullName) == id, "%s\n", fullName.c_str());
        const EntryId parent = dir.parent(id);
        if (parent != kNoEntry) {
            FUZZ_CHECK(dir.isBelow(id, parent));
            FUZZ_CHECK(dir.isBelow(id, dir.treeOf(id)));
        }
        for (const auto& value : dir.allValues(id))
            FUZZ_CHECK(value.attribute < dir.schema().attributeCount());
    }
    // A search over everything agrees with the entries' own classes.
    if (!dir.trees().empty()) {
        SearchQuery query;
        query.context = dir.trees().front();
        query.maxHits = 50;
        for (const EntryId hit : dir.search(query)) FUZZ_CHECK(dir.isBelow(hit, query.context));
    }
    return 0;
}
