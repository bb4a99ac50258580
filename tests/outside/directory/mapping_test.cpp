// Directories that were not written for us: an export with the standard
// schemas and no subschema entry, an Active Directory schema, a site's own
// mapping file, and mapping files with errors.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "fixtures.h"
#include "outside/directory/builder.h"
#include "outside/directory/ldif.h"
#include "outside/directory/mapping.h"
#include "outside/directory/source.h"

using namespace outside::directory;
using directorytest::fixture;
using directorytest::writeLdif;

namespace {

std::shared_ptr<const Directory> loaded(const LoadResult& result) {
    EXPECT_TRUE(result.ok()) << result.error.describe();
    return result.directory;
}

std::vector<std::string> strings(const std::vector<std::string_view>& views) {
    return {views.begin(), views.end()};
}

std::vector<std::string> fieldNames(const Directory& d, const std::string& cls) {
    std::vector<std::string> names;
    for (AttributeId a : d.schema().objectClass(*d.schema().findClass(cls)).fields)
        names.push_back(d.schema().attribute(a).name);
    return names;
}

std::vector<std::string> hits(const Directory& d, std::string_view pattern,
                              std::vector<std::string> classes = {}) {
    SearchQuery q;
    q.pattern = pattern;
    q.classes = std::move(classes);
    q.context = d.trees().front();
    std::vector<std::string> out;
    for (EntryId id : d.search(q)) out.push_back(d.fullName(id));
    return out;
}

using testing::ElementsAre;
using testing::IsSupersetOf;

// A small Active Directory schema: a computer is a user there too.
const std::string kAdSchema =
    "dn: CN=Aggregate,CN=Schema,CN=Configuration,DC=corp,DC=example\n"
    "objectClass: subSchema\n"
    "attributeTypes: ( 2.5.4.3 NAME 'cn' SYNTAX '1.3.6.1.4.1.1466.115.121.1.15' SINGLE-VALUE )\n"
    "attributeTypes: ( 0.9.2342.19200300.100.1.25 NAME 'dc' SYNTAX "
    "'1.3.6.1.4.1.1466.115.121.1.15' SINGLE-VALUE )\n"
    "attributeTypes: ( 2.5.4.11 NAME 'ou' SYNTAX '1.3.6.1.4.1.1466.115.121.1.15' )\n"
    "attributeTypes: ( 1.2.840.113556.1.4.221 NAME 'sAMAccountName' SYNTAX "
    "'1.3.6.1.4.1.1466.115.121.1.15' SINGLE-VALUE )\n"
    "attributeTypes: ( 1.2.840.113556.1.4.146 NAME 'objectSid' SYNTAX "
    "'1.3.6.1.4.1.1466.115.121.1.40' SINGLE-VALUE )\n"
    "attributeTypes: ( 1.2.840.113556.1.2.13 NAME 'displayName' SYNTAX "
    "'1.3.6.1.4.1.1466.115.121.1.15' SINGLE-VALUE )\n"
    "attributeTypes: ( 2.5.4.13 NAME 'description' SYNTAX '1.3.6.1.4.1.1466.115.121.1.15' )\n"
    "attributeTypes: ( 1.2.840.113556.1.4.619 NAME 'dNSHostName' SYNTAX "
    "'1.3.6.1.4.1.1466.115.121.1.15' SINGLE-VALUE )\n"
    "attributeTypes: ( 1.2.840.113556.1.2.459 NAME 'networkAddress' SYNTAX "
    "'1.3.6.1.4.1.1466.115.121.1.15' )\n"
    "objectClasses: ( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass MAY ( cn $ description $ "
    "objectSid ) )\n"
    "objectClasses: ( 1.2.840.113556.1.5.67 NAME 'domainDNS' SUP top STRUCTURAL MAY dc )\n"
    "objectClasses: ( 2.5.6.5 NAME 'organizationalUnit' SUP top STRUCTURAL MUST ou )\n"
    "objectClasses: ( 1.2.840.113556.1.3.23 NAME 'container' SUP top STRUCTURAL MUST cn )\n"
    "objectClasses: ( 2.5.6.6 NAME 'person' SUP top STRUCTURAL )\n"
    "objectClasses: ( 2.5.6.7 NAME 'organizationalPerson' SUP person STRUCTURAL )\n"
    "objectClasses: ( 1.2.840.113556.1.5.9 NAME 'user' SUP organizationalPerson STRUCTURAL MAY "
    "( sAMAccountName $ displayName $ networkAddress ) )\n"
    "objectClasses: ( 1.2.840.113556.1.3.30 NAME 'computer' SUP user STRUCTURAL MAY dNSHostName "
    ")\n"
    "\n"
    "dn: DC=corp,DC=example\n"
    "objectClass: top\n"
    "objectClass: domainDNS\n"
    "dc: corp\n"
    "\n"
    "dn: CN=Users,DC=corp,DC=example\n"
    "objectClass: container\n"
    "cn: Users\n"
    "\n"
    "dn: OU=Sales,DC=corp,DC=example\n"
    "objectClass: organizationalUnit\n"
    "ou: Sales\n"
    "\n"
    "dn: CN=Orla Brennan,OU=Sales,DC=corp,DC=example\n"
    "objectClass: top\n"
    "objectClass: person\n"
    "objectClass: organizationalPerson\n"
    "objectClass: user\n"
    "cn: Orla Brennan\n"
    "displayName: Orla Brennan\n"
    "sAMAccountName: BrennanO\n"
    "objectSid:: AQUAAAAAAAUVAAAA\n"
    "networkAddress: TCP 10.1.0.11\n"
    "\n"
    "dn: CN=WS042,OU=Sales,DC=corp,DC=example\n"
    "objectClass: top\n"
    "objectClass: person\n"
    "objectClass: organizationalPerson\n"
    "objectClass: user\n"
    "objectClass: computer\n"
    "cn: WS042\n"
    "sAMAccountName: WS042$\n"
    "dNSHostName: ws042.corp.example\n"
    "networkAddress: TCP 10.1.0.11\n"
    "networkAddress: IPX 0000AC10:00C04F6C8C59:4003\n"
    "\n";

}  // namespace

