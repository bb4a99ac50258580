// The entry point "KDLoginUI": reads the login request, checks the account
// against the network description and authenticates a connection of the
// session (mode 5 silently, mode 2 through the login dialog when the host runs
// a QApplication), or reports the login (mode 1). KDLOGIN_TRACE, when set,
// names a file that gets one JSON line per call, so that tests of a caller
// can see exactly what it asked for.
#include <QApplication>
#include <QThread>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

#include "kdlogin.h"
#include "kdtypes.h"
#include "outside/client/errors.h"
#include "outside/client/names.h"
#include "outside/client/session.h"
#include "outside/login/dialog.h"
#include "outside/login/request.h"

using outside::client::Client;
using outside::client::ClientError;
using outside::client::Connection;
using outside::client::sameName;
using namespace outside::login;

namespace {

// Widgets need a QApplication and its thread; called from any other thread the
// library works as in silent mode rather than crash the host.
bool haveWidgets() {
    const auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

void login(const Client& client, Request& r) {
    if (r.treeLogin) {
        const auto outcome = client.loginTree(r.tree, r.loginName, r.password, r.context);
        r.tree = outcome.tree;
        r.loginName = outcome.user;
    } else {
        const auto outcome =
            client.loginServer(r.server, r.loginName, r.password, r.context, r.bindery);
        r.server = outcome.server;
        r.loginName = outcome.user;
    }
}

// What the session says about the request's tree or server; throws
// KD_ERR_NOT_AUTHENTICATED when nobody is logged in there.
std::string results(const Client& client, const Request& r) {
    for (const Connection& c : client.state().connections) {
        if (r.treeLogin && c.authState == 2 && sameName(c.tree, r.tree))
            return "Logged in to tree " + c.tree + " as " + c.user + " (through server " +
                   c.server + ", connection " + std::to_string(c.number) + ").";
        if (!r.treeLogin && c.authState != 0 && sameName(c.server, r.server))
            return "Logged in to server " + c.server + " as " + c.user +
                   (c.authState == 1 ? " (bindery)" : " (directory)") + ", connection " +
                   std::to_string(c.number) + ".";
    }
    throw ClientError(
        KD_ERR_NOT_AUTHENTICATED,
        "nobody is logged in to " + std::string(r.treeLogin ? "tree " : "server ") + r.target());
}

void trace(const Request& r, int32_t result) {
    const char* file = std::getenv("KDLOGIN_TRACE");
    if (!file || !*file) return;
    const nlohmann::json line = {{"mode", r.mode},
                                 {"autoClose", r.autoClose},
                                 {"treeLogin", r.treeLogin},
                                 {"tabs", r.tabs},
                                 {"bindery", r.bindery},
                                 {"runScript", r.runScript},
                                 {"showResults", r.showResults},
                                 {"server", r.server},
                                 {"tree", r.tree},
                                 {"loginName", r.loginName},
                                 {"context", r.context},
                                 {"passwordLength", r.password.size()},
                                 {"result", result}};
    std::ofstream out(file, std::ios::app);
    out << line.dump() << "\n";
}

}  // namespace

extern "C" int32_t KDLoginUI(void* owner, void* data, void* options) {
    (void)owner;  // our dialogs are modal to the application
    Request asked;
    bool understood = false;
    const int32_t result = outside::client::guarded([&] {
        auto* bytes = static_cast<uint8_t*>(data);
        Request r = readRequest(bytes, static_cast<const uint8_t*>(options));
        asked = r;
        understood = true;
        const Client client = Client::current();
        if (r.mode == KDLOGIN_MODE_RESULTS) {
            const std::string text = results(client, r);
            if (haveWidgets()) showResults(r, text);
            return;
        }
        if (r.mode == KDLOGIN_MODE_DIALOG && haveWidgets()) {
            LoginDialog dialog(r, [&](Request& trial) -> std::string {
                try {
                    login(client, trial);
                    return {};
                } catch (const std::exception& e) {
                    return e.what();
                }
            });
            if (dialog.exec() != QDialog::Accepted)
                throw ClientError(KD_ERR_LOGIN_CANCELLED, "the login was cancelled");
        } else {
            login(client, r);
        }
        if (r.showResults && haveWidgets()) showResults(r, results(client, r));
        writeNames(bytes, r);
    });
    if (understood) trace(asked, result);
    return result;
}
