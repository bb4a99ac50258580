// A login request as the entry point receives it: the two records read and
// checked, and the names written back after the login.
#pragma once

#include <cstdint>
#include <string>

namespace outside::login {

struct Buffer {
    uint32_t offset = 0;  // inside the data record
    uint32_t size = 0;
};

struct Request {
    uint8_t mode = 0;
    bool autoClose = false;
    bool treeLogin = false;
    uint8_t tabs = 0;
    bool bindery = false;
    bool runScript = false;
    bool showResults = false;

    std::string server;
    std::string tree;
    std::string loginName;
    std::string password;
    std::string context;  // empty when none was given

    Buffer serverBuffer, treeBuffer, nameBuffer;

    // The server or tree the request is about.
    const std::string& target() const { return treeLogin ? tree : server; }
};

// Reads both records. Throws outside::client::ClientError with
// KD_ERR_INVALID_PARAMETER naming the field for a record that is not a login
// request: wrong version marks, an unknown mode or target, a buffer outside
// the record's tail, overlapping buffers, a text without its NUL.
Request readRequest(const uint8_t* data, const uint8_t* options);

// Writes the three names back into their buffers (each cut to its size).
void writeNames(uint8_t* data, const Request& request);

}  // namespace outside::login
