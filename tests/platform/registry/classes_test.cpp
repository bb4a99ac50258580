// Look-ups over the user's store and the machine's class store: the user's
// registrations override, the machine's fill in, type library versions merge.
#include <gtest/gtest.h>

#include "platform/registry/classes.h"
#include "platform/registry/registration.h"
#include "platform/registry/store.h"
#include "testsupport/testsupport.h"

using namespace platform::registry;
namespace fs = std::filesystem;

namespace {

constexpr const char* kClsid = "{0A000000-0000-0000-0000-000000000001}";
constexpr const char* kOther = "{0A000000-0000-0000-0000-000000000002}";
constexpr const char* kLibId = "{0A000000-0000-0000-0000-0000000000FF}";

ClassRegistration widget(const char* clsid, const std::string& server) {
    ClassRegistration r;
    r.clsid = clsid;
    r.name = "Widget";
    r.progId = "Demo.Widget.1";
    r.versionIndependentProgId = "Demo.Widget";
    r.serverPath = server;
    return r;
}

TypeLibraryRegistration library(const std::string& version, const std::string& path) {
    return {kLibId, version, "DemoLib", path, "", 0, 0};
}

class ClassStoresTest : public ::testing::Test {
protected:
    fs::path dir = testsupport::freshDir("classes");
    Store user{dir / "user.db"};
    Store machine{dir / "machine.db"};
    ClassStores stores{{&user, &machine}};
};

TEST_F(ClassStoresTest, TheUsersRegistrationOverridesTheMachines) {
    Registration(machine).registerClass(widget(kClsid, "/usr/lib/machine.so"));
    Registration(user).registerClass(widget(kClsid, "/home/me/user.so"));
    EXPECT_EQ(stores.clsidFromProgId("demo.widget"), kClsid);
    EXPECT_EQ(stores.inprocServer(kClsid), "/home/me/user.so");
    EXPECT_EQ(stores.findClass(kClsid)->serverPath, "/home/me/user.so");

    // A user's ProgID may point to another class than the machine's.
    Registration(user).registerClass([] {
        auto r = widget(kOther, "/home/me/other.so");
        r.progId = "Demo.Widget.2";
        return r;
    }());
    EXPECT_EQ(stores.clsidFromProgId("Demo.Widget"), kOther);
    EXPECT_EQ(stores.clsidFromProgId("Demo.Widget.1"), kClsid);
}

TEST_F(ClassStoresTest, WhatOnlyTheMachineRegisteredIsFound) {
    Registration(machine).registerClass(widget(kClsid, "/usr/lib/machine.so"));
    EXPECT_EQ(stores.clsidFromProgId("Demo.Widget.1"), kClsid);
    EXPECT_EQ(stores.inprocServer(kClsid), "/usr/lib/machine.so");
    // The user registering the ProgID alone still reaches the machine's server.
    user.setValue("Classes\\My.Widget\\CLSID", "", kClsid);
    EXPECT_EQ(stores.inprocServer(*stores.clsidFromProgId("My.Widget")), "/usr/lib/machine.so");
    EXPECT_FALSE(stores.clsidFromProgId("Nobody.Registered"));
    EXPECT_FALSE(stores.findClass(kOther));
}

TEST_F(ClassStoresTest, TypeLibraryVersionsMergeAndTheUserWinsATie) {
    Registration(machine).registerTypeLibrary(library("1.2", "/usr/lib/machine.so"));
    Registration(user).registerTypeLibrary(library("1.1", "/home/me/old.so"));
    auto found = stores.findTypeLibrary(kLibId);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->registration.version, "1.2");
    EXPECT_EQ(found->store, &machine);
    found = stores.findTypeLibrary(kLibId, "1.1");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->store, &user);

    Registration(user).registerTypeLibrary(library("1.2", "/home/me/new.so"));
    found = stores.findTypeLibrary(kLibId);
    EXPECT_EQ(found->registration.path, "/home/me/new.so");
    EXPECT_EQ(found->store, &user);
    EXPECT_FALSE(stores.findTypeLibrary(kLibId, "2.0"));
}

TEST(ClassStoresDefault, OpensTheMachineStoreOnlyWhenItExistsAndOnlyForReading) {
    const fs::path dir = testsupport::freshDir("default");
    testsupport::ScopedEnv userDb("REGISTRY_DB", (dir / "user.db").string());
    testsupport::ScopedEnv machineDb("MACHINE_REGISTRY_DB", (dir / "machine.db").string());
    EXPECT_EQ(ClassStores::openDefault().stores().size(), 1u);
    EXPECT_FALSE(fs::exists(dir / "machine.db"));

    {
        Store machine(dir / "machine.db");
        Registration(machine).registerClass(widget(kClsid, "/usr/lib/machine.so"));
    }
    const ClassStores stores = ClassStores::openDefault();
    ASSERT_EQ(stores.stores().size(), 2u);
    EXPECT_EQ(stores.stores()[1]->access(), Store::Access::ReadOnly);
    EXPECT_EQ(stores.inprocServer(kClsid), "/usr/lib/machine.so");

    // The same file named twice is looked at once.
    testsupport::ScopedEnv same("MACHINE_REGISTRY_DB", (dir / "user.db").string());
    EXPECT_EQ(ClassStores::openDefault().stores().size(), 1u);
}

}  // namespace
