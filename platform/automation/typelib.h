// Type-library descriptions: what a server tells hosts and design tools about
// its classes, interfaces, members and enumerations, with help strings and
// contexts. A server registers its library into the store; a host reads it
// back by GUID. Interfaces can be described straight from a dispatch map so
// that the description never drifts from what the objects answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/dispatch.h"

namespace platform::registry {
class ClassStores;
class Store;
}  // namespace platform::registry

namespace platform::automation {

struct InterfaceInfo {
    std::string name;
    std::string guid;
    std::string helpString;
    int helpContext = 0;
    bool events = false;          // an event (source) interface
    std::vector<Member> members;  // handlers are not part of a description
};

struct ClassInfo {
    std::string name;
    std::string guid;
    std::string helpString;
    int helpContext = 0;
    std::string defaultInterface;
    std::string sourceInterface;  // its events, if any
    bool control = false;
    bool creatable = true;
};

struct EnumValue {
    std::string name;
    std::int32_t value = 0;
    std::string helpString;
    int helpContext = 0;
};

struct EnumInfo {
    std::string name;
    std::string helpString;
    int helpContext = 0;
    std::vector<EnumValue> values;
};

struct TypeLibrary {
    std::string name;
    std::string guid;
    int major = 1;
    int minor = 0;
    std::uint32_t locale = 0;
    std::string helpString;
    std::string helpFile;
    int helpContext = 0;
    std::vector<InterfaceInfo> interfaces;
    std::vector<ClassInfo> classes;
    std::vector<EnumInfo> enums;

    std::string version() const { return std::to_string(major) + "." + std::to_string(minor); }
    const InterfaceInfo* findInterface(std::string_view name) const;
    const ClassInfo* findClass(std::string_view name) const;
    const EnumInfo* findEnum(std::string_view name) const;
};

// The members of a map that belong in a type library (not the run-time-only
// ones, not default-member aliases), in DISPID order.
InterfaceInfo describeInterface(std::string name, std::string guid, const DispatchMap& map,
                                std::string helpString = {}, int helpContext = 0);

// Member lookup in a description, by name and kind.
const Member* findMember(const InterfaceInfo& interface, std::string_view name,
                         MemberKind kind = MemberKind::Method);

std::string toJson(const TypeLibrary& library);
// Raises std::runtime_error for text that is not a description.
TypeLibrary typeLibraryFromJson(std::string_view json);

// Writes the library's standard keys and its description; `path` is the
// library that carries it. Registering again replaces the earlier version's keys.
void registerTypeLibrary(registry::Store& store, const TypeLibrary& library,
                         const std::string& path, const std::string& helpDir = {});
bool unregisterTypeLibrary(registry::Store& store, std::string_view guid, int major, int minor);

// The registered description; the highest version unless one is named.
// Nothing when the library is not registered; std::runtime_error when its
// description cannot be read. Without stores: the user's, then the machine's.
std::optional<TypeLibrary> loadTypeLibrary(const registry::ClassStores& stores,
                                           std::string_view guid, std::string_view version = {});
std::optional<TypeLibrary> loadTypeLibrary(registry::Store& store, std::string_view guid,
                                           std::string_view version = {});
std::optional<TypeLibrary> loadTypeLibrary(std::string_view guid, std::string_view version = {});

}  // namespace platform::automation
