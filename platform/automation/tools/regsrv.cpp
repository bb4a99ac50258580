// regsrv: registers an in-process server library into the user's registry
// store (REGISTRY_DB or the user's own), or into the machine's class store
// with --machine (root only); /u unregisters instead.
//   regsrv [--machine] [/u] <library.so>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/automation/create.h"
#include "platform/automation/error.h"
#include "platform/automation/server.h"
#include "platform/registry/store.h"

namespace automation = platform::automation;
namespace fs = std::filesystem;
using platform::registry::Store;

namespace {

constexpr const char* kUsage =
    "usage: regsrv [--machine] [/u] <library.so>\n"
    "Registers the classes and type library of an in-process server library.\n"
    "  /u, -u       unregister them instead\n"
    "  --machine    write the machine's class store instead of your own (root only)\n"
    "  /?, --help   show this text\n";

int usage() {
    std::fputs(kUsage, stderr);
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
    bool machine = false;
    const char* library = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "/?" || arg == "-?") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--machine") {
            machine = true;
        } else if (looksLikeOption(argv[i])) {
            if (strcasecmp(argv[i] + 1, "u") != 0) return usage();
            unregister = true;
        } else if (library)
            return usage();
        else
            library = argv[i];
    }
    if (!library) return usage();

    const fs::path path = fs::absolute(library);
    fs::path store = Store::defaultPath();
    if (machine) {
        store = Store::machinePath();
        if (geteuid() != 0 &&
            !(std::getenv("MACHINE_REGISTRY_DB") && *std::getenv("MACHINE_REGISTRY_DB"))) {
            std::fprintf(stderr,
                         "regsrv: only root may write the machine's class store %s; run regsrv "
                         "without --machine to register for yourself\n",
                         store.c_str());
            return 1;
        }
        try {
            Store::openMachineForWriting();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "regsrv: cannot write the machine's class store: %s\n", e.what());
            return 1;
        }
        automation::setRegistrationStore(store);
    }
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
