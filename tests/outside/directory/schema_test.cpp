// The schema: directory names, layouts and the definitions it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "outside/directory/schema.h"

using namespace outside::directory;

namespace {

const std::vector<std::string_view> kAttributes = {
    "( 2.5.4.0 NAME 'objectClass' )",
    "( 2.5.4.3 NAME ( 'cn' 'commonName' ) X-KTR-NAME 'CN' )",
    "( 2.5.4.4 NAME 'surname' X-KTR-NAME 'Surname' )",
    "( 2.5.4.13 NAME 'description' X-KTR-NAME 'Description' )",
    "( 0.9.2342.19200300.100.1.1 NAME 'uid' )",
    "( 1.3.6.1.4.1.99999.1.4 NAME 'networkAddress' X-KTR-NAME 'Network Address' )",
    "( 1.3.6.1.4.1.99999.1.8 NAME 'adminScope' X-KTR-NAME 'Admin Scope' )",
    "( 1.3.6.1.4.1.99999.1.9 NAME 'badge' X-KTR-NAME 'Badge' )",
};
const std::vector<std::string_view> kClasses = {
    "( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )",
    // Defined before the class it inherits from.
    "( 1.1.3 NAME 'ktrAdmin' SUP ktrUser MUST adminScope MAY ( description $ cn $ mobile ) "
    "X-KTR-NAME 'Administrator' )",
    "( 1.1.2 NAME 'ktrUser' SUP top MUST ( cn $ surname ) MAY ( description $ networkAddress $ "
    "uid ) X-KTR-NAME 'User' )",
    "( 1.1.4 NAME 'badged' AUXILIARY MUST badge MAY description )",
    "( 1.1.5 NAME 'guard' SUP ( badged $ ktrUser ) MAY uid X-KTR-NAME 'Guard' )",
};

std::vector<std::string> fieldNames(const Schema& schema, std::string_view cls) {
    std::vector<std::string> names;
    for (AttributeId id : schema.objectClass(*schema.findClass(cls)).fields) {
        names.push_back(schema.attribute(id).name);
    }
    return names;
}

}  // namespace

TEST(Schema, NamesComeFromTheExtensionElseTheLdapName) {
    const Schema schema = Schema::parse(kAttributes, kClasses);
    const auto address = schema.findAttribute("NETWORK address");
    ASSERT_TRUE(address);
    EXPECT_EQ(schema.attribute(*address).name, "Network Address");
    EXPECT_EQ(schema.attributeByLdapName("networkaddress"), address);
    EXPECT_EQ(schema.attributeByLdapName("1.3.6.1.4.1.99999.1.4"), address);
    EXPECT_EQ(schema.attributeByLdapName("networkAddress;binary"), address);
    EXPECT_EQ(schema.attributeByLdapName("commonName"), schema.findAttribute("CN"));
    EXPECT_FALSE(schema.findAttribute("networkAddress"));  // known by its directory name only

    ASSERT_TRUE(schema.findAttribute("uid"));
    EXPECT_EQ(schema.attribute(*schema.findAttribute("uid")).name, "uid");
    EXPECT_EQ(schema.objectClass(*schema.findClass("user")).name, "User");
    EXPECT_EQ(schema.objectClass(*schema.findClass("badged")).name, "badged");
    // `top` is what every tree root is: the directory calls it "Top".
    EXPECT_EQ(schema.objectClass(schema.topClass()).name, "Top");
    EXPECT_EQ(schema.classByLdapName("TOP"), schema.topClass());
}

TEST(Schema, StandardElementsWithoutTheExtensionTakeTheirUsualNames) {
    // As a server ships them: no X-KTR-NAME on the built-in definitions.
    const Schema schema = Schema::parse(
        {"( 2.5.4.3 NAME ( 'cn' 'commonName' ) )", "( 2.5.4.4 NAME ( 'sn' 'surname' ) )",
         "( 2.5.4.11 NAME ( 'ou' 'organizationalUnitName' ) )",
         // An extension elsewhere that claims a usual name keeps it.
         "( 1.1.9 NAME 'ktrTitle' X-KTR-NAME 'Title' )", "( 2.5.4.12 NAME 'jobTitle' )"},
        {"( 2.5.6.0 NAME 'top' ABSTRACT )", "( 2.5.6.5 NAME 'organizationalUnit' SUP top MUST ou )",
         "( 2.5.6.1 NAME 'alias' SUP top )", "( 2.5.6.6 NAME 'person' SUP top MUST ( sn $ cn ) )"});
    EXPECT_TRUE(schema.findClass("Organizational Unit"));
    EXPECT_TRUE(schema.findClass("Alias"));
    EXPECT_TRUE(schema.findClass("person")) << "no usual name: the LDAP name";
    EXPECT_EQ(schema.attribute(*schema.attributeByLdapName("surname")).name, "Surname");
    EXPECT_EQ(schema.attribute(*schema.attributeByLdapName("ou")).name, "Organizational Unit Name");
    EXPECT_EQ(schema.attribute(*schema.attributeByLdapName("cn")).name, "CN");
    EXPECT_EQ(schema.attribute(*schema.attributeByLdapName("ktrTitle")).name, "Title");
    EXPECT_EQ(schema.attribute(*schema.attributeByLdapName("jobTitle")).name, "jobTitle");
}

