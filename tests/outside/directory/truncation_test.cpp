// What may be a tree root, and files cut short: an entry without its parent
// is a tree root only when it is a container, so a demo directory cut at any
// point either fails with an error that names a line, or loads a part of the
// full directory, never a directory with other trees or other entries.
#include <gtest/gtest.h>

#include <set>

#include "fixtures.h"
#include "outside/directory/ldif.h"

using namespace outside::directory;
using directorytest::fixture;
using directorytest::kHeader;
using directorytest::writeLdif;

namespace {

const LoadResult& loaded(const LoadResult& result) {
    EXPECT_TRUE(result.ok()) << result.error.describe();
    return result;
}

}  // namespace

TEST(TreeRoots, AnEntryWithoutParentMustBeAContainer) {
    directorytest::expectRefused({
        // What a file cut inside a DN leaves: no attributes at all.
        {"dn: cn=WS076,ou=Sal\n", 12, "has no objectClass"},
        {"dn: dc=U\n", 12, "\"dc=U\" has no objectClass"},
        {"dn: cn=a,ou=Missing,dc=T2\nobjectClass: ktrUser\ncn: a\n", 12,
         "the parent entry \"ou=Missing,dc=T2\" is missing"},
        {"dn: cn=a\nobjectClass: ktrUser\n", 12,
         "the entry \"cn=a\" is a User and cannot be the root of a tree"},
        // Below a root an entry must say what it is.
        {"dn: cn=a,dc=T\nobjectClass: top\n", 12, "\"cn=a,dc=T\" has no structural class"},
    });

    // Classes derived from User, Workstation or Alias are no containers either.
    std::string sample = testsupport::readFile(fixture("sample.ldif"));
    const LoadResult admin = loadLdifText(
        sample + "\ndn: cn=Boss,o=Gone,dc=Nowhere\nobjectClass: ktrAdmin\ncn: Boss\n", "s");
    EXPECT_NE(admin.error.message.find("the parent entry \"o=Gone,dc=Nowhere\" is missing"),
              std::string::npos)
        << admin.error.message;

    // A container without its parent is a tree of its own, of class Top.
    const LoadResult second = loaded(
        loadLdifText(kHeader + "dn: o=Other,dc=Elsewhere\nobjectClass: organization\n", "t"));
    ASSERT_EQ(second.directory->trees().size(), 2u);
    const EntryId other = second.directory->trees()[1];
    EXPECT_EQ(second.directory->fullName(other), "KTR:\\\\Other");
    EXPECT_EQ(second.directory->className(other), "Top");
}

TEST(TreeRoots, AClassNamedTopIsTheRootsClass) {
    const std::string head =
        "dn: cn=Subschema\nobjectClass: subschema\n"
        "attributeTypes: ( 0.9.2342.19200300.100.1.25 NAME 'dc' X-KTR-NAME 'Domain' )\n"
        "attributeTypes: ( 2.5.4.3 NAME 'cn' )\n";
    const std::string top = "objectClasses: ( 2.5.6.0 NAME 'top' ABSTRACT )\n";
    const std::string classes =
        "objectClasses: ( 1.1.9 NAME 'ktrTree' SUP top MUST dc X-KTR-NAME 'Top' )\n"
        "objectClasses: ( 1.1.2 NAME 'ktrUser' SUP top MUST cn X-KTR-NAME 'User' )\n";
    const std::string entries =
        "\ndn: dc=T\nobjectClass: top\nobjectClass: ktrTree\ndc: T\n\n"
        "dn: dc=U\nobjectClass: top\ndc: U\n\n"
        "dn: cn=a,dc=T\nobjectClass: top\nobjectClass: ktrUser\ncn: a\n";
    // With LDAP's top declared before or after the class, or not at all.
    for (const std::string& text : {head + top + classes + entries, head + classes + top + entries,
                                    head + classes + entries}) {
        const LoadResult result = loaded(loadLdifText(text, "t"));
        if (!result.ok()) continue;
        const Directory& dir = *result.directory;
        ASSERT_EQ(dir.trees().size(), 2u);
        for (const EntryId root : dir.trees()) EXPECT_EQ(dir.className(root), "Top");
        const Schema& schema = dir.schema();
        EXPECT_EQ(schema.findClass("TOP"), schema.topClass());
        EXPECT_EQ(schema.objectClass(schema.topClass()).ldapNames.front(), "ktrTree");
        // The roots have the named class's layout.
        EXPECT_EQ(dir.values(dir.trees()[1], "Domain"), (std::vector<std::string_view>{"U"}));
        // LDAP's top is still found by its LDAP name, for objectClass lists.
        ASSERT_TRUE(schema.classByLdapName("top"));
        EXPECT_FALSE(schema.objectClass(*schema.classByLdapName("top")).named);
        EXPECT_EQ(dir.className(dir.find("KTR:\\\\T\\a")), "User");
    }
}

