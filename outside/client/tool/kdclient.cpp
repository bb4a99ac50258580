// kdclient: shows and changes the network client's session from the command
// line (attach, log in and out, map drives, capture ports), for tests and the
// demo. Run without arguments for the list of commands.
#include <cctype>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "kdtypes.h"
#include "outside/client/errors.h"
#include "outside/client/names.h"
#include "outside/client/session.h"

using namespace outside::client;

namespace {

constexpr const char* kUsage =
    "usage: kdclient COMMAND [ARGUMENTS]\n"
    "  show [--json]                 the session (connections, drives, ports, contexts)\n"
    "  network                       the servers, volumes, queues and trees of the network\n"
    "  attach SERVER                 open a connection to a server\n"
    "  login TREE USER PASSWORD [--context CONTEXT]\n"
    "  login \\\\SERVER USER PASSWORD [--context CONTEXT] [--bindery]\n"
    "                                PASSWORD - reads it from standard input\n"
    "  logout TREE | \\\\SERVER\n"
    "  map X: \\\\SERVER\\VOLUME[\\DIR...]\n"
    "  unmap X:\n"
    "  capture LPTn \\\\SERVER\\QUEUE | KTR:\\\\TREE\\...\\QUEUE\n"
    "  endcap LPTn\n"
    "  tree TREE                     make TREE the preferred tree\n"
    "  context TREE CONTEXT          set the default name context of TREE (dotted)\n"
    "  reset                         forget the whole session\n"
    "The network is KDCLIENT_NETWORK, the session KDCLIENT_STATE.\n";

struct UsageError {
    std::string what;
};

// "\\SERVER\rest" or "//SERVER/rest": the server and the rest, "\" separated.
std::pair<std::string, std::string> splitUnc(std::string_view text) {
    if (text.size() < 3 || (text.substr(0, 2) != "\\\\" && text.substr(0, 2) != "//"))
        throw UsageError{"\"" + std::string(text) + "\" is not \\\\SERVER\\..."};
    std::string rest(text.substr(2));
    for (char& c : rest)
        if (c == '/') c = '\\';
    const auto sep = rest.find('\\');
    if (sep == 0) throw UsageError{"\"" + std::string(text) + "\" names no server"};
    if (sep == std::string::npos) return {rest, ""};
    return {rest.substr(0, sep), rest.substr(sep + 1)};
}

uint16_t driveNumber(std::string_view text) {
    if (text.size() == 2 && text[1] == ':') {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        if (letter >= 'A' && letter <= 'Z') return static_cast<uint16_t>(letter - 'A' + 1);
    }
    throw UsageError{"\"" + std::string(text) + "\" is not a drive (A: to Z:)"};
}

uint16_t portNumber(std::string_view text) {
    if (text.size() == 4 && (text.substr(0, 3) == "LPT" || text.substr(0, 3) == "lpt") &&
        text[3] >= '1' && text[3] <= '9')
        return static_cast<uint16_t>(text[3] - '0');
    throw UsageError{"\"" + std::string(text) + "\" is not a port (LPT1 to LPT9)"};
}

void show(const Client& client) {
    const SessionState s = client.state();
    std::cout << "Connections:";
    if (s.connections.empty()) std::cout << " none";
    std::cout << "\n";
    static const char* const kAuth[] = {"not logged in", "logged in (bindery) as",
                                        "logged in (directory) as"};
    for (const Connection& c : s.connections) {
        std::cout << "  " << c.number << "  " << c.server;
        if (!c.tree.empty()) std::cout << "  tree " << c.tree;
        std::cout << "  " << kAuth[c.authState > 2 ? 0 : c.authState];
        if (c.authState) std::cout << " " << c.user;
        if (c.number == s.primary) std::cout << "  (primary)";
        std::cout << "\n";
    }
    std::cout << "Drives:";
    if (s.drives.empty()) std::cout << " none";
    std::cout << "\n";
    for (const DriveMapping& d : s.drives)
        std::cout << "  " << static_cast<char>('A' + d.drive - 1) << ":  " << d.fullPath()
                  << "  (connection " << d.connection << ")\n";
    std::cout << "Captured ports:";
    if (s.captures.empty()) std::cout << " none";
    std::cout << "\n";
    for (const Capture& c : s.captures) {
        std::string server = "?";
        if (const Connection* conn = s.findConnection(c.connection)) server = conn->server;
        std::cout << "  LPT" << c.port << "  \\\\" << server << "\\" << c.queue << "  (queue "
                  << c.queueId << ", connection " << c.connection << ")\n";
    }
    std::cout << "Preferred tree: " << (s.preferredTree.empty() ? "none" : s.preferredTree) << "\n";
    for (const auto& [tree, context] : s.defaultContexts)
        std::cout << "Default context of " << tree << ": " << context << "\n";
}

void showNetwork(const Client& client) {
    const Network& net = client.network();
    for (const Server& s : net.servers()) {
        std::cout << s.name << "  version " << s.version;
        if (s.isDirectoryServer())
            std::cout << "  tree " << s.tree << "  " << pathToDotted(Client::serverPath(s));
        std::cout << "\n";
        for (const Volume& v : s.volumes)
            std::cout << "  volume " << v.number << " " << v.name << "  "
                      << net.volumeDirectory(s.name, v.name)->string() << "\n";
        for (const BinderyObject& o : s.bindery)
            std::cout << "  object " << o.id << " " << o.name << " type " << o.type << "\n";
    }
    for (const std::string& tree : net.trees()) std::cout << "tree " << tree << "\n";
}

std::string password(std::string given) {
    if (given != "-") return given;
    std::string line;
    std::getline(std::cin, line);
    return line;
}

// Logs in: "\\SERVER" is a server, anything else a tree.
void login(const Client& client, const std::vector<std::string>& args) {
    std::vector<std::string> plain;
    std::string context;
    bool bindery = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--bindery") {
            bindery = true;
        } else if (args[i] == "--context") {
            if (++i == args.size()) throw UsageError{"--context needs a value"};
            context = args[i];
        } else {
            plain.push_back(args[i]);
        }
    }
    if (plain.size() != 3) throw UsageError{"login needs a tree or server, a user and a password"};
    LoginOutcome outcome;
    if (plain[0].starts_with("\\\\") || plain[0].starts_with("//")) {
        const auto [server, rest] = splitUnc(plain[0]);
        if (!rest.empty()) throw UsageError{"log in to \\\\SERVER, not to a path"};
        outcome = client.loginServer(server, plain[1], password(plain[2]), context, bindery);
    } else {
        if (bindery) throw UsageError{"--bindery is for servers"};
        outcome = client.loginTree(plain[0], plain[1], password(plain[2]), context);
    }
    std::cout << "Logged in to " << (outcome.tree.empty() ? outcome.server : outcome.tree) << " as "
              << outcome.user << " (connection " << outcome.connection << ")\n";
}

