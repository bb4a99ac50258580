// Case folding of names: ASCII, accented letters, and bytes that are not UTF-8.
#include <gtest/gtest.h>

#include "platform/text/casefold.h"

using namespace platform::text;

TEST(CaseFold, FoldsLettersBeyondAscii) {
    EXPECT_EQ(foldCase("KTR:\\\\CorpTree\\ACME"), "ktr:\\\\corptree\\acme");
    EXPECT_EQ(foldCase("MÜLLER Øst ŁÓDŹ"), "müller øst łódź");
    EXPECT_EQ(foldCase("ΑΘΗΝΑ МОСКВА"), "αθηνα москва");
    EXPECT_TRUE(equalsIgnoringCase("Jürgen", "JÜRGEN"));
    EXPECT_FALSE(equalsIgnoringCase("Jurgen", "Jürgen"));
    EXPECT_FALSE(equalsIgnoringCase("abc", "abd"));
}

TEST(CaseFold, KeepsInvalidBytes) {
    const std::string broken =
        "A\xC3"
        "B\xFF";
    EXPECT_EQ(foldCase(broken),
              "a\xC3"
              "b\xFF");
}

TEST(CaseFold, PrefixAndSearch) {
    EXPECT_TRUE(startsWithIgnoringCase("Miller", "mIL"));
    EXPECT_FALSE(startsWithIgnoringCase("Mi", "mil"));
    EXPECT_EQ(findIgnoringCase("IPX 0000ABCD:00001B2C3D4E:4003", "1b2c3d4e"), 17u);
    EXPECT_EQ(findIgnoringCase("Ärger ÄRGER", "ärger"), 0u);
    EXPECT_EQ(findIgnoringCase("xx", "y"), std::string::npos);
}
