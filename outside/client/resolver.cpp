// The path resolver of the network client.
#include "outside/client/resolver.h"

#include "outside/client/errors.h"
#include "outside/client/session.h"

namespace outside::client {
namespace fs = std::filesystem;
using platform::process::PathError;

namespace {

// Failures of the client (an unreadable description or session) mean that
// the network cannot answer at all, which the path layer calls PathError.
template <typename Ask>
auto answer(Ask&& ask) {
    try {
        return ask(Client::current());
    } catch (const ClientError& e) {
        throw PathError(PathError::Kind::NoNetworkRoot, e.what());
    }
}

class ClientPathResolver : public platform::process::PathResolver {
public:
    std::optional<fs::path> volumeRoot(std::string_view server,
                                       std::string_view volume) const override {
        return answer([&](const Client& c) { return c.network().volumeDirectory(server, volume); });
    }

    std::optional<fs::path> driveRoot(char letter) const override {
        if (letter < 'A' || letter > 'Z') return std::nullopt;
        auto folder = answer([&](const Client& c) {
            return c.driveDirectory(static_cast<uint16_t>(letter - 'A' + 1));
        });
        if (!folder && letter == 'Z') return fs::path("/");
        return folder;
    }
};

}  // namespace

std::shared_ptr<const platform::process::PathResolver> makePathResolver() {
    return std::make_shared<const ClientPathResolver>();
}

}  // namespace outside::client
