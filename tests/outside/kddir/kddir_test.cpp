// The directory control, created by ProgID through the registry and called
// late-bound as tvn calls it, on the demo directory: context and tree names,
// the class filter, entries and their fields, searches with their event,
// layouts and field types, and the control's error codes. The shared tests
// run twice with the same assertions: on the LDIF file and on the same data
// served by slapd.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "platform/automation/automation.h"
#include "platform/registry/store.h"
#include "testsupport/samba_ad.h"
#include "testsupport/slapd.h"
#include "testsupport/testsupport.h"

using namespace platform::automation;
namespace fs = std::filesystem;

namespace {

const fs::path kDemo = testsupport::sourceDir() / "demo" / "directory.ldif";
const fs::path kStandard = testsupport::sourceDir() / "demo" / "directory-standard.ldif";
constexpr const char* kControlKey = "Software\\KDDirLib\\KDDirCtrl";
const std::string kCorp = "KTR:\\\\CorpTree";
const std::string kSales = kCorp + "\\Acme\\Sales";

int codeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const AutomationError& e) {
        return e.code();
    }
    return 0;
}

std::vector<std::string> names(const Variant& collection, const char* member = "EntryName") {
    std::vector<std::string> out;
    for (const Variant& item : enumerate(*collection.toObject()))
        out.push_back(item.toObject()->get(member).toString());
    return out;
}

class ControlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        platform::registry::Store store;
        ASSERT_EQ(loadServer(KDDIR_LIBRARY).registerServer(), status::Ok);
    }
    void SetUp() override { useSource(kDemo.string()); }
    void TearDown() override { testsupport::forgetCredentials(); }

    void useSource(const std::string& source) {
        source_.reset();
        source_ = std::make_unique<testsupport::ScopedEnv>("KDDIR_SOURCE", source);
    }
    Ref<Object> create(const char* progId = "KDDirLib.KDDirCtrl.1") { return createObject(progId); }

    std::unique_ptr<testsupport::ScopedEnv> source_;
};

// The demo directory from the file and from slapd (bound as its reader), in
// the standard classes from an export and from slapd, and in Active
// Directory's on Samba's domain controller.
class KDDirControl : public ControlTest,
                     public ::testing::WithParamInterface<testsupport::SourceKind> {
protected:
    using Kind = testsupport::SourceKind;

    void SetUp() override {
        switch (GetParam()) {
            case Kind::Ldif:
                return ControlTest::SetUp();
            case Kind::StandardLdif:
                return useSource(kStandard.string());
            case Kind::Ldap:
            case Kind::StandardLdap: {
                const testsupport::Slapd& server = testsupport::Slapd::shared(
                    GetParam() == Kind::Ldap ? testsupport::Slapd::Data::Demo
                                             : testsupport::Slapd::Data::Standard);
                useSource(server.url());
                return testsupport::storeCredentials(server);
            }
            case Kind::ActiveDirectory: {
                const testsupport::SambaAd& server = testsupport::SambaAd::shared();
                useSource(server.url());
                testsupport::storeCredentials(server);
                // The domain's one tree under the demo's name.
                platform::registry::Store().setValue(kControlKey, "TreeName", "CorpTree");
                return;
            }
        }
    }
    void TearDown() override {
        ControlTest::TearDown();
        platform::registry::Store().deleteValue(kControlKey, "TreeName");
    }

    bool ad() const { return GetParam() == Kind::ActiveDirectory; }
    bool mapped() const { return testsupport::isMapped(GetParam()); }
    // A demo user's relative name on this source.
    std::string user(const std::string& login) const {
        return testsupport::demoUser(GetParam(), login);
    }
};

INSTANTIATE_TEST_SUITE_P(Sources, KDDirControl, testsupport::sourceKinds(),
                         testsupport::sourceKindName);

// What only a file source has: its size limit, reloading, a schema of its own.
using KDDirFile = ControlTest;

}  // namespace

TEST_P(KDDirControl, IsCreatedByProgIdWithoutRegardToCase) {
    EXPECT_TRUE(create());
    EXPECT_TRUE(create("KDDirLib.KDdirCtrl.1"));
    EXPECT_TRUE(create("kddirlib.kddirctrl"));
}

