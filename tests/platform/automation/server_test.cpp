// The test server library end to end: self-registration (directly, through
// regsrv and through the build), creation by ProgID, late-bound calls, events,
// enumeration, the unload answer and the failures of creation.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>

#include "errorcode.h"
#include "platform/automation/automation.h"
#include "platform/registry/registration.h"
#include "platform/registry/store.h"
#include "test_server.h"
#include "testsupport/testsupport.h"

namespace {

using namespace platform::automation;
using platform::registry::Registration;
using platform::registry::Store;
namespace fs = std::filesystem;

// Runs a command line; answers its exit status and what it printed.
std::pair<int, std::string> run(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, {}};
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::vector<std::string> keysBelow(const Store& store, const std::string& key) {
    std::vector<std::string> out;
    for (const auto& sub : store.subkeys(key)) {
        out.push_back(key + "\\" + sub);
        for (const auto& [name, value] : store.values(key + "\\" + sub))
            out.push_back(name + "=" + value);
        for (auto& k : keysBelow(store, key + "\\" + sub)) out.push_back(k);
    }
    return out;
}

// Each test registers the server into a registry file of its own.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto& server = loadServer(TEST_SERVER_PATH);
        ASSERT_EQ(server.registerServer(), status::Ok) << lastServerError();
    }
    fs::path db = testsupport::freshDir("server") / "registry.db";
    testsupport::ScopedEnv env{"REGISTRY_DB", db.string()};
};

TEST_F(ServerTest, CreateByProgIdIgnoringCaseAndCall) {
    Ref<Object> counter = createObject("testlib.COUNTER.1");
    ASSERT_TRUE(counter);
    counter->put("Count", 41);
    EXPECT_EQ(counter->call("increment").toInt32(), 42);
    EXPECT_EQ(counter->call("Increment", {Variant(std::int16_t(8))}).toInt32(), 50);
    EXPECT_EQ(counter->invoke(1, CallKind::Get, {}).toInt32(), 50);
    EXPECT_EQ(counter->value().toInt32(), 50);  // default member
    EXPECT_EQ(counter->get("Name").toString(), "counter");
    // The version-independent ProgID makes the same class.
    EXPECT_EQ(createObject("TestLib.Counter")->get("Name").toString(), "counter");

    Variant text("abc");
    EXPECT_EQ(counter->call("Stamp", {Variant::byRef(text)}).toInt32(), 4);
    EXPECT_EQ(text.toString(), "abc!");
}

TEST_F(ServerTest, ReadOnlyPropertyAndBadIndex) {
    Ref<Object> counter = createObject("TestLib.Counter.1");
    EXPECT_EQ(codeOf([&] { counter->put("Name", "x"); }), error::PropertyReadOnly);
    Ref<Object> bag = createObject("TestLib.Bag");
    bag->call("Add", {"alpha"});
    bag->call("Add", {"beta"});
    EXPECT_EQ(bag->get("Count").toInt32(), 2);
    EXPECT_EQ(bag->get("Item", {Variant(1)}).toString(), "beta");
    EXPECT_EQ(bag->invoke(DispIdValue, CallKind::Get, {Variant(0.4)}).toString(), "alpha");
    EXPECT_EQ(bag->get("Item", {"BETA"}).toString(), "beta");
    EXPECT_TRUE(bag->get("Item", {"gamma"}).isNothing());
    EXPECT_EQ(codeOf([&] { bag->get("Item", {Variant(2)}); }), error::BadIndex);
    EXPECT_EQ(codeOf([&] { bag->get("Item", {Variant(-1)}); }), error::BadIndex);
    EXPECT_EQ(codeOf([&] { bag->put("Count", 3); }), error::PropertyReadOnly);
}

class ChangeSink : public Dispatchable<ChangeSink> {
public:
    static void describe(MapBuilder<ChangeSink>& b) {
        b.method(1, "Changed", &ChangeSink::changed, {"NewValue"});
    }
    void changed(std::int32_t value) { values.push_back(value); }
    std::vector<std::int32_t> values;
};

