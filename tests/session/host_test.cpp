// A host's view of the session control: it is registered into the test's
// private registry, created by its ProgID and called late-bound only, over
// the network client stand-in and the real login-dialog library (or the
// recording one where the exact request matters).
#include "quillonhost.h"

namespace {

using namespace quillontest;

TEST_F(QuillonHost, IsCreatedByProgIdWithItsTypeLibrary) {
    auto control = create();
    ASSERT_TRUE(control);
    platform::registry::Store store;
    platform::registry::Registration reg(store);
    const auto clsid = reg.clsidFromProgId("quillonlib.quillonctrl.1");
    ASSERT_TRUE(clsid);
    const auto cls = reg.findClass(*clsid);
    ASSERT_TRUE(cls);
    EXPECT_TRUE(cls->control);
    EXPECT_EQ(cls->miscStatus, 0x20591u);
    const auto lib = pa::loadTypeLibrary(store, cls->typeLibrary);
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->name, "QuillonLib");
    EXPECT_EQ(lib->version(), "1.2");
    EXPECT_TRUE(lib->findInterface("_DQuillonEvents"));

    // As registered, the ports of Add and Remove are of the library's
    // enumeration, so that an early-bound host offers LPT1 to LPT9.
    const auto* ports = lib->findInterface("IKDCapturedPorts");
    ASSERT_TRUE(ports);
    for (const char* method : {"Add", "Remove"}) {
        const auto* member = pa::findMember(*ports, method);
        ASSERT_TRUE(member) << method;
        ASSERT_FALSE(member->params.empty());
        EXPECT_EQ(member->params[0].name, "Port");
        EXPECT_EQ(member->params[0].typeName, "KDPrinterPorts") << method;
        EXPECT_EQ(member->params[0].type, pa::TypeCode::Int32);
    }
    ASSERT_TRUE(lib->findEnum("KDPrinterPorts"));
    EXPECT_EQ(pa::findMember(*ports, "Add")->params[1].typeName, "");
}

TEST_F(QuillonHost, BooleansAreReadWriteAndPersist) {
    auto control = create();
    for (const char* name : {"AutoClose", "Bindery", "ConnectionTab", "ScriptTab", "VariablesTab",
                             "RunScripts", "DisplayResults"}) {
        EXPECT_FALSE(control->get(name).toBool()) << name;
        control->put(name, Variant(true));
        EXPECT_TRUE(control->get(name).toBool()) << name;
    }
    auto* persisted = dynamic_cast<platform::framework::ControlBase*>(control.get());
    ASSERT_TRUE(persisted);
    const QByteArray stream = persisted->save();

    auto reloaded = create();
    dynamic_cast<platform::framework::ControlBase*>(reloaded.get())->load(stream);
    EXPECT_TRUE(reloaded->get("ScriptTab").toBool());
    EXPECT_TRUE(reloaded->get("DisplayResults").toBool());
    dynamic_cast<platform::framework::ControlBase*>(reloaded.get())->load(stream.left(8));
    EXPECT_FALSE(reloaded->get("ScriptTab").toBool());
    EXPECT_FALSE(reloaded->get("AutoClose").toBool());
}

TEST_F(QuillonHost, CollectionPropertiesAreReadOnlyFreshSnapshots) {
    auto control = create();
    EXPECT_EQ(codeOf([&] { control->put("ServerNames", Variant(std::int32_t(1))); }),
              pa::error::PropertyReadOnly);
    const Variant first = control->get("ServerNames");
    const Variant second = control->get("ServerNames");
    EXPECT_NE(first.objectValue(), second.objectValue());
    EXPECT_EQ(first.toObject()->get("Count").toInt32(), second.toObject()->get("Count").toInt32());
    EXPECT_NE(control->get("TreeNames").objectValue(), control->get("TreeNames").objectValue());
    EXPECT_NE(control->get("DriveMappings").objectValue(),
              control->get("DriveMappings").objectValue());
    // The one collection the control keeps.
    EXPECT_EQ(control->get("CapturedPorts").objectValue(),
              control->get("CapturedPorts").objectValue());
}

