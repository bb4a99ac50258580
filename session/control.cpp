// The session control: construction, the dispatch map of `_DQuillon`,
// persistence, drawing, and the login, logout and name members.
#include "session/control.h"

#include <mutex>

#include "platform/framework/library.h"
#include "platform/framework/osversion.h"
#include "platform/text/casefold.h"
#include "session/drives.h"
#include "session/errors.h"
#include "session/glyph.h"
#include "session/loginrequest.h"
#include "session/namepath.h"
#include "session/notices.h"
#include "session/typelib.h"

namespace session {
namespace {

using platform::text::equalsIgnoringCase;

constexpr const char* kCaption = "Marrel Session Control";
constexpr const char* kServerClass = "KXP Server";
constexpr std::uint16_t kFirstDirectoryServerVersion = 4000;

// The login-dialog library of the process: chosen by the first control that
// is built and changed once, for good, when it lacks the entry point.
std::mutex g_libraryMutex;
bool g_libraryChosen = false;
std::string g_libraryName;

void chooseLoginLibrary(const std::string& name) {
    std::lock_guard lock(g_libraryMutex);
    if (g_libraryChosen) return;
    g_libraryChosen = true;
    g_libraryName = name;
}

void replaceLoginLibrary(const std::string& name) {
    std::lock_guard lock(g_libraryMutex);
    g_libraryChosen = true;
    g_libraryName = name;
}

// The user part of a dotted name: everything up to its first ".".
std::string leafOf(const std::string& dotted) {
    return dotted.substr(0, dotted.find('.'));
}

// Remembers the session's preferred tree and puts it back when it goes out
// of scope, unless told to keep what was set meanwhile. A preferred tree
// that cannot be read cannot be put back either.
class PreferredTreeRestore {
public:
    PreferredTreeRestore() {
        DirContext context;
        restore_ = context.create() == KD_SUCCESS && context.treeName(previous_) == KD_SUCCESS;
    }
    ~PreferredTreeRestore() {
        if (restore_) kddirs_set_preferred_tree(previous_.c_str());
    }
    PreferredTreeRestore(const PreferredTreeRestore&) = delete;
    PreferredTreeRestore& operator=(const PreferredTreeRestore&) = delete;

