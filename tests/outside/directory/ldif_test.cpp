// Reading directories from LDIF: the sample fixture, the errors and the
// input refused for safety, and the demo directory.
#include <gtest/gtest.h>

#include <algorithm>

#include "fixtures.h"
#include "outside/directory/ldif.h"

using namespace outside::directory;
using directorytest::fixture;
using directorytest::kHeader;
using directorytest::writeLdif;

namespace {

std::vector<std::string> childNames(const Directory& dir, EntryId id) {
    std::vector<std::string> names;
    for (EntryId child : dir.children(id)) names.emplace_back(dir.name(child));
    return names;
}

std::vector<std::string> strings(const std::vector<std::string_view>& views) {
    return {views.begin(), views.end()};
}

class SampleDirectory : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const LoadResult result = loadLdif(fixture("sample.ldif"));
        ASSERT_TRUE(result.ok()) << result.error.describe();
        dir_ = result.directory;
    }
    static void TearDownTestSuite() { dir_.reset(); }

    EntryId entry(std::string_view fullName) const {
        const EntryId id = dir_->find(fullName);
        EXPECT_NE(id, kNoEntry) << fullName;
        return id;
    }

    static std::shared_ptr<const Directory> dir_;
};
std::shared_ptr<const Directory> SampleDirectory::dir_;

}  // namespace

TEST_F(SampleDirectory, EachTreeRootIsTopAndNamedByItsRdnValue) {
    ASSERT_EQ(dir_->trees().size(), 2u);
    const EntryId alpha = dir_->trees()[0], beta = dir_->trees()[1];
    EXPECT_EQ(dir_->fullName(alpha), "KTR:\\\\Alpha");
    EXPECT_EQ(dir_->fullName(beta), "KTR:\\\\Beta");  // dn: dc=Beta,dc=example
    EXPECT_EQ(dir_->className(alpha), "Top");         // listed as ktrTree
    EXPECT_EQ(dir_->className(beta), "Top");
    EXPECT_EQ(dir_->parent(alpha), kNoEntry);
    EXPECT_EQ(dir_->findTree("BETA"), beta);
    EXPECT_EQ(dir_->find("ktr:\\\\alpha"), alpha);
    EXPECT_EQ(dir_->treeOf(entry("KTR:\\\\Beta\\Beta Corp\\Smith")), beta);
    EXPECT_EQ(dir_->size(), 18u);
}

TEST_F(SampleDirectory, FullNamesReadTheDnTopDownWithoutRegardToCase) {
    const EntryId ws = entry("KTR:\\\\Alpha\\DE\\Acme\\Sales\\WS001");
    EXPECT_EQ(dir_->name(ws), "WS001");
    EXPECT_EQ(dir_->fullName(ws), "KTR:\\\\Alpha\\DE\\Acme\\Sales\\WS001");
    EXPECT_EQ(dir_->find("ktr:\\\\ALPHA\\de\\ACME\\sales\\ws001"), ws);
    EXPECT_EQ(dir_->fullName(dir_->parent(ws)), "KTR:\\\\Alpha\\DE\\Acme\\Sales");

    // Base64 DNs, non-ASCII names and their case.
    EXPECT_EQ(dir_->find("KTR:\\\\Alpha\\DE\\Acme\\Sales\\MÜLLER"),
              dir_->find("KTR:\\\\Alpha\\DE\\Acme\\Sales\\Müller"));
    EXPECT_EQ(dir_->fullName(entry("KTR:\\\\alpha\\de\\acme\\sales\\ärger")),
              "KTR:\\\\Alpha\\DE\\Acme\\Sales\\Ärger");

    // A DN spelt with other case and blanks still finds its parent; the full
    // name uses the parents' own names.
    EXPECT_EQ(dir_->fullName(entry("KTR:\\\\Alpha\\DE\\Acme\\Sales\\smith-ws")),
              "KTR:\\\\Alpha\\DE\\Acme\\Sales\\smith-ws");

    for (const char* missing : {"KTR:\\\\Alpha\\Acme", "KTR:\\\\Alpha\\DE\\Acme\\Sales\\WS001\\x",
                                "KTR:\\\\Gamma", "KTR:\\\\Alpha\\DE\\Acme\\Sales\\", "Alpha\\DE",
                                "KTR:\\\\Alpha\\DE\\Acme\\Sales\\WS00"}) {
        EXPECT_EQ(dir_->find(missing), kNoEntry) << missing;
    }
}

