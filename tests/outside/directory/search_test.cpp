// Name searches: pattern, class filter, scope, order and limit, on the sample
// file and, against a plain walk of the tree, on a generated directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "fixtures.h"
#include "outside/directory/builder.h"
#include "outside/directory/ldif.h"
#include "outside/directory/pattern.h"
#include "platform/text/casefold.h"

using namespace outside::directory;
using platform::text::foldCase;

namespace {

class SampleSearch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const LoadResult result = loadLdif(directorytest::fixture("sample.ldif"));
        ASSERT_TRUE(result.ok()) << result.error.describe();
        dir_ = result.directory;
    }
    static void TearDownTestSuite() { dir_.reset(); }

    // Hits as full names without the "KTR:\\Alpha\DE\Acme\" part, when they have it.
    std::vector<std::string> search(std::string_view pattern, std::vector<std::string> classes,
                                    std::string_view context, Scope scope = Scope::Subtree,
                                    std::size_t maxHits = static_cast<std::size_t>(-1)) const {
        SearchQuery query;
        query.pattern = pattern;
        query.classes = std::move(classes);
        query.context = dir_->find(context);
        query.scope = scope;
        query.maxHits = maxHits;
        std::vector<std::string> names;
        for (EntryId hit : dir_->search(query)) {
            std::string name = dir_->fullName(hit);
            const std::string prefix = "KTR:\\\\Alpha\\DE\\Acme\\";
            if (name.starts_with(prefix)) name.erase(0, prefix.size());
            names.push_back(name);
        }
        return names;
    }

    static std::shared_ptr<const Directory> dir_;
};
std::shared_ptr<const Directory> SampleSearch::dir_;

using Names = std::vector<std::string>;
const std::string kAlpha = "KTR:\\\\Alpha";
const std::string kSales = "KTR:\\\\Alpha\\DE\\Acme\\Sales";

}  // namespace

TEST_F(SampleSearch, PrefixAndClassesIgnoreCaseAndAnswerInDirectoryOrder) {
    const Names usersAndWorkstations = {"Sales\\Smithers", "Sales\\smith-ws", "Lab\\Smith"};
    EXPECT_EQ(search("smi*", {"User", "Workstation"}, kAlpha), usersAndWorkstations);
    EXPECT_EQ(search("SMI*", {"user", "WORKSTATION"}, "ktr:\\\\ALPHA"), usersAndWorkstations);
    // Sales\Smith is an Administrator, a class of its own.
    EXPECT_EQ(search("smi*", {"User", "Workstation", "Administrator"}, kAlpha),
              (Names{"Sales\\Smith", "Sales\\Smithers", "Sales\\smith-ws", "Lab\\Smith"}));
    EXPECT_EQ(search("smi*", {"Workstation"}, kAlpha), (Names{"Sales\\smith-ws", "Lab\\Smith"}));
    EXPECT_EQ(search("*", {"Alias"}, kAlpha), (Names{"Sales\\Alias Smith"}));
    EXPECT_EQ(search("smi*", {"Printer"}, kAlpha), Names{});
}

TEST_F(SampleSearch, OneLevelStaysInTheContainerSubtreeGoesBelow) {
    EXPECT_EQ(search("smi*", {"User", "Workstation"}, kSales, Scope::OneLevel),
              (Names{"Sales\\Smithers", "Sales\\smith-ws"}));
    const std::string acme = "KTR:\\\\Alpha\\DE\\Acme";
    EXPECT_EQ(search("smi*", {"User", "Workstation"}, acme, Scope::OneLevel), Names{});
    EXPECT_EQ(search("*", {}, acme, Scope::OneLevel), (Names{"Sales", "Lab"}));
    // Depth first, children in file order: Ärger was filed after Lab but
    // belongs to Sales.
    EXPECT_EQ(
        search("*", {}, "KTR:\\\\Alpha\\DE"),
        (Names{"KTR:\\\\Alpha\\DE\\Acme", "Sales", "Sales\\Zeta", "Sales\\Müller", "Sales\\WS001",
               "Sales\\Smith", "Sales\\Smithers", "Sales\\smith-ws", "Sales\\Alias Smith",
               "Sales\\Ärger", "Lab", "Lab\\Smith", "KTR:\\\\Alpha\\DE\\Empty"}));
    // The context itself is not below itself; trees do not mix.
    EXPECT_EQ(search("sales", {}, kSales), Names{});
    EXPECT_EQ(search("smith", {}, "KTR:\\\\Beta"), (Names{"KTR:\\\\Beta\\Beta Corp\\Smith"}));
    EXPECT_EQ(search("*", {}, kSales + "\\Zeta"), Names{});
}