    void keep() { restore_ = false; }

private:
    std::string previous_;
    bool restore_ = false;
};

}  // namespace

std::string CQuillonCtrl::loginLibraryName() {
    std::lock_guard lock(g_libraryMutex);
    return g_libraryName;
}

void CQuillonCtrl::setLoginLibraryName(const std::string& platformName) {
    replaceLoginLibrary(platformName);
}

void CQuillonCtrl::describe(pa::MapBuilder<CQuillonCtrl>& b) {
    using C = CQuillonCtrl;
    struct Flag {
        pa::DispId id;
        const char* name;
        std::int32_t C::*field;
        const char* help;
        int helpContext;
    };
    static const Flag flags[] = {
        {dispid::AutoClose, "AutoClose", &C::autoClose_,
         "Controls whether or not the login results window is automatically closed or requires "
         "the user to dismiss the dialog manually.",
         951},
        {dispid::Bindery, "Bindery", &C::bindery_,
         "Determines whether or not the object performs a bindery login or a directory login.",
         952},
        {dispid::ConnectionTab, "ConnectionTab", &C::connectionTab_,
         "Controls whether or not the Kalder login dialog displays the connection dialog tab.",
         953},
        {dispid::ScriptTab, "ScriptTab", &C::scriptTab_,
         "Controls whether or not the Kalder login dialog displays the script dialog tab.", 959},
        {dispid::VariablesTab, "VariablesTab", &C::variablesTab_,
         "Controls whether or not the Kalder login dialog displays the variables dialog tab.", 960},
        {dispid::RunScripts, "RunScripts", &C::runScripts_,
         "Controls whether or not the Kalder login will execute the user\u2019s login script "
         "after a successful login.",
         958},
        {dispid::DisplayResults, "DisplayResults", &C::displayResults_,
         "Determines whether or not the Kalder login window displays results after a login "
         "attempt.",
         956},
    };
    for (const Flag& f : flags)
        b.property(
             f.id, f.name, [field = f.field](C& c) { return c.*field != 0; },
             [field = f.field, id = f.id](C& c, bool v) { c.setFlag(c.*field, v, id); })
            .help(f.help, f.helpContext);
    b.property(dispid::DriveMappings, "DriveMappings", [](C&) { return KDDriveMappings::create(); })
        .help("Returns the network drives that are mapped for the user for this session.", 957)
        .returns("IKDDriveMappings");
    b.property(dispid::ConnectedServers, "ConnectedServers", [](C&) { return connectedServers(); })
        .help("Returns the names of the connected servers.", 35)
        .returns("IKDNetworkNames");
    b.property(dispid::ConnectedTrees, "ConnectedTrees", [](C&) { return connectedTrees(); })
        .help("Returns the names of the connected trees.", 36)
        .returns("IKDNetworkNames");
    b.property(dispid::ConnectedVolumes, "ConnectedVolumes", [](C&) { return connectedVolumes(); })
        .help("Returns the names of the connected volumes.", 37)
        .returns("IKDNetworkNames");
    b.property(dispid::ServerNames, "ServerNames", [](C&) { return serverNames(); })
        .help("Collection containing all the servers on the network.", 43)
        .returns("IKDNetworkNames");
    b.property(dispid::TreeNames, "TreeNames", [](C&) { return treeNames(); })
        .help("Collection containing all the trees on the network.", 38)
        .returns("IKDNetworkNames");
    b.property(dispid::DefaultFullName, "DefaultFullName", &C::defaultFullName,
               &C::setDefaultFullName)
        .help("Sets and returns the user\u2019s default full name.", 954);
    b.property(dispid::CapturedPorts, "CapturedPorts", &C::capturedPorts)
        .help("Collection of captured printer ports.", 18)
        .returns("IKDCapturedPorts");
    b.method(dispid::Login, "Login", &C::login, {"FullName", "LoginName", "Password", "ShowUI"})
        .help("Logs into a server or tree.", 982);
    b.method(dispid::Logout, "Logout", &C::logout, {"FullName"})
        .help("Logs out of a server or tree", 983);
    b.method(dispid::LoginName, "LoginName", &C::loginName, {"Name"})
        .help("Returns the user's login name for the specified tree or server.", 175)
        .returns("IKDNetworkName");
    b.method(dispid::DefaultFullNameFromTreeName, "DefaultFullNameFromTreeName",
             &C::defaultFullNameFromTreeName, {"TreeName"})
        .help("Returns the user\u2019s default full name for the specified tree.", 31);
    b.method(dispid::AboutBox, "AboutBox", &C::aboutBox);
}

CQuillonCtrl::CQuillonCtrl() : events_({std::string(guid::DQuillonEvents)}) {
    loginRecords_.reserve(10);
    setInitialSize(kControlSize, kControlSize);
    switch (platform::framework::queryOsVersion().platform) {
        case platform::framework::OsPlatform::Win32s:
            notices().messageBox("This control will not function under Win32s.", kCaption,
                                 kStyleExclamationOk);
            break;
        case platform::framework::OsPlatform::Windows95:
            nt_ = false;
            chooseLoginLibrary("VESTA95.DLL");
            break;
        case platform::framework::OsPlatform::WindowsNT:
            nt_ = true;
            chooseLoginLibrary("VESTANT.DLL");
            break;
    }
}

CQuillonCtrl::~CQuillonCtrl() {
    loginRecords_.clear();
    capturedPorts_.reset();
    context_.free();
}

pa::Ref<KDCapturedPorts> CQuillonCtrl::capturedPorts() {
    if (!capturedPorts_) capturedPorts_ = KDCapturedPorts::create();
    capturedPorts_->refresh();
    return capturedPorts_;
}

std::vector<std::string> CQuillonCtrl::propertyPages() const {
    return {std::string(guid::QuillonPropPage), std::string(guid::TreeContextPPg)};
}

void CQuillonCtrl::setFlag(std::int32_t& flag, bool value, pa::DispId id) {
    flag = value ? 1 : 0;
    boundPropertyChanged(id);
}

void CQuillonCtrl::doPropExchange(platform::framework::PropExchange& px) {
    std::uint16_t major = 1, minor = 2;
    px.exchangeVersion(major, minor);
    px.exchangeStockProps(stockFlags_);
    px.exchangeBool("AutoClose", autoClose_, false);
    px.exchangeBool("ConnectionTab", connectionTab_, false);
    px.exchangeBool("ScriptTab", scriptTab_, false);
    px.exchangeBool("VariablesTab", variablesTab_, false);
    px.exchangeBool("Bindery", bindery_, false);
    px.exchangeBool("RunScripts", runScripts_, false);
    px.exchangeBool("DisplayResults", displayResults_, false);
}

void CQuillonCtrl::onDraw(QPainter& painter, const QRect& bounds) {
    painter.fillRect(bounds, ambientBackColor());
    platform::framework::drawRaisedEdge(painter, bounds);
    painter.setPen(QColor(Qt::black));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bounds.adjusted(0, 0, -1, -1));
    platform::framework::drawTransparentBitmap(painter, bounds.topLeft() + QPoint(6, 6),
                                               controlBitmap(), controlMask());
}