TEST_F(QuillonHost, ServerNamesListsTheBinderyServersInOrder) {
    auto control = create();
    auto servers = control->get("ServerNames").toObject();
    ASSERT_EQ(servers->get("Count").toInt32(), 4);
    EXPECT_EQ(shortNames(*servers), (std::vector<std::string>{"FS1", "FS2", "OLD1", "LAB1"}));
    EXPECT_EQ(fullNames(*servers)[2], "\\\\OLD1");

    auto fs2 = servers->get("Item", {Variant("fs2")}).toObject();
    ASSERT_TRUE(fs2);
    EXPECT_EQ(fs2->get("FullName").toString(), "\\\\FS2");
    EXPECT_EQ(fs2->value().toString(), "FS2");  // the default member
    Variant name("lab1");
    EXPECT_EQ(servers->get("Item", {Variant::byRef(name)}).toObject()->value().toString(), "LAB1");
    EXPECT_TRUE(servers->get("Item", {Variant("FS9")}).isNothing());
    EXPECT_EQ(servers->get("Item", {Variant(std::int16_t(0))}).toObject()->value().toString(),
              "FS1");
    EXPECT_EQ(servers->get("Item", {Variant("3")}).toObject(), nullptr);  // a text is a name
    EXPECT_EQ(codeOf([&] { servers->get("Item", {Variant(std::int32_t(4))}); }),
              pa::error::BadIndex);
    EXPECT_EQ(codeOf([&] { servers->get("Item", {Variant(std::int32_t(-1))}); }),
              pa::error::BadIndex);
    EXPECT_EQ(codeOf([&] { servers->put("Count", Variant(std::int32_t(0))); }),
              pa::error::PropertyReadOnly);
}

TEST_F(QuillonHost, EnumeratorsWalkASharedSnapshot) {
    auto control = create();
    auto servers = control->get("ServerNames").toObject();
    const Variant newEnum = servers->invoke(-4, pa::CallKind::Get, {});
    pa::Ref<pa::EnumVariant> enumerator(dynamic_cast<pa::EnumVariant*>(newEnum.objectValue()));
    ASSERT_TRUE(enumerator);
    Variant::Array got;
    EXPECT_TRUE(enumerator->next(1, got));
    EXPECT_TRUE(enumerator->skip(1));
    auto clone = enumerator->clone();
    EXPECT_FALSE(enumerator->next(5, got));  // only two were left
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1].toObject()->value().toString(), "OLD1");
    EXPECT_FALSE(enumerator->skip(1));

    // The clone kept its own place over the same items.
    Variant::Array fromClone;
    EXPECT_TRUE(clone->next(2, fromClone));
    EXPECT_EQ(fromClone[0].objectValue(), got[1].objectValue());
    enumerator->reset();
    Variant::Array again;
    EXPECT_TRUE(enumerator->next(1, again));
    EXPECT_EQ(again[0].toObject()->value().toString(), "FS1");
}

TEST_F(QuillonHost, TreeNamesListsEachTreeOnce) {
    auto control = create();
    auto trees = control->get("TreeNames").toObject();
    EXPECT_EQ(shortNames(*trees), (std::vector<std::string>{"ACME", "LabTree"}));
    EXPECT_EQ(fullNames(*trees), (std::vector<std::string>{"KTR:\\\\ACME", "KTR:\\\\LabTree"}));
}

TEST_F(QuillonHost, WithoutConnectionsTheConnectedCollectionsAreEmpty) {
    auto control = create();
    for (const char* name : {"ConnectedServers", "ConnectedTrees", "ConnectedVolumes"}) {
        auto collection = control->get(name).toObject();
        EXPECT_EQ(collection->get("Count").toInt32(), 0) << name;
        EXPECT_TRUE(pa::enumerate(*collection).empty()) << name;
        EXPECT_EQ(codeOf([&] { collection->get("Item", {Variant(std::int32_t(0))}); }),
                  pa::error::BadIndex);
    }
}