TEST_F(SampleDirectory, ChildrenKeepTheOrderOfTheFile) {
    EXPECT_EQ(childNames(*dir_, entry("KTR:\\\\Alpha\\DE\\Acme\\Sales")),
              (std::vector<std::string>{"Zeta", "Müller", "WS001", "Smith", "Smithers", "smith-ws",
                                        "Alias Smith", "Ärger"}));
    EXPECT_EQ(childNames(*dir_, entry("KTR:\\\\Alpha\\DE")),
              (std::vector<std::string>{"Acme", "Empty"}));
    EXPECT_EQ(childNames(*dir_, entry("KTR:\\\\Alpha\\DE\\Acme")),
              (std::vector<std::string>{"Sales", "Lab"}));
    EXPECT_FALSE(dir_->hasChildren(entry("KTR:\\\\Alpha\\DE\\Empty")));
    EXPECT_TRUE(dir_->children(entry("KTR:\\\\Alpha\\DE\\Acme\\Lab\\Smith")).empty());
}

TEST_F(SampleDirectory, ClassIsTheMostDerivedListedClass) {
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"KTR:\\\\Alpha\\DE", "Country"},
        {"KTR:\\\\Alpha\\DE\\Acme", "Organization"},
        {"KTR:\\\\Alpha\\DE\\Acme\\Sales", "Organizational Unit"},
        {"KTR:\\\\Alpha\\DE\\Acme\\Sales\\Zeta", "User"},
        {"KTR:\\\\Alpha\\DE\\Acme\\Sales\\Smith", "Administrator"},  // ktrAdmin, ktrUser, top
        {"KTR:\\\\Alpha\\DE\\Acme\\Sales\\Alias Smith", "Alias"},
        {"KTR:\\\\Alpha\\DE\\Acme\\Sales\\Ärger", "Workstation"},  // ktrLabel is auxiliary
        {"KTR:\\\\Alpha\\DE\\Acme\\Lab\\Smith", "Workstation"},
    };
    for (const auto& [name, cls] : expected) EXPECT_EQ(dir_->className(entry(name)), cls) << name;
}

TEST_F(SampleDirectory, ValuesAreKeptAsStored) {
    const EntryId zeta = entry("KTR:\\\\Alpha\\DE\\Acme\\Sales\\Zeta");
    EXPECT_EQ(strings(dir_->values(zeta, "Network Address")),
              (std::vector<std::string>{"IPX 0000ABCD:00001B2C3D4E:4003", "TCP 10.1.2.3"}));
    EXPECT_EQ(strings(dir_->values(entry("KTR:\\\\Alpha\\DE\\Acme\\Sales\\smith-ws"),
                                   "rj:network address")),
              (std::vector<std::string>{"TCP 10.1.2.4", "IPX 0000ABCD:0000000000AA:4003"}));

    const EntryId mueller = entry("KTR:\\\\Alpha\\DE\\Acme\\Sales\\Müller");
    EXPECT_EQ(strings(dir_->values(mueller, "Description")),
              (std::vector<std::string>{"line one\nline two"}));
    EXPECT_EQ(strings(dir_->values(mueller, "Surname")), (std::vector<std::string>{"Müller"}));
    EXPECT_EQ(strings(dir_->values(entry("KTR:\\\\Alpha\\DE\\Acme"), "Description")),
              (std::vector<std::string>{"Acme Deutschland, a description folded over two lines"}));

    const EntryId smith = entry("KTR:\\\\Alpha\\DE\\Acme\\Sales\\Smith");
    EXPECT_EQ(strings(dir_->values(smith, "uid")), (std::vector<std::string>{"jsmith"}));
    EXPECT_TRUE(dir_->values(smith, "Network Address").empty());
    EXPECT_TRUE(dir_->values(smith, "No Such Field").empty());

    // objectClass is no value; the others come in file order.
    std::vector<std::string> all;
    for (const auto& value : dir_->allValues(smith)) {
        all.push_back(dir_->schema().attribute(value.attribute).name + "=" +
                      std::string(value.text));
    }
    EXPECT_EQ(all, (std::vector<std::string>{"CN=Smith", "Surname=Smith", "Admin Scope=Sales",
                                             "uid=jsmith"}));
}