std::string CQuillonCtrl::checkFullName(std::string_view fullName) {
    contextText_.clear();
    std::string_view name = trimLeadingBlanks(fullName);
    if (!hasDirectoryPrefix(name)) {
        treeFlag_ = false;
        if (name.starts_with("\\\\")) name.remove_prefix(2);
        return std::string(name);
    }
    const NamePath path = NamePath::fromFullName(name.substr(4));
    if (!path.isValid()) {
        if (!ambientUserMode()) return {};
        raiseMessage(msg::InvalidObject);
    }
    if (path.components().empty()) {
        treeFlag_ = true;
        return path.tree();
    }

    char baseClass[KD_MAX_CLASS_NAME] = {};
    int rc = setUpContext(context_, contextSpecification(name));
    if (rc == KD_SUCCESS) rc = kddirs_read_base_class(context_.handle(), "", baseClass);
    if (rc != KD_SUCCESS) {
        const auto& parts = path.components();
        const std::string& above = parts.size() >= 2 ? parts[parts.size() - 2] : path.tree();
        if (above == path.tree()) {
            // Not in the directory, but placed where a server would be named
            // by itself: a server known to the network.
            const std::string& server = parts.back();
            KDCONNHANDLE conn = 0;
            const int first = kdserv_open_connection(server.c_str(), &conn);
            if (first != KD_SUCCESS && kdconn_open_by_name(server.c_str(), &conn) != KD_SUCCESS)
                raiseMessage(msg::NotAFileServer, first);
            // A version that cannot be read says nothing about the server:
            // the client's own error tells the caller what went wrong.
            std::uint16_t version = 0;
            check(kdserv_server_version(conn, &version));
            if (version < kFirstDirectoryServerVersion) raiseMessage(msg::NotADirectoryServer, 0);
            treeFlag_ = false;
            return server;
        }
        if (!ambientUserMode()) return {};
        raiseMessage(msg::InvalidObject, rc);
    }
    if (fromBuffer(baseClass, sizeof baseClass) != kServerClass) {
        contextText_ = path.context();
        treeFlag_ = true;
        return path.tree();
    }
    contextText_ = path.parent().context();
    treeFlag_ = false;
    return path.components().back();
}