TEST_F(SampleSearch, PatternsBeyondPlainPrefixes) {
    EXPECT_EQ(search("smith", {}, kAlpha), (Names{"Sales\\Smith", "Lab\\Smith"}));
    EXPECT_EQ(search("smit", {}, kAlpha), Names{});
    EXPECT_EQ(search("*smith", {}, kAlpha),
              (Names{"Sales\\Smith", "Sales\\Alias Smith", "Lab\\Smith"}));
    EXPECT_EQ(search("s*-ws", {}, kAlpha), (Names{"Sales\\smith-ws"}));
    EXPECT_EQ(search("ä*", {}, kAlpha), (Names{"Sales\\Ärger"}));
    EXPECT_EQ(search("Ä*", {}, kAlpha), (Names{"Sales\\Ärger"}));
    EXPECT_EQ(search("MÜ*", {}, kAlpha), (Names{"Sales\\Müller"}));
    EXPECT_EQ(search("", {}, kAlpha), Names{});
}

TEST_F(SampleSearch, LimitKeepsTheFirstHitsInDirectoryOrder) {
    EXPECT_EQ(search("*", {}, kAlpha, Scope::Subtree, 3),
              (Names{"KTR:\\\\Alpha\\DE", "KTR:\\\\Alpha\\DE\\Acme", "Sales"}));
    EXPECT_EQ(search("smi*", {"User", "Workstation"}, kAlpha, Scope::Subtree, 1),
              (Names{"Sales\\Smithers"}));
    EXPECT_EQ(search("*", {}, kAlpha, Scope::Subtree, 0), Names{});
}

TEST_F(SampleSearch, InvalidContextFindsNothing) {
    SearchQuery query;
    query.context = kNoEntry;
    EXPECT_TRUE(dir_->search(query).empty());
    query.context = static_cast<EntryId>(dir_->size());
    EXPECT_TRUE(dir_->search(query).empty());
}

// A generated directory, added level by level (so that directory order is
// not file order), searched with many queries. Each answer must equal what
// a plain depth-first walk of the generated tree gives; the queries cover
// both ways the search can go (name index or walk).
TEST(SearchAgainstWalk, AgreesOnManyQueries) {
    const Schema schema = Schema::parse(
        {"( 2.5.4.3 NAME 'cn' )", "( 2.5.4.11 NAME 'ou' )"},
        {"( 2.5.6.0 NAME 'top' ABSTRACT )",
         "( 2.5.6.5 NAME 'organizationalUnit' SUP top X-KTR-NAME 'Organizational Unit' )",
         "( 1.1.1 NAME 'ktrUser' SUP top X-KTR-NAME 'User' )",
         "( 1.1.2 NAME 'ktrWorkstation' SUP top X-KTR-NAME 'Workstation' )",
         "( 1.1.3 NAME 'alias' SUP top X-KTR-NAME 'Alias' )"});
    const std::vector<std::string> classes = {"Organizational Unit", "User", "Workstation",
                                              "Alias"};
    const std::vector<std::string> ldapClasses = {"organizationalUnit", "ktrUser", "ktrWorkstation",
                                                  "alias"};
    const std::vector<std::string> syllables = {"sm", "Smi", "th", "ä", "Ö", "a",
                                                "B",  "er",  "-",  "w", "s", "x"};

    struct Node {
        std::string name;
        std::size_t cls;  // index into classes; 0 = container
        std::size_t parent;
        std::vector<std::size_t> children;
        std::string dn;
    };
    std::mt19937 random(7);
    std::vector<Node> nodes{{"R", 0, 0, {}, "dc=R"}};
    std::vector<std::set<std::string>> used(1);
    std::vector<std::size_t> containers{0};
    while (nodes.size() < 3000) {
        const std::size_t parent = containers[random() % containers.size()];
        std::string name;
        for (std::size_t k = 0; k < 1 + random() % 3; ++k)
            name += syllables[random() % syllables.size()];
        name += std::to_string(random() % 50);
        if (!used[parent].insert(foldCase(name)).second) continue;
        const std::size_t cls = nodes.size() < 200 ? 0 : random() % 4;
        const std::size_t id = nodes.size();
        nodes.push_back({name,
                         cls,
                         parent,
                         {},
                         std::string(cls == 0 ? "ou=" : "cn=") + name + "," + nodes[parent].dn});
        nodes[parent].children.push_back(id);
        used.emplace_back();
        if (cls == 0) containers.push_back(id);
    }

    // Add breadth first: children still follow their parents.
    DirectoryBuilder builder(schema, "generated");
    std::vector<std::size_t> queue{0};
    for (std::size_t at = 0; at < queue.size(); ++at) {
        const Node& node = nodes[queue[at]];
        const std::string_view cls = ldapClasses[node.cls];
        const DirectoryBuilder::Attribute attribute{"objectClass", {&cls, 1}};
        builder.addEntry(node.dn, {&attribute, 1});
        for (std::size_t child : node.children) queue.push_back(child);
    }
    const auto dir = builder.finish();
    ASSERT_EQ(dir->size(), nodes.size());

    const auto fullName = [&](std::size_t id) {
        std::vector<std::string> names;
        for (std::size_t at = id;; at = nodes[at].parent) {
            names.push_back(nodes[at].name);
            if (at == 0) break;
        }
        std::string out = "KTR:\\\\";
        for (auto it = names.rbegin(); it != names.rend(); ++it)
            out += (it == names.rbegin() ? "" : "\\") + *it;
        return out;
    };

    for (int round = 0; round < 1500; ++round) {
        const std::size_t context = random() % 3 ? containers[random() % containers.size()] : 0;
        const Scope scope = random() % 3 ? Scope::Subtree : Scope::OneLevel;
        std::vector<std::string> wanted;
        for (const std::string& cls : classes) {
            if (random() % 2) wanted.push_back(cls);
        }
        const std::string& sample = nodes[random() % nodes.size()].name;
        std::string pattern;
        switch (random() % 5) {
            case 0:
                pattern = "*";
                break;
            case 1:
                pattern = sample;
                break;
            case 2:
                pattern = "*" + sample.substr(sample.size() / 2);
                break;
            default:
                pattern = sample.substr(0, random() % 4) + "*";
                break;
        }
        if (random() % 2) pattern = foldCase(pattern);
        const std::size_t limits[] = {1, 5, 100, static_cast<std::size_t>(-1)};
        const std::size_t maxHits = limits[random() % 4];

        std::vector<std::string> expected;
        const std::string folded = foldCase(pattern);
        const auto visit = [&](auto&& self, std::size_t id, int depth) -> void {
            const Node& node = nodes[id];
            const bool classOk = wanted.empty() || std::find(wanted.begin(), wanted.end(),
                                                             classes[node.cls]) != wanted.end();
            if (depth > 0 && classOk && matchesPattern(folded, foldCase(node.name)) &&
                expected.size() < maxHits) {
                expected.push_back(fullName(id));
            }
            if (depth == 0 || scope == Scope::Subtree) {
                for (std::size_t child : node.children) self(self, child, depth + 1);
            }
        };
        visit(visit, context, 0);

        SearchQuery query;
        query.pattern = pattern;
        query.classes = wanted;
        query.scope = scope;
        query.context = dir->find(fullName(context));
        query.maxHits = maxHits;
        std::vector<std::string> actual;
        for (EntryId hit : dir->search(query)) actual.push_back(dir->fullName(hit));
        ASSERT_EQ(actual, expected) << "pattern " << pattern << " in " << fullName(context)
                                    << " scope " << static_cast<int>(scope) << " limit " << maxHits;
    }
}

