// The module of a server library: class factories, the unload answer and
// self-registration of the classes, categories and type library it describes.
#include "platform/automation/server.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <mutex>

#include "platform/automation/error.h"
#include "platform/registry/registration.h"
#include "platform/registry/store.h"
#include "platform/text/casefold.h"

namespace platform::automation {

namespace {

thread_local std::string t_lastError;

std::mutex g_storeMutex;
std::filesystem::path g_registrationStore;

int fail(int status, const std::string& why) {
    t_lastError = why;
    return status;
}

class FunctionFactory final : public ClassFactory {
public:
    FunctionFactory(Module* server, const ServerClass& cls) : ClassFactory(server), cls_(cls) {}
    Ref<Object> createInstance() override {
        Ref<Object> object = cls_.create();
        if (!object)
            throw AutomationError::standard(error::CannotCreateObject,
                                            "the factory of " + cls_.name + " made nothing");
        return object;
    }

private:
    const ServerClass& cls_;  // lives in the module's description, as long as the library
};

std::string libraryPath(const void* anchor) {
    Dl_info info{};
    if (!dladdr(anchor, &info) || !info.dli_fname || !*info.dli_fname)
        throw std::runtime_error("cannot find the path of the server library");
    return std::filesystem::weakly_canonical(std::filesystem::absolute(info.dli_fname)).string();
}

}  // namespace

std::vector<std::string> describeMiscStatus(std::uint32_t status) {
    static const std::pair<std::uint32_t, const char*> names[] = {
        {0x1, "recompose on resize"},
        {0x2, "only iconic"},
        {0x4, "insert not replace"},
        {0x8, "static"},
        {0x10, "can't link inside"},
        {0x20, "can link to older containers"},
        {0x40, "is link object"},
        {0x80, "inside-out"},
        {0x100, "activate when visible"},
        {0x200, "rendering is device independent"},
        {0x400, "invisible at run time"},
        {0x800, "always run"},
        {0x1000, "acts like button"},
        {0x2000, "acts like label"},
        {0x4000, "no UI activate"},
        {0x8000, "alignable"},
        {0x10000, "simple frame"},
        {0x20000, "set client site first"},
        {0x40000, "IME mode"},
        {0x80000, "ignore activate when visible"},
        {0x100000, "wants to menu merge"},
        {0x200000, "supports multi-level undo"},
    };
    std::vector<std::string> words;
    std::uint32_t known = 0;
    for (const auto& [bit, name] : names) {
        known |= bit;
        if (status & bit) words.emplace_back(name);
    }
    if (const std::uint32_t rest = status & ~known) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", rest);
        words.emplace_back(hex);
    }
    return words;
}

const std::string& lastServerError() {
    return t_lastError;
}

void setRegistrationStore(const std::filesystem::path& path) {
    std::lock_guard lock(g_storeMutex);
    g_registrationStore = path;
}

std::filesystem::path registrationStore() {
    std::lock_guard lock(g_storeMutex);
    return g_registrationStore.empty() ? registry::Store::defaultPath() : g_registrationStore;
}

void ClassFactory::lockServer(bool lock) {
    if (!server_) return;
    lock ? server_->lock() : server_->unlock();
}

Module::~Module() {
    delete description_;
}

const ServerDescription& Module::description() const {
    std::call_once(described_, [this] {
        description_ = new ServerDescription(describe_ ? describe_() : ServerDescription{});
    });
    return *description_;
}

int Module::getClassObject(const char* clsid, ClassFactory** out) {
    if (!out || !clsid)
        return fail(status::InvalidArgument, "no CLSID or no place for the factory");
    *out = nullptr;
    try {
        for (const auto& cls : description().classes)
            if (text::equalsIgnoringCase(cls.clsid, clsid)) {
                *out = Ref<ClassFactory>(new FunctionFactory(this, cls)).detach();
                return status::Ok;
            }
        return fail(status::ClassNotAvailable,
                    std::string("no class ") + clsid + " in this server");
    } catch (const std::exception& e) {
        return fail(status::ClassNotAvailable, e.what());
    }
}

int Module::canUnloadNowStatus() const noexcept {
    return canUnloadNow() ? status::Ok : status::False;
}

int Module::registerServer(const void* anchor) {
    std::string path;
    std::unique_ptr<registry::Store> store;
    const ServerDescription* d = nullptr;
    try {
        d = &description();
        path = libraryPath(anchor);
        store = std::make_unique<registry::Store>(registrationStore());
        if (d->typeLibrary) registerTypeLibrary(*store, *d->typeLibrary, path);
    } catch (const std::exception& e) {
        return fail(d && d->typeLibrary ? status::SelfRegTypeLib : status::SelfRegClass, e.what());
    }
    try {
        registry::Registration reg(*store);
        store->atomically([&] {
            for (const auto& c : d->categories) reg.registerCategory(c.catid, c.description);
            for (const auto& cls : d->classes) {
                registry::ClassRegistration r;
                r.clsid = cls.clsid;
                r.name = cls.name;
                r.progId = cls.progId;
                r.versionIndependentProgId = cls.versionIndependentProgId;
                r.serverPath = path;
                r.threadingModel = d->threadingModel;
                if (d->typeLibrary) {
                    r.typeLibrary = d->typeLibrary->guid;
                    r.version = d->typeLibrary->version();
                }
                r.control = cls.control;
                r.insertable = cls.insertable;
                r.miscStatus = cls.miscStatus;
                if (cls.toolboxBitmap)
                    r.toolboxBitmap = path + ", " + std::to_string(cls.toolboxBitmap);
                r.versionInfo = cls.versionInfo;
                r.implementedCategories = cls.implementedCategories;
                r.requiredCategories = cls.requiredCategories;
                reg.registerClass(r);
            }
        });
    } catch (const std::exception& e) {
        return fail(status::SelfRegClass, e.what());
    }
    return status::Ok;
}

int Module::unregisterServer() {
    std::unique_ptr<registry::Store> store;
    const ServerDescription* d = nullptr;
    try {
        d = &description();
        store = std::make_unique<registry::Store>(registrationStore());
        if (d->typeLibrary)
            unregisterTypeLibrary(*store, d->typeLibrary->guid, d->typeLibrary->major,
                                  d->typeLibrary->minor);
    } catch (const std::exception& e) {
        return fail(d && d->typeLibrary ? status::SelfRegTypeLib : status::SelfRegClass, e.what());
    }
    try {
        registry::Registration reg(*store);
        store->atomically([&] {
            for (const auto& cls : d->classes) reg.unregisterClass(cls.clsid);
        });
    } catch (const std::exception& e) {
        return fail(status::SelfRegClass, e.what());
    }
    return status::Ok;
}

}  // namespace platform::automation