TEST_F(ServerTest, EventsReachLambdaAndObjectSinks) {
    Ref<Object> counter = createObject("TestLib.Counter.1");
    std::vector<std::int32_t> heard;
    const Cookie cookie = advise(*counter, [&](DispId id, const Args& args) {
        EXPECT_EQ(id, 1);
        heard.push_back(args.at(0).toInt32());
    });
    auto sink = make<ChangeSink>();
    advise(*counter, sink, testserver::kCounterEvents);
    counter->put("Count", 3);
    counter->call("Increment");
    EXPECT_EQ(heard, (std::vector<std::int32_t>{3, 4}));
    EXPECT_EQ(sink->values, (std::vector<std::int32_t>{3, 4}));
    unadvise(*counter, cookie);
    counter->put("Count", 9);
    EXPECT_EQ(heard.size(), 2u);
    EXPECT_EQ(sink->values.size(), 3u);
}

TEST_F(ServerTest, EnumeratingACollection) {
    Ref<Object> bag = createObject("TestLib.Bag");
    for (int i = 0; i < 3; ++i) bag->call("Add", {Variant(i * 10)});
    EXPECT_EQ(enumerate(*bag), (Variant::Array{Variant(0), Variant(10), Variant(20)}));
    Ref<Object> e = bag->get("_NewEnum").toObject();
    auto* items = dynamic_cast<EnumVariant*>(e.get());
    ASSERT_NE(items, nullptr);
    Variant::Array out;
    EXPECT_FALSE(items->next(4, out));
    EXPECT_EQ(out.size(), 3u);
}

TEST_F(ServerTest, CanUnloadOnlyWithoutLiveObjects) {
    const ServerLibrary& server = loadServer(TEST_SERVER_PATH);
    ASSERT_TRUE(server.canUnloadNow());
    Ref<Object> bag = createObject("TestLib.Bag");
    EXPECT_FALSE(server.canUnloadNow());
    bag->call("Add", {"x"});
    Ref<Object> enumerator = bag->get("_NewEnum").toObject();
    bag.reset();
    EXPECT_FALSE(server.canUnloadNow());  // the enumerator is the server's object too
    Ref<EnumVariant> clone = dynamic_cast<EnumVariant&>(*enumerator).clone();
    enumerator.reset();
    EXPECT_FALSE(server.canUnloadNow());
    clone.reset();
    EXPECT_TRUE(server.canUnloadNow());

    Ref<ClassFactory> factory = server.classFactory(testserver::kBagClsid);
    EXPECT_TRUE(server.canUnloadNow());  // a factory alone does not hold the server
    factory->lockServer(true);
    EXPECT_FALSE(server.canUnloadNow());
    factory->lockServer(false);
    EXPECT_TRUE(server.canUnloadNow());
    // Loaded once, however often asked.
    EXPECT_EQ(&loadServer(TEST_SERVER_PATH), &server);
}

TEST_F(ServerTest, CreationFailures) {
    EXPECT_EQ(codeOf([] { createObject("TestLib.Nothing.1"); }), error::CannotCreateObject);
    EXPECT_EQ(codeOf([] { createObject(""); }), error::CannotCreateObject);

    // A factory's own error reaches the caller unchanged.
    try {
        createObject("TestLib.Failing.1");
        FAIL() << "the failing class was created";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.code(), testserver::kNoClientCode);
        EXPECT_EQ(e.description(), testserver::kNoClientText);
        EXPECT_EQ(e.helpContext(), -1);
        EXPECT_EQ(e.source(), "TestLib");
    }

    Store store;
    Registration reg(store);
    const fs::path notALibrary = testsupport::freshDir("junk") / "libjunk.so";
    testsupport::writeFile(notALibrary, "not a shared object");
    const struct {
        const char* clsid;
        const char* progId;
        std::string path;
    } broken[] = {
        {"{E0000000-0000-0000-0000-000000000001}", "Broken.Junk", notALibrary.string()},
        {"{E0000000-0000-0000-0000-000000000002}", "Broken.Missing", "/nonexistent/libx.so"},
        {"{E0000000-0000-0000-0000-000000000003}", "Broken.NoEntry", AUTOMATION_LIBRARY_PATH},
        {"{E0000000-0000-0000-0000-000000000004}", "Broken.NoServer", ""},
        // The server is there but does not offer this class.
        {"{E0000000-0000-0000-0000-000000000005}", "Broken.NoClass", TEST_SERVER_PATH},
    };
    for (const auto& b : broken) {
        platform::registry::ClassRegistration r;
        r.clsid = b.clsid;
        r.name = b.progId;
        r.progId = b.progId;
        r.serverPath = b.path;
        reg.registerClass(r);
        try {
            createObject(b.progId);
            ADD_FAILURE() << b.progId << " was created";
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.code(), error::CannotCreateObject) << b.progId;
            EXPECT_EQ(e.source(), b.progId);
            EXPECT_NE(e.description().find(b.progId), std::string::npos) << e.description();
        }
    }
}