TEST_F(KDDirFile, CreationWithoutASourceFailsAsAMissingClient) {
    testsupport::ScopedEnv none("KDDIR_SOURCE", nullptr);
    EXPECT_EQ(codeOf([&] { create(); }), 7);
    // A source named in the registry is used when the environment names none.
    platform::registry::Store().setValue("Software\\KDDirLib\\KDDirCtrl", "Source", kDemo.string());
    EXPECT_TRUE(create());
    platform::registry::Store().deleteKey("Software\\KDDirLib");
}

TEST_F(KDDirFile, CreationOnAnUnreadableSourceFails) {
    testsupport::ScopedEnv missing("KDDIR_SOURCE", "/no/such/directory.ldif");
    EXPECT_EQ(codeOf([&] { create(); }), 600);
}

TEST_P(KDDirControl, ContextDefaultsToTheFirstTreeAndNamesTrees) {
    auto ctrl = create();
    EXPECT_EQ(ctrl->get("ContextPath").toString(), kCorp);
    EXPECT_EQ(ctrl->call("TreeOf", {ctrl->get("ContextPath")}).toString(), "CorpTree");
    if (ad()) {
        // The domain is the one tree; LabTree is a unit in it.
        EXPECT_EQ(ctrl->call("TreeOf", {"ktr:\\\\corptree\\LabTree\\Lab"}).toString(), "CorpTree");
        EXPECT_EQ(codeOf([&] { ctrl->call("RootPath", {"labtree", ""}); }), 601);
        EXPECT_EQ(ctrl->call("RootPath", {"corptree", ""}).toString(), kCorp);
    } else {
        EXPECT_EQ(ctrl->call("TreeOf", {"ktr:\\\\labtree\\Lab"}).toString(), "LabTree");
        EXPECT_EQ(ctrl->call("RootPath", {"labtree", ""}).toString(), "KTR:\\\\LabTree");
    }

    ctrl->put("ContextPath", "ktr:\\\\corptree\\acme\\SALES");
    EXPECT_EQ(ctrl->get("ContextPath").toString(), kSales);
    EXPECT_EQ(codeOf([&] { ctrl->put("ContextPath", kCorp + "\\Nowhere"); }), 601);
    EXPECT_EQ(ctrl->get("ContextPath").toString(), kSales);
    EXPECT_EQ(codeOf([&] { ctrl->call("RootPath", {"NoTree", ""}); }), 601);
}

TEST_P(KDDirControl, EntriesBelowFollowTheFilterInDirectoryOrder) {
    auto ctrl = create();
    ctrl->put("ClassFilter", "Country, Organization, Organizational Unit");
    // Samba gives a level in the order of its index rather than the order
    // the entries were added in: there the order is compared as a set.
    const auto inOrder = [&](std::vector<std::string> list) {
        if (ad()) std::sort(list.begin(), list.end());
        return list;
    };
    const auto top = names(ctrl->get("EntriesBelow"));
    if (ad()) {
        // Country and Organization are units there, beside the domain's
        // built-in containers and LabTree.
        for (const char* name : {"DE", "Acme", "LabTree", "Users", "Computers", "Builtin",
                                 "Domain Controllers", "System"})
            EXPECT_EQ(std::count(top.begin(), top.end(), name), 1) << name;
    } else {
        EXPECT_EQ(top, (std::vector<std::string>{"DE", "Acme"}));
    }

    ctrl->put("ContextPath", kSales);
    EXPECT_EQ(inOrder(names(ctrl->get("EntriesBelow"))),
              (std::vector<std::string>{"North", "South"}));
    ctrl->put("ClassFilter", "Workstation");
    const auto workstations = inOrder(names(ctrl->get("EntriesBelow")));
    ASSERT_FALSE(workstations.empty());
    EXPECT_EQ(workstations.front(), "WS030");
    EXPECT_EQ(std::count(workstations.begin(), workstations.end(), "WS042"), 1);
    EXPECT_TRUE(std::is_sorted(workstations.begin(), workstations.end()));  // as in the file

    auto current = ctrl->get("CurrentEntry").toObject();
    EXPECT_EQ(current->get("EntryPath").toString(), kSales);
    EXPECT_EQ(current->get("EntryName").toString(), "Sales");
    EXPECT_EQ(current->get("Layout").toObject()->get("Name").toString(), "Organizational Unit");
}

