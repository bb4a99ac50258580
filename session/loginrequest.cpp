// Building the two records of a login request.
#include "session/loginrequest.h"

#include <cstring>

#include "session/client.h"

namespace session {
namespace {

// Options record bytes that carry constants.
constexpr std::size_t kOptConst2 = 2, kOptConst13 = 13, kOptVersion16 = 16, kOptConst18 = 18;
// Data record fields that carry constants.
constexpr std::size_t kDataConst12 = 12, kDataConst108 = 108;

constexpr std::uint8_t kYes = 1, kNo = 2;
constexpr std::uint32_t kContextGiven = 4;

}  // namespace

bool LoginRequest::fits(const LoginTarget& t) {
    const std::size_t nameRoom = t.kind == LoginKind::Tree ? kTreeSize : kServerSize;
    return t.name.size() < nameRoom && t.loginName.size() < kNameSize &&
           t.contextText.size() < kContextSize && t.password.size() < KDLOGIN_MAX_PASSWORD;
}

LoginRequest::LoginRequest(const LoginTarget& target, const LoginOptions& options, bool showUI,
                           bool resultsCall) {
    const bool tree = target.kind == LoginKind::Tree;
    const bool bindery = target.kind == LoginKind::BinderyServer;
    // A silent login that shows its results runs the script in the second,
    // results call only.
    const bool runScript = resultsCall ? options.runScripts
                                       : options.runScripts && (showUI || !options.displayResults);

    options_[KDLOGIN_OPT_MODE] = resultsCall ? KDLOGIN_MODE_RESULTS
                                 : showUI    ? KDLOGIN_MODE_DIALOG
                                             : KDLOGIN_MODE_SILENT;
    options_[KDLOGIN_OPT_AUTOCLOSE] = options.autoClose ? kYes : kNo;
    options_[kOptConst2] = 2;
    options_[KDLOGIN_OPT_TARGET] = tree ? 1 : 2;
    options_[KDLOGIN_OPT_TABS] = 0x01 | (options.connectionTab ? 0x02 : 0) |
                                 (options.scriptTab ? 0x04 : 0) | (options.variablesTab ? 0x08 : 0);
    options_[KDLOGIN_OPT_BINDERY] = bindery ? kYes : kNo;
    options_[kOptConst13] = 2;
    options_[KDLOGIN_OPT_SCRIPT] = runScript ? kYes : kNo;
    const std::uint16_t one = 1;
    std::memcpy(options_.data() + kOptVersion16, &one, sizeof one);
    options_[kOptConst18] = 0;
    options_[KDLOGIN_OPT_RECORD] = 7;
    options_[KDLOGIN_OPT_RESULTS] = resultsCall || (options.displayResults && showUI) ? kYes : kNo;

    put16(KDLOGIN_DATA_VERSION, 1);
    data_[2] = 0;
    data_[3] = 7;
    put32(kDataConst12, 1);
    putBuffer(KDLOGIN_DATA_SERVER_SIZE, kServerSize, KDLOGIN_DATA_SERVER, KDLOGIN_AT_SERVER,
              tree ? std::string() : target.name);
    putBuffer(KDLOGIN_DATA_TREE_SIZE, kTreeSize, KDLOGIN_DATA_TREE, KDLOGIN_AT_TREE,
              tree ? target.name : std::string());
    putBuffer(KDLOGIN_DATA_NAME_SIZE, kNameSize, KDLOGIN_DATA_NAME, KDLOGIN_AT_NAME,
              target.loginName);
    putBuffer(KDLOGIN_DATA_PASSWORD_SIZE, static_cast<std::uint32_t>(target.password.size() + 1),
              KDLOGIN_DATA_PASSWORD, KDLOGIN_AT_PASSWORD, target.password);
    if (!bindery && !target.contextText.empty())
        putBuffer(KDLOGIN_DATA_CONTEXT_KIND, kContextGiven, KDLOGIN_DATA_CONTEXT,
                  KDLOGIN_AT_CONTEXT, target.contextText);
    put32(KDLOGIN_DATA_BINDERY, bindery ? 1 : 0);
    put32(kDataConst108, 0);
    put32(KDLOGIN_DATA_SCRIPT, runScript ? 1 : 0);
}

void LoginRequest::put16(std::size_t offset, std::uint16_t value) {
    std::memcpy(data_.data() + offset, &value, sizeof value);
}

void LoginRequest::put32(std::size_t offset, std::uint32_t value) {
    std::memcpy(data_.data() + offset, &value, sizeof value);
}

void LoginRequest::putBuffer(std::size_t sizeField, std::uint32_t size, std::size_t offsetField,
                             std::size_t at, const std::string& text) {
    put32(sizeField, size);
    put32(offsetField, static_cast<std::uint32_t>(at));
    // fits() has made sure the text and its NUL stay inside the buffer.
    std::memcpy(data_.data() + at, text.data(), text.size());
}

std::string LoginRequest::text(std::size_t at, std::size_t size) const {
    return fromBuffer(reinterpret_cast<const char*>(data_.data() + at), size);
}

}  // namespace session
