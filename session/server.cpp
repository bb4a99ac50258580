// The in-process server of the session control (QUILLON.OCX): its classes
// (the control, its two property pages and the drive-mappings collection),
// categories, version information, type library and entry points, and the
// start and stop of the network client that every member relies on.
#include <mutex>
#include <string>

#include "kdclient.h"
#include "platform/automation/server.h"
#include "platform/framework/proppage.h"
#include "session/control.h"
#include "session/drives.h"
#include "session/errors.h"
#include "session/proppages.h"
#include "session/typelib.h"

namespace session {
namespace {

namespace ms = pa::miscstatus;
constexpr std::uint32_t kMiscStatus = ms::RecomposeOnResize | ms::CantLinkInside | ms::InsideOut |
                                      ms::ActivateWhenVisible | ms::InvisibleAtRuntime |
                                      ms::SetClientSiteFirst;
static_assert(kMiscStatus == 0x20591);
constexpr int kToolboxBitmap = 1;

// The client is started by the first object that needs it; a start that
// fails is tried again by the next creation. At module exit the locale
// tables are released first.
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

// What the library says of itself (QUILLON.OCX).
platform::registry::VersionInfo versionInfo() {
    platform::registry::VersionInfo info;
    info.fileVersion = "1.22";
    info.productVersion = "1.22";
    info.fileDescription = "Marrel Session Control";
    info.productName = "Marrel Session Control";
    info.internalName = "Quillon";
    info.originalFilename = "QUILLON.OCX";
    info.language = 0x0409;
    info.codePage = 1200;
    return info;
}

template <typename Create>
pa::ServerClass serverClass(std::string_view clsid, std::string name, std::string_view progId,
                            bool needsClient, Create create) {
    pa::ServerClass cls;
    cls.clsid = clsid;
    cls.name = std::move(name);
    cls.progId = progId;
    cls.create = [needsClient, create]() -> pa::Ref<pa::Object> {
        if (needsClient) g_client.ensure();
        return create();
    };
    return cls;
}

pa::ServerDescription describeServer() {
    namespace fw = platform::framework;
    pa::ServerDescription d;
    d.categories = {
        {pa::category::SafeForScripting, "Controls that are safely scriptable"},
        {pa::category::SafeForInitializing, "Controls safely initializable from persistent data"}};

    pa::ServerClass control = serverClass(guid::Quillon, messageText(msg::TypeName), kControlProgId,
                                          true, [] { return CQuillonCtrl::create(); });
    control.control = true;
    control.miscStatus = kMiscStatus;
    control.toolboxBitmap = kToolboxBitmap;
    control.implementedCategories = {pa::category::SafeForScripting,
                                     pa::category::SafeForInitializing};
    d.classes.push_back(std::move(control));
    d.classes.push_back(serverClass(guid::QuillonPropPage, messageText(msg::PropPageName),
                                    kPropPageProgId, false,
                                    &fw::PropertyPageClass<CQuillonPropPage>::create));
    d.classes.push_back(serverClass(guid::TreeContextPPg, messageText(msg::BrowserPageName),
                                    kTreePageProgId, true,
                                    &fw::PropertyPageClass<CTreeContextPPg>::create));
    d.classes.push_back(serverClass(guid::KDDriveMappings, "Drive Mappings", kDriveMappingsProgId,
                                    true, [] { return KDDriveMappings::create(); }));

    // The version resource is the file's: every class it serves answers with it.
    for (pa::ServerClass& cls : d.classes) cls.versionInfo = versionInfo();

    d.typeLibrary = quillonTypeLibrary();
    d.threadingModel = "Apartment";
    return d;
}

}  // namespace
}  // namespace session

TVN_AUTOMATION_SERVER(session::describeServer)