TEST_P(KDDirControl, EntriesHaveTheirClassesAsLayouts) {
    auto ctrl = create();
    auto layoutOf = [&](const std::string& name) {
        return ctrl->call("OpenEntry", {name})
            .toObject()
            ->get("Layout")
            .toObject()
            ->get("Name")
            .toString();
    };
    EXPECT_EQ(layoutOf(kCorp), "Top");
    // Active Directory has no countries and organizations: units stand for them.
    EXPECT_EQ(layoutOf(kCorp + "\\DE"), ad() ? "Organizational Unit" : "Country");
    EXPECT_EQ(layoutOf(kCorp + "\\Acme"), ad() ? "Organizational Unit" : "Organization");
    EXPECT_EQ(layoutOf(kSales), "Organizational Unit");
    EXPECT_EQ(layoutOf(kSales + "\\WS042"), "Workstation");
    EXPECT_EQ(layoutOf(kSales + "\\" + user("VossbeckT")), "User");
    EXPECT_EQ(codeOf([&] { ctrl->call("OpenEntry", {kSales + "\\WS999"}); }), 601);
    // An alias opens as what it is, not as what it stands for.
    if (ad()) GTEST_SKIP() << "an Active Directory has no aliases";
    EXPECT_EQ(layoutOf(kCorp + "\\Acme\\SalesDemoPC"), "Alias");
}

TEST_P(KDDirControl, SubEntriesIsEmptyOnlyWithoutAnySubordinate) {
    auto ctrl = create();
    ctrl->put("ClassFilter", "Country, Organization, Organizational Unit");
    // HR holds only users: the filter hides them all, yet it is no leaf.
    auto hr = ctrl->call("OpenEntry", {kCorp + "\\Acme\\HR"}).toObject();
    const Variant hrBelow = hr->get("SubEntries");
    ASSERT_FALSE(hrBelow.isEmpty());
    EXPECT_EQ(hrBelow.toObject()->get("Count").toInt32(), 0);

    auto archive = ctrl->call("OpenEntry", {kCorp + "\\Acme\\Archive"}).toObject();
    if (ad()) {
        // Without hasSubordinates a container answers a collection, which
        // is empty once read: the browser's placeholder until it is expanded.
        const Variant archiveBelow = archive->get("SubEntries");
        ASSERT_FALSE(archiveBelow.isEmpty());
        EXPECT_EQ(archiveBelow.toObject()->get("Count").toInt32(), 0);
    } else {
        EXPECT_TRUE(archive->get("SubEntries").isEmpty());
        EXPECT_FALSE(archive->get("SubEntries").toBool());
    }
    auto ws = ctrl->call("OpenEntry", {kSales + "\\WS042"}).toObject();
    EXPECT_TRUE(ws->get("SubEntries").isEmpty());
    auto vossbeck = ctrl->call("OpenEntry", {kSales + "\\" + user("VossbeckT")}).toObject();
    EXPECT_TRUE(vossbeck->get("SubEntries").isEmpty());

    auto sales = ctrl->call("OpenEntry", {kSales}).toObject();
    auto below = names(sales->get("SubEntries"));
    if (ad()) std::sort(below.begin(), below.end());  // Samba's order, as above
    EXPECT_EQ(below, (std::vector<std::string>{"North", "South"}));
}

