// The automation stand-ins.
#include "fakeobjects.h"

#include <QString>
#include <algorithm>

#include "platform/automation/create.h"
#include "platform/automation/enumerator.h"
#include "platform/automation/error.h"
#include "platform/automation/forwarder.h"

namespace fakes {

namespace {

class NameOnly : public pa::Dispatchable<NameOnly> {
public:
    explicit NameOnly(std::string name) : name_(std::move(name)) {}
    static void describe(pa::MapBuilder<NameOnly>& b) {
        b.property(1, "Name", [](NameOnly& self) { return self.name_; });
        b.property(2, "ShortName", [](NameOnly& self) { return self.name_; });
    }

private:
    std::string name_;
};

class Collection : public pa::Dispatchable<Collection> {
public:
    explicit Collection(pa::Variant::Array items) : items_(std::move(items)) {}
    static void describe(pa::MapBuilder<Collection>& b) {
        b.property(1, "Count",
                   [](Collection& self) { return static_cast<std::int32_t>(self.items_.size()); });
        b.newEnum(
            [](Collection& self) { return pa::Variant(pa::EnumVariant::create(self.items_)); });
    }

private:
    pa::Variant::Array items_;
};

pa::Variant collectionOf(pa::Variant::Array items) {
    return pa::Variant(pa::make<Collection>(std::move(items)));
}

class FakeLayout : public pa::Dispatchable<FakeLayout> {
public:
    explicit FakeLayout(std::vector<std::string> fields) : fields_(std::move(fields)) {}
    static void describe(pa::MapBuilder<FakeLayout>& b) {
        b.property(1, "Fields", [](FakeLayout& self) {
            pa::Variant::Array items;
            for (const auto& f : self.fields_) items.emplace_back(pa::make<NameOnly>(f));
            return collectionOf(std::move(items));
        });
    }

private:
    std::vector<std::string> fields_;
};

class FakeLayouts : public pa::Dispatchable<FakeLayouts> {
public:
    explicit FakeLayouts(std::map<std::string, std::vector<std::string>> layouts)
        : layouts_(std::move(layouts)) {}
    static void describe(pa::MapBuilder<FakeLayouts>& b) {
        b.method(0, "Item",
                 [](FakeLayouts& self, std::string name) {
                     const auto it = self.layouts_.find(name);
                     if (it == self.layouts_.end()) return pa::Variant::nothing();
                     return pa::Variant(pa::make<FakeLayout>(it->second));
                 },
                 {"Name"});
    }

private:
    std::map<std::string, std::vector<std::string>> layouts_;
};

class FakeSession : public pa::Dispatchable<FakeSession> {
public:
    explicit FakeSession(std::vector<std::string> servers) : servers_(std::move(servers)) {}
    static void describe(pa::MapBuilder<FakeSession>& b) {
        b.property(1, "ServerNames", [](FakeSession& self) {
            pa::Variant::Array items;
            for (const auto& s : self.servers_) items.emplace_back(pa::make<NameOnly>(s));
            return collectionOf(std::move(items));
        });
    }

private:
    std::vector<std::string> servers_;
};

class FakeFieldTypes : public pa::Dispatchable<FakeFieldTypes> {
public:
    explicit FakeFieldTypes(const FakeDirectory& directory)
        : known_(directory.fieldTypes), error_(directory.fieldTypeError) {}
    static void describe(pa::MapBuilder<FakeFieldTypes>& b) {
        b.method(0, "Item",
                 [](FakeFieldTypes& self, std::string name) {
                     if (self.error_) throw pa::AutomationError(self.error_, "directory error");
                     for (const auto& known : self.known_)
                         if (known == name) return pa::Variant(pa::make<NameOnly>(name));
                     throw pa::AutomationError(603, "no such field type");
                 },
                 {"Name"});
    }

private:
    std::vector<std::string> known_;
    int error_;
};

bool sameProgId(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::string parentOf(const std::string& fullName) {
    const size_t last = fullName.rfind('\\');
    return last == std::string::npos ? std::string() : fullName.substr(0, last);
}

bool isTreeRoot(const std::string& fullName) {
    return fullName.starts_with("KTR:\\\\") && fullName.find('\\', 6) == std::string::npos;
}

}  // namespace

void FakeEntry::describe(pa::MapBuilder<FakeEntry>& b) {
    b.property(1, "EntryPath", [](FakeEntry& self) { return self.path_; });
    b.property(2, "EntryName",
               [](FakeEntry& self) { return self.path_.substr(self.path_.rfind('\\') + 1); });
    b.property(3, "Layout",
               [](FakeEntry& self) { return pa::Variant(pa::make<NameOnly>(self.layout_)); });
    b.property(4, "SubEntries", [](FakeEntry& self) {
        const pa::Variant below = self.directory_.entriesBelow(self.path_);
        return below.toObject()->get("Count").toInt32() == 0 ? pa::Variant() : below;
    });
    b.method(5, "GetFieldValue",
             [](FakeEntry& self, std::string field, pa::Variant, bool) {
                 const auto entry = self.directory_.values.find(self.path_);
                 if (entry != self.directory_.values.end()) {
                     const auto values = entry->second.find(field);
                     if (values != entry->second.end()) return pa::Variant(values->second);
                 }
                 throw pa::AutomationError(603, "no such field");
             },
             {"Field", "Default", "AllValues"});
}

FakeDirectory::FakeDirectory() : events_({"_DKDDirEvents"}) {}

std::string FakeDirectory::classOf(const std::string& fullName) const {
    const auto it = entries.find(fullName);
    if (it != entries.end()) return it->second;
    return isTreeRoot(fullName) ? "Top" : std::string();
}

pa::Variant FakeDirectory::entriesBelow(const std::string& fullName) const {
    pa::Variant::Array items;
    for (const auto& [name, cls] : entries)
        if (parentOf(name) == fullName) items.emplace_back(pa::make<FakeEntry>(*this, name, cls));
    return collectionOf(std::move(items));
}

void FakeDirectory::describe(pa::MapBuilder<FakeDirectory>& b) {
    b.property(
        1, "ClassFilter", [](FakeDirectory& self) { return self.classFilter; },
        [](FakeDirectory& self, std::string v) { self.classFilter = std::move(v); });
    b.property(
        2, "ContextPath", [](FakeDirectory& self) { return self.contextPath; },
        [](FakeDirectory& self, std::string v) {
            if (self.contextWritten) self.contextWritten(v);
            self.contextPath = std::move(v);
        });
    b.method(3, "TreeOf",
             [](FakeDirectory&, std::string fullName) {
                 // "KTR:\\Tree\..." names the tree between "\\" and the next "\".
                 const size_t start = fullName.find("\\\\");
                 if (start == std::string::npos) throw pa::AutomationError(601, "no full name");
                 const std::string rest = fullName.substr(start + 2);
                 return rest.substr(0, rest.find('\\'));
             },
             {"FullName"});
    b.method(4, "OpenEntry",
             [](FakeDirectory& self, std::string fullName) { return self.openEntry(fullName); },
             {"FullName"});
    b.method(5, "StartSearch",
             [](FakeDirectory& self, std::string pattern, std::string classes, std::int32_t scope,
                pa::Variant context,
                std::int32_t mode) { self.startSearch(pattern, classes, scope, context, mode); },
             {"Pattern", "Classes", "Scope", pa::byRef("Context"), "Mode"});
    b.property(6, "FieldTypes",
               [](FakeDirectory& self) { return pa::Variant(pa::make<FakeFieldTypes>(self)); });
    b.method(7, "RootPath",
             [](FakeDirectory&, std::string tree, std::string) { return "KTR:\\\\" + tree; },
             {"TreeName", "Context"});
    b.property(8, "CurrentEntry",
               [](FakeDirectory& self) { return self.openEntry(self.contextPath); });
    b.property(9, "EntriesBelow",
               [](FakeDirectory& self) { return self.entriesBelow(self.contextPath); });
    b.property(10, "Layouts", [](FakeDirectory& self) {
        return pa::Variant(pa::make<FakeLayouts>(self.layouts));
    });
}

pa::Variant FakeDirectory::openEntry(const std::string& fullName) {
    if (openError) throw pa::AutomationError(openError, "directory error");
    const std::string cls = classOf(fullName);
    if (cls.empty()) throw pa::AutomationError(601, "no such object");
    return pa::Variant(pa::make<FakeEntry>(*this, fullName, cls));
}

void FakeDirectory::startSearch(const std::string& pattern, const std::string& classes, int scope,
                                const pa::Variant& context, int mode) {
    searches.push_back({pattern, classes, scope, context.toString(), mode});
    events_.fire({}, 1, {results});
}

size_t FakeObjects::callsOf(size_t control, const std::string& member) const {
    return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [&](const Call& call) {
        return call.control == control && call.member == member;
    }));
}

