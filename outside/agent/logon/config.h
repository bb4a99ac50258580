// The login publisher's configuration, /etc/tolvane/logon.conf: an INI file
// (the format of the directory mapping files) that says which server to
// publish logins to, how this workstation binds, where the directory keeps
// the value and how the user is found.
#pragma once

#include <chrono>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "outside/directory/connection.h"

namespace outside::agent::logon {

// Where a login is published.
enum class Model {
    // The workstation's address ("TCP a.b.c.d") in an attribute of the
    // user's entry (ktr, Active Directory).
    UserAttribute,
    // The user's DN among the `owner` values of the workstation's own entry
    // (standard schemas).
    Owner,
};

// The bind methods are the shared connection code's.
using BindMethod = outside::directory::BindMethod;

struct Config {
    std::string path;  // the file read

    // [directory]
    std::string url;
    bool startTls = false;
    std::string caFile;
    std::string mapping = "standard";

    // [bind]
    BindMethod bind = BindMethod::Simple;
    std::string bindDn;
    std::string secretFile = "/etc/tolvane/logon.secret";
    std::string certificateFile;  // external
    std::string keyFile;          // external
    std::string keytab;           // gssapi; empty: the host's default

    // [users] and the mapping's answers
    Model model = Model::Owner;
    std::string addressAttribute;  // UserAttribute: the user's; Owner: the workstation's
    std::string ownerAttribute = "owner";
    std::string userBase;    // empty: the server's naming contexts
    std::string userFilter;  // with %u for the login name

    // [workstation]
    std::string workstationDn;   // Owner: the entry whose owner is written; default bindDn
    std::string interface;       // empty: the source address towards the server
    bool updateAddress = false;  // --sweep keeps the own entry's address current

    // [logon]
    std::chrono::milliseconds timeout{2000};
    std::vector<std::string> skipServices{"cron", "su", "sudo", "systemd-user"};
    std::string logFile;
    std::string runDir = "/var/lib/tolvane/logon";
};

// A configuration that cannot be used; what() names the file (and the line).
class ConfigError : public std::runtime_error {
public:
    explicit ConfigError(const std::string& what, std::string logFile = {})
        : std::runtime_error(what), logFile(std::move(logFile)) {}
    // The log file the configuration names, as far as it could be read: a
    // configuration in error still says where its error is logged.
    std::string logFile;
};

// Reads and checks the file. Throws ConfigError.
Config loadConfig(const std::string& path);

// The secret for a simple bind: the file's contents without a final line
// break. Refused when anybody but its owner may read it. Throws ConfigError.
std::string readSecret(const std::string& path);

// The user filter with the login name put in (escaped for a filter).
std::string userFilter(const Config& config, const std::string& login);

}  // namespace outside::agent::logon
