// The per-thread failure text and the short descriptions of result codes.
#include "outside/client/errors.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace outside::client {

namespace {
// A plain buffer, not a std::string: it has no destructor, so the text stays
// usable by calls made while the process exits (a component releasing the
// client from its own exit handlers).
thread_local char t_errorText[1024];

const char* meaning(int32_t code) {
    switch (code) {
        case KD_SUCCESS:
            return "success";
        case KD_ERR_INVALID_CONNECTION:
            return "no such connection";
        case KD_ERR_INVALID_DRIVE:
            return "invalid drive";
        case KD_ERR_DRIVE_NOT_MAPPED:
            return "drive not mapped";
        case KD_ERR_INVALID_PORT:
            return "invalid printer port";
        case KD_ERR_PORT_NOT_CAPTURED:
            return "port not captured";
        case KD_ERR_LOGIN_CANCELLED:
            return "login cancelled";
        case KD_ERR_BUFFER_TOO_SMALL:
            return "buffer too small";
        case KD_ERR_NO_CONNECTION:
            return "no connection to that server";
        case KD_ERR_INVALID_PARAMETER:
            return "invalid parameter";
        case KD_ERR_CLIENT_UNAVAILABLE:
            return "client unavailable";
        case KD_ERR_NOT_AUTHENTICATED:
            return "not authenticated";
        case KD_ERR_NO_MORE_ENTRIES:
            return "no more entries";
        case KD_ERR_INVALID_VOLUME:
            return "no such volume";
        case KD_ERR_INVALID_PATH:
            return "no such path";
        case KD_ERR_NO_QUEUE:
            return "not a print queue";
        case KD_ERR_NO_SUCH_OBJECT:
            return "no such server or object";
        case KD_ERR_BAD_NAME_SPECIFICATION:
            return "bad name specification";
        case KD_ERR_OUT_OF_MEMORY:
            return "out of memory";
        case KD_ERR_BAD_CONTEXT:
            return "bad context handle";
        case KD_ERR_INVALID_NAME:
            return "invalid directory name";
        case KD_ERR_TABLES_LOADED:
            return "locale tables already loaded";
        case KD_ERR_NO_SUCH_ENTRY:
            return "no such directory entry";
        case KD_ERR_NO_SUCH_TREE:
            return "no such tree";
        case KD_ERR_BAD_PASSWORD:
            return "wrong password";
        default:
            return "client error";
    }
}
}  // namespace

void setErrorText(std::string text) {
    const std::size_t length = std::min(text.size(), sizeof t_errorText - 1);
    std::memcpy(t_errorText, text.data(), length);
    t_errorText[length] = '\0';
}
const char* errorText() {
    return t_errorText;
}

std::string describeCode(int32_t code) {
    char number[16];
    if (code >= 0)
        std::snprintf(number, sizeof number, "0x%04X", static_cast<unsigned>(code));
    else
        std::snprintf(number, sizeof number, "%d", static_cast<int>(code));
    return std::string(number) + " " + meaning(code);
}

}  // namespace outside::client

extern "C" const char* kdclient_error_text(void) {
    return outside::client::errorText();
}
