// The request that Login hands to the login-dialog library's entry point
// "KDLoginUI": a data record of 1328 bytes (names, password, context) and an
// options record of 80 bytes (mode, tabs, script and results choices), both
// zero-filled and then set field by field at fixed offsets. The buffers of
// the data record lie in its own tail, their fields holding their offsets,
// so the record is the same whatever the width of a pointer. The entry point
// may rewrite the three name buffers; the request reads them back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "outside/login/include/kdlogin.h"

namespace session {

enum class LoginKind { Tree, BinderyServer, DirectoryServer };

// The control's Boolean properties that shape a request.
struct LoginOptions {
    bool autoClose = false;
    bool connectionTab = false;
    bool scriptTab = false;
    bool variablesTab = false;
    bool runScripts = false;
    bool displayResults = false;
};

struct LoginTarget {
    LoginKind kind = LoginKind::Tree;
    std::string name;         // the tree or the server
    std::string contextText;  // the name context found for it, may be empty
    std::string loginName;
    std::string password;
};

class LoginRequest {
public:
    static constexpr std::size_t kDataSize = KDLOGIN_DATA_SIZE;
    static constexpr std::size_t kOptionsSize = KDLOGIN_OPTIONS_SIZE;

    // Whether every text of the target fits its buffer. A name cut short
    // would log in as someone else, so such a request is never built.
    static bool fits(const LoginTarget& target);

    // `resultsCall` builds the second request of a silent login that shows
    // its results (mode 1).
    LoginRequest(const LoginTarget& target, const LoginOptions& options, bool showUI,
                 bool resultsCall = false);

    int call(KDLoginUIProc entry) { return entry(nullptr, data_.data(), options_.data()); }

    const std::array<std::uint8_t, kDataSize>& data() const { return data_; }
    const std::array<std::uint8_t, kOptionsSize>& options() const { return options_; }

    // The name buffers as they stand (after the call: as the library left them).
    std::string serverName() const { return text(KDLOGIN_AT_SERVER, kServerSize); }
    std::string treeName() const { return text(KDLOGIN_AT_TREE, kTreeSize); }
    std::string userName() const { return text(KDLOGIN_AT_NAME, kNameSize); }

private:
    static constexpr std::uint32_t kServerSize = 129, kTreeSize = 33, kNameSize = 257,
                                   kContextSize = 257;

    void put16(std::size_t offset, std::uint16_t value);
    void put32(std::size_t offset, std::uint32_t value);
    // A buffer field pair: the size (or kind) at sizeField, the offset of the
    // buffer in the tail at offsetField, and the text copied there.
    void putBuffer(std::size_t sizeField, std::uint32_t size, std::size_t offsetField,
                   std::size_t at, const std::string& text);
    std::string text(std::size_t at, std::size_t size) const;

    std::array<std::uint8_t, kDataSize> data_{};
    std::array<std::uint8_t, kOptionsSize> options_{};
};

}  // namespace session
