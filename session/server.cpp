// The in-process server of the session control (QUILLON.OCX): its classes,
// type library and entry points, and the start and stop of the network
// client that every member relies on.
#include <mutex>
#include <string>

#include "kdclient.h"
#include "platform/automation/server.h"
#include "session/control.h"
#include "session/typelib.h"

namespace session {
namespace {

// Miscellaneous status of the control: recompose on resize, can't link
// inside, inside-out, activate when visible, invisible at run time, set
// client site first.
constexpr std::uint32_t kMiscStatus = 0x20591;

// The client is started by the first control created; a start that fails is
// tried again by the next creation. At module exit the locale tables are
// released first.
class ClientStart {
public:
    ~ClientStart() {
        if (started_) kdtext_free_tables();
    }

    void ensure() {
        std::lock_guard lock(mutex_);
        if (started_) return;
        if (const int rc = start())
            throw pa::AutomationError::standard(pa::error::CannotCreateObject,
                                                "the network client could not be started (" +
                                                    std::to_string(rc) + ": " +
                                                    kdclient_error_text() + ")");
        started_ = true;
    }

private:
    static int start() {
        if (const int rc = kdserv_init()) return rc;
        KDLocaleInfo locale{};
        if (const int rc = kdtext_locale_info(&locale)) return rc;
        std::uint32_t codePage = 0;
        if (const int rc = kdtext_code_page(&locale, &codePage)) return rc;
        const int rc = kdtext_load_tables(locale.country, codePage);
        return rc == KD_ERR_TABLES_LOADED ? KD_SUCCESS : rc;
    }

    std::mutex mutex_;
    bool started_ = false;
};

ClientStart g_client;

pa::ServerDescription describeServer() {
    pa::ServerDescription d;
    pa::ServerClass control;
    control.clsid = guid::Quillon;
    control.name = "Marrel Session Control";
    control.progId = kControlProgId;
    control.control = true;
    control.miscStatus = kMiscStatus;
    control.create = []() -> pa::Ref<pa::Object> {
        g_client.ensure();
        return CQuillonCtrl::create();
    };
    d.classes.push_back(std::move(control));
    d.typeLibrary = quillonTypeLibrary();
    d.threadingModel = "Apartment";
    return d;
}

}  // namespace
}  // namespace session

TVN_AUTOMATION_SERVER(session::describeServer)
