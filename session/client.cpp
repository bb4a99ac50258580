// The RAII helpers over the network client.
#include "session/client.h"

#include <cstring>
#include <vector>

#include "session/namepath.h"

namespace session {

DirContext& DirContext::operator=(DirContext&& other) noexcept {
    if (this != &other) {
        free();
        handle_ = other.handle_;
        live_ = other.live_;
        other.live_ = false;
    }
    return *this;
}

int DirContext::create() {
    free();
    KDCONTEXT handle = 0;
    const int rc = kddirs_create_context(&handle);
    if (rc == KD_SUCCESS) {
        handle_ = handle;
        live_ = true;
    }
    return rc;
}

void DirContext::free() {
    if (live_) kddirs_free_context(handle_);
    live_ = false;
}

int DirContext::changeFlags(std::uint32_t clear, std::uint32_t set) {
    std::uint32_t flags = 0;
    if (const int rc = kddirs_get_context(handle_, KD_CTX_KEY_FLAGS, &flags)) return rc;
    flags = (flags & ~clear) | set;
    return kddirs_set_context(handle_, KD_CTX_KEY_FLAGS, &flags);
}

namespace {

// A text the client takes in a fixed buffer. One that does not fit (or that
// a NUL would cut short) is refused: cut, it could name another object.
int setTextKey(KDCONTEXT handle, std::uint32_t key, const std::string& text, std::size_t capacity) {
    if (text.size() >= capacity || text.find('\0') != std::string::npos) return KD_ERR_INVALID_NAME;
    std::vector<char> value(capacity, '\0');
    std::memcpy(value.data(), text.data(), text.size());
    return kddirs_set_context(handle, key, value.data());
}

}  // namespace

int DirContext::setTreeName(const std::string& tree) {
    return setTextKey(handle_, KD_CTX_KEY_TREE_NAME, tree, KD_MAX_TREE_NAME);
}

int DirContext::setNameContext(const std::string& context) {
    return setTextKey(handle_, KD_CTX_KEY_NAME_CONTEXT, context, KD_MAX_DN);
}

int DirContext::treeName(std::string& tree) const {
    char value[KD_MAX_TREE_NAME] = {};
    const int rc = kddirs_get_context(handle_, KD_CTX_KEY_TREE_NAME, value);
    tree = rc == KD_SUCCESS ? fromBuffer(value, sizeof value) : std::string();
    return rc;
}

int DirContext::defaultNameContext(std::string& context) const {
    char value[KD_MAX_DN] = {};
    const int rc = kddirs_get_default_name_context(handle_, sizeof value, value);
    context = rc == KD_SUCCESS ? fromBuffer(value, sizeof value) : std::string();
    return rc;
}

int ConnectionHandle::acquire(KDCONNREF ref) {
    release();
    KDCONNHANDLE handle = 0;
    const int rc = kdconn_get_handle(ref, &handle);
    if (rc == KD_SUCCESS) {
        handle_ = handle;
        live_ = true;
    }
    return rc;
}

void ConnectionHandle::release() {
    if (live_) kdconn_release_handle(handle_);
    live_ = false;
}

int setUpContext(DirContext& context, std::string_view specification) {
    const auto spec = parseContextSpecification(specification);
    if (!spec) return KD_ERR_BAD_NAME_SPECIFICATION;
    if (const int rc = context.create()) return rc;
    if (const int rc = context.changeFlags(0, KD_CTX_FLAG_TYPELESS)) return rc;
    if (spec->tree)
        if (const int rc = context.setTreeName(*spec->tree)) return rc;
    return context.setNameContext(spec->nameContext);
}

void forEachConnection(const std::function<bool(KDCONNREF, const KDConnectionInfo&)>& visit,
                       bool stopAtUnreadable) {
    std::uint32_t iterator = 0;
    KDCONNREF ref = 0;
    while (kdconn_scan(&iterator, &ref) == KD_SUCCESS) {
        KDConnectionInfo info{};
        if (kdconn_info(ref, 1, &info, sizeof info) != KD_SUCCESS) {
            if (stopAtUnreadable) return;
            continue;
        }
        if (!visit(ref, info)) return;
    }
}

std::string fromBuffer(const char* buffer, std::size_t size) {
    return std::string(buffer, strnlen(buffer, size));
}

}  // namespace session
