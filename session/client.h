// Thin RAII helpers over the network client's C interface: directory
// contexts and connection handles that free themselves, the connection scan,
// and setting up a context from a context specification.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "kdclient.h"

namespace session {

class DirContext {
public:
    DirContext() = default;
    ~DirContext() { free(); }
    DirContext(DirContext&& other) noexcept : handle_(other.handle_), live_(other.live_) {
        other.live_ = false;
    }
    DirContext& operator=(DirContext&& other) noexcept;
    DirContext(const DirContext&) = delete;
    DirContext& operator=(const DirContext&) = delete;

    // Creates a new context in place of the one held; returns the client code.
    int create();
    void free();
    bool isNull() const { return !live_; }
    KDCONTEXT handle() const { return handle_; }

    // Clears then sets bits of the context's flags (key 1).
    int changeFlags(std::uint32_t clear, std::uint32_t set);
    // A name longer than the client's buffer is refused with
    // KD_ERR_INVALID_NAME rather than cut.
    int setTreeName(const std::string& tree);
    int setNameContext(const std::string& context);
    int treeName(std::string& tree) const;
    int defaultNameContext(std::string& context) const;

    // The usual set-up before directory reads: clear flag 0x10, set 0x1 and 0x4.
    int prepareForReads() {
        return changeFlags(KD_CTX_FLAG_LOCAL_CACHE,
                           KD_CTX_FLAG_CANONICALIZE | KD_CTX_FLAG_TYPELESS);
    }

private:
    KDCONTEXT handle_ = 0;
    bool live_ = false;
};

class ConnectionHandle {
public:
    ConnectionHandle() = default;
    ~ConnectionHandle() { release(); }
    ConnectionHandle(const ConnectionHandle&) = delete;
    ConnectionHandle& operator=(const ConnectionHandle&) = delete;

    int acquire(KDCONNREF ref);
    void release();
    bool isNull() const { return !live_; }
    KDCONNHANDLE handle() const { return handle_; }

private:
    KDCONNHANDLE handle_ = 0;
    bool live_ = false;
};

// Creates `context` and sets it up from a context specification: flag 0x4
// added, the specification's tree (when it names one) and name context set.
// KD_ERR_BAD_NAME_SPECIFICATION when the specification does not parse.
int setUpContext(DirContext& context, std::string_view specification);

// Calls `visit` for the connections of the session whose information can be
// read, in order, until it returns false. `stopAtUnreadable` ends the scan
// at the first connection whose information cannot be read instead of
// skipping it.
void forEachConnection(const std::function<bool(KDCONNREF, const KDConnectionInfo&)>& visit,
                       bool stopAtUnreadable);

// A NUL-terminated buffer of the client as text.
std::string fromBuffer(const char* buffer, std::size_t size);

}  // namespace session