TEST(Schema, LayoutPutsInheritedFieldsFirstThenMustThenMay) {
    const Schema schema = Schema::parse(kAttributes, kClasses);
    EXPECT_EQ(fieldNames(schema, "User"),
              (std::vector<std::string>{"CN", "Surname", "Description", "Network Address", "uid"}));
    // Inherited fields first; description and cn are not repeated; objectClass is no field.
    EXPECT_EQ(fieldNames(schema, "Administrator"),
              (std::vector<std::string>{"CN", "Surname", "Description", "Network Address", "uid",
                                        "Admin Scope", "mobile"}));
    // Several superclasses contribute in SUP order.
    EXPECT_EQ(fieldNames(schema, "Guard"),
              (std::vector<std::string>{"Badge", "Description", "CN", "Surname", "Network Address",
                                        "uid"}));
    EXPECT_TRUE(fieldNames(schema, "Top").empty());
}

TEST(Schema, AttributesNamedOnlyByAClassAreUndeclared) {
    Schema schema = Schema::parse(kAttributes, kClasses);
    const auto mobile = schema.findAttribute("mobile");
    ASSERT_TRUE(mobile);
    EXPECT_FALSE(schema.attribute(*mobile).declared);
    EXPECT_TRUE(schema.attribute(*schema.findAttribute("CN")).declared);
    EXPECT_EQ(schema.addUndeclaredAttribute("Mobile"), *mobile);
    const AttributeId pager = schema.addUndeclaredAttribute("pager;lang-de");
    EXPECT_EQ(schema.attribute(pager).name, "pager");
    EXPECT_EQ(schema.attributeByLdapName("PAGER"), pager);
}

TEST(Schema, InheritanceIsTransitive) {
    const Schema schema = Schema::parse(kAttributes, kClasses);
    const ClassId admin = *schema.findClass("Administrator");
    const ClassId user = *schema.findClass("User");
    EXPECT_TRUE(schema.inherits(admin, user));
    EXPECT_TRUE(schema.inherits(admin, schema.topClass()));
    EXPECT_TRUE(schema.inherits(user, user));
    EXPECT_FALSE(schema.inherits(user, admin));
}

TEST(Schema, WithoutTopDefinedTopStillExists) {
    const Schema schema = Schema::parse({}, {"( 1.1.2 NAME 'ktrUser' X-KTR-NAME 'User' )"});
    EXPECT_EQ(schema.objectClass(schema.topClass()).name, "Top");
    EXPECT_FALSE(schema.objectClass(schema.topClass()).declared);
}

TEST(Schema, LdapsTopStaysTopWhateverItsOid) {
    // A schema that gives `top` the OID of a standard class: the tree-root
    // rule names it "Top", not the usual name of that OID.
    const Schema schema = Schema::parse({}, {"( 2.5.6.2 NAME 'top' ABSTRACT )",
                                             "( 1.1.2 NAME 'ktrUser' SUP top X-KTR-NAME 'User' )"});
    EXPECT_EQ(schema.objectClass(schema.topClass()).name, "Top");
    EXPECT_EQ(schema.topClass(), *schema.classByLdapName("top"));
    EXPECT_EQ(schema.findClass("Top"), schema.topClass());
    EXPECT_FALSE(schema.findClass("Country"));
    // Known by a second LDAP name too.
    const Schema aliased = Schema::parse({}, {"( 2.5.6.0 NAME ( 'root' 'top' ) ABSTRACT )"});
    EXPECT_EQ(aliased.objectClass(aliased.topClass()).name, "Top");
    // A name of its own does not take the roots' name either.
    const Schema renamed = Schema::parse({}, {"( 2.5.6.0 NAME 'top' X-KTR-NAME 'Use=' )"});
    EXPECT_EQ(renamed.objectClass(renamed.topClass()).name, "Top");
    EXPECT_FALSE(renamed.findClass("Use="));
    // Nor when it is known as `top` by its OID alone.
    const Schema byOid = Schema::parse({}, {"( top STRUCTURAL X-KTR-NAME 'Country' )"});
    EXPECT_EQ(byOid.topClass(), *byOid.classByLdapName("top"));
    EXPECT_EQ(byOid.objectClass(byOid.topClass()).name, "Top");
}

