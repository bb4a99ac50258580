// Errors of the client stand-in: one exception type carrying a client result
// code, and the guard that turns it into that code at the C interface while
// keeping the words for kdclient_error_text().
#pragma once

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

#include "kdtypes.h"

namespace outside::client {

class ClientError : public std::runtime_error {
public:
    ClientError(int32_t code, const std::string& what) : std::runtime_error(what), code_(code) {}
    int32_t code() const noexcept { return code_; }

private:
    int32_t code_;
};

// Records the words of the last failure of this thread ("" clears them).
void setErrorText(std::string text);
const char* errorText();

// The meaning of a result code in a few words, for messages ("0x880F no
// connection to that server").
std::string describeCode(int32_t code);

// Runs body and answers its result code: KD_SUCCESS, the code of a
// ClientError, KD_ERR_OUT_OF_MEMORY, or KD_ERR_CLIENT_UNAVAILABLE for any other
// failure. Nothing escapes, because the callers are C.
template <typename Body>
KDRESULT guarded(Body&& body) noexcept {
    try {
        setErrorText({});
        body();
        return KD_SUCCESS;
    } catch (const ClientError& e) {
        setErrorText(e.what());
        return e.code();
    } catch (const std::bad_alloc&) {
        setErrorText("out of memory");
        return KD_ERR_OUT_OF_MEMORY;
    } catch (const std::exception& e) {
        setErrorText(e.what());
        return KD_ERR_CLIENT_UNAVAILABLE;
    } catch (...) {
        setErrorText("unexpected failure");
        return KD_ERR_CLIENT_UNAVAILABLE;
    }
}

}  // namespace outside::client