bool CQuillonCtrl::login(std::string fullName, std::string loginName, std::string password,
                         bool showUI) {
    LoginTarget target;
    target.name = checkFullName(fullName);
    target.kind = treeFlag_  ? LoginKind::Tree
                  : bindery_ ? LoginKind::BinderyServer
                             : LoginKind::DirectoryServer;
    target.contextText = contextText_;
    target.loginName = loginName;
    target.password = password;
    if (!LoginRequest::fits(target)) return false;

    // Under Win32s no library was chosen, and the user was told so when the
    // control was built.
    std::string libraryName = loginLibraryName();
    if (libraryName.empty()) return false;
    auto library = platform::framework::Library::load(libraryName);
    if (!library) {
        notices().messageBox("The required library '" + libraryName + "' could not be found.",
                             kCaption, kStyleExclamationOk);
        return false;
    }
    auto entry = library->entryAs<KDLoginUIProc>("KDLoginUI");
    if (!entry) {
        library.reset();
        libraryName = nt_ ? "PORTANT.DLL" : "PORTA95.DLL";
        replaceLoginLibrary(libraryName);
        library = platform::framework::Library::load(libraryName);
        if (!library) return false;
        entry = library->entryAs<KDLoginUIProc>("KDLoginUI");
        if (!entry) return false;
    }

    LoginOptions options;
    options.autoClose = autoClose_;
    options.connectionTab = connectionTab_;
    options.scriptTab = scriptTab_;
    options.variablesTab = variablesTab_;
    options.runScripts = runScripts_;
    options.displayResults = displayResults_;
    LoginRequest request(target, options, showUI);
    if (request.call(entry) != 0) return false;
    if (!showUI && displayResults_) {
        LoginRequest results(target, options, showUI, true);
        results.call(entry);
    }

    const std::string tree = request.treeName();
    const std::string name = tree.empty() ? request.serverName() : tree;
    const int kind = target.kind == LoginKind::Tree ? 0 : 1;
    bool known = false;
    for (const LoginRecord& r : loginRecords_)
        known = known || (r.kind == kind && equalsIgnoringCase(r.name, name));
    if (!known) loginRecords_.push_back({name, request.userName(), kind});

    library.reset();
    events_.fire({}, dispid::OnLogin, {pa::Variant(fullName)});
    return true;
}

bool CQuillonCtrl::logout(std::string fullName) {
    const std::string name = checkFullName(fullName);
    bool loggedOut = false;
    forEachConnection(
        [&](KDCONNREF, const KDConnectionInfo& info) {
            const std::string server = fromBuffer(info.serverName, sizeof info.serverName);
            const std::string tree =
                stripTreePadding(fromBuffer(info.treeName, sizeof info.treeName));
            if (equalsIgnoringCase(name, server))
                loggedOut = kdconn_close(info.connNumber) == KD_SUCCESS;
            if (!loggedOut && !tree.empty() && equalsIgnoringCase(name, tree)) {
                DirContext context;
                loggedOut = setUpContext(context, "\\\\" + tree + "\\." +
                                                      std::string(kRootContext)) == KD_SUCCESS &&
                            kddirs_logout_tree(context.handle()) == KD_SUCCESS;
            }
            return !loggedOut;
        },
        false);
    if (!loggedOut) return false;
    for (auto it = loginRecords_.begin(); it != loginRecords_.end(); ++it)
        if (equalsIgnoringCase(it->name, name)) {
            loginRecords_.erase(it);
            break;
        }
    events_.fire({}, dispid::OnLogout, {pa::Variant(fullName)});
    return true;
}

