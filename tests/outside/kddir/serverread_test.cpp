// How the directory control reads a large server: a level's entries come
// with only what a tree node shows and read their values in full when asked
// (never answering as an entry without values), and a search's hits come
// page by page as the caller reads on, on a connection of their own, giving
// what the same directory as a file gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/automation/automation.h"
#include "testsupport/slapd.h"
#include "testsupport/testsupport.h"

using namespace platform::automation;

namespace {

const std::string kCorp = "KTR:\\\\CorpTree";
const std::string kSales = kCorp + "\\Acme\\Sales";

class ServerRead : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(loadServer(KDDIR_LIBRARY).registerServer(), status::Ok);
    }
    void TearDown() override { testsupport::forgetCredentials(); }

    static Ref<Object> create(const std::string& source) {
        testsupport::ScopedEnv env("KDDIR_SOURCE", source);
        return createObject("KDDirLib.KDDirCtrl.1");
    }
    static Ref<Object> onServer(const testsupport::Slapd& server) {
        testsupport::storeCredentials(server);
        return create(server.url());
    }
    static Ref<Object> onFile(const char* name) {
        return create((testsupport::sourceDir() / "demo" / name).string());
    }

    // Every value of every field of every entry of a level, by full name.
    using Values = std::map<std::string, std::map<std::string, std::vector<std::string>>>;
    static Values levelValues(const Ref<Object>& ctrl, const std::string& level) {
        ctrl->put("ContextPath", level);
        ctrl->put("ClassFilter", "Organizational Unit, User, Alias, Workstation");
        Values out;
        const auto below = ctrl->get("EntriesBelow").toObject();
        for (int i = 0; i < below->get("Count").toInt32(); ++i) {
            const auto entry = below->call("Item", {i}).toObject();
            auto& fields = out[entry->get("EntryPath").toString()];
            const auto layout = entry->get("Layout").toObject()->get("Fields").toObject();
            for (int f = 0; f < layout->get("Count").toInt32(); ++f) {
                const std::string field =
                    layout->call("Item", {f}).toObject()->get("Name").toString();
                const Variant all = entry->call("GetFieldValue", {field, "", true});
                for (const Variant& value : all.array())
                    if (!value.toString().empty()) fields[field].push_back(value.toString());
            }
        }
        return out;
    }

    // The answer of a search, as it stands when SearchCompleted comes.
    static Variant search(const Ref<Object>& ctrl, const std::string& pattern,
                          const std::string& classes) {
        std::vector<Variant> answers;
        const auto cookie =
            advise(*ctrl, [&](DispId, const Args& args) { answers.push_back(args.at(0)); });
        Variant context(kCorp);
        ctrl->call("StartSearch", {pattern, classes, 2, Variant::byRef(context), 1});
        unadvise(*ctrl, cookie);
        EXPECT_EQ(answers.size(), 1u);
        return answers.empty() ? Variant() : answers[0];
    }
    static std::vector<std::string> sorted(std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::vector<std::string> namesOf(const Variant& answer) {
        std::vector<std::string> names;
        for (const Variant& hit : answer.array()) names.push_back(hit.toString());
        return names;
    }
    static std::vector<std::string> readThrough(const Variant& answer) {
        while (!answer.arrayComplete()) answer.arrayReadMore();
        std::vector<std::string> names;
        for (std::size_t i = 0; i < answer.arraySize(); ++i)
            names.push_back(answer.arrayItem(i).toString());
        return names;
    }
};

}  // namespace

TEST_F(ServerRead, ALevelsEntriesShowEveryValueTheFileHas) {
    // Users' network addresses, owners and the standard mapping's derived
    // forms included: each of them reads the entry in full.
    const Values file = levelValues(onFile("directory.ldif"), kSales);
    ASSERT_GT(file.size(), 5u);
    EXPECT_EQ(levelValues(onServer(testsupport::Slapd::shared()), kSales), file);

    const Values standardFile = levelValues(onFile("directory-standard.ldif"), kSales);
    const auto withAddress =
        std::count_if(standardFile.begin(), standardFile.end(),
                      [](const auto& entry) { return entry.second.count("Network Address"); });
    ASSERT_GT(withAddress, 0);
    EXPECT_EQ(levelValues(onServer(testsupport::Slapd::shared(testsupport::Slapd::Data::Standard)),
                          kSales),
              standardFile);
}

