// The directory side of the login publisher: one connection, bound as this
// workstation, that finds a user's entry and adds or removes one value.
// Each call waits at most until the run's deadline.
#pragma once

#include <chrono>
#include <stdexcept>
#include <string>

#include "outside/agent/logon/config.h"
#include "outside/directory/connection.h"

namespace outside::agent::logon {

// Something the directory refused or did not answer, in words, without the
// secret (a refused bind names the account, never the password).
class PublishError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Publisher {
public:
    using Deadline = std::chrono::steady_clock::time_point;
    // Connects and binds. Throws PublishError.
    Publisher(const Config& config, Deadline deadline);

    // The address this workstation has towards the server (or on the
    // configured interface), dotted.
    std::string address() const;
    // The DN of the user's entry. Throws PublishError ("no such user").
    std::string findUser(const std::string& login);
    // An added value that is there already, or a removed one that is not
    // there, is no failure. Throws PublishError.
    void add(const std::string& dn, const std::string& attribute, const std::string& value);
    void remove(const std::string& dn, const std::string& attribute, const std::string& value);
    // Makes the attribute hold exactly this value.
    void replace(const std::string& dn, const std::string& attribute, const std::string& value);

private:
    void modify(int op, const std::string& dn, const std::string& attribute,
                const std::string& value);
    void limitWait();
    std::string describe(const std::string& what) const;

    const Config& config_;
    Deadline deadline_;
    outside::directory::Connection ld_;
};

}  // namespace outside::agent::logon