TEST(StandardExport, LoadsWithoutASchemaAsUsersWorkstationsAndContainers) {
    const auto d = loaded(loadLdif(fixture("standard-export.ldif")));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->schema().mappingName(), "standard");
    ASSERT_EQ(d->trees().size(), 1u);
    EXPECT_EQ(d->className(d->trees().front()), "Top");
    const auto classOf = [&](const char* fullName) {
        const EntryId id = d->find(fullName);
        return id == kNoEntry ? std::string("(missing)") : d->className(id);
    };
    EXPECT_EQ(classOf("KTR:\\\\Campus\\Physics"), "Organizational Unit");
    // A locality browses as a container, by a class name the trees show.
    EXPECT_EQ(classOf("KTR:\\\\Campus\\Physics\\Annex"), "Organizational Unit");
    EXPECT_EQ(classOf("KTR:\\\\Campus\\Physics\\Orla Brennan"), "User");
    EXPECT_EQ(classOf("KTR:\\\\Campus\\Physics\\Annex\\Piet Ahlers"), "User");
    EXPECT_EQ(classOf("KTR:\\\\Campus\\Physics\\PHY-WS01"), "Workstation");
    EXPECT_EQ(classOf("KTR:\\\\Campus\\Physics\\Annex\\PHY-WS02"), "Workstation");
    // A class the mapping does not name keeps its LDAP name: neither a user
    // nor a workstation, nor a container.
    EXPECT_EQ(classOf("KTR:\\\\Campus\\Physics\\Physicists"), "groupOfNames");
    // The newer console generation is detected through the field type.
    EXPECT_TRUE(d->schema().findAttribute("RK:Harbex File Transfer"));
}

