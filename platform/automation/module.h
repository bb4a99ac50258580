// The module of a server library: it counts the library's live objects and
// the locks its hosts hold, which together answer whether the library may be
// unloaded. Each server library defines its own module with
// TVN_AUTOMATION_SERVER (server.h); objects find it without being told,
// because the lookup below binds inside the shared object that constructs
// them. In a program (a host) there is no module and objects are not counted.
#pragma once

#include <atomic>
#include <mutex>

namespace platform::automation {

class ClassFactory;
struct ServerDescription;

class Module {
public:
    using Describe = ServerDescription (*)();

    // Constant-initialised, so objects built during static initialisation
    // of the library are counted correctly.
    constexpr explicit Module(Describe describe = nullptr) noexcept : describe_(describe) {}
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    long objectCount() const noexcept { return objects_.load(); }
    long lockCount() const noexcept { return locks_.load(); }
    void lock() noexcept { ++locks_; }
    void unlock() noexcept { --locks_; }
    bool canUnloadNow() const noexcept { return objectCount() == 0 && lockCount() == 0; }

    void objectCreated() noexcept { ++objects_; }
    void objectDestroyed() noexcept { --objects_; }

    // What the server offers (server.h), described on first use.
    const ServerDescription& description() const;

    // The work behind the four exported entry points (server.h); status codes there.
    int getClassObject(const char* clsid, ClassFactory** out);
    int canUnloadNowStatus() const noexcept;
    // `anchor` is an address inside the server library, to find its path.
    int registerServer(const void* anchor);
    int unregisterServer();

private:
    Describe describe_;
    mutable std::once_flag described_;
    mutable ServerDescription* description_ = nullptr;  // owned; deleted with the module
    std::atomic<long> objects_{0};
    std::atomic<long> locks_{0};
};

namespace detail {
// Defined by TVN_AUTOMATION_SERVER in each server library; hidden, so every
// shared object sees its own, and weak, so programs without one see null.
extern Module serverModule __attribute__((weak, visibility("hidden")));

[[gnu::visibility("hidden")]] inline Module* currentModule() noexcept {
    return &serverModule;
}
}  // namespace detail

}  // namespace platform::automation