TEST_F(QuillonHost, TreeLoginAndLogoutWithEvents) {
    auto control = create();
    std::vector<std::pair<int, std::string>> events;
    pa::advise(*control, [&](pa::DispId id, const pa::Args& args) {
        events.emplace_back(id, args.at(0).toString());
    });

    EXPECT_FALSE(login(*control, " KTR:\\\\ACME", "admin", "wrong"));
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(login(*control, " KTR:\\\\ACME", "admin", "secret"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], std::make_pair(1, std::string(" KTR:\\\\ACME")));

    EXPECT_EQ(shortNames(*control->get("ConnectedTrees").toObject()),
              std::vector<std::string>{"ACME"});
    auto servers = control->get("ConnectedServers").toObject();
    EXPECT_EQ(shortNames(*servers), std::vector<std::string>{"FS1"});
    EXPECT_EQ(fullNames(*servers), std::vector<std::string>{"KTR:\\\\ACME\\Org\\Servers\\FS1"});
    EXPECT_EQ(fullNames(*control->get("ConnectedVolumes").toObject()),
              (std::vector<std::string>{"\\\\FS1\\SYS", "\\\\FS1\\DATA"}));

    for (const char* name : {"KTR:\\\\ACME", "acme", "\\\\FS1"}) {
        auto user = control->call("LoginName", {Variant(name)}).toObject();
        EXPECT_EQ(user->get("FullName").toString(), "KTR:\\\\ACME\\Org\\admin") << name;
        EXPECT_EQ(user->get("ShortName").toString(), "admin") << name;
    }

    EXPECT_TRUE(control->call("Logout", {Variant("KTR:\\\\acme")}).toBool());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], std::make_pair(2, std::string("KTR:\\\\acme")));
    EXPECT_EQ(control->get("ConnectedTrees").toObject()->get("Count").toInt32(), 0);
    EXPECT_FALSE(control->call("Logout", {Variant("KTR:\\\\ACME")}).toBool());
    EXPECT_FALSE(control->call("Logout", {Variant("\\\\FS2")}).toBool());
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(QuillonHost, SilentLoginShowingResultsAsksTwice) {
    auto control = create();
    control->put("DisplayResults", Variant(true));
    control->put("RunScripts", Variant(true));
    ASSERT_TRUE(login(*control, "KTR:\\\\ACME\\Org", "admin", "secret"));
    const auto calls = traced();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0]["mode"], 5);
    EXPECT_EQ(calls[0]["runScript"], false);
    EXPECT_EQ(calls[0]["treeLogin"], true);
    EXPECT_EQ(calls[0]["tree"], "ACME");
    EXPECT_EQ(calls[0]["context"], "Org");
    EXPECT_EQ(calls[1]["mode"], 1);
    EXPECT_EQ(calls[1]["showResults"], true);
    EXPECT_EQ(calls[1]["runScript"], true);
}

TEST_F(QuillonHost, BinderyLogins) {
    auto control = create();
    control->put("Bindery", Variant(true));
    ASSERT_TRUE(login(*control, "\\\\OLD1", "SUPERVISOR", "old"));
    ASSERT_TRUE(login(*control, "FS1", "guest", ""));
    // A bindery connection is listed by its server name even where the
    // server belongs to a tree.
    EXPECT_EQ(fullNames(*control->get("ConnectedServers").toObject()),
              (std::vector<std::string>{"\\\\OLD1", "\\\\FS1"}));
    auto user = control->call("LoginName", {Variant("\\\\old1")}).toObject();
    EXPECT_EQ(user->get("FullName").toString(), "KDCOMPAT:\\\\OLD1\\SUPERVISOR");
    EXPECT_EQ(user->value().toString(), "SUPERVISOR");
    EXPECT_TRUE(control->call("Logout", {Variant("\\\\OLD1")}).toBool());
    EXPECT_EQ(shortNames(*control->get("ConnectedServers").toObject()),
              std::vector<std::string>{"FS1"});
}