TEST(StandardExport, AddressesComeFromTheWorkstationsAndTheirOwners) {
    const auto d = loaded(loadLdif(fixture("standard-export.ldif")));
    ASSERT_TRUE(d);
    const EntryId ws = d->find("KTR:\\\\Campus\\Physics\\PHY-WS01");
    EXPECT_THAT(strings(d->values(ws, "RJ:Network Address")),
                ElementsAre("TCP 10.1.0.11", "TCP 10.1.0.12"));
    // The user's addresses are those of the workstations that name her as
    // owner; one without an address adds none, and an owner naming nobody
    // of this directory is passed over.
    const EntryId orla = d->find("KTR:\\\\Campus\\Physics\\Orla Brennan");
    EXPECT_THAT(strings(d->values(orla, "Network Address")),
                ElementsAre("TCP 10.1.0.11", "TCP 10.1.0.12"));
    EXPECT_TRUE(d->values(d->find("KTR:\\\\Campus\\Physics\\Annex\\Piet Ahlers"), "Network Address")
                    .empty());
    EXPECT_THAT(strings(d->values(orla, "Full Name")), ElementsAre("Orla Brennan"));
    EXPECT_THAT(strings(d->values(orla, "Login Name")), ElementsAre("BrennanO"));
}

TEST(StandardExport, AnOwnerIsFoundHoweverItIsWrittenAndWhereverItStands) {
    // Owners beside the workstation and elsewhere, before and after it, in
    // another case or spacing; one that names the entry by another type
    // names nobody. Each user's addresses come in the order of the file.
    const auto d = loaded(loadLdifText(
        "dn: dc=C\nobjectClass: domain\n\n"
        "dn: ou=Lab,dc=C\nobjectClass: organizationalUnit\n\n"
        "dn: ou=Hall,dc=C\nobjectClass: organizationalUnit\n\n"
        "dn: cn=Ann,ou=Lab,dc=C\nobjectClass: person\ncn: Ann\n\n"
        "dn: cn=WS1,ou=Lab,dc=C\nobjectClass: ipHost\nipHostNumber: 10.0.0.1\n"
        "owner: cn=Ann,ou=Lab,dc=C\nowner: cn=ANN,ou=Lab,dc=C\nowner: uid=Ann,ou=Lab,dc=C\n"
        "owner: cn=Bob,ou=Lab,dc=C\nowner: cn=Cy,ou=Hall,dc=C\n\n"
        "dn: cn=Bob,ou=Lab,dc=C\nobjectClass: person\ncn: Bob\n\n"
        "dn: cn=Cy,ou=Hall,dc=C\nobjectClass: person\ncn: Cy\n\n"
        "dn: cn=WS2,ou=Hall,dc=C\nobjectClass: ipHost\nipHostNumber: 10.0.0.2\n"
        "owner: cn=ann, ou=lab, dc=c\nowner: cn=Cy,ou=Hall,dc=C\nowner: cn=Bob,ou=Lab,dc=C\n\n"
        "dn: cn=WS3,ou=Lab,dc=C\nobjectClass: ipHost\nipHostNumber: 10.0.0.3\n"
        "owner: cn=Bob,ou=Lab,dc=C\nowner: cn=Ann,ou=Lab,dc=C\n",
        "owners"));
    ASSERT_TRUE(d);
    const auto addresses = [&](const char* fullName) {
        const EntryId id = d->find(fullName);
        return id == kNoEntry ? std::vector<std::string>{"(missing)"}
                              : strings(d->values(id, "Network Address"));
    };
    EXPECT_THAT(addresses("KTR:\\\\C\\Lab\\Ann"),
                ElementsAre("TCP 10.0.0.1", "TCP 10.0.0.1", "TCP 10.0.0.2", "TCP 10.0.0.3"));
    EXPECT_THAT(addresses("KTR:\\\\C\\Lab\\Bob"),
                ElementsAre("TCP 10.0.0.1", "TCP 10.0.0.2", "TCP 10.0.0.3"));
    EXPECT_THAT(addresses("KTR:\\\\C\\Hall\\Cy"), ElementsAre("TCP 10.0.0.1", "TCP 10.0.0.2"));
}