TEST(Schema, AClassNamedTopTakesThePlaceOfLdapsTop) {
    const Schema schema = Schema::parse(
        {}, {"( 2.5.6.0 NAME 'top' ABSTRACT )", "( 1.1.9 NAME 'ktrTree' SUP top X-KTR-NAME 'Top' )",
             "( 1.1.2 NAME 'ktrUser' SUP top X-KTR-NAME 'User' )"});
    EXPECT_EQ(schema.topClass(), *schema.classByLdapName("ktrTree"));
    EXPECT_EQ(schema.findClass("top"), schema.topClass());
    const ObjectClass& ldapTop = schema.objectClass(*schema.classByLdapName("top"));
    EXPECT_FALSE(ldapTop.named);
    EXPECT_TRUE(schema.inherits(*schema.findClass("User"), *schema.classByLdapName("top")));
    // Claimed in another case, the name is still spelt "Top".
    const Schema lower = Schema::parse({}, {"( 2.5.6.0 NAME 'top' ABSTRACT )",
                                            "( 1.1.9 NAME 'ktrTree' SUP top X-KTR-NAME 'tOP' )"});
    EXPECT_EQ(lower.topClass(), *lower.classByLdapName("ktrTree"));
    EXPECT_EQ(lower.objectClass(lower.topClass()).name, "Top");
    // Two classes that both claim the name still clash.
    EXPECT_THROW(Schema::parse({}, {"( 1.1 NAME 'a' X-KTR-NAME 'Top' )",
                                    "( 1.2 NAME 'b' X-KTR-NAME 'top' )"}),
                 SchemaError);
}

TEST(Schema, RefusesDefinitionsItCannotUse) {
    struct Case {
        std::vector<std::string_view> attributes;
        std::vector<std::string_view> classes;
        std::string list;
        std::size_t index;
        std::string words;
    };
    const std::vector<Case> cases = {
        {{"( 2.5.4.3 NAME 'cn' )", "( 2.5.4.4 NAME 'sn' SYNTAX )"},
         {},
         "attributeTypes",
         1,
         "malformed attribute type"},
        {{},
         {"( 1.1 NAME 'a' )", "( 1.2 NAME 'b' MUST ( cn )"},
         "objectClasses",
         1,
         "malformed object class"},
        {{}, {"( 1.1 NAME 'a' SUP nothere )"}, "objectClasses", 0, "nothere"},
        {{},
         {"( 1.1 NAME 'a' SUP b )", "( 1.2 NAME 'b' SUP a )"},
         "objectClasses",
         0,
         "inherits from itself"},
        {{"( 2.5.4.3 NAME 'cn' )", "( 2.5.4.3 NAME 'commonName' )"},
         {},
         "attributeTypes",
         1,
         "defined twice"},
        {{},
         {"( 1.1 NAME 'a' X-KTR-NAME 'User' )", "( 1.2 NAME 'b' X-KTR-NAME 'user' )"},
         "objectClasses",
         1,
         "two object classes are named 'user'"},
        // libldap points its error one past the end of these: the message
        // must not read there (AddressSanitizer builds catch it).
        {{"( 1.2.3 NAME 'x' X-"}, {}, "attributeTypes", 0, "malformed attribute type"},
        {{}, {"( 1.2.3 NAME 'x' X-"}, "objectClasses", 0, "malformed object class"},
    };
    for (const Case& c : cases) {
        try {
            Schema::parse(c.attributes, c.classes);
            ADD_FAILURE() << "accepted: " << c.words;
        } catch (const SchemaError& error) {
            EXPECT_EQ(error.list, c.list) << c.words;
            EXPECT_EQ(error.index, c.index) << c.words;
            EXPECT_NE(std::string(error.what()).find(c.words), std::string::npos) << error.what();
        }
    }
}

namespace {

// Definitions of classes c0 .. c(n-1), each below the one before it.
std::vector<std::string> chainOfClasses(std::size_t n, bool ownField) {
    std::vector<std::string> defs;
    for (std::size_t i = 0; i < n; ++i) {
        std::string def = "( 1.9." + std::to_string(i) + " NAME 'c" + std::to_string(i) + "'";
        if (i > 0) def += " SUP c" + std::to_string(i - 1);
        if (ownField) def += " MAY a" + std::to_string(i);
        if (i == 0) def += " MUST cn";
        defs.push_back(def + " )");
    }
    return defs;
}

std::vector<std::string_view> views(const std::vector<std::string>& texts) {
    return {texts.begin(), texts.end()};
}

}  // namespace

