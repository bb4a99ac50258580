// Creating objects of in-process servers: a ProgID (or CLSID) is looked up in
// the registry (the user's store, then the machine's class store), its server
// library is loaded once per process and kept, and the library's class
// factory makes the instance. Whatever stands in the way (an unknown ProgID, a
// library that is missing or not a server) is the CannotCreateObject error; an
// AutomationError of the component's own factory reaches the caller unchanged.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/server.h"

namespace platform::registry {
class ClassStores;
class Store;
}  // namespace platform::registry

namespace platform::automation {

// In the user's store (REGISTRY_DB or the user's own), then the machine's.
Ref<Object> createObject(std::string_view progId);
Ref<Object> createObject(const registry::ClassStores& stores, std::string_view progId);
Ref<Object> createObjectFromClsid(const registry::ClassStores& stores, std::string_view clsid);
// In one store only.
Ref<Object> createObject(registry::Store& store, std::string_view progId);
Ref<Object> createObjectFromClsid(registry::Store& store, std::string_view clsid);

// The entry points of a loaded server library.
class ServerLibrary {
public:
    const std::filesystem::path& path() const { return path_; }
    Ref<ClassFactory> classFactory(std::string_view clsid) const;
    bool canUnloadNow() const;
    int registerServer() const;
    int unregisterServer() const;

private:
    friend const ServerLibrary& loadServer(const std::filesystem::path&);
    std::filesystem::path path_;
    DllGetClassObjectFn getClassObject_ = nullptr;
    DllCanUnloadNowFn canUnloadNow_ = nullptr;
    DllRegisterServerFn register_ = nullptr;
    DllUnregisterServerFn unregister_ = nullptr;
};

// Loads a server library (once per process; it is never unloaded). Raises
// CannotCreateObject when the file cannot be loaded or lacks the entry points.
const ServerLibrary& loadServer(const std::filesystem::path& path);
std::vector<std::filesystem::path> loadedServers();

}  // namespace platform::automation