TEST_F(SampleDirectory, SchemaComesFromTheSubschemaEntry) {
    const Schema& schema = dir_->schema();
    const auto fields = [&](std::string_view cls) {
        std::vector<std::string> names;
        for (AttributeId id : schema.objectClass(*schema.findClass(cls)).fields) {
            names.push_back(schema.attribute(id).name);
        }
        return names;
    };
    EXPECT_EQ(fields("user"),
              (std::vector<std::string>{"CN", "Surname", "Description", "Network Address", "uid"}));
    EXPECT_EQ(fields("Workstation"),
              (std::vector<std::string>{"CN", "Description", "RJ:Network Address",
                                        "RK:Harbex File Transfer"}));
    // Names folded across lines in the file.
    EXPECT_TRUE(schema.findAttribute("Aliased Object Name"));
    EXPECT_TRUE(schema.findAttribute("RK:Harbex File Transfer"));
    EXPECT_EQ(schema.objectClass(*schema.findClass("ktrLabel")).kind, ObjectClass::Kind::Auxiliary);
}

TEST(LdifErrors, NameTheFileAndTheLine) {
    struct Case {
        const char* file;
        unsigned long line;
        const char* words;
    };
    const std::vector<Case> cases = {
        {"malformed.ldif", 15, "malformed line \"this line has no colon\""},
        {"bad-base64.ldif", 16, "malformed line"},
        {"unknown-class.ldif", 15, "\"ktrPrinter\" is not in the schema"},
        {"duplicate-dn.ldif", 17, "duplicate entry \"CN=A,DC=t\" (line 13)"},
        {"parent-after-child.ldif", 13, "the parent entry \"o=Later,dc=T\" does not come before"},
        {"missing-schema.ldif", 7, "subschema entry (dn: cn=Subschema) must come before"},
        {"bad-schema.ldif", 9, "malformed object class"},
    };
    for (const Case& c : cases) {
        const LoadResult result = loadLdif(fixture(c.file));
        ASSERT_FALSE(result.ok()) << c.file;
        EXPECT_EQ(result.status(), LoadStatus::BadData) << c.file;
        EXPECT_EQ(result.error.line, c.line) << c.file << ": " << result.error.message;
        EXPECT_NE(result.error.message.find(c.words), std::string::npos) << result.error.message;
        EXPECT_EQ(result.error.describe().rfind(
                      fixture(c.file).string() + ":" + std::to_string(c.line) + ": ", 0),
                  0u)
            << result.error.describe();
    }
}

TEST(LdifErrors, AMissingOrUnreadableFileIsALostSource) {
    const LoadResult missing = loadLdif(testsupport::home() / "no-such.ldif");
    EXPECT_EQ(missing.status(), LoadStatus::SourceLost);
    EXPECT_NE(missing.error.describe().find("no-such.ldif: cannot open"), std::string::npos);
    EXPECT_EQ(loadLdif(testsupport::freshDir()).status(), LoadStatus::SourceLost);
}

TEST(LdifErrors, RefuseRecordsThatAreNotPlainEntries) {
    const auto other = writeLdif("dn: cn=x\ncn: x\n", "other.ldif");
    directorytest::expectRefused({
        // libldap would read these files; we never do.
        {"dn: cn=a,dc=T\nobjectClass: ktrUser\ncn:< file:///etc/passwd\n", 14, "URL"},
        {"dn: cn=a,dc=T\nobjectClass: ktrUser\ncn:\n < file:///etc/passwd\n", 14, "URL"},
        {"include: file://" + other.string() + "\n", 12, "include"},
        {"include: file:///nonexistent/x.ldif\n", 12, "include"},
        // libldap would crash on these.
        {"dn: cn=a,dc=T\n: no type\n", 13, "without an attribute type"},
        {"dn: cn=a,dc=T\n-\ncn: a\n", 13, "change records"},
        {"dn: cn=a,dc=T\nchangetype: modify\nreplace: cn\ncn: b\n", 12, "change records"},
        {"dn: cn=a,dc=T\nchangetype: delete\n", 12, "change records"},
        {"cn: a\n", 12, "without \"dn:\""},
        {"dn:\nobjectClass: ktrUser\n", 12, "empty DN"},
        {"dn: cn=,dc=T\nobjectClass: ktrUser\n", 12, "no name"},
        {"dn: cn=a\\5Cb,dc=T\nobjectClass: ktrUser\n", 12, "backslash"},
        {"dn: cn=a,dc=T\n", 12, "has no objectClass"},
        {"dn: cn=a,,dc=T\nobjectClass: ktrUser\n", 12, "malformed DN"},
        {"dn: cn=Subschema\nobjectClass: subschema\n", 12, "second subschema"},
        {"dn: cn=X,dc=T\nobjectClass: ktrUser\n\ndn: o=X,dc=T\nobjectClass: organization\n", 15,
         "same name as its sibling (line 12)"},
        {"dn: dc=T,dc=other\nobjectClass: top\n", 12, "second tree named \"T\" (line 9)"},
        {"dn: o=A,dc=U\nobjectClass: organization\n\ndn: dc=U\nobjectClass: top\n", 15,
         "comes after an entry below it (line 12)"},
    });
}