TEST_F(QuillonHost, FullNamesChooseTreeOrServerLogins) {
    const testsupport::ScopedEnv libs("TVN_LIBRARY_PATH",
                                      (testsupport::libDir() / "quillon-testlogin").string());
    const fs::path log = testsupport::freshDir("record") / "calls.bin";
    const testsupport::ScopedEnv record("QUILLON_TEST_LOGIN_LOG", log.string());
    auto control = create();

    // A server in the directory: a server login in its container.
    EXPECT_TRUE(login(*control, "KTR:\\\\ACME\\Org\\Servers\\FS1", "admin", "secret", true));
    // A server named straight below the tree, not in the directory.
    EXPECT_TRUE(login(*control, "KTR:\\\\ACME\\FS2", "admin", "secret", true));
    const std::string bytes = testsupport::readFile(log);
    ASSERT_EQ(bytes.size(), 2u * (8 + 80 + 1328));
    const auto u32 = [&](std::size_t call, std::size_t offset) {
        std::uint32_t v;
        std::memcpy(&v, bytes.data() + call * (8 + 80 + 1328) + 88 + offset, sizeof v);
        return v;
    };
    const auto text = [&](std::size_t call, std::size_t field) {
        return std::string(bytes.data() + call * (8 + 80 + 1328) + 88 + u32(call, field));
    };
    const auto option = [&](std::size_t call, std::size_t offset) {
        return static_cast<int>(bytes[call * (8 + 80 + 1328) + 8 + offset]);
    };
    EXPECT_EQ(option(0, 3), 2);
    EXPECT_EQ(text(0, 20), "FS1");
    EXPECT_EQ(text(0, 28), "");
    EXPECT_EQ(u32(0, 72), 4u);
    EXPECT_EQ(text(0, 76), "Servers.Org");
    EXPECT_EQ(text(1, 20), "FS2");
    EXPECT_EQ(u32(1, 72), 0u);

    // Below the tree but not a directory server, not a server at all, not an object.
    const auto old = errorOf([&] { login(*control, "KTR:\\\\ACME\\OLD1", "a", "b"); });
    EXPECT_EQ(old.code(), 611);
    EXPECT_EQ(old.description(), "The server specified  is not a DS Server");
    const auto none = errorOf([&] { login(*control, "KTR:\\\\ACME\\NOSUCH", "a", "b"); });
    EXPECT_EQ(none.code(), 0x880F);
    EXPECT_EQ(none.description(), "The object specified is  not a kalder file server");
    const auto missing = errorOf([&] { login(*control, "KTR:\\\\ACME\\Org\\Nobody", "a", "b"); });
    EXPECT_EQ(missing.code(), -601);
    EXPECT_EQ(missing.description(), "The object specified is invalid");
    EXPECT_EQ(missing.helpContext(), -1);
    EXPECT_EQ(codeOf([&] { login(*control, "KTR:\\\\ACME\\Org.Unit", "a", "b"); }), 608);
}

TEST_F(QuillonHost, LoginNameNeedsAConnectionAndAnAuthentication) {
    auto control = create();
    const auto empty = errorOf([&] { control->call("LoginName", {Variant("")}); });
    EXPECT_EQ(empty.code(), 0x880F);
    EXPECT_EQ(empty.description(), "Not connected to specified tree or server.");
    EXPECT_EQ(codeOf([&] { control->call("LoginName", {Variant("\\\\FS2")}); }), 0x880F);
    control->get("ServerNames");  // attaches to the primary server, FS1
    const auto anonymous = errorOf([&] { control->call("LoginName", {Variant("FS1")}); });
    EXPECT_EQ(anonymous.code(), 0x886A);
    EXPECT_EQ(anonymous.description(), "Not authenticated.");
}

