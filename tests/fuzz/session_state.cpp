// The shared session state as read from its file, on any bytes: it is read,
// or refused with the client's error that names the file and says how to
// start afresh; nothing else escapes. What is read is written back and read
// again unchanged, so that a change by another process never loses it.
#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>

#include "fuzzcheck.h"
#include "outside/client/errors.h"
#include "outside/client/state.h"

using namespace outside::client;

namespace {

std::string describe(const SessionState& s) {
    nlohmann::json j;
    j["next"] = s.nextConnection;
    j["primary"] = s.primary;
    for (const Connection& c : s.connections)
        j["connections"].push_back(
            {c.number, c.server, c.tree, c.directory, c.authState, c.user, c.userId});
    for (const DriveMapping& d : s.drives)
        j["drives"].push_back({d.drive, d.connection, d.server, d.volume, d.path});
    for (const Capture& c : s.captures)
        j["captures"].push_back({c.port, c.connection, c.queueId, c.queue});
    j["contexts"] = s.defaultContexts;
    j["preferred"] = s.preferredTree;
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path file = fuzzcheck::scratchDir() / "session.json";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const SessionStore store(file);
    SessionState state;
    try {
        state = store.read();
    } catch (const ClientError& e) {
        const std::string_view message(e.what());
        FUZZ_CHECK(message.find("kdclient reset") != std::string_view::npos, "%s\n", e.what());
        return 0;
    }
    for (const Connection& connection : state.connections)
        FUZZ_CHECK(state.findConnection(connection.number) != nullptr);
    for (const auto& [tree, context] : state.defaultContexts)
        FUZZ_CHECK(state.defaultContext(tree).has_value());

    // Written back by a change that changes nothing, it reads the same.
    try {
        store.update([](SessionState&) {});
        FUZZ_CHECK(describe(store.read()) == describe(state), "%s\n", describe(state).c_str());
    } catch (const ClientError& e) {
        FUZZ_CHECK(false, "a state that was read cannot be written back: %s\n", e.what());
    }
    return 0;
}
