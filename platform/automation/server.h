// In-process servers: a shared library that offers automation classes through
// four entry points with C linkage. A server describes its classes (and its
// type library and categories) in one function and names it once:
//
//     platform::automation::ServerDescription describeServer() { ... }
//     TVN_AUTOMATION_SERVER(describeServer)
//
// which defines the library's module and exports DllGetClassObject,
// DllCanUnloadNow, DllRegisterServer and DllUnregisterServer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation/module.h"
#include "platform/automation/object.h"
#include "platform/automation/typelib.h"
#include "platform/registry/registration.h"

namespace platform::automation {

// Results of the entry points.
namespace status {
inline constexpr int Ok = 0;
inline constexpr int False = 1;  // DllCanUnloadNow: objects still live
inline constexpr int InvalidArgument = static_cast<int>(0x80070057);
inline constexpr int ClassNotAvailable = static_cast<int>(0x80040111);
inline constexpr int SelfRegTypeLib = static_cast<int>(0x80040200);
inline constexpr int SelfRegClass = static_cast<int>(0x80040201);
}  // namespace status

// The component categories that say how a control may be used from pages
// and scripts.
namespace category {
inline constexpr const char* SafeForScripting = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
inline constexpr const char* SafeForInitializing = "{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
}  // namespace category

// Bits of a control's miscellaneous status, and their meanings in words
// ("recompose on resize", ...), lowest bit first; unknown bits as hex.
namespace miscstatus {
inline constexpr std::uint32_t RecomposeOnResize = 0x1;
inline constexpr std::uint32_t CantLinkInside = 0x10;
inline constexpr std::uint32_t InsideOut = 0x80;
inline constexpr std::uint32_t ActivateWhenVisible = 0x100;
inline constexpr std::uint32_t InvisibleAtRuntime = 0x400;
inline constexpr std::uint32_t SetClientSiteFirst = 0x20000;
}  // namespace miscstatus
std::vector<std::string> describeMiscStatus(std::uint32_t status);

// Why the last entry point of this thread failed, for tools that report it.
const std::string& lastServerError();

// The store that DllRegisterServer and DllUnregisterServer of every server in
// this process write: the user's own (registry::Store::defaultPath()) unless
// a tool chose another, as regsrv does for the machine's class store. An
// empty path goes back to the user's.
void setRegistrationStore(const std::filesystem::path& path);
std::filesystem::path registrationStore();

class ClassFactory : public Object {
public:
    // May raise the component's own AutomationError, which reaches the
    // creating host unchanged.
    virtual Ref<Object> createInstance() = 0;
    // Keeps the server loaded without a live object.
    void lockServer(bool lock);

protected:
    // Factories do not count as live objects of the server; locks do.
    explicit ClassFactory(Module* server) : Object(nullptr), server_(server) {}

private:
    Module* server_;
};

struct ServerClass {
    std::string clsid;
    std::string name;
    std::string progId;
    std::string versionIndependentProgId;
    std::function<Ref<Object>()> create;
    bool control = false;
    bool insertable = false;
    std::optional<std::uint32_t> miscStatus;
    int toolboxBitmap = 0;  // number of the toolbox bitmap in the library; 0: none
    std::vector<std::string> implementedCategories;
    std::vector<std::string> requiredCategories;
    // What the library says of itself, kept with the class (this platform's
    // libraries carry no version resource).
    std::optional<registry::VersionInfo> versionInfo;
};

struct ComponentCategory {
    std::string catid;
    std::string description;
};

struct ServerDescription {
    std::vector<ServerClass> classes;
    std::optional<TypeLibrary> typeLibrary;  // registered before the classes
    std::vector<ComponentCategory> categories;
    std::string threadingModel = "Apartment";
};

// Signatures of the exported entry points, for hosts that look them up.
using DllGetClassObjectFn = int (*)(const char* clsid, ClassFactory** factory);
using DllCanUnloadNowFn = int (*)();
using DllRegisterServerFn = int (*)();
using DllUnregisterServerFn = int (*)();

}  // namespace platform::automation

#define TVN_AUTOMATION_EXPORT extern "C" __attribute__((visibility("default")))

#define TVN_AUTOMATION_SERVER(describeFunction)                                                  \
    ::platform::automation::Module platform::automation::detail::serverModule{describeFunction}; \
    TVN_AUTOMATION_EXPORT int DllGetClassObject(const char* clsid,                               \
                                                ::platform::automation::ClassFactory** out) {    \
        return ::platform::automation::detail::serverModule.getClassObject(clsid, out);          \
    }                                                                                            \
    TVN_AUTOMATION_EXPORT int DllCanUnloadNow() {                                                \
        return ::platform::automation::detail::serverModule.canUnloadNowStatus();                \
    }                                                                                            \
    TVN_AUTOMATION_EXPORT int DllRegisterServer() {                                              \
        return ::platform::automation::detail::serverModule.registerServer(                      \
            reinterpret_cast<const void*>(&DllRegisterServer));                                  \
    }                                                                                            \
    TVN_AUTOMATION_EXPORT int DllUnregisterServer() {                                            \
        return ::platform::automation::detail::serverModule.unregisterServer();                  \
    }
