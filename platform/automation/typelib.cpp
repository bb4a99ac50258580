// Type-library descriptions: building them from dispatch maps, keeping them
// in the store as JSON beside the library's standard keys, reading them back.
#include "platform/automation/typelib.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "platform/registry/classes.h"
#include "platform/registry/registration.h"
#include "platform/registry/store.h"
#include "platform/text/casefold.h"

namespace platform::automation {

using nlohmann::json;

namespace {

constexpr const char* kDescriptionValue = "Description";

template <typename T>
const T* findByName(const std::vector<T>& items, std::string_view name) {
    auto it = std::find_if(items.begin(), items.end(), [&](const T& item) {
        return text::equalsIgnoringCase(item.name, name);
    });
    return it == items.end() ? nullptr : &*it;
}

MemberKind kindFromText(const std::string& text) {
    for (MemberKind k : {MemberKind::PropertyGet, MemberKind::PropertyPut, MemberKind::Method})
        if (text == memberKindName(k)) return k;
    throw std::runtime_error("unknown member kind '" + text + "'");
}

TypeCode typeFromText(const std::string& text) {
    for (TypeCode t :
         {TypeCode::Void, TypeCode::Variant, TypeCode::Boolean, TypeCode::Int16, TypeCode::Int32,
          TypeCode::Double, TypeCode::String, TypeCode::Object, TypeCode::Array})
        if (text == typeCodeName(t)) return t;
    throw std::runtime_error("unknown type '" + text + "'");
}

json memberJson(const Member& m) {
    json params = json::array();
    for (const auto& p : m.params)
        params.push_back({{"name", p.name},
                          {"type", typeCodeName(p.type)},
                          {"typeName", p.typeName},
                          {"optional", p.optional},
                          {"byRef", p.byRef}});
    return {{"id", m.id},
            {"name", m.name},
            {"kind", memberKindName(m.kind)},
            {"type", typeCodeName(m.type)},
            {"typeName", m.typeName},
            {"params", params},
            {"helpString", m.helpString},
            {"helpContext", m.helpContext},
            {"hidden", m.hidden},
            {"default", m.isDefault}};
}

Member memberFromJson(const json& j) {
    Member m;
    m.id = j.at("id").get<DispId>();
    m.name = j.at("name").get<std::string>();
    m.kind = kindFromText(j.at("kind").get<std::string>());
    m.type = typeFromText(j.at("type").get<std::string>());
    m.typeName = j.value("typeName", "");
    for (const auto& p : j.at("params"))
        m.params.push_back(
            {p.at("name").get<std::string>(), typeFromText(p.at("type").get<std::string>()),
             p.value("optional", false), p.value("byRef", false), p.value("typeName", "")});
    m.helpString = j.value("helpString", "");
    m.helpContext = j.value("helpContext", 0);
    m.hidden = j.value("hidden", false);
    m.isDefault = j.value("default", false);
    return m;
}

}  // namespace

const InterfaceInfo* TypeLibrary::findInterface(std::string_view name) const {
    return findByName(interfaces, name);
}
const ClassInfo* TypeLibrary::findClass(std::string_view name) const {
    return findByName(classes, name);
}
const EnumInfo* TypeLibrary::findEnum(std::string_view name) const {
    return findByName(enums, name);
}

InterfaceInfo describeInterface(std::string name, std::string guid, const DispatchMap& map,
                                std::string helpString, int helpContext) {
    InterfaceInfo info{std::move(name), std::move(guid), std::move(helpString),
                       helpContext,     false,           {}};
    for (const auto& m : map.members()) {
        if (!m.inTypeLibrary) continue;
        Member described = m;
        described.handler = nullptr;
        info.members.push_back(std::move(described));
    }
    std::stable_sort(info.members.begin(), info.members.end(),
                     [](const Member& a, const Member& b) { return a.id < b.id; });
    return info;
}

const Member* findMember(const InterfaceInfo& interface, std::string_view name, MemberKind kind) {
    for (const auto& m : interface.members)
        if (m.kind == kind && text::equalsIgnoringCase(m.name, name)) return &m;
    return nullptr;
}

std::string toJson(const TypeLibrary& lib) {
    json interfaces = json::array();
    for (const auto& i : lib.interfaces) {
        json members = json::array();
        for (const auto& m : i.members) members.push_back(memberJson(m));
        interfaces.push_back({{"name", i.name},
                              {"guid", i.guid},
                              {"helpString", i.helpString},
                              {"helpContext", i.helpContext},
                              {"events", i.events},
                              {"members", members}});
    }
    json classes = json::array();
    for (const auto& c : lib.classes)
        classes.push_back({{"name", c.name},
                           {"guid", c.guid},
                           {"helpString", c.helpString},
                           {"helpContext", c.helpContext},
                           {"defaultInterface", c.defaultInterface},
                           {"sourceInterface", c.sourceInterface},
                           {"control", c.control},
                           {"creatable", c.creatable}});
    json enums = json::array();
    for (const auto& e : lib.enums) {
        json values = json::array();
        for (const auto& v : e.values)
            values.push_back({{"name", v.name},
                              {"value", v.value},
                              {"helpString", v.helpString},
                              {"helpContext", v.helpContext}});
        enums.push_back({{"name", e.name},
                         {"helpString", e.helpString},
                         {"helpContext", e.helpContext},
                         {"values", values}});
    }
    const json j = {{"name", lib.name},
                    {"guid", lib.guid},
                    {"major", lib.major},
                    {"minor", lib.minor},
                    {"locale", lib.locale},
                    {"helpString", lib.helpString},
                    {"helpFile", lib.helpFile},
                    {"helpContext", lib.helpContext},
                    {"interfaces", interfaces},
                    {"classes", classes},
                    {"enums", enums}};
    return j.dump();
}

TypeLibrary typeLibraryFromJson(std::string_view text) {
    try {
        const json j = json::parse(text);
        TypeLibrary lib;
        lib.name = j.at("name").get<std::string>();
        lib.guid = j.at("guid").get<std::string>();
        lib.major = j.at("major").get<int>();
        lib.minor = j.at("minor").get<int>();
        lib.locale = j.value("locale", 0u);
        lib.helpString = j.value("helpString", "");
        lib.helpFile = j.value("helpFile", "");
        lib.helpContext = j.value("helpContext", 0);
        for (const auto& i : j.at("interfaces")) {
            InterfaceInfo info;
            info.name = i.at("name").get<std::string>();
            info.guid = i.value("guid", "");
            info.helpString = i.value("helpString", "");
            info.helpContext = i.value("helpContext", 0);
            info.events = i.value("events", false);
            for (const auto& m : i.at("members")) info.members.push_back(memberFromJson(m));
            lib.interfaces.push_back(std::move(info));
        }
        for (const auto& c : j.at("classes"))
            lib.classes.push_back({c.at("name").get<std::string>(), c.value("guid", ""),
                                   c.value("helpString", ""), c.value("helpContext", 0),
                                   c.value("defaultInterface", ""), c.value("sourceInterface", ""),
                                   c.value("control", false), c.value("creatable", true)});
        for (const auto& e : j.at("enums")) {
            EnumInfo info{e.at("name").get<std::string>(),
                          e.value("helpString", ""),
                          e.value("helpContext", 0),
                          {}};
            for (const auto& v : e.at("values"))
                info.values.push_back({v.at("name").get<std::string>(),
                                       v.at("value").get<std::int32_t>(), v.value("helpString", ""),
                                       v.value("helpContext", 0)});
            lib.enums.push_back(std::move(info));
        }
        return lib;
    } catch (const json::exception& e) {
        throw std::runtime_error(std::string("type library description is not readable: ") +
                                 e.what());
    }
}

void registerTypeLibrary(registry::Store& store, const TypeLibrary& lib, const std::string& path,
                         const std::string& helpDir) {
    registry::Registration reg(store);
    const std::string version = lib.version();
    store.atomically([&] {
        reg.registerTypeLibrary({lib.guid, version,
                                 lib.helpString.empty() ? lib.name : lib.helpString, path, helpDir,
                                 lib.locale, 0});
        for (const auto& i : lib.interfaces)
            if (!i.guid.empty()) reg.registerInterface(i.guid, i.name, lib.guid, version);
        store.setValue(registry::Registration::typeLibraryKey(lib.guid, version), kDescriptionValue,
                       toJson(lib));
    });
}

bool unregisterTypeLibrary(registry::Store& store, std::string_view guid, int major, int minor) {
    return registry::Registration(store).unregisterTypeLibrary(
        guid, std::to_string(major) + "." + std::to_string(minor));
}

std::optional<TypeLibrary> loadTypeLibrary(const registry::ClassStores& stores,
                                           std::string_view guid, std::string_view version) {
    const auto found = stores.findTypeLibrary(guid, version);
    if (!found) return std::nullopt;
    const auto& reg = found->registration;
    const auto text = found->store->value(
        registry::Registration::typeLibraryKey(reg.guid, reg.version), kDescriptionValue);
    if (!text)
        throw std::runtime_error("type library " + reg.guid + " " + reg.version +
                                 " is registered without a description");
    return typeLibraryFromJson(*text);
}

std::optional<TypeLibrary> loadTypeLibrary(registry::Store& store, std::string_view guid,
                                           std::string_view version) {
    return loadTypeLibrary(registry::ClassStores({&store}), guid, version);
}

std::optional<TypeLibrary> loadTypeLibrary(std::string_view guid, std::string_view version) {
    return loadTypeLibrary(registry::ClassStores::openDefault(), guid, version);
}

}  // namespace platform::automation
