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
               [](FieldType& self) { return self.schema_->attribute(self.id_).singleValue; });
    b.property(3, "Syntax",
               [](FieldType& self) { return self.schema_->attribute(self.id_).syntax; });
}

std::string FieldType::name() const {
    return schema_->attribute(id_).name;
}

void Layout::describe(MapBuilder<Layout>& b) {
    b.property(1, "Name", &Layout::name).asDefault();
    b.property(2, "Fields", &Layout::fields);
}

std::string Layout::name() const {
    return schema_->objectClass(id_).name;
}

Variant Layout::fields() const {
    auto fields = make<Collection>();
    for (dir::AttributeId field : schema_->objectClass(id_).fields)
        fields->append(schema_->attribute(field).name, Variant(make<FieldType>(schema_, field)));
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
    return entry_->fullName();
}
std::string Entry::entryName() const {
    return entry_->name();
}
Variant Entry::layout() const {
    return Variant(make<Layout>(entry_->schema(), entry_->classId()));
}

Variant Entry::subEntries() const {
    // Empty only when there is nothing below at all: a container whose
    // children the filter hides still answers a (then empty) collection.
    // Browsers ask every entry of a level whether it has subordinates, so the
    // entries below are read only when the collection is read.
    if (!readingSource([&] { return entry_->hasChildren(); })) return Variant();
    return Variant(
        make<Collection>([entry = entry_, filter = filter_, note = note_](Collection& self) {
            appendEntriesBelow(self, *entry, filter, note);
        }));
}

Variant Entry::getFieldValue(std::string field, Variant defaultValue,
                             std::optional<bool> allValues) const {
    const dir::Schema& schema = *entry_->schema();
    const auto attribute = schema.findAttribute(field);
    if (!attribute)
        throw AutomationError(code::NoSuchFieldType, "No field type is named '" + field + "'", 0,
                              "KDDirLib");
    const auto& layout = schema.objectClass(entry_->classId());
    // An entry of a server's level is read in full here, and an owner's
    // addresses are searched for: both reach the server.
    const auto values = readingSource([&] { return entry_->values(*attribute); });
    if (values.empty() &&
        std::find(layout.fields.begin(), layout.fields.end(), *attribute) == layout.fields.end())
        throw AutomationError(code::NoSuchFieldType,
                              "The layout " + layout.name + " has no field '" + field + "'", 0,
                              "KDDirLib");
    const Variant fallback =
        defaultValue.isMissing() ? Variant(std::string()) : defaultValue.deref();
    if (!allValues.value_or(false)) return values.empty() ? fallback : Variant(values.front());
    if (values.empty()) return Variant(Variant::Array{fallback});
    Variant::Array out;
    out.reserve(values.size());
    for (const std::string& value : values) out.emplace_back(value);
    return Variant(std::move(out));
}

void appendEntriesBelow(Collection& entries, const dir::SourceEntry& parent,
                        const std::vector<dir::ClassId>& filter,
                        const std::shared_ptr<LimitNote>& note) {
    dir::Level level = readingSource([&] { return parent.children(filter); });
    note->record(level.limited, level.entries.size());
    for (dir::EntryPtr& child : level.entries) {
        std::string name = child->name();
        entries.append(std::move(name), Variant(make<Entry>(std::move(child), filter, note)));
    }
}

Variant entriesBelow(const dir::SourceEntry& parent, const std::vector<dir::ClassId>& filter,
                     const std::shared_ptr<LimitNote>& note) {
    auto entries = make<Collection>();
    appendEntriesBelow(*entries, parent, filter, note);
    return Variant(entries);
}

Variant layoutsOf(const SchemaPtr& schema) {
    auto layouts = make<Collection>();
    for (dir::ClassId id = 0; id < schema->classCount(); ++id) {
        // LDAP's top is no layout when a class of the schema is named "Top".
        if (schema->objectClass(id).named)
            layouts->append(schema->objectClass(id).name, Variant(make<Layout>(schema, id)));
    }
    return Variant(layouts);
}

Variant fieldTypesOf(const SchemaPtr& schema) {
    auto types = make<Collection>(code::NoSuchFieldType);
    for (dir::AttributeId id = 0; id < schema->attributeCount(); ++id)
        types->append(schema->attribute(id).name, Variant(make<FieldType>(schema, id)));
    return Variant(types);
}

}  // namespace outside::kddir