TEST(LdifErrors, RefuseNamesThatAreNotText) {
    directorytest::expectRefused({
        // An escaped NUL, in the entry's own name or further up.
        {"dn: cn=WS\\00TWO,dc=T\nobjectClass: ktrUser\n", 12, "name with a NUL byte"},
        // A NUL that base64 lets into the DN itself ("cn=A\0B,dc=T").
        {"dn:: Y249QQBCLGRjPVQ=\nobjectClass: ktrUser\n", 12, "\"cn=A\\00B,dc=T\" holds a NUL"},
        // Latin-1 bytes, raw in base64 and escaped.
        {"dn:: Y249Sm9y6m5zZW4sZGM9VA==\nobjectClass: ktrUser\n", 12,
         "\"cn=Jor\\EAnsen,dc=T\" is not UTF-8"},
        {"dn: cn=J\\EAn,dc=T\nobjectClass: ktrUser\n", 12, "not UTF-8"},
        // An overlong form of "/" and a UTF-16 surrogate.
        {"dn: cn=a\\C0\\AFb,dc=T\nobjectClass: ktrUser\n", 12, "not UTF-8"},
        {"dn: cn=a\\ED\\A0\\80b,dc=T\nobjectClass: ktrUser\n", 12, "not UTF-8"},
    });
    // UTF-8 names stay what they are.
    const auto accepted =
        loadLdif(writeLdif(kHeader + "dn: cn=J\xC3\xB8rgen \xE2\x82\xAC \xF0\x9F\x98\x80,dc=T\n"
                                     "objectClass: ktrUser\n"));
    ASSERT_TRUE(accepted.ok()) << accepted.error.describe();
    EXPECT_NE(accepted.directory->find("KTR:\\\\T\\J\xC3\xB8rgen \xE2\x82\xAC \xF0\x9F\x98\x80"),
              kNoEntry);
}

TEST(LdifErrors, PointAtTheLineThatIsAtFault) {
    directorytest::expectRefused({
        // A change record at its changetype line, not at its first "-".
        {"dn: cn=a,dc=T\nchangetype: modify\nreplace: cn\ncn: b\n-\n", 13, "change records"},
        {"dn: cn=a,dc=T\nChangeType: modify\nadd: cn\ncn: b\n-\nadd: sn\nsn: c\n-\n", 13,
         "change records"},
    });
    // Line ends of CR alone: one line with CRs in it, not a file without schema.
    std::string crOnly = kHeader;
    std::replace(crOnly.begin(), crOnly.end(), '\n', '\r');
    const LoadResult result = loadLdif(writeLdif(crOnly));
    EXPECT_EQ(result.error.line, 1u);
    EXPECT_NE(result.error.message.find("carriage return"), std::string::npos)
        << result.error.message;
}

TEST(LdifErrors, RefuseFilesWithoutSchemaOrOfAnotherVersion) {
    const LoadResult empty = loadLdif(writeLdif("# nothing but a comment\n"));
    EXPECT_EQ(empty.status(), LoadStatus::BadData);
    EXPECT_EQ(empty.error.line, 0u);
    EXPECT_NE(empty.error.message.find("no subschema entry"), std::string::npos);

    const LoadResult version = loadLdif(writeLdif("# c\nversion: 2\n\n" + kHeader.substr(11)));
    EXPECT_EQ(version.error.line, 2u);
    EXPECT_NE(version.error.message.find("unsupported LDIF version \"2\""), std::string::npos);
}

TEST(Ldif, AcceptsVersionLineAloneAndCrLfLineEnds) {
    std::string text = "version: 1\n\n" + kHeader.substr(11) +
                       "dn: cn=a,dc=T\nobjectClass: ktrUser\ncn: a\n  folded\n";
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (const std::string& variant : {text, crlf}) {
        const LoadResult result = loadLdif(writeLdif(variant));
        ASSERT_TRUE(result.ok()) << result.error.describe();
        const EntryId a = result.directory->find("KTR:\\\\T\\a");
        ASSERT_NE(a, kNoEntry);
        EXPECT_EQ(strings(result.directory->values(a, "CN")),
                  (std::vector<std::string>{"a folded"}));
    }
}