tvn::ObjectFactory FakeObjects::factory() {
    return [this](const std::string& progId) -> pa::Ref<pa::Object> {
        const size_t index = created.size();
        created.push_back(progId);
        if (failAt && *failAt == index) throw pa::AutomationError(failWith, "cannot create");
        if (sameProgId(progId, "KDDirLib.KDDirCtrl.1") && realDirectory) {
            const pa::Ref<pa::Object> control = pa::createObject(progId);
            const pa::DispatchMap& map = control->dispatchMap();
            return pa::make<pa::Forwarder>(control, [this, &map, number = realControls_++](
                                                        pa::DispId id, pa::CallKind,
                                                        const pa::Args&) {
                const auto& members = map.members();
                const auto member = std::find_if(members.begin(), members.end(),
                                                 [&](const pa::Member& m) { return m.id == id; });
                calls.push_back({number, member == members.end() ? "?" : member->name});
                if (beforeCall) beforeCall(calls.back());
            });
        }
        if (sameProgId(progId, "KDDirLib.KDDirCtrl.1")) {
            auto directory = pa::make<FakeDirectory>();
            directory->contextWritten = [this, number = directories.size()](const std::string& v) {
                contextWrites.emplace_back(number, v);
            };
            if (prepare) prepare(*directory);
            directories.push_back(directory);
            return directory;
        }
        if (sameProgId(progId, "QuillonLib.QuillonCtrl.1") && servers)
            return pa::make<FakeSession>(*servers);
        throw pa::AutomationError::standard(pa::error::CannotCreateObject, progId);
    };
}

}  // namespace fakes
