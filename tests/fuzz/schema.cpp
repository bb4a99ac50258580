// The schema parser on any definitions: one per line, "a " before an
// attribute type, "c " before an object class (other lines are skipped). It
// answers a schema or a SchemaError that points into the right list, and a
// schema it answers keeps its promises: layouts hold known attribute types
// once each, without objectClass, and after the fields of every superclass;
// directory names find their elements; the tree roots' class is "Top"; and
// inheritance is what the superclasses say, checked against the closure
// computed here the slow way.
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzzcheck.h"
#include "outside/directory/schema.h"
#include "platform/text/casefold.h"

using namespace outside::directory;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> attributes, classes;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        if (line.starts_with("a ")) attributes.push_back(line.substr(2));
        if (line.starts_with("c ")) classes.push_back(line.substr(2));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    Schema schema;
    try {
        schema = Schema::parse(attributes, classes);
    } catch (const SchemaError& error) {
        FUZZ_CHECK(error.what()[0] != '\0');
        FUZZ_CHECK(error.list == "attributeTypes" || error.list == "objectClasses");
        FUZZ_CHECK(error.index < (error.list == "attributeTypes" ? attributes : classes).size());
        return 0;
    }

    const std::size_t count = schema.classCount();
    FUZZ_CHECK(count >= classes.size() && count <= classes.size() + 1);
    FUZZ_CHECK(schema.topClass() < count);
    FUZZ_CHECK(schema.objectClass(schema.topClass()).name == "Top");
    for (ClassId c = 0; c < count; ++c) {
        const ObjectClass& cls = schema.objectClass(c);
        std::vector<AttributeId> seen;
        for (const AttributeId field : cls.fields) {
            FUZZ_CHECK(field < schema.attributeCount());
            FUZZ_CHECK(field != schema.objectClassAttribute());
            FUZZ_CHECK(std::find(seen.begin(), seen.end(), field) == seen.end());
            seen.push_back(field);
        }
        // The superclasses' fields come first, in SUP order.
        std::size_t at = 0;
        for (const ClassId sup : cls.superclasses) {
            FUZZ_CHECK(sup < count);
            for (const AttributeId field : schema.objectClass(sup).fields) {
                const auto it = std::find(cls.fields.begin(), cls.fields.end(), field);
                FUZZ_CHECK(it != cls.fields.end());
                at = std::max(at, static_cast<std::size_t>(it - cls.fields.begin()) + 1);
            }
        }
        for (const AttributeId own : cls.must) {
            if (own == schema.objectClassAttribute()) continue;
            FUZZ_CHECK(std::find(cls.fields.begin(), cls.fields.end(), own) != cls.fields.end());
        }
        FUZZ_CHECK(at <= cls.fields.size());
        if (cls.named) {
            const auto found = schema.findClass(cls.name);
            FUZZ_CHECK(found && platform::text::foldCase(schema.objectClass(*found).name) ==
                                    platform::text::foldCase(cls.name));
        }
        for (const std::string& ldapName : cls.ldapNames)
            FUZZ_CHECK(schema.classByLdapName(ldapName).has_value());
    }
    for (AttributeId a = 0; a < schema.attributeCount(); ++a) {
        const auto found = schema.findAttribute(schema.attribute(a).name);
        FUZZ_CHECK(found.has_value());
    }

    // Inheritance against the closure, for schemas small enough to square.
    if (count <= 200) {
        std::vector<std::vector<bool>> closure(count, std::vector<bool>(count, false));
        for (ClassId c = 0; c < count; ++c) {
            std::vector<ClassId> todo{c};
            while (!todo.empty()) {
                const ClassId x = todo.back();
                todo.pop_back();
                if (closure[c][x]) continue;
                closure[c][x] = true;
                for (const ClassId sup : schema.objectClass(x).superclasses) todo.push_back(sup);
            }
        }
        for (ClassId d = 0; d < count; ++d)
            for (ClassId b = 0; b < count; ++b)
                FUZZ_CHECK(schema.inherits(d, b) == closure[d][b], "%u %u\n", d, b);
        std::vector<ClassId> all(count);
        for (ClassId c = 0; c < count; ++c) all[c] = c;
        FUZZ_CHECK(schema.entryClass(all) < count);
    }
    return 0;
}