TEST(Schema, ALongChainOfClassesLoadsWithItsInheritance) {
    const std::vector<std::string> defs = chainOfClasses(20000, false);
    const Schema schema = Schema::parse({"( 2.5.4.3 NAME 'cn' )"}, views(defs));
    const ClassId first = *schema.classByLdapName("c0");
    const ClassId middle = *schema.classByLdapName("c10000");
    const ClassId last = *schema.classByLdapName("c19999");
    EXPECT_TRUE(schema.inherits(last, first));
    EXPECT_TRUE(schema.inherits(last, middle));
    EXPECT_TRUE(schema.inherits(middle, middle));
    EXPECT_FALSE(schema.inherits(first, last));
    EXPECT_FALSE(schema.inherits(middle, last));
    EXPECT_FALSE(schema.inherits(last, schema.topClass()));
    ASSERT_EQ(schema.objectClass(last).fields.size(), 1u);
    EXPECT_EQ(schema.attribute(schema.objectClass(last).fields[0]).name, "CN");
}

TEST(Schema, InheritanceThroughSeveralSuperclassesAgreesWithTheClosure) {
    // A layered graph in which most classes have two or three superclasses,
    // checked pair by pair against the transitive closure.
    const std::size_t n = 240;
    std::vector<std::vector<std::size_t>> sups(n);
    std::vector<std::string> defs;
    std::uint32_t random = 12345;
    const auto next = [&random](std::size_t below) {
        random = random * 1103515245u + 12345u;
        return (random >> 8) % below;
    };
    for (std::size_t i = 0; i < n; ++i) {
        std::string def = "( 1.8." + std::to_string(i) + " NAME 'k" + std::to_string(i) + "'";
        if (i > 0) {
            const std::size_t many = 1 + next(3);
            for (std::size_t s = 0; s < many; ++s) {
                const std::size_t sup = next(i);
                if (std::find(sups[i].begin(), sups[i].end(), sup) == sups[i].end())
                    sups[i].push_back(sup);
            }
            def += " SUP (";
            for (std::size_t s = 0; s < sups[i].size(); ++s)
                def += (s ? " $ k" : " k") + std::to_string(sups[i][s]);
            def += " )";
        }
        defs.push_back(def + " )");
    }
    std::vector<std::vector<bool>> closure(n, std::vector<bool>(n, false));
    for (std::size_t i = 0; i < n; ++i) {
        closure[i][i] = true;
        for (std::size_t sup : sups[i])
            for (std::size_t a = 0; a < n; ++a)
                if (closure[sup][a]) closure[i][a] = true;
    }
    const Schema schema = Schema::parse({}, views(defs));
    // The names are made once, appended: GCC 12 at -O3 takes "k" + a number
    // for an overlapping copy and fails the Release build (-Werror=restrict).
    std::vector<ClassId> ids;
    for (std::size_t k = 0; k < n; ++k) {
        std::string name = "k";
        name += std::to_string(k);
        ids.push_back(*schema.classByLdapName(name));
    }
    std::size_t mismatches = 0;
    for (std::size_t d = 0; d < n; ++d) {
        for (std::size_t b = 0; b < n; ++b) {
            const ClassId derived = ids[d];
            const ClassId base = ids[b];
            if (schema.inherits(derived, base) != closure[d][b]) ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST(Schema, LimitsAreCheckedBeforeTheWork) {
    // Far more classes than an entry's class number can tell apart: refused
    // by count, before a definition is parsed (these would all be malformed).
    const std::vector<std::string_view> tooMany(70000, "not parsed");
    try {
        Schema::parse({}, tooMany);
        ADD_FAILURE() << "accepted " << tooMany.size() << " classes";
    } catch (const SchemaError& error) {
        EXPECT_NE(std::string(error.what()).find("too many classes"), std::string::npos)
            << error.what();
    }
    // A chain that adds a field per class: its layouts grow with the square
    // of its length, and are refused once they would pass the bound.
    const std::vector<std::string> defs = chainOfClasses(3000, true);
    try {
        Schema::parse({}, views(defs));
        ADD_FAILURE() << "accepted a chain of 3000 classes with a field each";
    } catch (const SchemaError& error) {
        EXPECT_NE(std::string(error.what()).find("fields together"), std::string::npos)
            << error.what();
    }
    // A shorter one stays well inside the bound.
    const std::vector<std::string> fits = chainOfClasses(500, true);
    const Schema schema = Schema::parse({}, views(fits));
    EXPECT_EQ(schema.objectClass(*schema.classByLdapName("c499")).fields.size(), 501u);
}