TEST_F(QuillonHost, DefaultFullNameBothWays) {
    auto control = create();
    control->put("DefaultFullName", Variant("KTR:\\\\ACME\\Org\\Unit"));
    EXPECT_EQ(control->get("DefaultFullName").toString(), "KTR:\\\\ACME\\Org\\Unit");
    EXPECT_EQ(control->call("DefaultFullNameFromTreeName", {Variant("ACME")}).toString(),
              "KTR:\\\\ACME\\Org\\Unit");
    EXPECT_EQ(control->call("DefaultFullNameFromTreeName", {Variant("KTR:\\\\LabTree")}).toString(),
              "KTR:\\\\LabTree");

    const auto missing =
        errorOf([&] { control->put("DefaultFullName", Variant("KTR:\\\\ACME\\Org\\Nobody")); });
    EXPECT_EQ(missing.code(), -601);
    EXPECT_EQ(missing.description(), "The object specified is invalid");
    EXPECT_EQ(codeOf([&] { control->put("DefaultFullName", Variant("\\\\ACME\\Org")); }), 608);
    // An unknown tree is the client's "partition not found".
    EXPECT_EQ(codeOf([&] { control->put("DefaultFullName", Variant("KTR:\\\\NoTree\\Org")); }),
              622);
    EXPECT_EQ(control->get("DefaultFullName").toString(), "KTR:\\\\ACME\\Org\\Unit");

    const auto empty =
        errorOf([&] { control->call("DefaultFullNameFromTreeName", {Variant("  ")}); });
    EXPECT_EQ(empty.code(), 617);
    EXPECT_EQ(empty.description(), "Invalid directory name");
}

TEST_F(QuillonHost, DefaultFullNameIsEmptyWithoutADefaultTree) {
    EXPECT_EQ(create()->get("DefaultFullName").toString(), "");
}

TEST_F(QuillonHost, InADesignSurfaceUnknownObjectsAreNoError) {
    struct DesignSite : platform::framework::ControlSite {
        bool ambientUserMode() const override { return false; }
    } site;
    auto control = create();
    auto* base = dynamic_cast<platform::framework::ControlBase*>(control.get());
    ASSERT_TRUE(base);
    base->setClientSite(&site);
    control->put("Bindery", Variant(true));
    ASSERT_TRUE(login(*control, "\\\\OLD1", "SUPERVISOR", "old"));
    control->put("DefaultFullName", Variant("KTR:\\\\ACME\\Org\\Unit"));

    control->put("DefaultFullName", Variant("KTR:\\\\ACME\\Org\\Nobody"));
    EXPECT_EQ(control->get("DefaultFullName").toString(), "KTR:\\\\ACME\\Org\\Unit");
    // The object names nothing, so nothing is logged out.
    EXPECT_FALSE(control->call("Logout", {Variant("KTR:\\\\ACME\\Org\\Nobody")}).toBool());
    EXPECT_EQ(shortNames(*control->get("ConnectedServers").toObject()),
              std::vector<std::string>{"OLD1"});
    base->setClientSite(nullptr);
}

TEST_F(QuillonHost, LibraryWithoutEntryFallsBackToTheSecondLibrary) {
    auto control = create();
    {
        const testsupport::ScopedEnv noEntry("TVN_LIBRARY_PATH",
                                             (testsupport::libDir() / "login-noentry").string());
        EXPECT_TRUE(login(*control, "KTR:\\\\ACME", "admin", "secret"));
    }
    EXPECT_TRUE(g_notices.empty());
    // From now on the fallback is asked first, by every control.
    const testsupport::ScopedEnv libs("TVN_LIBRARY_PATH",
                                      (testsupport::libDir() / "quillon-testlogin").string());
    const fs::path log = testsupport::freshDir("record") / "calls.bin";
    const testsupport::ScopedEnv record("QUILLON_TEST_LOGIN_LOG", log.string());
    EXPECT_TRUE(login(*create(), "KTR:\\\\ACME", "admin", "secret"));
    EXPECT_EQ(std::string(testsupport::readFile(log).c_str()), "PORTANT");
}

