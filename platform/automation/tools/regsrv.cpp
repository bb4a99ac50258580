// regsrv: registers an in-process server library into the registry store
// named by REGISTRY_DB (or the user's own), or unregisters it with /u.
//   regsrv [/u] <library.so>
#include <strings.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/automation/create.h"
#include "platform/automation/error.h"
#include "platform/registry/store.h"

namespace automation = platform::automation;

namespace {

int usage() {
    std::fprintf(stderr, "usage: regsrv [/u] <library.so>\n");
    return 2;
}

// "/u" or "-u"; a longer word after "/" is a path, not an option.
bool looksLikeOption(const char* arg) {
    return (arg[0] == '/' || arg[0] == '-') && arg[1] && !std::strchr(arg + 1, '/') &&
           std::strlen(arg) <= 3;
}

}  // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    const char* library = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (looksLikeOption(argv[i])) {
            if (strcasecmp(argv[i] + 1, "u") != 0) return usage();
            unregister = true;
        } else if (library)
            return usage();
        else
            library = argv[i];
    }
    if (!library) return usage();

    const std::filesystem::path path = std::filesystem::absolute(library);
    const std::string store = platform::registry::Store::defaultPath().string();
    try {
        const automation::ServerLibrary& server = automation::loadServer(path);
        const int status = unregister ? server.unregisterServer() : server.registerServer();
        if (status != automation::status::Ok) {
            std::fprintf(stderr, "regsrv: %s of %s failed (0x%08X)%s%s\n",
                         unregister ? "DllUnregisterServer" : "DllRegisterServer", path.c_str(),
                         static_cast<unsigned>(status),
                         automation::lastServerError().empty() ? "" : ": ",
                         automation::lastServerError().c_str());
            return 1;
        }
    } catch (const automation::AutomationError& e) {
        std::fprintf(stderr, "regsrv: cannot load %s: %s\n", path.c_str(), e.description().c_str());
        return 1;
    }
    std::printf("regsrv: %s %s %s %s\n", unregister ? "unregistered" : "registered", path.c_str(),
                unregister ? "from" : "in", store.c_str());
    return 0;
}
