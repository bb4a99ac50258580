// quillon-host: where a person meets an automation control. Without a
// command it opens a design-time window on the session control; `call`
// creates an object by ProgID and calls a member late-bound, which is also
// how a shell script drives the session; `info` prints a class's
// registration and `members` what its type library says of its members.
#include <QApplication>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/create.h"
#include "platform/automation/error.h"
#include "platform/framework/control.h"
#include "session/host/hostwindow.h"
#include "session/host/info.h"
#include "session/host/latebound.h"

namespace {

namespace pa = platform::automation;
using namespace quillonhost;

constexpr const char* kDefaultProgId = "QuillonLib.QuillonCtrl.1";

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr const char* kUsageText =
    "usage: quillon-host [show [PROGID]]\n"
    "       quillon-host call PROGID [--set NAME=VALUE]... MEMBER[(ARG,...)][.MEMBER...] "
    "[ARG...]\n"
    "       quillon-host info PROGID\n"
    "       quillon-host members PROGID [INTERFACE]\n"
    "       quillon-host --help\n"
    "\n"
    "  show    open a window that hosts the control in design mode (the default,\n"
    "          with QuillonLib.QuillonCtrl.1): its drawing, its properties and\n"
    "          their values, and \"Properties...\" for its property pages\n"
    "  call    create the object in run mode, set the --set properties, call\n"
    "          MEMBER and print the result on one line (a collection one item\n"
    "          per line). MEMBER.SUB walks into returned objects, MEMBER(i)\n"
    "          indexes a collection. A settable property given one ARG is set.\n"
    "  info    print the registration of the class: ProgID, class id, server,\n"
    "          type library and version, threading, misc status, categories,\n"
    "          property pages and version information\n"
    "  members print the members of the class from its type library: DISPID,\n"
    "          kind, parameters and help string, then the library's constants;\n"
    "          with INTERFACE those of another interface or class of the library\n"
    "\n"
    "Arguments that read as integers are passed as integers, decimals (1.5) as\n"
    "Doubles, true and false as Booleans, null as Null, a constant of the\n"
    "class's type library (LPT2) as its value, anything else (or anything in\n"
    "double quotes) as a string. The window needs a display; call, info and\n"
    "members work without one.\n"
    "Classes are looked up in the user's registry store (REGISTRY_DB, or the\n"
    "user's own), then in the machine's class store (MACHINE_REGISTRY_DB, or\n"
    "/var/lib/tolvane/classes.db).\n"
    "\n"
    "Exit status: 0 done; 1 the object could not be created, the call raised an\n"
    "error (printed as \"error N: text\" on standard error) or the class is not\n"
    "registered; 2 the command line was not understood, or the window was asked\n"
    "for where there is no display.\n";

int usage(const std::string& why) {
    std::cerr << "quillon-host: " << why << " (see quillon-host --help)\n";
    return kUsage;
}

// The container of a run-time call: user mode, nothing shown.
class RunSite : public platform::framework::ControlSite {
public:
    bool ambientUserMode() const override { return true; }
};

int call(const std::vector<std::string>& args) {
    if (args.empty()) return usage("call needs a ProgID and a member");
    const std::string& progId = args[0];
    // The constants of the class's type library stand for their values, as
    // they do in a host that refers to the library.
    const std::optional<pa::TypeLibrary> library = typeLibraryOf(progId);
    const pa::TypeLibrary* constants = library ? &*library : nullptr;
    std::vector<std::pair<std::string, pa::Variant>> settings;
    std::size_t next = 1;
    while (next < args.size() && args[next] == "--set") {
        if (next + 1 >= args.size()) return usage("--set needs NAME=VALUE");
        const std::string& setting = args[next + 1];
        const auto equals = setting.find('=');
        if (equals == std::string::npos || equals == 0)
            return usage("\"" + setting + "\" is not NAME=VALUE");
        settings.emplace_back(
            setting.substr(0, equals),
            parseArgument(std::string_view(setting).substr(equals + 1), constants));
        next += 2;
    }
    if (next >= args.size()) return usage("call needs a member after the ProgID");
    std::vector<PathStep> path;
    try {
        path = parseMemberPath(args[next], constants);
    } catch (const std::invalid_argument& e) {
        return usage(e.what());
    }
    pa::Args lastArgs;
    for (std::size_t i = next + 1; i < args.size(); ++i)
        lastArgs.push_back(parseArgument(args[i], constants));

    RunSite site;
    try {
        const pa::Ref<pa::Object> object = pa::createObject(progId);
        auto* control = dynamic_cast<platform::framework::ControlBase*>(object.get());
        if (control) control->setClientSite(&site);
        struct Unsite {
            platform::framework::ControlBase* control;
            ~Unsite() {
                if (control) control->setClientSite(nullptr);
            }
        } unsite{control};
        for (const auto& [name, value] : settings) object->put(name, value);
        const pa::Variant result = callPath(*object, path, lastArgs);
        for (const std::string& line : resultLines(result)) std::cout << line << "\n";
    } catch (const pa::AutomationError& e) {
        std::cout.flush();
        std::cerr << errorLine(e.code(), e.description()) << "\n";
        return kFailed;
    }
    return kDone;
}

constexpr const char* kNoDisplay =
    "the window needs a display; call, info and members work without one";

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Qt ends the process when it cannot open its platform (no display, a
// display that does not answer, a platform plugin that is missing); the
// person is told what it means instead, and the status is a usage one.
QtMessageHandler g_qtHandler = nullptr;

void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (g_qtHandler)
            g_qtHandler(type, context, message);
        else
            std::cerr << message.toStdString() << "\n";
        return;
    }
    // Qt's first sentence says what failed; its advice to reinstall does not apply.
    const std::string text = message.toStdString();
    std::cerr << "quillon-host: " << kNoDisplay << " ("
              << text.substr(0, std::min(text.find(". "), text.find('\n'))) << ")\n";
    std::_Exit(kUsage);
}

int show(int argc, char** argv, const std::string& progId) {
    if (!isSet("QT_QPA_PLATFORM") && !isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY")) {
        std::cerr << "quillon-host: " << kNoDisplay
                  << " (neither DISPLAY nor WAYLAND_DISPLAY is set)\n";
        return kUsage;
    }
    g_qtHandler = qInstallMessageHandler(onQtMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_qtHandler);
    QApplication::setApplicationName("quillon-host");
    HostWindow window(progId);
    window.show();
    return app.exec() == 0 ? kDone : kFailed;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return show(argc, argv, kDefaultProgId);
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsageText;
        return kDone;
    }
    if (command == "show") {
        if (rest.size() > 1) return usage("show takes at most one ProgID");
        return show(argc, argv, rest.empty() ? kDefaultProgId : rest[0]);
    }
    if (command == "call") return call(rest);
    if (command == "info" && rest.size() != 1) return usage("info takes one ProgID");
    if (command == "members" && (rest.empty() || rest.size() > 2))
        return usage("members takes a ProgID and perhaps an interface of its type library");
    if (command == "info" || command == "members") {
        try {
            return command == "info"
                       ? printInfo(rest[0], std::cout, std::cerr)
                       : printMembers(rest[0], rest.size() > 1 ? rest[1] : std::string(), std::cout,
                                      std::cerr);
        } catch (const std::exception& e) {
            std::cerr << "quillon-host: " << e.what() << "\n";
            return kFailed;
        }
    }
    return usage("unknown command \"" + command + "\"");
}