TEST_P(KDDirControl, FieldValuesReadAsStoredStrings) {
    auto ctrl = create();
    auto vossbeck = ctrl->call("OpenEntry", {kSales + "\\" + user("VossbeckT")}).toObject();
    // On the standard classes a user's address is that of the workstation
    // that names the user as its owner.
    const std::string address = GetParam() == Kind::StandardLdif || GetParam() == Kind::StandardLdap
                                    ? "TCP 10.101.110.140"
                                    : "IPX 0000AC10:00C04F6C8C59:4003";
    const Variant addresses = vossbeck->call("GetFieldValue", {"Network Address", "", true});
    ASSERT_TRUE(addresses.isArray());
    EXPECT_EQ(addresses.toStrings(), std::vector<std::string>{address});
    // Field names ignore case; a single value without allValues is a string.
    EXPECT_EQ(vossbeck->call("GetFieldValue", {"network address"}).toString(), address);

    auto nobody = ctrl->call("OpenEntry", {kSales + "\\North\\" + user("LindqvistE")}).toObject();
    EXPECT_EQ(nobody->call("GetFieldValue", {"Network Address", "", true}).toStrings(),
              std::vector<std::string>{""});
    EXPECT_EQ(nobody->call("GetFieldValue", {"Network Address", "none", false}).toString(), "none");

    auto twoAddresses =
        ctrl->call("OpenEntry", {kCorp + "\\Acme\\IT\\" + user("OkaforN")}).toObject();
    EXPECT_EQ(twoAddresses->call("GetFieldValue", {"Network Address", "", true}).array().size(),
              2u);

    EXPECT_EQ(codeOf([&] { vossbeck->call("GetFieldValue", {"No Such Field", "", true}); }), 603);
    // A field the entry's layout lacks gives no values either.
    if (ad()) GTEST_SKIP() << "an Active Directory has no aliases to read a field of";
    auto alias = ctrl->call("OpenEntry", {kCorp + "\\Acme\\SalesDemoPC"}).toObject();
    EXPECT_EQ(codeOf([&] { alias->call("GetFieldValue", {"Surname", "", true}); }), 603);
}

// The fields a person looks at read alike on every source, whatever
// attribute types stand behind them there.
TEST_P(KDDirControl, TheFieldsOfUsersAndWorkstationsReadAlike) {
    auto ctrl = create();
    const auto valuesOf = [&](const std::string& path, const char* field) {
        return ctrl->call("OpenEntry", {path})
            .toObject()
            ->call("GetFieldValue", {field, "", true})
            .toStrings();
    };
    const std::string vossbeck = kSales + "\\" + user("VossbeckT");
    for (const auto& [field, value] : std::vector<std::pair<const char*, const char*>>{
             {"Full Name", "Tilman Vossbeck"},
             {"Given Name", "Tilman"},
             {"Surname", "Vossbeck"},
             {"Title", "Key Account Manager"},
             {"Department", "Sales"},
             {"Telephone Number", "+44 113 496 0426"},
             {"Internet EMail Address", "tilman.vossbeck@acme.example"},
             {"Description", "Usually at WS042 by the window."},
             {"Location", "Leeds, Building A"}})
        EXPECT_EQ(valuesOf(vossbeck, field), std::vector<std::string>{value}) << field;

    const std::string ws042 = kSales + "\\WS042";
    EXPECT_EQ(valuesOf(ws042, "Description"), std::vector<std::string>{"CAD workstation"});
    EXPECT_EQ(valuesOf(ws042, "Location"),
              std::vector<std::string>{"Leeds, Building A, room 3.32"});
    // The standard classes hold only the TCP address of a host.
    const auto addresses = valuesOf(ws042, "RJ:Network Address");
    if (GetParam() == Kind::StandardLdif || GetParam() == Kind::StandardLdap)
        EXPECT_EQ(addresses, std::vector<std::string>{"TCP 10.101.110.140"});
    else
        EXPECT_EQ(addresses, (std::vector<std::string>{"IPX 0000AC10:00C04F6C8C59:4003",
                                                       "TCP 10.101.110.140"}));
}

