// The objects the directory control hands out: entries, collections (of
// entries, layouts, fields and field types), layouts and field types. Each
// holds what it was read from (an entry snapshot, a schema), so an object
// stays valid when the source is reloaded or lost underneath it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "outside/kddir/kddirctrl.h"

namespace outside::kddir {

using platform::automation::Variant;

// An ordered collection: Count, Item(index from 0 or name) and _NewEnum.
// Names compare without regard to case; an unknown name answers Nothing, or
// raises the collection's own error code when it has one.
class Collection : public platform::automation::Dispatchable<Collection> {
public:
    static void describe(platform::automation::MapBuilder<Collection>& b);

    explicit Collection(int unknownNameCode = 0) : unknownNameCode_(unknownNameCode) {}
    // A collection whose items `fill` appends when they are first asked for,
    // so that handing one out costs nothing until it is read.
    explicit Collection(std::function<void(Collection&)> fill) : fill_(std::move(fill)) {}
    void append(std::string name, Variant item);

    std::int32_t count();
    Variant item(Variant index);

private:
    void filled();

    std::function<void(Collection&)> fill_;
    std::vector<std::string> folded_;
    Variant::Array items_;
    int unknownNameCode_ = 0;
};

class FieldType : public platform::automation::Dispatchable<FieldType> {
public:
    static void describe(platform::automation::MapBuilder<FieldType>& b);
    FieldType(SchemaPtr schema, outside::directory::AttributeId id)
        : schema_(std::move(schema)), id_(id) {}
    std::string name() const;

private:
    SchemaPtr schema_;
    outside::directory::AttributeId id_;
};

class Layout : public platform::automation::Dispatchable<Layout> {
public:
    static void describe(platform::automation::MapBuilder<Layout>& b);
    Layout(SchemaPtr schema, outside::directory::ClassId id)
        : schema_(std::move(schema)), id_(id) {}
    std::string name() const;
    Variant fields() const;

private:
    SchemaPtr schema_;
    outside::directory::ClassId id_;
};

class Entry : public platform::automation::Dispatchable<Entry> {
public:
    static void describe(platform::automation::MapBuilder<Entry>& b);
    Entry(outside::directory::EntryPtr entry, std::vector<outside::directory::ClassId> filter,
          std::shared_ptr<LimitNote> note)
        : entry_(std::move(entry)), filter_(std::move(filter)), note_(std::move(note)) {}

    std::string entryPath() const;
    std::string entryName() const;
    Variant layout() const;
    Variant subEntries() const;
    Variant getFieldValue(std::string field, Variant defaultValue,
                          std::optional<bool> allValues) const;

private:
    outside::directory::EntryPtr entry_;
    std::vector<outside::directory::ClassId> filter_;
    std::shared_ptr<LimitNote> note_;
};

// Entry objects for the children of `parent` whose class passes the filter
// (every class when the filter is empty), in directory order. A list a
// server limit cut short is noted in `note`.
void appendEntriesBelow(Collection& entries, const outside::directory::SourceEntry& parent,
                        const std::vector<outside::directory::ClassId>& filter,
                        const std::shared_ptr<LimitNote>& note);
Variant entriesBelow(const outside::directory::SourceEntry& parent,
                     const std::vector<outside::directory::ClassId>& filter,
                     const std::shared_ptr<LimitNote>& note);
Variant layoutsOf(const SchemaPtr& schema);
Variant fieldTypesOf(const SchemaPtr& schema);

}  // namespace outside::kddir