pa::Ref<KDNetObj> CQuillonCtrl::loginName(std::string fullName) {
    if (fullName.empty()) raiseMessage(msg::NotConnected, KD_ERR_NO_CONNECTION);
    const std::string name = checkFullName(fullName);
    DirContext context;
    check(context.create());

    auto trees = std::make_unique<char[][KD_MAX_TREE_NAME]>(KD_MAX_CONNECTED_TREES);
    std::uint32_t count = 0;
    check(kddirs_connected_trees(context.handle(), KD_MAX_CONNECTED_TREES, &count, trees.get()));
    for (std::uint32_t i = 0; i < count && i < KD_MAX_CONNECTED_TREES; ++i) {
        const std::string tree = stripTreePadding(fromBuffer(trees[i], KD_MAX_TREE_NAME));
        if (!equalsIgnoringCase(tree, name)) continue;
        check(context.prepareForReads());
        check(context.setTreeName(tree));
        check(context.setNameContext("[ROOT]"));
        char user[KD_MAX_DN] = {};
        check(kddirs_whoami(context.handle(), user));
        const std::string dotted = fromBuffer(user, sizeof user);
        return KDNetObj::create(NamePath::fromTreeAndContext(tree, dotted).fullName(),
                                leafOf(dotted));
    }

    std::optional<KDCONNREF> match;
    KDConnectionInfo matchInfo{};
    forEachConnection(
        [&](KDCONNREF ref, const KDConnectionInfo& info) {
            if (!equalsIgnoringCase(fromBuffer(info.serverName, sizeof info.serverName), name))
                return true;
            match = ref;
            matchInfo = info;
            return false;
        },
        false);
    if (!match) raiseMessage(msg::NotConnected, KD_ERR_NO_CONNECTION);

    ConnectionHandle conn;
    check(conn.acquire(*match));
    const std::string server = fromBuffer(matchInfo.serverName, sizeof matchInfo.serverName);
    if (matchInfo.authState == KD_AUTH_BINDERY) {
        char user[KD_MAX_OBJECT_NAME] = {};
        check(kdserv_bindery_login_name(conn.handle(), user));
        const std::string userName = fromBuffer(user, sizeof user);
        return KDNetObj::create("KDCOMPAT:\\\\" + server + "\\" + userName, userName);
    }
    if (matchInfo.authState != KD_AUTH_DIRECTORY)
        raiseMessage(msg::NotAuthenticated, KD_ERR_NOT_AUTHENTICATED);

    const std::string tree =
        stripTreePadding(fromBuffer(matchInfo.treeName, sizeof matchInfo.treeName));
    check(context.prepareForReads());
    check(context.setTreeName(tree));
    check(context.setNameContext("[ROOT]"));
    KDOBJECTID userId = 0;
    check(kdconn_item(conn.handle(), KD_CONN_ITEM_USER_ID, sizeof userId, &userId));
    char user[KD_MAX_DN] = {};
    check(kddirs_id_to_name(context.handle(), conn.handle(), userId, user));
    const std::string dotted = fromBuffer(user, sizeof user);
    return KDNetObj::create(NamePath::fromTreeAndContext(tree, dotted).fullName(), leafOf(dotted));
}

std::string CQuillonCtrl::defaultFullName() {
    std::string nameContext, tree;
    {
        DirContext context;
        if (context.create() != KD_SUCCESS || context.defaultNameContext(nameContext) != KD_SUCCESS)
            return {};
    }
    DirContext context;
    if (context.create() != KD_SUCCESS || context.treeName(tree) != KD_SUCCESS) return {};
    return NamePath::fromTreeAndContext(tree, nameContext).fullName();
}

void CQuillonCtrl::setDefaultFullName(std::string fullName) {
    // Only a directory full name can name a default context.
    if (!hasDirectoryPrefix(trimLeadingBlanks(fullName))) raiseMessage(msg::InvalidObject);
    const std::string_view name = trimLeadingBlanks(fullName);
    const NamePath path = NamePath::fromFullName(name.substr(4));
    if (!path.isValid()) raiseMessage(msg::InvalidObject);
    // The preferred tree is the session's, shared by every process of the
    // user: a name that turns out not to be usable must not leave it changed.
    PreferredTreeRestore restore;
    check(kddirs_set_preferred_tree(path.tree().c_str()));
    check(setUpContext(context_, contextSpecification(name)));
    char baseClass[KD_MAX_CLASS_NAME] = {};
    if (const int rc = kddirs_read_base_class(context_.handle(), "", baseClass)) {
        if (!ambientUserMode()) return;
        raiseMessage(msg::InvalidObject, rc);
    }
    const int rc = kddirs_set_default_name_context(context_.handle(), path.context().c_str());
    context_.free();
    check(rc);
    restore.keep();
}

std::string CQuillonCtrl::defaultFullNameFromTreeName(std::string treeName) {
    const std::string name = checkFullName(treeName);
    if (name.empty()) raiseClientError(KD_ERR_INVALID_NAME);
    std::string nameContext;
    {
        DirContext context;
        if (context.create() != KD_SUCCESS) return {};
        check(context.setTreeName(name));
        check(context.defaultNameContext(nameContext));
    }
    if (nameContext.empty()) raiseClientError(KD_ERR_INVALID_NAME);
    return NamePath::fromTreeAndContext(name, nameContext).fullName();
}

void CQuillonCtrl::aboutBox() {
    notices().aboutBox();
}

}  // namespace session
