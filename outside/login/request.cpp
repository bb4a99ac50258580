// Reading and answering the two records of a login request.
#include "outside/login/request.h"

#include <cstring>
#include <vector>

#include "kdlogin.h"
#include "kdtypes.h"
#include "outside/client/errors.h"

namespace outside::login {

using outside::client::ClientError;

namespace {

// Fields are in the host's byte order, as the caller wrote them.
uint32_t u32(const uint8_t* record, std::size_t offset) {
    uint32_t value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

uint16_t u16(const uint8_t* record, std::size_t offset) {
    uint16_t value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

[[noreturn]] void bad(const std::string& what) {
    throw ClientError(KD_ERR_INVALID_PARAMETER, "login request: " + what);
}

uint8_t flag(const uint8_t* options, std::size_t offset, const char* what) {
    const uint8_t value = options[offset];
    if (value != 1 && value != 2)
        bad(std::string(what) + " (options byte " + std::to_string(offset) + ") is " +
            std::to_string(value) + ", not 1 or 2");
    return value;
}

Buffer buffer(const uint8_t* data, std::size_t sizeField, std::size_t offsetField, uint32_t minimum,
              const char* what) {
    const Buffer b{u32(data, offsetField), u32(data, sizeField)};
    if (b.size < minimum)
        bad(std::string(what) + " buffer has " + std::to_string(b.size) + " bytes, needs " +
            std::to_string(minimum));
    if (b.offset < KDLOGIN_DATA_TAIL || b.offset > KDLOGIN_DATA_SIZE ||
        b.size > KDLOGIN_DATA_SIZE - b.offset)
        bad(std::string(what) + " buffer (offset " + std::to_string(b.offset) + ", " +
            std::to_string(b.size) + " bytes) lies outside the data record's tail");
    return b;
}

std::string text(const uint8_t* data, const Buffer& b, const char* what) {
    const char* start = reinterpret_cast<const char*>(data + b.offset);
    const void* end = std::memchr(start, '\0', b.size);
    if (!end) bad(std::string(what) + " has no terminating NUL inside its buffer");
    return std::string(start, static_cast<const char*>(end));
}

}  // namespace

Request readRequest(const uint8_t* data, const uint8_t* options) {
    if (!data || !options) bad("a record is missing");
    if (u16(data, KDLOGIN_DATA_VERSION) != 1 || data[3] != 7 || options[KDLOGIN_OPT_RECORD] != 7)
        bad("the version marks are not those of a login request");

    Request r;
    r.mode = options[KDLOGIN_OPT_MODE];
    if (r.mode != KDLOGIN_MODE_RESULTS && r.mode != KDLOGIN_MODE_DIALOG &&
        r.mode != KDLOGIN_MODE_SILENT)
        bad("mode " + std::to_string(r.mode) + " is not 1, 2 or 5");
    r.autoClose = flag(options, KDLOGIN_OPT_AUTOCLOSE, "auto-close") == 1;
    r.treeLogin = flag(options, KDLOGIN_OPT_TARGET, "tree or server") == 1;
    r.tabs = options[KDLOGIN_OPT_TABS];
    r.bindery =
        flag(options, KDLOGIN_OPT_BINDERY, "bindery") == 1 || u32(data, KDLOGIN_DATA_BINDERY) == 1;
    if (r.bindery && r.treeLogin) bad("a tree login cannot be a bindery login");
    r.runScript = flag(options, KDLOGIN_OPT_SCRIPT, "login script") == 1;
    r.showResults = flag(options, KDLOGIN_OPT_RESULTS, "results") == 1;

    r.serverBuffer = buffer(data, KDLOGIN_DATA_SERVER_SIZE, KDLOGIN_DATA_SERVER, KD_MAX_SERVER_NAME,
                            "server name");
    r.treeBuffer =
        buffer(data, KDLOGIN_DATA_TREE_SIZE, KDLOGIN_DATA_TREE, KD_MAX_TREE_NAME, "tree name");
    r.nameBuffer = buffer(data, KDLOGIN_DATA_NAME_SIZE, KDLOGIN_DATA_NAME, KD_MAX_DN, "login name");
    const Buffer password =
        buffer(data, KDLOGIN_DATA_PASSWORD_SIZE, KDLOGIN_DATA_PASSWORD, 1, "password");
    std::vector<std::pair<Buffer, const char*>> used = {{r.serverBuffer, "server name"},
                                                        {r.treeBuffer, "tree name"},
                                                        {r.nameBuffer, "login name"},
                                                        {password, "password"}};
    const uint32_t contextKind = u32(data, KDLOGIN_DATA_CONTEXT_KIND);
    if (contextKind != 0 && contextKind != 4)
        bad("name context kind " + std::to_string(contextKind) + " is not 0 or 4");
    Buffer context;
    if (contextKind == 4) {
        // The context's size is not in the record: it is its text, at most 257 bytes.
        context.offset = u32(data, KDLOGIN_DATA_CONTEXT);
        if (context.offset < KDLOGIN_DATA_TAIL || context.offset >= KDLOGIN_DATA_SIZE)
            bad("name context lies outside the data record's tail");
        context.size = std::min<uint32_t>(KD_MAX_DN, KDLOGIN_DATA_SIZE - context.offset);
        r.context = text(data, context, "name context");
        context.size = static_cast<uint32_t>(r.context.size() + 1);
        used.push_back({context, "name context"});
    }
    for (std::size_t i = 0; i < used.size(); ++i)
        for (std::size_t j = i + 1; j < used.size(); ++j) {
            const Buffer& a = used[i].first;
            const Buffer& b = used[j].first;
            if (a.offset < b.offset + b.size && b.offset < a.offset + a.size)
                bad(std::string(used[i].second) + " and " + used[j].second + " buffers overlap");
        }

    r.server = text(data, r.serverBuffer, "server name");
    r.tree = text(data, r.treeBuffer, "tree name");
    r.loginName = text(data, r.nameBuffer, "login name");
    r.password = text(data, password, "password");
    if (r.password.size() + 1 != password.size)
        bad("the password's length field does not match its text");
    return r;
}

void writeNames(uint8_t* data, const Request& r) {
    const auto put = [&](const Buffer& b, const std::string& value) {
        // readRequest made sure that each buffer holds the longest name the
        // client gives; cut anyway rather than write past it.
        const std::size_t length = std::min<std::size_t>(value.size(), b.size - 1);
        std::memcpy(data + b.offset, value.data(), length);
        std::memset(data + b.offset + length, 0, b.size - length);
    };
    put(r.serverBuffer, r.server);
    put(r.treeBuffer, r.tree);
    put(r.nameBuffer, r.loginName);
}

}  // namespace outside::login