TEST_F(QuillonHost, AboutBoxIsShownThroughTheHostsHook) {
    auto control = create();
    control->call("AboutBox");
    ASSERT_EQ(g_notices.size(), 1u);
    EXPECT_EQ(g_notices[0].kind, 1);
    EXPECT_EQ(g_notices[0].text, "About Marrel Session Control");
}

// Every key below `key` with its values, for comparing whole subtrees.
void dump(const platform::registry::Store& store, const std::string& key,
          std::vector<std::string>& out) {
    for (const auto& [name, value] : store.values(key))
        out.push_back(key + "=" + name + ":" + value);
    for (const auto& sub : store.subkeys(key)) {
        out.push_back(key + "\\" + sub);
        dump(store, key + "\\" + sub, out);
    }
}

std::vector<std::string> dump(const platform::registry::Store& store) {
    std::vector<std::string> out;
    dump(store, "Classes", out);
    return out;
}

TEST_F(QuillonHost, RegistersEveryClassOnceAndUnregistersThemAll) {
    const pa::ServerLibrary& server = pa::loadServer(serverPath());
    platform::registry::Store store;
    platform::registry::Registration reg(store);
    const std::vector<std::string> once = dump(store);
    ASSERT_EQ(server.registerServer(), 0) << pa::lastServerError();
    EXPECT_EQ(dump(store), once);

    const std::string path = fs::weakly_canonical(serverPath()).string();
    const auto control = reg.findClass(*reg.clsidFromProgId(kProgId));
    ASSERT_TRUE(control);
    EXPECT_EQ(control->name, "Marrel Session Control");
    EXPECT_EQ(control->threadingModel, "Apartment");
    EXPECT_EQ(control->toolboxBitmap, path + ", 1");
    EXPECT_EQ(control->implementedCategories,
              (std::vector<std::string>{pa::category::SafeForScripting,
                                        pa::category::SafeForInitializing}));
    EXPECT_EQ(reg.categoryDescription(pa::category::SafeForInitializing),
              "Controls safely initializable from persistent data");
    ASSERT_TRUE(control->versionInfo);
    EXPECT_EQ(control->versionInfo->fileVersion, "1.22");
    EXPECT_EQ(control->versionInfo->productName, "Marrel Session Control");
    EXPECT_EQ(control->versionInfo->originalFilename, "QUILLON.OCX");
    EXPECT_EQ(control->versionInfo->codePage, 1200);
    // The version resource is the file's, so every class served by it has it.
    const std::pair<const char*, const char*> others[] = {
        {"QuillonLib.QuillonPropPage.1", "Marrel Session Property Page"},
        {"QuillonLib.CTreeContextPPg", "Network Browser"},
        {"QuillonLib.DriveMappings", "Drive Mappings"},
    };
    for (const auto& [progId, name] : others) {
        const auto cls = reg.findClass(reg.clsidFromProgId(progId).value_or(""));
        ASSERT_TRUE(cls) << progId;
        EXPECT_EQ(cls->name, name);
        EXPECT_EQ(cls->serverPath, path);
        EXPECT_FALSE(cls->control);
        EXPECT_EQ(cls->versionInfo, control->versionInfo) << progId;
    }

    ASSERT_EQ(server.unregisterServer(), 0) << pa::lastServerError();
    for (const char* progId : {kProgId, "QuillonLib.QuillonPropPage.1",
                               "QuillonLib.CTreeContextPPg", "QuillonLib.DriveMappings"})
        EXPECT_FALSE(reg.clsidFromProgId(progId)) << progId;
    EXPECT_FALSE(store.keyExists("Classes\\CLSID\\" + control->clsid));
    EXPECT_FALSE(pa::loadTypeLibrary(store, control->typeLibrary));
    EXPECT_EQ(codeOf([&] { create(); }), pa::error::CannotCreateObject);
    // The categories belong to every control that uses them.
    EXPECT_TRUE(reg.categoryDescription(pa::category::SafeForScripting));

    ASSERT_EQ(server.registerServer(), 0) << pa::lastServerError();
    EXPECT_EQ(dump(store), once);
}