TEST_F(ServerRead, ALevelsEntryThatCannotBeReadInFullRaisesRatherThanShowNoValues) {
    testsupport::Slapd server({});
    auto ctrl = onServer(server);
    ctrl->put("ContextPath", kSales);
    // The tree's filter: containers too, so only what a node shows is read.
    ctrl->put("ClassFilter", "Organizational Unit, Workstation");
    const auto below = ctrl->get("EntriesBelow").toObject();
    std::vector<Ref<Object>> workstations;
    for (int i = 0; i < below->get("Count").toInt32(); ++i) {
        auto entry = below->call("Item", {i}).toObject();
        if (entry->get("Layout").toObject()->get("Name").toString() == "Workstation")
            workstations.push_back(std::move(entry));
    }
    ASSERT_GE(workstations.size(), 2u);
    const auto first = workstations[0];
    const auto second = workstations[1];
    const std::string name = first->get("EntryName").toString();

    server.stop();
    // What the tree shows stays readable; the values are not there to show.
    EXPECT_EQ(first->get("EntryName").toString(), name);
    try {
        first->call("GetFieldValue", {"RJ:Network Address", "", true});
        ADD_FAILURE() << "the values of " << name << " came without a server";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.code(), 600);
    }

    server.start();
    const Variant addresses = first->call("GetFieldValue", {"RJ:Network Address", "", true});
    ASSERT_FALSE(addresses.array().empty());
    EXPECT_FALSE(addresses.array()[0].toString().empty());
    EXPECT_FALSE(second->call("GetFieldValue", {"RJ:Network Address"}).toString().empty());
}

TEST_F(ServerRead, ALevelOfWorkstationsAloneComesWithItsValuesInOneRead) {
    testsupport::Slapd server({});
    auto ctrl = onServer(server);
    ctrl->put("ContextPath", kSales);
    ctrl->put("ClassFilter", "Workstation");
    const auto below = ctrl->get("EntriesBelow").toObject();
    ASSERT_GT(below->get("Count").toInt32(), 1);
    server.stop();
    // A database build reads such levels: no entry goes back to the server.
    for (int i = 0; i < below->get("Count").toInt32(); ++i) {
        const auto entry = below->call("Item", {i}).toObject();
        EXPECT_FALSE(entry->call("GetFieldValue", {"RJ:Network Address"}).toString().empty())
            << entry->get("EntryName").toString();
    }
}

TEST_F(ServerRead, ALevelOfMoreThanOnePageComesWholeFromAServerThatCapsItsPages) {
    // The demo's Sales with 2,500 workstations more: a level is asked for in
    // pages larger than this server sends.
    std::string ldif = testsupport::readFile(testsupport::sourceDir() / "demo" / "directory.ldif");
    std::vector<std::string> added;
    for (int i = 0; i < 2500; ++i) {
        const std::string name = "BULK" + std::to_string(10000 + i);
        ldif += "\ndn: cn=" + name +
                ",ou=Sales,o=Acme,dc=CorpTree\nobjectClass: top\nobjectClass: ktrWorkstation\ncn: " +
                name + "\n";
        added.push_back(kSales + "\\" + name);
    }
    const auto file = testsupport::freshDir("bulk") / "bulk.ldif";
    testsupport::writeFile(file, ldif);
    testsupport::Slapd server({.ldif = file, .sizeLimit = 0, .tls = false, .pageSize = 1000});
    auto ctrl = onServer(server);
    ctrl->put("ContextPath", kSales);
    ctrl->put("ClassFilter", "Organizational Unit, User, Workstation");
    const auto below = ctrl->get("EntriesBelow").toObject();
    std::vector<std::string> names;
    for (int i = 0; i < below->get("Count").toInt32(); ++i)
        names.push_back(below->call("Item", {i}).toObject()->get("EntryPath").toString());
    EXPECT_EQ(ctrl->get("LimitedTo").toInt32(), 0);
    for (const std::string& name : added)
        EXPECT_EQ(std::count(names.begin(), names.end(), name), 1) << name;
    EXPECT_GT(names.size(), added.size()) << "the level's own entries are there too";
}