// A name beyond ASCII (stored base64 in the exports) reads back as UTF-8 and
// is found in any case, by its path and by a search.
TEST_P(KDDirControl, NamesBeyondAsciiAreFoundInAnyCase) {
    auto ctrl = create();
    const std::string hamburg = kCorp + "\\DE\\Nordwerk\\Hamburg";
    const std::string koenig = user("KoenigV");
    if (mapped()) {
        EXPECT_EQ(koenig, "Viktor K\xC3\xB6nig");
    }
    auto entry = ctrl->call("OpenEntry", {hamburg + "\\" + koenig}).toObject();
    EXPECT_EQ(entry->get("EntryName").toString(), koenig);
    EXPECT_EQ(entry->call("GetFieldValue", {"Surname", "", true}).toStrings(),
              std::vector<std::string>{"K\xC3\xB6nig"});

    const std::string shouted = mapped() ? "VIKTOR K\xC3\x96NIG" : "KOENIGV";
    auto again = ctrl->call("OpenEntry", {hamburg + "\\" + shouted}).toObject();
    EXPECT_EQ(again->get("EntryPath").toString(), hamburg + "\\" + koenig);

    std::vector<Variant> answers;
    advise(*ctrl, [&](DispId, const Args& args) { answers.push_back(args.at(0)); });
    Variant context(kCorp);
    ctrl->call("StartSearch", {shouted.substr(0, 10) + "*", "User", 2, Variant::byRef(context), 1});
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].toStrings(), std::vector<std::string>{hamburg + "\\" + koenig});
}

TEST_P(KDDirControl, SearchAnswersBeforeItReturns) {
    auto ctrl = create();
    std::vector<Variant> answers;
    advise(*ctrl, [&](DispId event, const Args& args) {
        EXPECT_EQ(event, 1);
        answers.push_back(args.at(0));
    });
    Variant context(kCorp);
    ctrl->call("StartSearch", {"mil*", "User, Workstation", 2, Variant::byRef(context), 1});
    ASSERT_EQ(answers.size(), 1u);
    const auto hits = answers[0].toStrings();
    // On Active Directory LabTree is a unit of the one tree: its MillerL joins.
    const std::size_t labTree = ad() ? 1 : 0;
    EXPECT_EQ(hits.size(), 8u + labTree);
    for (const auto& hit : hits) EXPECT_TRUE(hit.starts_with(kCorp + "\\")) << hit;

    // With aliases the alias of MillerA joins the hits, in directory order
    // (Active Directory has none).
    ctrl->call("StartSearch", {"Mil*", "User, Alias, Workstation", 2, Variant::byRef(context), 1});
    EXPECT_EQ(answers[1].array().size(), 8u + labTree + (ad() ? 0 : 1));
    EXPECT_EQ(ctrl->get("ClassFilter").toString(), "User, Alias, Workstation");

    // One level: only the context's own children.
    Variant sales(kSales);
    ctrl->call("StartSearch", {"WS04*", "User, Workstation", 1, Variant::byRef(sales), 1});
    EXPECT_EQ(answers[2].toStrings().size(), 4u);  // WS040 to WS043
    ctrl->call("StartSearch", {"WS05*", "User, Workstation", 1, Variant::byRef(sales), 1});
    EXPECT_TRUE(answers[3].isEmpty());  // they live in Sales\North
    EXPECT_FALSE(answers[3].isArray());
    EXPECT_FALSE(answers[3].toBool());
    ctrl->call("StartSearch", {"WS05*", "User, Workstation", 2, Variant::byRef(sales), 1});
    EXPECT_EQ(answers[4].toStrings().size(), 10u);

    // The class list filters: a workstation name finds no user.
    ctrl->call("StartSearch", {"WS042*", "User", 2, Variant::byRef(context), 1});
    EXPECT_TRUE(answers[5].isEmpty());
    ctrl->call("StartSearch", {"ws042*", "Workstation", 2, Variant::byRef(context), 1});
    EXPECT_EQ(answers[6].toStrings(), std::vector<std::string>{kSales + "\\WS042"});

    // The login name finds the user on every source, even where the entry
    // is named by the full name; a prefix of it too.
    ctrl->call("StartSearch", {"VossbeckT", "User", 2, Variant::byRef(context), 1});
    EXPECT_EQ(answers[7].toStrings(), std::vector<std::string>{kSales + "\\" + user("VossbeckT")});
    ctrl->call("StartSearch", {"vossbeck*", "User, Workstation", 2, Variant::byRef(context), 1});
    EXPECT_EQ(answers[8].toStrings(), std::vector<std::string>{kSales + "\\" + user("VossbeckT")});

    Variant nowhere(kCorp + "\\Nowhere");
    EXPECT_EQ(codeOf([&] {
                  ctrl->call("StartSearch", {"*", "User", 2, Variant::byRef(nowhere), 1});
              }),
              601);
}