// Cuts the demo directory at every record boundary and every line, and at
// every byte of a few records (a tree root, containers, a user, a
// workstation, the last record).
TEST(Truncation, ACutFileFailsWithALineOrLoadsAPartOfTheWhole) {
    const auto path = testsupport::sourceDir() / "demo" / "directory.ldif";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no demo directory";
    const std::string full = testsupport::readFile(path);
    const LoadResult whole = loaded(loadLdifText(full, "demo"));
    ASSERT_TRUE(whole.ok());
    const Directory& reference = *whole.directory;

    std::set<std::size_t> cuts;
    for (std::size_t at = full.find('\n'); at != std::string::npos; at = full.find('\n', at + 1))
        cuts.insert(at + 1);
    for (const char* record :
         {"dn: dc=CorpTree\n", "dn: ou=Sales,o=Acme,dc=CorpTree\n", "dn: cn=WS076,",
          "dn: cn=KuhnP,", "dn: cn=SalesDemoPC,", "dn: dc=LabTree\n"}) {
        const std::size_t begin = full.find(record);
        ASSERT_NE(begin, std::string::npos) << record;
        const std::size_t end = std::min(full.find("\n\n", begin), full.size());
        for (std::size_t at = begin; at <= end; ++at) cuts.insert(at);
    }
    for (std::size_t at = full.size() - 300; at < full.size(); ++at) cuts.insert(at);

    std::size_t failed = 0;
    std::size_t partial = 0;
    for (const std::size_t at : cuts) {
        const std::string_view text = std::string_view(full).substr(0, at);
        const LoadResult result = loadLdifText(text, "cut");
        if (!result.ok()) {
            ++failed;
            EXPECT_EQ(result.status(), LoadStatus::BadData) << at;
            const auto lines =
                static_cast<unsigned long>(std::count(text.begin(), text.end(), '\n'));
            const bool noSchema = result.error.message.find("no subschema entry") == 0;
            EXPECT_TRUE(noSchema || (result.error.line > 0 && result.error.line <= lines + 1))
                << "cut at " << at << ": " << result.error.describe();
            continue;
        }
        ++partial;
        // The records before the cut are read as in the whole file; what the
        // cut can change is the trees and the last entry. That entry may have
        // lost values, and a value cut short may still name another class
        // ("organizationalUnit" cut to "organization"), but it must stand
        // where it stands in the whole file.
        const Directory& dir = *result.directory;
        for (const EntryId tree : dir.trees()) {
            const EntryId same = reference.find(dir.fullName(tree));
            ASSERT_NE(same, kNoEntry) << "cut at " << at << " made the tree " << dir.fullName(tree);
            ASSERT_EQ(reference.parent(same), kNoEntry) << dir.fullName(tree);
        }
        if (dir.size() == 0) continue;
        const EntryId last = static_cast<EntryId>(dir.size() - 1);
        const EntryId same = reference.find(dir.fullName(last));
        ASSERT_NE(same, kNoEntry) << "cut at " << at << " made " << dir.fullName(last);
        ASSERT_EQ(dir.parent(last) == kNoEntry, reference.parent(same) == kNoEntry);
    }
    // Both outcomes occur: a cut inside a record that still holds a complete
    // entry loads, one inside a DN fails.
    EXPECT_GT(failed, 100u);
    EXPECT_GT(partial, 1000u);
}
