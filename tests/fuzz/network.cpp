// The network description on any bytes: it is read, or refused with the
// client's own error that names the description; nothing else escapes. What
// is read can be looked up by the names it declares.
#include <cstdint>
#include <string_view>

#include "fuzzcheck.h"
#include "outside/client/errors.h"
#include "outside/client/network.h"

using namespace outside::client;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const Network network = Network::parse(text, "/nonexistent/base", "fuzz.json");
        for (const Server& server : network.servers()) {
            FUZZ_CHECK(network.findServer(server.name) == &server, "%s\n", server.name.c_str());
            for (const Volume& volume : server.volumes) {
                FUZZ_CHECK(server.findVolume(volume.name) == &volume);
                FUZZ_CHECK(network.volumeDirectory(server.name, volume.name).has_value());
            }
            if (server.isDirectoryServer()) FUZZ_CHECK(network.findTree(server.tree).has_value());
        }
        for (const std::string& tree : network.trees()) FUZZ_CHECK(network.findTree(tree) == tree);
    } catch (const ClientError& e) {
        FUZZ_CHECK(std::string_view(e.what()).starts_with("fuzz.json: "), "%s\n", e.what());
    }
    return 0;
}