// A tree name longer than the client's buffer must not be cut down to a
// tree that happens to exist under the shorter name.
TEST_F(QuillonHost, OverlongTreeNamesAreRefusedNotCut) {
    const std::string tree32 = "LONGTREE0123456789ABCDEFGHIJKLMN";
    ASSERT_EQ(tree32.size(), 32u);
    const testsupport::ScopedEnv network("KDCLIENT_NETWORK", networkVariant([&](nlohmann::json& n) {
                                                                 n["trees"].push_back(tree32);
                                                             }).string());
    auto control = create();
    EXPECT_EQ(control->call("DefaultFullNameFromTreeName", {Variant(tree32)}).toString(),
              "KTR:\\\\" + tree32);
    const auto error = errorOf(
        [&] { control->call("DefaultFullNameFromTreeName", {Variant(tree32 + "EXTRA678")}); });
    EXPECT_EQ(error.code(), 617);
    EXPECT_EQ(error.description(), "Invalid directory name");
    // Named as the tree to prefer, the long name is a tree the client does not know.
    EXPECT_EQ(
        codeOf([&] { control->put("DefaultFullName", Variant("KTR:\\\\" + tree32 + "X\\Org")); }),
        622);
}

// DefaultFullName makes the tree the preferred one first; when the name then
// proves unusable, the session's preferred tree is what it was.
TEST_F(QuillonHost, AFailedDefaultFullNameKeepsThePreferredTree) {
    struct DesignSite : platform::framework::ControlSite {
        bool ambientUserMode() const override { return false; }
    } design;
    auto control = create();
    control->put("DefaultFullName", Variant("KTR:\\\\ACME\\Org\\Unit"));
    for (bool designMode : {false, true}) {
        auto* base = dynamic_cast<platform::framework::ControlBase*>(control.get());
        base->setClientSite(designMode ? &design : nullptr);
        const int code =
            codeOf([&] { control->put("DefaultFullName", Variant("KTR:\\\\LabTree\\Nobody")); });
        EXPECT_EQ(code, designMode ? 0 : -601);
        EXPECT_EQ(control->get("DefaultFullName").toString(), "KTR:\\\\ACME\\Org\\Unit")
            << designMode;
        EXPECT_EQ(
            codeOf([&] { control->put("DefaultFullName", Variant("KTR:\\\\LabTree\\Lab\\x.y")); }),
            608);
        EXPECT_EQ(create()->get("DefaultFullName").toString(), "KTR:\\\\ACME\\Org\\Unit");
        base->setClientSite(nullptr);
    }
}

TEST_F(QuillonHost, AFailedDefaultFullNameLeavesNoPreferredTreeWhereNoneWas) {
    auto control = create();
    EXPECT_EQ(codeOf([&] { control->put("DefaultFullName", Variant("KTR:\\\\ACME\\Nobody")); }),
              -601);
    EXPECT_EQ(control->get("DefaultFullName").toString(), "");
}

// A server whose version cannot be read is reported by the client's own
// error, not as a server that is no directory server.
TEST_F(QuillonHost, AnUnreadableServerVersionIsTheClientsError) {
    {
        const testsupport::ScopedEnv withGone(
            "KDCLIENT_NETWORK",
            networkVariant([](nlohmann::json& n) {
                n["servers"].push_back({{"name", "GONE"}, {"version", 5000}, {"tree", "ACME"}});
            }).string());
        ASSERT_EQ(kdclient("attach GONE"), 0);
    }
    // GONE has left the network; its connection is still in the session.
    auto control = create();
    const auto error = errorOf([&] {
        control->call("Login",
                      {Variant("KTR:\\\\ACME\\GONE"), Variant("a"), Variant("b"), Variant(false)});
    });
    EXPECT_EQ(error.code(), 606);
    EXPECT_EQ(error.description(), "Unknown file server");
}

}  // namespace