void logout(const Client& client, const std::string& name) {
    if (name.starts_with("\\\\") || name.starts_with("//")) {
        const auto [server, rest] = splitUnc(name);
        const auto connection = client.connectionTo(server);
        if (!connection)
            throw ClientError(KD_ERR_NO_CONNECTION, "no connection is open to " + server);
        client.close(connection->number);
    } else {
        client.logoutTree(name);
    }
}

void capture(const Client& client, uint16_t port, const std::string& queue) {
    if (queue.size() > 6 && sameName(queue.substr(0, 6), "KTR:\\\\")) {
        const auto [tree, rest] = splitUnc(queue.substr(4));
        std::vector<std::string> path;
        std::size_t start = 0;
        while (start <= rest.size()) {
            const auto sep = rest.find('\\', start);
            path.push_back(rest.substr(start, sep - start));
            if (sep == std::string::npos) break;
            start = sep + 1;
        }
        const auto [server, object] = client.queueByName(tree, path);
        client.startCapture(client.open(server->name), port, object->id, object->name);
        return;
    }
    const auto [server, name] = splitUnc(queue);
    const uint32_t connection = client.open(server);
    for (const BinderyObject& object : client.serverOf(client.connection(connection)).bindery)
        if (object.type == KD_OBJECT_TYPE_QUEUE && sameName(object.name, name)) {
            client.startCapture(connection, port, object.id, object.name);
            return;
        }
    throw ClientError(KD_ERR_NO_SUCH_OBJECT, server + " has no print queue \"" + name + "\"");
}

int run(const std::vector<std::string>& args) {
    const std::string command = args.empty() ? "show" : args[0];
    const std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
    const auto need = [&](std::size_t count) {
        if (rest.size() != count)
            throw UsageError{command + " takes " + std::to_string(count) + " argument(s)"};
    };
    if (command == "help" || command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "reset") {
        need(0);
        SessionStore::current().reset();
        return 0;
    }
    const Client client = Client::current();
    if (command == "show") {
        if (rest.size() == 1 && rest[0] == "--json") {
            std::cout << client.store().file().string() << "\n";
            std::FILE* file = std::fopen(client.store().file().c_str(), "rb");
            if (!file) return 0;
            char chunk[4096];
            std::size_t n;
            while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) std::cout.write(chunk, n);
            std::fclose(file);
            return 0;
        }
        need(0);
        show(client);
    } else if (command == "network") {
        need(0);
        showNetwork(client);
    } else if (command == "attach") {
        need(1);
        std::cout << "Connection " << client.open(rest[0]) << "\n";
    } else if (command == "login") {
        login(client, rest);
    } else if (command == "logout") {
        need(1);
        logout(client, rest[0]);
    } else if (command == "map") {
        need(2);
        const uint16_t drive = driveNumber(rest[0]);
        const auto [server, path] = splitUnc(rest[1]);
        const auto sep = path.find('\\');
        if (path.empty()) throw UsageError{"map needs \\\\SERVER\\VOLUME"};
        const std::string volumePath = sep == std::string::npos
                                           ? path + ":"
                                           : path.substr(0, sep) + ":" + path.substr(sep + 1);
        client.mapDrive(drive, client.open(server), volumePath);
    } else if (command == "unmap") {
        need(1);
        client.deleteDrive(driveNumber(rest[0]));
    } else if (command == "capture") {
        need(2);
        capture(client, portNumber(rest[0]), rest[1]);
    } else if (command == "endcap") {
        need(1);
        client.endCapture(portNumber(rest[0]));
    } else if (command == "tree") {
        need(1);
        client.setPreferredTree(rest[0]);
    } else if (command == "context") {
        need(2);
        client.setDefaultContext(rest[0], rest[1]);
    } else {
        throw UsageError{"unknown command \"" + command + "\""};
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "kdclient: " << e.what << "\n" << kUsage;
        return 2;
    } catch (const ClientError& e) {
        std::cerr << "kdclient: " << e.what() << " (" << describeCode(e.code()) << ")\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "kdclient: " << e.what() << "\n";
        return 1;
    }
}
