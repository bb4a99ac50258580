// The machine's class store with a real server library: regsrv --machine
// writes it, creation finds what it holds, a user's own registration
// overrides it, and a user can read it but never write it.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "errorcode.h"
#include "platform/automation/automation.h"
#include "platform/registry/classes.h"
#include "platform/registry/registration.h"
#include "platform/registry/store.h"
#include "test_server.h"
#include "testsupport/testsupport.h"

namespace {

using namespace platform::automation;
using platform::registry::ClassStores;
using platform::registry::Registration;
using platform::registry::RegistryError;
using platform::registry::Store;
namespace fs = std::filesystem;

// A command run by a user who is not the store's owner: "nobody" when the
// tests run as root, else the tests' own user (the store made read-only).
testsupport::ProgramRun asAnotherUser(std::vector<std::string> command) {
    std::string program = "setpriv";
    if (geteuid() == 0) {
        command.insert(command.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups"});
    } else {
        program = command.front();
        command.erase(command.begin());
    }
    return testsupport::runProgram(program, command);
}

class ClassStoreTest : public ::testing::Test {
protected:
    fs::path dir = testsupport::freshDir("classstore");
    fs::path user = dir / "user" / "registry.db";
    fs::path machine = dir / "var" / "lib" / "tolvane" / "classes.db";
    testsupport::ScopedEnv userEnv{"REGISTRY_DB", user.string()};
    testsupport::ScopedEnv machineEnv{"MACHINE_REGISTRY_DB", machine.string()};

    // regsrv as a separate process, as an administrator runs it.
    testsupport::ProgramRun regsrv(std::vector<std::string> options) {
        options.push_back(TEST_SERVER_PATH);
        return testsupport::runProgram(REGSRV_PATH, options);
    }
};

TEST_F(ClassStoreTest, AMachineRegistrationIsFoundWithoutAnyOfTheUsers) {
    const auto run = regsrv({"--machine"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(machine.string()), std::string::npos) << run.out;
    EXPECT_EQ(fs::status(machine).permissions() & fs::perms::others_read, fs::perms::others_read);

    Ref<Object> counter = createObject("TestLib.Counter");
    counter->put("Count", 1);
    EXPECT_EQ(counter->call("Increment").toInt32(), 2);
    ASSERT_TRUE(loadTypeLibrary(testserver::kLibraryId));
    EXPECT_EQ(loadTypeLibrary(testserver::kLibraryId)->name, "TestLib");
    // Nothing was written for the user but the empty store itself.
    Store own(user);
    EXPECT_FALSE(Registration(own).clsidFromProgId("TestLib.Counter"));
}

TEST_F(ClassStoreTest, AUsersRegistrationOverridesTheMachines) {
    ASSERT_EQ(regsrv({"--machine"}).status, 0);
    {
        // The machine's class now points to a library that is gone.
        Store store(machine);
        store.setValue(
            "Classes\\CLSID\\" + std::string(testserver::kCounterClsid) + "\\InprocServer32", "",
            "/nonexistent/libgone.so");
    }
    EXPECT_NE(codeOf([] { createObject("TestLib.Counter"); }), 0);

    ASSERT_EQ(regsrv({}).status, 0);  // the user's own registration
    Ref<Object> counter = createObject("TestLib.Counter");
    EXPECT_EQ(counter->get("Name").toString(), "counter");
    const ClassStores stores = ClassStores::openDefault();
    EXPECT_EQ(fs::path(*stores.inprocServer(testserver::kCounterClsid)),
              fs::canonical(TEST_SERVER_PATH));
}

TEST_F(ClassStoreTest, UnregisteringFromTheMachineLeavesTheUsersAlone) {
    ASSERT_EQ(regsrv({"--machine"}).status, 0);
    ASSERT_EQ(regsrv({}).status, 0);
    const auto run = regsrv({"--machine", "/u"});
    ASSERT_EQ(run.status, 0) << run.err;
    {
        Store store(machine, std::chrono::seconds(1), Store::Access::ReadOnly);
        EXPECT_FALSE(Registration(store).clsidFromProgId("TestLib.Counter"));
        EXPECT_FALSE(Registration(store).findTypeLibrary(testserver::kLibraryId));
    }
    Store own(user);
    EXPECT_EQ(Registration(own).clsidFromProgId("TestLib.Counter"), testserver::kCounterClsid);
    EXPECT_TRUE(Registration(own).findTypeLibrary(testserver::kLibraryId));
    EXPECT_EQ(createObject("TestLib.Bag")->get("Count").toInt32(), 0);
}

// What a user who is not the store's owner can do with it, checked in a child
// process: as root the child becomes "nobody"; otherwise the store's file and
// folder are made read-only first. Answers the failed checks, one a line.
std::string checksAsAnotherUser(const fs::path& machine) {
    std::string failed;
    const auto check = [&](bool ok, const std::string& what) {
        if (!ok) failed += what + "\n";
    };
    try {
        Store store(machine);
        store.setValue("Classes\\Intruder", "", "x");
        check(false, "the store was opened for writing and written");
    } catch (const RegistryError& e) {
        check(e.kind() == RegistryError::Kind::ReadOnly,
              std::string("writing failed for another reason: ") + e.what());
    }
    try {
        Store store(machine, std::chrono::seconds(1), Store::Access::ReadOnly);
        check(Registration(store).clsidFromProgId("TestLib.Counter") == testserver::kCounterClsid,
              "the machine's registration cannot be read");
    } catch (const std::exception& e) {
        check(false, std::string("the store cannot be read: ") + e.what());
    }
    return failed;
}

TEST_F(ClassStoreTest, AUserCanReadTheMachineStoreButNotWriteIt) {
    ASSERT_EQ(regsrv({"--machine"}).status, 0);
    const bool root = geteuid() == 0;
    if (root) {
        // "nobody" must reach the store through the private home.
        fs::permissions(testsupport::home(), fs::perms::others_exec, fs::perm_options::add);
    } else {
        fs::permissions(machine,
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::permissions(machine.parent_path(), fs::perms::owner_read | fs::perms::owner_exec |
                                                   fs::perms::others_read | fs::perms::others_exec);
    }
    const auto before = testsupport::readFile(machine);

    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(report[0]);
        std::string failed;
        if (root && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            failed = "cannot become nobody\n";
        else
            failed = checksAsAnotherUser(machine);
        if (!failed.empty() && write(report[1], failed.data(), failed.size()) < 0) _exit(2);
        _exit(failed.empty() ? 0 : 1);
    }
    close(report[1]);
    std::string failed;
    char buffer[512];
    for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;)
        failed.append(buffer, static_cast<std::size_t>(n));
    close(report[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << failed;

    // regsrv run by that user: refused before anything is loaded for the
    // system's store, refused by the file for a store named in the environment.
    auto run = asAnotherUser(
        {"env", "-u", "MACHINE_REGISTRY_DB", REGSRV_PATH, "--machine", "/u", TEST_SERVER_PATH});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("only root may write the machine's class store"), std::string::npos)
        << run.err;
    run = asAnotherUser({REGSRV_PATH, "--machine", "/u", TEST_SERVER_PATH});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("cannot write the machine's class store"), std::string::npos) << run.err;

    EXPECT_EQ(testsupport::readFile(machine), before);

    if (root)
        fs::permissions(testsupport::home(), fs::perms::others_exec, fs::perm_options::remove);
}

}  // namespace
