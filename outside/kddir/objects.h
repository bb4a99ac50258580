// The objects the directory control hands out: entries, collections (of
// entries, layouts, fields and field types), layouts and field types. Each
// holds the directory data it was read from, so an object stays valid when
// the source is reloaded underneath it.
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
    FieldType(DirectoryPtr dir, outside::directory::AttributeId id)
        : dir_(std::move(dir)), id_(id) {}
    std::string name() const;

private:
    DirectoryPtr dir_;
    outside::directory::AttributeId id_;
};

class Layout : public platform::automation::Dispatchable<Layout> {
public:
    static void describe(platform::automation::MapBuilder<Layout>& b);
    Layout(DirectoryPtr dir, outside::directory::ClassId id) : dir_(std::move(dir)), id_(id) {}
    std::string name() const;
    Variant fields() const;

private:
    DirectoryPtr dir_;
    outside::directory::ClassId id_;
};

class Entry : public platform::automation::Dispatchable<Entry> {
public:
    static void describe(platform::automation::MapBuilder<Entry>& b);
    Entry(DirectoryPtr dir, outside::directory::EntryId id,
          std::vector<outside::directory::ClassId> filter)
        : dir_(std::move(dir)), id_(id), filter_(std::move(filter)) {}

    std::string entryPath() const;
    std::string entryName() const;
    Variant layout() const;
    Variant subEntries() const;
    Variant getFieldValue(std::string field, Variant defaultValue,
                          std::optional<bool> allValues) const;

private:
    DirectoryPtr dir_;
    outside::directory::EntryId id_;
    std::vector<outside::directory::ClassId> filter_;
};

// Entry objects for the children of `parent` whose class passes the filter
// (every class when the filter is empty), in directory order.
void appendEntriesBelow(Collection& entries, const DirectoryPtr& dir,
                        outside::directory::EntryId parent,
                        const std::vector<outside::directory::ClassId>& filter);
Variant entriesBelow(const DirectoryPtr& dir, outside::directory::EntryId parent,
                     const std::vector<outside::directory::ClassId>& filter);
Variant layoutsOf(const DirectoryPtr& dir);
Variant fieldTypesOf(const DirectoryPtr& dir);

}  // namespace outside::kddir