// Enough entries that the name index is sorted in two halves and merged;
// names that agree in their first twelve bytes and differ in case or only
// after them, so that the text itself must settle the order.
TEST(SearchAgainstWalk, ALargeNameIndexFindsEveryPrefix) {
    const Schema schema = Schema::parse(
        {"( 2.5.4.3 NAME 'cn' )"},
        {"( 2.5.6.0 NAME 'top' ABSTRACT )", "( 1.1.1 NAME 'ktrUser' SUP top X-KTR-NAME 'User' )"});
    const std::vector<std::string> heads = {
        "Smithsonian-", "smithsonian-x", "SMITH", "Ähnlich-Äpfel", "a", "zz-top-the-band"};
    std::mt19937 random(11);
    DirectoryBuilder builder(schema, "large");
    const std::string_view user = "ktrUser";
    const DirectoryBuilder::Attribute cls{"objectClass", {&user, 1}};
    const std::string_view unit = "top";
    const DirectoryBuilder::Attribute rootClass{"objectClass", {&unit, 1}};
    builder.addEntry("dc=R", {&rootClass, 1});
    std::vector<std::string> names;
    std::set<std::string> folded;
    while (names.size() < 70000) {
        std::string name = heads[random() % heads.size()] + std::to_string(random() % 200000);
        if (!folded.insert(foldCase(name)).second) continue;
        builder.addEntry("cn=" + name + ",dc=R", {&cls, 1});
        names.push_back(name);
    }
    const auto dir = builder.finish();
    ASSERT_EQ(dir->size(), names.size() + 1);

    for (const std::string prefix :
         {"smithsonian-1", "Smithsonian-X12", "smith", "SMITH1", "ähnlich-äpfel19", "a1", "a",
          "zz-top-the-band9", "zz-top-the-bane", "", "\xC3\x84hnlich-\xC3\x84pfel"}) {
        SCOPED_TRACE(prefix);
        const std::string pattern = prefix + "*";
        SearchQuery query;
        query.pattern = pattern;
        query.context = dir->trees().front();
        const std::vector<EntryId> hits = dir->search(query);
        std::vector<EntryId> expected;
        const std::string key = foldCase(prefix);
        for (EntryId id = 1; id < dir->size(); ++id)
            if (foldCase(dir->name(id)).starts_with(key)) expected.push_back(id);
        EXPECT_EQ(hits, expected);
    }
}