TEST_F(ServerRead, TheHitsOfAWorkstationSearchOpenWithTheValuesItReadWhileTheyAreHeld) {
    const auto file = onFile("directory.ldif");
    testsupport::Slapd server({.ldif = {}, .sizeLimit = 0, .tls = false, .pageSize = 4});
    auto ctrl = onServer(server);
    const auto addressOf = [](const Ref<Object>& c, const std::string& name) {
        return c->call("OpenEntry", {name})
            .toObject()
            ->call("GetFieldValue", {"RJ:Network Address", "", true})
            .array();
    };
    const auto textsOf = [](const std::vector<Variant>& values) {
        std::vector<std::string> out;
        for (const Variant& v : values) out.push_back(v.toString());
        return out;
    };
    Variant answer = search(ctrl, "*", "Workstation");
    const std::vector<std::string> hits = readThrough(answer);
    ASSERT_GT(hits.size(), 4u);
    server.stop();
    // A database build opens each hit next: no request of its own, and what
    // it reads is what the file holds.
    for (const std::string& name : hits)
        EXPECT_EQ(textsOf(addressOf(ctrl, name)), textsOf(addressOf(file, name))) << name;
    const auto raises600 = [&](const std::string& name) {
        try {
            addressOf(ctrl, name);
        } catch (const AutomationError& e) {
            return e.code() == 600;
        }
        return false;
    };
    // Hits no longer held answer nothing: an entry opened later is read anew.
    answer = Variant();
    EXPECT_TRUE(raises600(hits.back()));

    // A search of every class reads only names: its hits are read anew.
    server.start();
    const Variant everything = search(ctrl, "WS0*", "");
    ASSERT_GT(everything.arraySize(), 0u);
    server.stop();
    EXPECT_TRUE(raises600(everything.arrayItem(0).toString()));
}

TEST_F(ServerRead, AStarSearchIsReadPageByPageAndGivesTheFilesHits) {
    const auto expected =
        sorted(namesOf(search(onFile("directory.ldif"), "*", "User, Workstation")));
    ASSERT_GT(expected.size(), 20u);

    testsupport::Slapd server({.ldif = {}, .sizeLimit = 0, .tls = false, .pageSize = 7});
    auto ctrl = onServer(server);
    const Variant answer = search(ctrl, "*", "User, Workstation");
    EXPECT_FALSE(answer.arrayComplete());
    const std::size_t first = answer.arraySize();
    EXPECT_GE(first, 2u);
    EXPECT_LE(first, 7u);
    const std::string firstHit = answer.arrayItem(0).toString();

    // The tree read between pages, through the same server and account,
    // neither ends the search nor changes what it gives.
    auto tree = onServer(server);
    answer.arrayReadMore();
    tree->put("ContextPath", kSales);
    EXPECT_GT(tree->get("EntriesBelow").toObject()->get("Count").toInt32(), 7);
    const auto hits = readThrough(answer);
    EXPECT_EQ(sorted(hits), expected);
    EXPECT_EQ(hits.front(), firstHit);  // rows read stay where they are
    EXPECT_EQ(ctrl->get("LimitedTo").toInt32(), 0);

    // A search read whole at once (a database build) gives the same.
    EXPECT_EQ(sorted(namesOf(search(ctrl, "*", "User, Workstation"))), expected);
    // A search of one hit is whole at once.
    const Variant one = search(ctrl, "WS042*", "Workstation");
    EXPECT_TRUE(one.arrayComplete());
    EXPECT_EQ(one.arraySize(), 1u);
}

TEST_F(ServerRead, ALimitMetOnALaterPageIsReported) {
    testsupport::Slapd server({.ldif = {}, .sizeLimit = 12, .tls = false, .pageSize = 5});
    auto ctrl = onServer(server);
    const Variant answer = search(ctrl, "*", "User, Workstation");
    EXPECT_EQ(ctrl->get("LimitedTo").toInt32(), 0);  // nothing was cut yet
    EXPECT_EQ(readThrough(answer).size(), 12u);
    EXPECT_EQ(ctrl->get("LimitedTo").toInt32(), 12);
}

TEST_F(ServerRead, AServerLostBetweenPagesEndsTheHitsWithTheReason) {
    testsupport::Slapd server({.ldif = {}, .sizeLimit = 0, .tls = false, .pageSize = 7});
    auto ctrl = onServer(server);
    const std::size_t all = readThrough(search(ctrl, "*", "User, Workstation")).size();
    // A server that went away between two searches and came back: the next
    // one is read on a new connection.
    server.stop();
    server.start();
    EXPECT_EQ(readThrough(search(ctrl, "*", "User, Workstation")).size(), all);

    const Variant answer = search(ctrl, "*", "User, Workstation");
    const std::size_t first = answer.arraySize();
    ASSERT_FALSE(answer.arrayComplete());

    server.stop();
    try {
        answer.arrayReadMore();
        ADD_FAILURE() << "a page came without a server";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.code(), 600);
        EXPECT_NE(e.description().find("search's hits"), std::string::npos) << e.description();
    }
    // The hits read stay; none come any more.
    EXPECT_TRUE(answer.arrayComplete());
    EXPECT_EQ(answer.arraySize(), first);
    server.start();
}
