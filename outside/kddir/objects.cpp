// Entries, collections, layouts and field types of the directory control.
#include "outside/kddir/objects.h"

#include <algorithm>

#include "platform/text/casefold.h"

namespace outside::kddir {

using namespace platform::automation;
namespace dir = outside::directory;

void Collection::describe(MapBuilder<Collection>& b) {
    b.property(1, "Count", &Collection::count);
    b.getter(2, "Item", &Collection::item, {"Index"}).asDefault();
    b.newEnum([](Collection& self) {
        self.filled();
        return EnumVariant::create(self.items_);
    });
}

void Collection::append(std::string name, Variant item) {
    folded_.push_back(platform::text::foldCase(name));
    items_.push_back(std::move(item));
}

void Collection::filled() {
    if (!fill_) return;
    const auto fill = std::move(fill_);
    fill_ = nullptr;
    fill(*this);
}

std::int32_t Collection::count() {
    filled();
    return static_cast<std::int32_t>(items_.size());
}

Variant Collection::item(Variant index) {
    filled();
    if (index.isString()) {
        const std::string key = platform::text::foldCase(index.stringValue());
        const auto it = std::find(folded_.begin(), folded_.end(), key);
        if (it != folded_.end()) return items_[static_cast<std::size_t>(it - folded_.begin())];
        if (unknownNameCode_ == code::NoSuchFieldType)
            throw AutomationError(code::NoSuchFieldType,
                                  "No field type is named '" + index.stringValue() + "'", 0,
                                  "KDDirLib");
        return Variant::nothing();
    }
    const std::int32_t i = index.toInt32();
    if (i < 0 || i >= count()) throw AutomationError::standard(error::BadIndex);
    return items_[static_cast<std::size_t>(i)];
}

void FieldType::describe(MapBuilder<FieldType>& b) {
    b.property(1, "Name", &FieldType::name).asDefault();
    b.property(2, "SingleValued",
               [](FieldType& self) { return self.dir_->schema().attribute(self.id_).singleValue; });
    b.property(3, "Syntax",
               [](FieldType& self) { return self.dir_->schema().attribute(self.id_).syntax; });
}

std::string FieldType::name() const {
    return dir_->schema().attribute(id_).name;
}

void Layout::describe(MapBuilder<Layout>& b) {
    b.property(1, "Name", &Layout::name).asDefault();
    b.property(2, "Fields", &Layout::fields);
}

std::string Layout::name() const {
    return dir_->schema().objectClass(id_).name;
}

Variant Layout::fields() const {
    auto fields = make<Collection>();
    for (dir::AttributeId field : dir_->schema().objectClass(id_).fields)
        fields->append(dir_->schema().attribute(field).name, Variant(make<FieldType>(dir_, field)));
    return Variant(fields);
}

void Entry::describe(MapBuilder<Entry>& b) {
    b.property(1, "EntryPath", &Entry::entryPath).asDefault();
    b.property(2, "EntryName", &Entry::entryName);
    b.property(3, "Layout", &Entry::layout);
    b.property(4, "SubEntries", &Entry::subEntries);
    b.method(5, "GetFieldValue", &Entry::getFieldValue,
             {"Field", optional("Default"), optional("AllValues")});
}

std::string Entry::entryPath() const {
    return dir_->fullName(id_);
}
std::string Entry::entryName() const {
    return std::string(dir_->name(id_));
}
Variant Entry::layout() const {
    return Variant(make<Layout>(dir_, dir_->classOf(id_)));
}

Variant Entry::subEntries() const {
    // Empty only when there is nothing below at all: a container whose
    // children the filter hides still answers a (then empty) collection.
    // Browsers ask every entry of a level whether it has subordinates, so the
    // entries below are made only when the collection is read.
    if (!dir_->hasChildren(id_)) return Variant();
    return Variant(make<Collection>([dir = dir_, id = id_, filter = filter_](Collection& self) {
        appendEntriesBelow(self, dir, id, filter);
    }));
}

Variant Entry::getFieldValue(std::string field, Variant defaultValue,
                             std::optional<bool> allValues) const {
    const auto& schema = dir_->schema();
    const auto attribute = schema.findAttribute(field);
    if (!attribute)
        throw AutomationError(code::NoSuchFieldType, "No field type is named '" + field + "'", 0,
                              "KDDirLib");
    const auto& fields = schema.objectClass(dir_->classOf(id_)).fields;
    const auto values = dir_->values(id_, *attribute);
    if (values.empty() && std::find(fields.begin(), fields.end(), *attribute) == fields.end())
        throw AutomationError(code::NoSuchFieldType,
                              "The layout " + schema.objectClass(dir_->classOf(id_)).name +
                                  " has no field '" + field + "'",
                              0, "KDDirLib");
    const Variant fallback =
        defaultValue.isMissing() ? Variant(std::string()) : defaultValue.deref();
    if (!allValues.value_or(false)) return values.empty() ? fallback : Variant(values.front());
    if (values.empty()) return Variant(Variant::Array{fallback});
    Variant::Array out;
    out.reserve(values.size());
    for (std::string_view value : values) out.emplace_back(value);
    return Variant(std::move(out));
}

void appendEntriesBelow(Collection& entries, const DirectoryPtr& dir, dir::EntryId parent,
                        const std::vector<dir::ClassId>& filter) {
    for (dir::EntryId child : dir->children(parent)) {
        if (!filter.empty() &&
            std::find(filter.begin(), filter.end(), dir->classOf(child)) == filter.end())
            continue;
        entries.append(std::string(dir->name(child)), Variant(make<Entry>(dir, child, filter)));
    }
}

Variant entriesBelow(const DirectoryPtr& dir, dir::EntryId parent,
                     const std::vector<dir::ClassId>& filter) {
    auto entries = make<Collection>();
    appendEntriesBelow(*entries, dir, parent, filter);
    return Variant(entries);
}

Variant layoutsOf(const DirectoryPtr& dir) {
    auto layouts = make<Collection>();
    const auto& schema = dir->schema();
    for (dir::ClassId id = 0; id < schema.classCount(); ++id) {
        // LDAP's top is no layout when a class of the schema is named "Top".
        if (schema.objectClass(id).named)
            layouts->append(schema.objectClass(id).name, Variant(make<Layout>(dir, id)));
    }
    return Variant(layouts);
}

Variant fieldTypesOf(const DirectoryPtr& dir) {
    auto types = make<Collection>(code::NoSuchFieldType);
    const auto& schema = dir->schema();
    for (dir::AttributeId id = 0; id < schema.attributeCount(); ++id)
        types->append(schema.attribute(id).name, Variant(make<FieldType>(dir, id)));
    return Variant(types);
}

}  // namespace outside::kddir