TEST_F(ServerTest, RegisteringTwiceAndUnregistering) {
    Store store;
    const auto once = keysBelow(store, "Classes");
    ASSERT_EQ(loadServer(TEST_SERVER_PATH).registerServer(), status::Ok);
    EXPECT_EQ(keysBelow(store, "Classes"), once);

    Registration reg(store);
    const auto counter = reg.findClass(testserver::kCounterClsid);
    ASSERT_TRUE(counter);
    EXPECT_EQ(fs::path(counter->serverPath), fs::canonical(TEST_SERVER_PATH));
    EXPECT_EQ(counter->threadingModel, "Apartment");
    EXPECT_TRUE(counter->control);
    EXPECT_EQ(counter->typeLibrary, testserver::kLibraryId);
    EXPECT_EQ(counter->version, "1.2");
    EXPECT_EQ(reg.categoryDescription(testserver::kSafeForScripting),
              "Controls that are safely scriptable");
    // The toolbox bitmap names the library it is in.
    EXPECT_EQ(counter->toolboxBitmap, fs::canonical(TEST_SERVER_PATH).string() + ", 3");
    ASSERT_TRUE(counter->versionInfo);
    EXPECT_EQ(counter->versionInfo->fileVersion, "2.5");
    EXPECT_FALSE(reg.findClass(testserver::kBagClsid)->versionInfo);

    ASSERT_EQ(loadServer(TEST_SERVER_PATH).unregisterServer(), status::Ok);
    EXPECT_FALSE(reg.findClass(testserver::kCounterClsid));
    EXPECT_FALSE(reg.clsidFromProgId("TestLib.Counter"));
    EXPECT_FALSE(reg.clsidFromProgId("TestLib.Bag"));
    EXPECT_FALSE(reg.findTypeLibrary(testserver::kLibraryId));
    EXPECT_FALSE(store.keyExists(std::string("Classes\\Interface\\") + testserver::kICounter));
    // The category is shared with other components and stays.
    EXPECT_TRUE(reg.categoryDescription(testserver::kSafeForScripting));
    EXPECT_EQ(codeOf([] { createObject("TestLib.Counter.1"); }), error::CannotCreateObject);
}

TEST_F(ServerTest, TypeLibraryReadsBack) {
    const auto lib = loadTypeLibrary(testserver::kLibraryId);
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->name, "TestLib");
    EXPECT_EQ(lib->version(), "1.2");
    EXPECT_EQ(lib->locale, 0x409u);
    EXPECT_EQ(lib->helpString, "Test Server Library");
    EXPECT_EQ(lib->helpFile, "testlib.hlp");
    EXPECT_EQ(lib->helpContext, 2);
    const InterfaceInfo* counter = lib->findInterface("ICounter");
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(counter->guid, testserver::kICounter);
    const Member* count = findMember(*counter, "Count", MemberKind::PropertyGet);
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->id, 1);
    EXPECT_EQ(count->helpString, "The current count.");
    EXPECT_EQ(count->helpContext, 101);
    EXPECT_TRUE(count->isDefault);
    EXPECT_EQ(count->type, TypeCode::Int32);
    const Member* increment = findMember(*counter, "Increment");
    ASSERT_NE(increment, nullptr);
    ASSERT_EQ(increment->params.size(), 1u);
    EXPECT_TRUE(increment->params[0].optional);
    EXPECT_TRUE(findMember(*counter, "Stamp")->params[0].byRef);
    EXPECT_EQ(findMember(*lib->findInterface("IBag"), "_NewEnum"), nullptr);
    EXPECT_TRUE(lib->findInterface("_CounterEvents")->events);
    EXPECT_EQ(lib->findClass("Counter")->sourceInterface, "_CounterEvents");
    ASSERT_NE(lib->findEnum("Steps"), nullptr);
    EXPECT_EQ(lib->findEnum("Steps")->values.at(1).value, 10);
    EXPECT_FALSE(loadTypeLibrary("{00000000-0000-0000-0000-000000000000}"));

    // A description that was damaged in the store is reported, not guessed at.
    Store store;
    store.setValue(Registration::typeLibraryKey(testserver::kLibraryId, "1.2"), "Description",
                   "{\"name\":");
    EXPECT_THROW(loadTypeLibrary(testserver::kLibraryId), std::runtime_error);
}