TEST(StandardExport, OwnersWhoseAddressesWouldOverflowTheTextFailTheLoad) {
    // Every owner value of a workstation gets the user all its addresses: a
    // small file may ask for more text than the directory's offsets reach.
    // Built with a small limit in place of those 4 GiB.
    const auto build = [](std::size_t limit) {
        DirectoryBuilder builder(Schema::parse({}, {}, builtinMapping("standard")), "owners");
        builder.limitText(limit);
        const auto add = [&](const std::string& dn, std::vector<std::string_view> classes,
                             std::vector<std::pair<std::string, std::vector<std::string>>> more) {
            std::vector<std::vector<std::string_view>> views;
            std::vector<DirectoryBuilder::Attribute> attributes{{"objectClass", classes}};
            views.reserve(more.size());
            for (const auto& [type, values] : more) {
                views.emplace_back(values.begin(), values.end());
                attributes.push_back({type, views.back()});
            }
            builder.addEntry(dn, attributes);
        };
        add("dc=C", {"domain"}, {});
        add("ou=People,dc=C", {"organizationalUnit"}, {});
        add("ou=Lab,dc=C", {"organizationalUnit"}, {});
        add("cn=Ann,ou=People,dc=C", {"person"}, {{"cn", {"Ann"}}});
        std::vector<std::string> addresses, owners(50, "cn=Ann,ou=People,dc=C");
        for (int i = 0; i < 50; ++i) addresses.push_back("10.0.1." + std::to_string(i));
        add("cn=WS1,ou=Lab,dc=C", {"ipHost"}, {{"ipHostNumber", addresses}, {"owner", owners}});
        const std::size_t entries = builder.size();
        // An entry that would pass the limit itself is refused whole.
        EXPECT_THROW(add("cn=Big,ou=Lab,dc=C", {"ipHost"},
                         {{"description", {std::string(limit, 'x')}}}),
                     EntryError);
        EXPECT_EQ(builder.size(), entries);
        return builder.finish();
    };
    const auto fits = build(1 << 20);
    const EntryId ann = fits->find("KTR:\\\\C\\People\\Ann");
    ASSERT_NE(ann, kNoEntry);
    EXPECT_EQ(fits->values(ann, "Network Address").size(), 50u * 50u);

    try {
        build(20000);
        ADD_FAILURE() << "2,500 addresses went into 20,000 bytes";
    } catch (const EntryError& e) {
        EXPECT_STREQ(e.what(), "the directory holds more than 20000 bytes of text");
    }
}

TEST(StandardExport, LayoutsShowTheMappedFieldsFirstThenWhatTheEntriesUse) {
    const auto d = loaded(loadLdif(fixture("standard-export.ldif")));
    ASSERT_TRUE(d);
    const auto user = fieldNames(*d, "User");
    ASSERT_GE(user.size(), 4u);
    EXPECT_EQ(user[0], "Full Name");
    EXPECT_THAT(user, IsSupersetOf({"Title", "Telephone Number", "Network Address"}));
    // An undeclared type the entries use is a text field of the layout.
    EXPECT_THAT(user, IsSupersetOf({"jpegPhoto"}));
    EXPECT_THAT(fieldNames(*d, "Workstation"),
                IsSupersetOf({"Description", "RJ:Network Address", "roomNumber"}));
    // The plain types behind a field are not listed a second time.
    EXPECT_EQ(std::count(user.begin(), user.end(), "cn"), 0);
}

