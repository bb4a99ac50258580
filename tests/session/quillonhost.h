// The host's side of the session-control tests: the control registered into
// the test's private registry and created by ProgID, a network of the client
// stand-in for each test, and small helpers for late-bound calls.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/automation/create.h"
#include "platform/automation/enumerator.h"
#include "platform/automation/events.h"
#include "platform/framework/control.h"
#include "platform/registry/registration.h"
#include "session/notices.h"
#include "testsupport/testsupport.h"

namespace quillontest {

namespace pa = platform::automation;
namespace fs = std::filesystem;
using pa::Variant;

constexpr const char* kProgId = "QuillonLib.QuillonCtrl.1";

struct Notice {
    int kind;
    std::string text, caption;
    int style;
};
inline std::vector<Notice> g_notices;

inline void recordNotice(int kind, const char* text, const char* caption, int style, void*) {
    g_notices.push_back({kind, text, caption, style});
}

inline fs::path serverPath() {
    return testsupport::libDir() / "libquillon.so";
}

inline int codeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const pa::AutomationError& e) {
        return e.code();
    }
    return 0;
}

inline pa::AutomationError errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const pa::AutomationError& e) {
        return e;
    }
    return pa::AutomationError(0, "no error");
}

inline std::vector<std::string> shortNames(pa::Object& collection) {
    std::vector<std::string> names;
    for (const Variant& item : pa::enumerate(collection))
        names.push_back(item.toObject()->get("ShortName").toString());
    return names;
}

inline std::vector<std::string> fullNames(pa::Object& collection) {
    std::vector<std::string> names;
    const int count = collection.get("Count").toInt32();
    for (int i = 0; i < count; ++i)
        names.push_back(collection.get("Item", {Variant(std::int32_t(i))})
                            .toObject()
                            ->get("FullName")
                            .toString());
    return names;
}

class QuillonHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const pa::ServerLibrary& server = pa::loadServer(serverPath());
        ASSERT_EQ(server.registerServer(), 0) << pa::lastServerError();
        void* handle = dlopen(serverPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_TRUE(handle);
        auto setHook = reinterpret_cast<void (*)(QuillonNoticeHook, void*)>(
            dlsym(handle, "QuillonSetNoticeHook"));
        ASSERT_TRUE(setHook);
        setHook(&recordNotice, nullptr);
    }

    void SetUp() override {
        g_notices.clear();
        fs::create_directories(unc_);
    }

    pa::Ref<pa::Object> create() { return pa::createObject(kProgId); }

    // Folders below the network root, e.g. "FS1/SYS/PUBLIC".
    void makeFolders(std::initializer_list<const char*> folders) {
        for (const char* folder : folders) fs::create_directories(unc_ / folder);
    }

    // The test network with `change` applied, as a file of its own; the
    // directory stays the fixture's.
    fs::path networkVariant(const std::function<void(nlohmann::json&)>& change) {
        const fs::path fixture = testsupport::dataDir() / "session" / "network.json";
        nlohmann::json network = nlohmann::json::parse(testsupport::readFile(fixture));
        network["directory"] = (fixture.parent_path() / "directory.ldif").string();
        change(network);
        const fs::path file = testsupport::freshDir("network") / "network.json";
        testsupport::writeFile(file, network.dump(2));
        return file;
    }

    // Runs the client's command-line tool on this test's network and session.
    static int kdclient(const std::string& arguments) {
        const std::string command =
            (testsupport::binDir() / "kdclient").string() + " " + arguments + " >/dev/null 2>&1";
        return std::system(command.c_str());
    }

    // A login through the real library with the given options.
    bool login(pa::Object& control, const std::string& fullName, const std::string& user,
               const std::string& password, bool showUI = false) {
        return control
            .call("Login", {Variant(fullName), Variant(user), Variant(password), Variant(showUI)})
            .toBool();
    }

    std::vector<nlohmann::json> traced() const {
        std::vector<nlohmann::json> lines;
        std::ifstream in(trace_);
        for (std::string line; std::getline(in, line);)
            lines.push_back(nlohmann::json::parse(line));
        return lines;
    }

    fs::path unc_ = testsupport::freshDir("unc");
    fs::path trace_ = testsupport::freshDir("trace") / "kdlogin.jsonl";
    testsupport::ScopedEnv network_{"KDCLIENT_NETWORK",
                                    (testsupport::dataDir() / "session" / "network.json").string()};
    testsupport::ScopedEnv state_{"KDCLIENT_STATE",
                                  (testsupport::freshDir("session") / "state.json").string()};
    testsupport::ScopedEnv root_{"UNC_ROOT", unc_.string()};
    testsupport::ScopedEnv directory_{"KDDIR_SOURCE", nullptr};
    testsupport::ScopedEnv libraries_{"TVN_LIBRARY_PATH", nullptr};
    testsupport::ScopedEnv trace_env_{"KDLOGIN_TRACE", trace_.string()};
};

}  // namespace quillontest