TEST(Regsrv, RegistersAndUnregistersWithSlashU) {
    const fs::path db = testsupport::freshDir("regsrv") / "registry.db";
    const std::string prefix = "REGISTRY_DB='" + db.string() + "' '" + REGSRV_PATH + "' ";
    auto [status, output] = run(prefix + "'" + TEST_SERVER_PATH + "'");
    EXPECT_EQ(status, 0) << output;
    {
        Store store(db);
        EXPECT_EQ(Registration(store).clsidFromProgId("TestLib.Counter.1"),
                  testserver::kCounterClsid);
    }
    std::tie(status, output) = run(prefix + "/u '" + TEST_SERVER_PATH + "'");
    EXPECT_EQ(status, 0) << output;
    {
        Store store(db);
        EXPECT_FALSE(Registration(store).clsidFromProgId("TestLib.Counter.1"));
    }
}

TEST(Regsrv, FailuresSayWhyAndExitNonZero) {
    const fs::path db = testsupport::freshDir("regsrv") / "registry.db";
    const std::string prefix = "REGISTRY_DB='" + db.string() + "' '" + REGSRV_PATH + "' ";
    auto [status, output] = run(prefix + "'" + AUTOMATION_LIBRARY_PATH + "'");
    EXPECT_NE(status, 0);
    EXPECT_NE(output.find("not an in-process server"), std::string::npos) << output;
    std::tie(status, output) = run(prefix + "/nonexistent/lib.so");
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("cannot load /nonexistent/lib.so"), std::string::npos) << output;
    for (const char* args : {"", "/x lib.so", "a.so b.so"}) {
        std::tie(status, output) = run(prefix + args);
        EXPECT_EQ(status, 2) << args;
        EXPECT_NE(output.find("usage"), std::string::npos) << args;
    }

    // A store that is not a registry: the server reports the failure.
    const fs::path bad = testsupport::freshDir("regsrv") / "bad.db";
    testsupport::writeFile(bad, std::string(4096, 'x'));
    std::tie(status, output) =
        run("REGISTRY_DB='" + bad.string() + "' '" + REGSRV_PATH + "' '" + TEST_SERVER_PATH + "'");
    EXPECT_EQ(status, 1);
    EXPECT_NE(output.find("0x80040200"), std::string::npos) << output;  // at the type library
}

TEST(RegisterComponent, TheBuildRegisteredTheServer) {
    Store store(BUILD_REGISTERED_DB);
    EXPECT_EQ(Registration(store).clsidFromProgId("TestLib.Bag"), testserver::kBagClsid);
}

TEST(MiscStatus, BitsInWordsLowestFirst) {
    EXPECT_EQ(describeMiscStatus(0x20591),
              (std::vector<std::string>{"recompose on resize", "can't link inside", "inside-out",
                                        "activate when visible", "invisible at run time",
                                        "set client site first"}));
    EXPECT_TRUE(describeMiscStatus(0).empty());
    EXPECT_EQ(describeMiscStatus(0x80000001),
              (std::vector<std::string>{"recompose on resize", "0x80000000"}));
}

}  // namespace