TEST(Ldif, KeepsAttributesTheSchemaDoesNotDefine) {
    const LoadResult result =
        loadLdif(writeLdif(kHeader + "dn: cn=a,dc=T\nobjectClass: ktrUser\ncn: a\nmobile: 555\n"));
    ASSERT_TRUE(result.ok()) << result.error.describe();
    const Directory& dir = *result.directory;
    EXPECT_EQ(strings(dir.values(dir.find("KTR:\\\\T\\a"), "mobile")),
              (std::vector<std::string>{"555"}));
    EXPECT_FALSE(dir.schema().attribute(*dir.schema().findAttribute("mobile")).declared);
}

TEST(Ldif, LoadsTheDemoDirectories) {
    const auto demo = testsupport::sourceDir() / "demo";
    if (!std::filesystem::exists(demo / "directory.ldif")) GTEST_SKIP() << "no demo directory";
    const LoadResult result = loadLdif(demo / "directory.ldif");
    ASSERT_TRUE(result.ok()) << result.error.describe();
    const Directory& dir = *result.directory;
    EXPECT_NE(dir.findTree("CorpTree"), kNoEntry);
    EXPECT_NE(dir.findTree("LabTree"), kNoEntry);
    // The example its header gives.
    const EntryId ws = dir.find("KTR:\\\\CorpTree\\Acme\\Sales\\WS042");
    ASSERT_NE(ws, kNoEntry);
    EXPECT_EQ(dir.className(ws), "Workstation");
    const auto addresses = dir.values(ws, "RJ:Network Address");
    ASSERT_FALSE(addresses.empty());
    EXPECT_TRUE(addresses[0].starts_with("IPX ") || addresses[0].starts_with("TCP "));
    const Schema& schema = dir.schema();
    const auto& userFields = schema.objectClass(*schema.findClass("User")).fields;
    EXPECT_NE(
        std::find(userFields.begin(), userFields.end(), *schema.findAttribute("Network Address")),
        userFields.end());
    EXPECT_TRUE(schema.findAttribute("RK:Harbex File Transfer"));

    if (!std::filesystem::exists(demo / "directory-oldconsole.ldif")) return;
    const LoadResult old = loadLdif(demo / "directory-oldconsole.ldif");
    ASSERT_TRUE(old.ok()) << old.error.describe();
    EXPECT_FALSE(old.directory->schema().findAttribute("RK:Harbex File Transfer"));
}

TEST(Ldif, LoadsASchemaOfALongChainOfClasses) {
    // 20,000 classes, each derived from the one before, the first of them
    // "User": an entry of the last is a user (and so no tree root).
    std::string text =
        "version: 1\ndn: cn=Subschema\nobjectClass: subschema\n"
        "attributeTypes: ( 2.5.4.3 NAME 'cn' X-KTR-NAME 'CN' )\n"
        "objectClasses: ( 2.5.6.0 NAME 'top' ABSTRACT )\n"
        "objectClasses: ( 1.9.0 NAME 'c0' SUP top MUST cn X-KTR-NAME 'User' )\n";
    for (int i = 1; i < 20000; ++i)
        text += "objectClasses: ( 1.9." + std::to_string(i) + " NAME 'c" + std::to_string(i) +
                "' SUP c" + std::to_string(i - 1) + " )\n";
    text += "\ndn: dc=T\nobjectClass: top\n\ndn: cn=deep,dc=T\nobjectClass: c19999\ncn: deep\n";
    const LoadResult loaded = loadLdifText(text, "chain");
    ASSERT_TRUE(loaded.ok()) << loaded.error.describe();
    const Directory& dir = *loaded.directory;
    const EntryId deep = dir.find("KTR:\\\\T\\deep");
    ASSERT_NE(deep, kNoEntry);
    EXPECT_EQ(dir.className(deep), "c19999");
    EXPECT_TRUE(dir.schema().inherits(dir.classOf(deep), *dir.schema().findClass("User")));

    const LoadResult orphan = loadLdifText(
        text.substr(0, text.find("\ndn: dc=T")) + "\ndn: cn=deep,dc=Gone\nobjectClass: c19999\n",
        "chain");
    EXPECT_FALSE(orphan.ok());
    EXPECT_NE(orphan.error.message.find("parent entry \"dc=Gone\" is missing"), std::string::npos)
        << orphan.error.message;
}
