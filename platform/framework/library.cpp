// Library loading with dlopen.
#include "platform/framework/library.h"

#include <dlfcn.h>

#include <cstdlib>
#include <system_error>
#include <vector>

#include "platform/text/casefold.h"

namespace platform::framework {
namespace fs = std::filesystem;

namespace {

thread_local std::string g_lastError;

std::vector<fs::path> searchFolders() {
    std::vector<fs::path> folders;
    if (const char* env = std::getenv("TVN_LIBRARY_PATH"); env && *env) {
        std::string_view rest(env);
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            const auto part = rest.substr(0, colon);
            if (!part.empty()) folders.emplace_back(part);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&searchFolders), &info) && info.dli_fname) {
        std::error_code ec;
        const fs::path self = fs::canonical(info.dli_fname, ec);
        if (!ec) folders.push_back(self.parent_path());
    }
    return folders;
}

}  // namespace

std::string sharedObjectName(std::string_view platformName) {
    std::string base(platformName);
    if (const auto slash = base.find_last_of("\\/"); slash != std::string::npos)
        base.erase(0, slash + 1);
    if (const auto dot = base.rfind('.'); dot != std::string::npos) base.erase(dot);
    return "lib" + platform::text::foldCase(base) + ".so";
}

std::unique_ptr<Library> Library::load(std::string_view platformName) {
    const std::string file = sharedObjectName(platformName);
    if (file == "lib.so") {
        g_lastError = "no library name given";
        return nullptr;
    }
    std::error_code ec;
    for (const fs::path& folder : searchFolders()) {
        const fs::path candidate = folder / file;
        if (!fs::exists(candidate, ec)) continue;
        if (void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL))
            return std::unique_ptr<Library>(new Library(handle, candidate));
        g_lastError = dlerror();
        return nullptr;
    }
    if (void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL))
        return std::unique_ptr<Library>(new Library(handle, file));
    g_lastError = "the library " + std::string(platformName) + " (" + file + ") was not found";
    return nullptr;
}

Library::~Library() {
    dlclose(handle_);
}

void* Library::entry(const char* name) const {
    return dlsym(handle_, name);
}

const std::string& Library::lastError() {
    return g_lastError;
}

}  // namespace platform::framework