TEST_P(KDDirControl, LayoutsAndFieldTypesDescribeTheSchema) {
    auto ctrl = create();
    auto layouts = ctrl->get("Layouts").toObject();
    auto user = layouts->get("Item", {"user"}).toObject();
    ASSERT_TRUE(user);
    EXPECT_EQ(user->get("Name").toString(), "User");
    const auto userFields = names(user->get("Fields"), "Name");
    EXPECT_NE(std::find(userFields.begin(), userFields.end(), "Network Address"), userFields.end());
    EXPECT_NE(std::find(userFields.begin(), userFields.end(), "Surname"), userFields.end());
    const auto wsFields =
        names(layouts->get("Item", {"workstation"}).toObject()->get("Fields"), "Name");
    EXPECT_NE(std::find(wsFields.begin(), wsFields.end(), "RJ:Network Address"), wsFields.end());
    EXPECT_TRUE(layouts->get("Item", {"no such layout"}).isNothing());

    auto types = ctrl->get("FieldTypes").toObject();
    EXPECT_EQ(types->get("Item", {"RK:Harbex File Transfer"}).toObject()->get("Name").toString(),
              "RK:Harbex File Transfer");
    EXPECT_EQ(codeOf([&] { types->get("Item", {"RK:Nothing Like It"}); }), 603);
    EXPECT_EQ(codeOf([&] { types->get("Item", {100000}); }), error::BadIndex);
}

TEST_F(KDDirFile, TheOlderSchemaLacksTheFileTransferField) {
    testsupport::ScopedEnv old(
        "KDDIR_SOURCE", (testsupport::sourceDir() / "demo" / "directory-oldconsole.ldif").string());
    auto ctrl = create();
    EXPECT_EQ(codeOf([&] {
                  ctrl->get("FieldTypes").toObject()->get("Item", {"RK:Harbex File Transfer"});
              }),
              603);
}

TEST_F(KDDirFile, ALostSourceRaises600AndAChangedOneIsReloaded) {
    const fs::path copy = testsupport::freshDir("source") / "dir.ldif";
    fs::copy_file(kDemo, copy);
    testsupport::ScopedEnv env("KDDIR_SOURCE", copy.string());
    auto first = create();
    auto second = create();
    auto entry = first->call("OpenEntry", {kSales + "\\WS042"}).toObject();

    fs::remove(copy);
    EXPECT_EQ(codeOf([&] { first->call("OpenEntry", {kSales}); }), 600);
    EXPECT_EQ(codeOf([&] { second->get("EntriesBelow"); }), 600);
    // What was read before stays readable.
    EXPECT_EQ(entry->get("EntryName").toString(), "WS042");

    // The file comes back without WS042: both instances see the new data.
    std::string text = testsupport::readFile(kDemo);
    const auto at = text.find("dn: cn=WS042,");
    const auto end = text.find("\n\n", at);
    text.erase(at, end - at + 2);
    testsupport::writeFile(copy, text);
    EXPECT_EQ(codeOf([&] { first->call("OpenEntry", {kSales + "\\WS042"}); }), 601);
    EXPECT_EQ(codeOf([&] { second->call("OpenEntry", {kSales + "\\WS041"}); }), 0);

    // A file that no longer holds a directory counts as lost, too.
    testsupport::writeFile(copy, "this is not LDIF\n");
    EXPECT_EQ(codeOf([&] { first->get("CurrentEntry"); }), 600);
}

