// Name forms of the session control: full names both ways, context
// specifications, and the client-code mapping of its errors.
#include <gtest/gtest.h>

#include "session/errors.h"
#include "session/namepath.h"
#include "session/netnames.h"

namespace {

using session::NamePath;

TEST(NamePath, FromFullNameNormalisesAndSplits) {
    const NamePath p = NamePath::fromFullName("  ktr:\\\\ACME\\Org\\Unit\\WS042 ");
    ASSERT_TRUE(p.isValid());
    EXPECT_EQ(p.path(), "\\\\ACME\\Org\\Unit\\WS042");
    EXPECT_EQ(p.tree(), "ACME");
    EXPECT_EQ(p.context(), "WS042.Unit.Org");
    EXPECT_EQ(p.fullName(), "KTR:\\\\ACME\\Org\\Unit\\WS042");
    EXPECT_EQ(p.parent().context(), "Unit.Org");

    // A bare tree and a path without the prefix are completed.
    EXPECT_EQ(NamePath::fromFullName("ACME").fullName(), "KTR:\\\\ACME");
    EXPECT_EQ(NamePath::fromFullName("ACME").context(), "[Root]");
    EXPECT_EQ(NamePath::fromFullName("\\\\ACME\\Org").context(), "Org");
    EXPECT_EQ(NamePath::fromFullName("\\\\ACME\\Org").parent().context(), "[Root]");
}

TEST(NamePath, RejectsMalformedFullNames) {
    for (const char* bad :
         {"", "KTR:\\\\", "KTR:\\\\ACME\\", "KTR:\\\\ACME\\Org.Unit", "NDS:\\\\ACME\\Org",
          "KTR:\\\\\\Org", "KTR:\\\\ACME\\\\Org", "ACME\\Org"})
        EXPECT_FALSE(NamePath::fromFullName(bad).isValid()) << bad;
    EXPECT_EQ(NamePath::fromFullName("KTR:\\\\ACME\\").fullName(), "");
}

TEST(NamePath, FromTreeAndDottedContext) {
    const NamePath p = NamePath::fromTreeAndContext(" ACME ", " .Unit.Org. ");
    ASSERT_TRUE(p.isValid());
    EXPECT_EQ(p.fullName(), "KTR:\\\\ACME\\Org\\Unit");
    EXPECT_EQ(p.context(), "Unit.Org");

    // An empty context and the client's own name for the root both mean the tree.
    EXPECT_EQ(NamePath::fromTreeAndContext("ACME", "").fullName(), "KTR:\\\\ACME");
    EXPECT_EQ(NamePath::fromTreeAndContext("ACME", "[Root]").fullName(), "KTR:\\\\ACME");
    EXPECT_EQ(NamePath::fromTreeAndContext("ACME", "[Root]").context(), "[Root]");

    EXPECT_FALSE(NamePath::fromTreeAndContext("AC.ME", "Org").isValid());
    EXPECT_FALSE(NamePath::fromTreeAndContext("AC\\ME", "Org").isValid());
    EXPECT_FALSE(NamePath::fromTreeAndContext("", "Org").isValid());
    EXPECT_FALSE(NamePath::fromTreeAndContext("ACME", "Org\\Unit").isValid());
    EXPECT_FALSE(NamePath::fromTreeAndContext("ACME", "Unit..Org").isValid());
}

TEST(NamePath, RoundTripsBetweenForms) {
    const NamePath a = NamePath::fromFullName("KTR:\\\\T\\A\\B\\C");
    const NamePath b = NamePath::fromTreeAndContext(a.tree(), a.context());
    EXPECT_EQ(b.fullName(), a.fullName());
    EXPECT_EQ(b.components(), (std::vector<std::string>{"A", "B", "C"}));
}

TEST(ContextSpecification, ConvertsFullNamesAndPassesOthersOn) {
    EXPECT_EQ(session::contextSpecification("KTR:\\\\T\\A\\B\\C"), "\\\\T\\.C.B.A");
    EXPECT_EQ(session::contextSpecification("ktr:\\\\T"), "\\\\T\\.[Root]");
    EXPECT_EQ(session::contextSpecification("Unit.Org"), "Unit.Org");
    EXPECT_EQ(session::contextSpecification("\\\\T\\.Unit"), "\\\\T\\.Unit");
    EXPECT_EQ(session::contextSpecification("KTR:\\\\T\\A.B"), "");
}

TEST(ContextSpecification, Parses) {
    auto spec = session::parseContextSpecification("\\\\T\\.C.B.A");
    ASSERT_TRUE(spec);
    EXPECT_EQ(spec->tree, "T");
    EXPECT_EQ(spec->nameContext, "C.B.A");

    spec = session::parseContextSpecification("Unit.Org");
    ASSERT_TRUE(spec);
    EXPECT_FALSE(spec->tree);
    EXPECT_EQ(spec->nameContext, "Unit.Org");

    for (const char* bad :
         {"", "\\\\", "\\\\T", "\\\\T\\Unit", "\\\\\\.Unit", "\\\\T\\.", "\\\\T\\X\\.Unit"})
        EXPECT_FALSE(session::parseContextSpecification(bad)) << bad;
}

TEST(NetworkNames, DuplicatesGoIgnoringCaseKeepingTheFirstSpelling) {
    EXPECT_EQ(session::uniqueIgnoringCase({"ACME", "LabTree", "acme", "LABTREE", "Other", "ACME"}),
              (std::vector<std::string>{"ACME", "LabTree", "Other"}));
}

TEST(ClientErrors, MapToMessages) {
    using platform::automation::AutomationError;
    const AutomationError mapped = session::clientError(-653);
    EXPECT_EQ(mapped.code(), 628);
    EXPECT_EQ(mapped.description(), "Directory field already exists");
    EXPECT_EQ(mapped.helpContext(), -1);
    EXPECT_EQ(session::clientError(-652).code(), 628);
    EXPECT_EQ(session::clientError(0x89FC).description(), "Unknown file server");
    EXPECT_EQ(session::clientError(-342).code(), 617);

    const AutomationError other = session::clientError(0x1234);
    EXPECT_EQ(other.code(), 600);
    EXPECT_EQ(other.description(), "General Kalder API error : 4660");
    EXPECT_EQ(session::clientError(-252).description(), "General Kalder API error : -252");

    for (int code : {-301, -150})
        EXPECT_EQ(session::clientError(code).code(), platform::automation::error::OutOfMemory);
}

TEST(ClientErrors, OwnMessagesCarryTheirCode) {
    try {
        session::raiseMessage(613, 0x880F);
        FAIL();
    } catch (const platform::automation::AutomationError& e) {
        EXPECT_EQ(e.code(), 0x880F);
        EXPECT_EQ(e.description(), "Not connected to specified tree or server.");
        EXPECT_EQ(e.helpContext(), -1);
    }
    // A code of 0 would read as success to a host; the number stands in.
    EXPECT_EQ(session::messageError(611, 0).code(), 611);
    EXPECT_EQ(session::messageText(607), "The object specified is  not a kalder file server");
    EXPECT_EQ(session::messageText(651),
              "Specified port has not been captured or is an invalid port ");
}

}  // namespace
