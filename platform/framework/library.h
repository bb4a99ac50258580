// Loading a library by its platform name ("VESTANT.DLL") and finding an entry
// point in it. A platform name maps to a shared object by one rule: the base
// name in lower case, with "lib" in front and ".so" behind ("VESTANT.DLL" ->
// "libvestant.so"). The object is looked for in the folders of
// TVN_LIBRARY_PATH (separated by ":"), then beside the module that asks, then
// on the system's own search path.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform::framework {

std::string sharedObjectName(std::string_view platformName);

class Library {
public:
    // Loads the library; nullptr when it cannot be found or loaded (error()
    // of the calling thread then says why).
    static std::unique_ptr<Library> load(std::string_view platformName);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // The address of an exported entry point, or nullptr.
    void* entry(const char* name) const;
    template <typename Fn>
    Fn entryAs(const char* name) const {
        return reinterpret_cast<Fn>(entry(name));
    }
    const std::filesystem::path& path() const { return path_; }

    // Why the last load of this thread failed.
    static const std::string& lastError();

private:
    Library(void* handle, std::filesystem::path path) : handle_(handle), path_(std::move(path)) {}
    void* handle_;
    std::filesystem::path path_;
};

}  // namespace platform::framework