TEST(StandardExport, ANameSearchMatchesTheLoginNameToo) {
    const auto d = loaded(loadLdif(fixture("standard-export.ldif")));
    ASSERT_TRUE(d);
    EXPECT_THAT(hits(*d, "brennano", {"User"}),
                ElementsAre("KTR:\\\\Campus\\Physics\\Orla Brennan"));
    EXPECT_THAT(hits(*d, "Ahl*", {"User", "Workstation"}),
                ElementsAre("KTR:\\\\Campus\\Physics\\Annex\\Piet Ahlers"));
    // The full name still matches, and one entry is one hit.
    EXPECT_THAT(hits(*d, "Orla*", {"User"}), ElementsAre("KTR:\\\\Campus\\Physics\\Orla Brennan"));
    EXPECT_THAT(hits(*d, "*rennan*", {"User"}),
                ElementsAre("KTR:\\\\Campus\\Physics\\Orla Brennan"));
    // The class filter holds for login names as for names.
    EXPECT_TRUE(hits(*d, "BrennanO", {"Workstation"}).empty());
}

TEST(StandardExport, TheKtrMappingStillWantsTheSchemaFirst) {
    LoadLimits limits;
    limits.mapping.value = "ktr";
    const LoadResult result = loadLdif(fixture("standard-export.ldif"), limits);
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error.message.find("must come before every other entry"), std::string::npos);
}

TEST(ActiveDirectory, AComputerIsAWorkstationAndNeverAUser) {
    LoadLimits limits;
    limits.mapping.value = "activedirectory";
    const auto d = loaded(loadLdif(writeLdif(kAdSchema), limits));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->className(d->find("KTR:\\\\corp\\Sales\\WS042")), "Workstation");
    EXPECT_EQ(d->className(d->find("KTR:\\\\corp\\Sales\\Orla Brennan")), "User");
    EXPECT_EQ(d->className(d->find("KTR:\\\\corp\\Users")), "Organizational Unit");
    EXPECT_THAT(hits(*d, "*", {"User"}), ElementsAre("KTR:\\\\corp\\Sales\\Orla Brennan"));
    EXPECT_THAT(hits(*d, "ws042*", {"Workstation"}), ElementsAre("KTR:\\\\corp\\Sales\\WS042"));
    // One attribute, two fields: a user's and a computer's addresses.
    EXPECT_THAT(strings(d->values(d->find("KTR:\\\\corp\\Sales\\Orla Brennan"), "Network Address")),
                ElementsAre("TCP 10.1.0.11"));
    EXPECT_THAT(strings(d->values(d->find("KTR:\\\\corp\\Sales\\WS042"), "RJ:Network Address")),
                ElementsAre("TCP 10.1.0.11", "IPX 0000AC10:00C04F6C8C59:4003"));
}

TEST(ActiveDirectory, TheSchemaAloneChoosesTheMappingOfAFile) {
    // A schema without X-KTR-NAME is no schema of ours: auto reads it
    // through the standard mapping, which knows no computer.
    const auto d = loaded(loadLdif(writeLdif(kAdSchema)));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->schema().mappingName(), "standard");
    const auto ours = loaded(loadLdif(testsupport::sourceDir() / "demo" / "directory.ldif"));
    ASSERT_TRUE(ours);
    EXPECT_EQ(ours->schema().mappingName(), "ktr");
}

TEST(Values, BinaryValuesAreShownAsText) {
    EXPECT_EQ(displayValue("Orla Brennan"), "Orla Brennan");
    EXPECT_EQ(displayValue("Zoë Ødegård"), "Zoë Ødegård");
    EXPECT_EQ(displayValue(std::string("\x01\x05\x00\xff", 4)), "0x010500FF");
    EXPECT_EQ(displayValue("\xc3\x28"), "0xC328");  // no UTF-8
    const std::string photo(40, '\xff');
    EXPECT_EQ(displayValue(photo).rfind("base64:", 0), 0u);
    EXPECT_EQ(displayValue(photo).size(), 7u + 56u);
}