// The hits of a search are named when they are read, which may be long after
// the search: they still name what the search found, in the data it found
// them in, even once the source has changed or gone.
TEST_F(KDDirFile, HitsReadAfterTheSourceChangedNameWhatTheSearchFound) {
    const fs::path copy = testsupport::freshDir("source") / "dir.ldif";
    fs::copy_file(kDemo, copy);
    testsupport::ScopedEnv env("KDDIR_SOURCE", copy.string());
    auto ctrl = create();
    std::vector<Variant> answers;
    advise(*ctrl, [&](DispId, const Args& args) { answers.push_back(args.at(0)); });
    Variant sales(kSales);
    ctrl->call("StartSearch", {"WS04*", "User, Workstation", 1, Variant::byRef(sales), 1});
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_EQ(answers[0].arraySize(), 4u);

    std::string text = testsupport::readFile(kDemo);
    const auto at = text.find("dn: cn=WS042,");
    text.erase(at, text.find("\n\n", at) - at + 2);
    testsupport::writeFile(copy, text);
    ctrl->call("StartSearch", {"WS04*", "User, Workstation", 1, Variant::byRef(sales), 1});
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1].arraySize(), 3u) << "a new search reads the changed source";

    fs::remove(copy);
    EXPECT_EQ(answers[0].arrayItem(2).toString(), kSales + "\\WS042");
    EXPECT_EQ(answers[0].toStrings(),
              (std::vector<std::string>{kSales + "\\WS040", kSales + "\\WS041", kSales + "\\WS042",
                                        kSales + "\\WS043"}));
}

TEST_F(KDDirFile, ASourceOverTheRegistryLimitOrNotAFileRaises600AtOnce) {
    platform::registry::Store store;
    const auto limited = [&](const std::string& value) {
        store.setValue("Software\\KDDirLib\\KDDirCtrl", "MaxSourceBytes", value);
        try {
            create();
        } catch (const AutomationError& e) {
            return std::to_string(e.code()) + " " + e.description();
        }
        return std::string("created");
    };
    const std::string refused = limited("1000");
    EXPECT_EQ(refused.rfind("600 ", 0), 0u) << refused;
    EXPECT_NE(refused.find("larger than the limit of 1000 bytes"), std::string::npos) << refused;
    EXPECT_NE(refused.find("Software\\KDDirLib\\KDDirCtrl\\MaxSourceBytes"), std::string::npos);
    EXPECT_EQ(limited(std::to_string(fs::file_size(kDemo))), "created");
    // A value that is no number of bytes leaves the default of 2 GiB.
    for (const char* damaged : {"0", "-5", "lots", "1e9", "99999999999999999999999"})
        EXPECT_EQ(limited(damaged), "created") << damaged;
    store.deleteKey("Software\\KDDirLib");

    const fs::path fifo = testsupport::freshDir("fifo") / "source.ldif";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    testsupport::ScopedEnv env("KDDIR_SOURCE", fifo.string());
    EXPECT_EQ(codeOf([&] { create(); }), 600);  // rather than waiting for a writer for ever
}

TEST_F(KDDirFile, AClassNamedTopIsTheOneTopLayout) {
    const fs::path file = testsupport::freshDir("top") / "top.ldif";
    testsupport::writeFile(
        file,
        "dn: cn=Subschema\nobjectClass: subschema\n"
        "attributeTypes: ( 0.9.2342.19200300.100.1.25 NAME 'dc' X-KTR-NAME 'Domain' )\n"
        "objectClasses: ( 2.5.6.0 NAME 'top' ABSTRACT )\n"
        "objectClasses: ( 1.1.9 NAME 'ktrTree' SUP top MUST dc X-KTR-NAME 'Top' )\n\n"
        "dn: dc=T\nobjectClass: top\nobjectClass: ktrTree\ndc: T\n");
    testsupport::ScopedEnv env("KDDIR_SOURCE", file.string());
    auto ctrl = create();
    EXPECT_EQ(names(ctrl->get("Layouts"), "Name"), (std::vector<std::string>{"Top"}));
    EXPECT_EQ(names(ctrl->get("Layouts").toObject()->get("Item", {"top"}).toObject()->get("Fields"),
                    "Name"),
              (std::vector<std::string>{"Domain"}));
    EXPECT_EQ(
        ctrl->get("CurrentEntry").toObject()->get("Layout").toObject()->get("Name").toString(),
        "Top");
}
