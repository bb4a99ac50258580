// Creation by ProgID: registry look-up, loading server libraries (once per
// process, kept loaded), and asking their class factories for instances.
#include "platform/automation/create.h"

#include <dlfcn.h>

#include <map>
#include <memory>
#include <mutex>

#include "platform/automation/error.h"
#include "platform/registry/classes.h"
#include "platform/registry/registration.h"
#include "platform/registry/store.h"

namespace platform::automation {

namespace fs = std::filesystem;

namespace {

std::mutex g_mutex;
std::map<fs::path, std::unique_ptr<ServerLibrary>>& libraries() {
    static auto* loaded = new std::map<fs::path, std::unique_ptr<ServerLibrary>>();
    return *loaded;  // never destroyed: the libraries stay loaded until the process ends
}

[[noreturn]] void cannotCreate(std::string_view what, const std::string& why) {
    throw AutomationError(
        error::CannotCreateObject,
        standardDescription(error::CannotCreateObject) + " '" + std::string(what) + "': " + why, 0,
        std::string(what));
}

std::string serverError(const char* entry, int status) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(status));
    std::string text = std::string(entry) + " failed with " + code;
    if (!lastServerError().empty()) text += ": " + lastServerError();
    return text;
}

}  // namespace

const ServerLibrary& loadServer(const fs::path& path) {
    std::error_code ec;
    fs::path key = fs::weakly_canonical(fs::absolute(path), ec);
    if (ec) key = path;
    std::lock_guard lock(g_mutex);
    auto& loaded = libraries();
    if (auto it = loaded.find(key); it != loaded.end()) return *it->second;

    void* handle = dlopen(key.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        cannotCreate(path.string(), why ? why : "the library cannot be loaded");
    }
    auto library = std::make_unique<ServerLibrary>();
    library->path_ = key;
    library->getClassObject_ =
        reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
    library->canUnloadNow_ = reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
    library->register_ = reinterpret_cast<DllRegisterServerFn>(dlsym(handle, "DllRegisterServer"));
    library->unregister_ =
        reinterpret_cast<DllUnregisterServerFn>(dlsym(handle, "DllUnregisterServer"));
    if (!library->getClassObject_ || !library->canUnloadNow_ || !library->register_ ||
        !library->unregister_) {
        dlclose(handle);
        cannotCreate(path.string(), "the library is not an in-process server");
    }
    return *loaded.emplace(key, std::move(library)).first->second;
}

std::vector<fs::path> loadedServers() {
    std::lock_guard lock(g_mutex);
    std::vector<fs::path> out;
    for (const auto& [path, library] : libraries()) out.push_back(path);
    return out;
}

Ref<ClassFactory> ServerLibrary::classFactory(std::string_view clsid) const {
    ClassFactory* factory = nullptr;
    const int status = getClassObject_(std::string(clsid).c_str(), &factory);
    if (status != status::Ok || !factory)
        cannotCreate(clsid, serverError("DllGetClassObject", status));
    return Ref<ClassFactory>::adopt(factory);
}

bool ServerLibrary::canUnloadNow() const {
    return canUnloadNow_() == status::Ok;
}
int ServerLibrary::registerServer() const {
    return register_();
}
int ServerLibrary::unregisterServer() const {
    return unregister_();
}

namespace {

// Errors of this layer name `who`, the ProgID or CLSID the caller asked for.
Ref<Object> create(const registry::ClassStores& stores, std::string_view clsid,
                   std::string_view who) {
    Ref<ClassFactory> factory;
    try {
        const auto path = stores.inprocServer(clsid);
        if (!path || path->empty()) cannotCreate(who, "no in-process server is registered");
        factory = loadServer(*path).classFactory(clsid);
    } catch (const AutomationError& e) {
        if (e.source() == who) throw;
        cannotCreate(who, e.description());
    } catch (const std::exception& e) {
        cannotCreate(who, e.what());
    }
    try {
        return factory->createInstance();
    } catch (const AutomationError&) {
        throw;  // the component's own word
    } catch (const std::exception& e) {
        cannotCreate(who, e.what());
    }
}

}  // namespace

Ref<Object> createObjectFromClsid(const registry::ClassStores& stores, std::string_view clsid) {
    return create(stores, clsid, clsid);
}

Ref<Object> createObject(const registry::ClassStores& stores, std::string_view progId) {
    std::optional<std::string> clsid;
    try {
        clsid = stores.clsidFromProgId(progId);
    } catch (const std::exception& e) {
        cannotCreate(progId, e.what());
    }
    if (!clsid) cannotCreate(progId, "the ProgID is not registered");
    return create(stores, *clsid, progId);
}

Ref<Object> createObjectFromClsid(registry::Store& store, std::string_view clsid) {
    return createObjectFromClsid(registry::ClassStores({&store}), clsid);
}

Ref<Object> createObject(registry::Store& store, std::string_view progId) {
    return createObject(registry::ClassStores({&store}), progId);
}

Ref<Object> createObject(std::string_view progId) {
    std::optional<registry::ClassStores> stores;
    try {
        stores.emplace(registry::ClassStores::openDefault());
    } catch (const std::exception& e) {
        cannotCreate(progId, e.what());
    }
    return createObject(*stores, progId);
}

}  // namespace platform::automation