TEST(MappingFile, ASiteClassAndAnotherAddressAttributeNeedNoCode) {
    const auto dir = testsupport::freshDir("mapping");
    testsupport::writeFile(dir / "campus.ini",
                           "; the campus directory\n"
                           "[mapping]\n"
                           "consoles = older\n"
                           "[Workstation]\n"
                           "classes = campusMachine\n"
                           "search = assetTag\n"
                           "field = RJ:Network Address = primaryAddress, tcp\n"
                           "[User]\n"
                           "classes = campusPerson\n"
                           "field = Network Address = seenAt\n"
                           "[Organizational Unit]\n"
                           "classes = organizationalUnit\n");
    LoadLimits limits;
    limits.mapping.value = (dir / "campus.ini").string();
    const auto d =
        loaded(loadLdifText("dn: dc=C\nobjectClass: domain\n\n"
                            "dn: ou=Lab,dc=C\nobjectClass: organizationalUnit\n\n"
                            "dn: cn=M1,ou=Lab,dc=C\nobjectClass: campusMachine\n"
                            "assetTag: A-77\nprimaryAddress: 10.9.9.9\n\n"
                            "dn: cn=P1,ou=Lab,dc=C\nobjectClass: campusPerson\n"
                            "seenAt: TCP 10.9.9.9\n",
                            "campus", limits.mapping));
    ASSERT_TRUE(d);
    const EntryId m1 = d->find("KTR:\\\\C\\Lab\\M1");
    EXPECT_EQ(d->className(m1), "Workstation");
    EXPECT_THAT(strings(d->values(m1, "RJ:Network Address")), ElementsAre("TCP 10.9.9.9"));
    EXPECT_THAT(hits(*d, "a-77", {"Workstation"}), ElementsAre("KTR:\\\\C\\Lab\\M1"));
    EXPECT_EQ(d->className(d->find("KTR:\\\\C\\Lab\\P1")), "User");
    // The older console generation: no "RK:Harbex File Transfer".
    EXPECT_FALSE(d->schema().findAttribute("RK:Harbex File Transfer"));
}

TEST(MappingFile, AnErrorNamesTheFileAndTheLineAndNothingIsLoaded) {
    const auto dir = testsupport::freshDir("mapping");
    struct Case {
        const char* text;
        unsigned long line;
        const char* words;
    };
    const Case cases[] = {
        {"[User]\nclasses = person\n[Workstation]\nfield = Address = ipHostNumber, ipv6\n", 4,
         "none of stored, tcp, hostname and owner"},
        {"[User]\nclasses = person\n[Workstation]\nclasses = person\n", 4,
         "mapped to [User] already"},
        {"[User]\nclasses = person\ncolour = blue\n[Workstation]\n", 3, "unknown setting"},
        {"classes = person\n", 1, "before the first [section]"},
        {"[User]\nfield = Full Name\n[Workstation]\n", 2, "field = <name> = <attribute>"},
        {"[User]\nclasses = person\n", 0, "needs a [User] and a [Workstation]"},
        {"[User\n", 1, "not an INI line"},
    };
    for (const Case& c : cases) {
        const auto path = dir / "bad.ini";
        testsupport::writeFile(path, c.text);
        MappingChoice choice{path.string()};
        try {
            choice.resolve();
            ADD_FAILURE() << c.text << " was accepted";
        } catch (const MappingError& error) {
            EXPECT_EQ(error.line, c.line) << c.text;
            EXPECT_NE(std::string(error.what()).find(c.words), std::string::npos) << error.what();
            // "file:line: " ("file: " when the error is about no one line).
            std::string where = path.string();
            if (c.line) where.append(":").append(std::to_string(c.line));
            where += ": ";
            EXPECT_EQ(std::string(error.what()).rfind(where, 0), 0u) << error.what();
        }
        // The loader refuses the source with the same reason.
        LoadLimits limits;
        limits.mapping = choice;
        const LoadResult result = loadLdif(fixture("standard-export.ldif"), limits);
        EXPECT_FALSE(result.ok());
        EXPECT_NE(result.error.message.find(c.words), std::string::npos) << result.error.message;
    }
    MappingChoice missing{(dir / "none.ini").string()};
    EXPECT_THROW(missing.resolve(), MappingError);
}

TEST(MappingFile, TheBuiltInNamesAreNoFiles) {
    EXPECT_TRUE(MappingChoice{}.isAuto());
    EXPECT_TRUE(MappingChoice{" Auto "}.isAuto());
    EXPECT_TRUE(MappingChoice{"ActiveDirectory"}.resolve()->find("Workstation"));
    EXPECT_TRUE(MappingChoice{"ktr"}.resolve()->ktr);
    EXPECT_EQ(MappingChoice{"standard"}.resolve()->classes.front().name, "Workstation");
}

TEST(StandardExport, AnEntryBeforeItsParentWaitsForIt) {
    // slapcat lists entries by their number: one moved below a container
    // made later comes first.
    const auto d =
        loaded(loadLdifText("dn: dc=C\nobjectClass: domain\n\n"
                            "dn: cn=P1,ou=Lab,dc=C\nobjectClass: person\ncn: P1\n\n"
                            "dn: cn=M1,ou=Inner,ou=Lab,dc=C\nobjectClass: device\n\n"
                            "dn: ou=Inner,ou=Lab,dc=C\nobjectClass: organizationalUnit\n\n"
                            "dn: ou=Lab,dc=C\nobjectClass: organizationalUnit\n",
                            "moved"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->className(d->find("KTR:\\\\C\\Lab\\P1")), "User");
    EXPECT_EQ(d->className(d->find("KTR:\\\\C\\Lab\\Inner\\M1")), "Workstation");
    // A parent that never comes is still an error, naming the entry's line.
    const LoadResult orphan = loadLdifText(
        "dn: dc=C\nobjectClass: domain\n\ndn: cn=P1,ou=Gone,dc=C\nobjectClass: person\n", "orphan");
    ASSERT_FALSE(orphan.ok());
    EXPECT_NE(orphan.error.message.find("ou=Gone,dc=C"), std::string::npos) << orphan.error.message;
    EXPECT_NE(orphan.error.message.find("(line 4)"), std::string::npos) << orphan.error.message;
}

TEST(MappingFile, HostNamesAreResolvedWhenReadAndANameThatDoesNotResolveGivesNone) {
    const auto dir = testsupport::freshDir("mapping");
    testsupport::writeFile(dir / "names.ini",
                           "[Workstation]\n"
                           "classes = device\n"
                           "field = RJ:Network Address = dNSHostName, hostname\n"
                           "[User]\n"
                           "classes = person\n");
    LoadLimits limits;
    limits.mapping.value = (dir / "names.ini").string();
    const auto path = writeLdif(
        "dn: dc=C\nobjectClass: domain\n\n"
        "dn: cn=Here,dc=C\nobjectClass: device\ndNSHostName: localhost\n\n"
        "dn: cn=Gone,dc=C\nobjectClass: device\n"
        "dNSHostName: no-such-host.invalid\n");
    SourceOptions options;
    options.limits = limits;
    const auto source = openSource(path.string(), options);
    const auto field = source->schema()->findAttribute("RJ:Network Address");
    ASSERT_TRUE(field);
    const EntryPtr here = source->find("KTR:\\\\C\\Here");
    ASSERT_TRUE(here);
    EXPECT_THAT(here->values(*field), testing::Contains("TCP 127.0.0.1"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(source->find("KTR:\\\\C\\Gone")->values(*field).empty());
    // A name server that does not answer costs at most the second it is given.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}
