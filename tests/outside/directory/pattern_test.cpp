// The "*" pattern of name searches and full names.
#include <gtest/gtest.h>

#include "outside/directory/fullname.h"
#include "outside/directory/pattern.h"

using namespace outside::directory;

TEST(PatternMatch, StarStandsForAnyRun) {
    EXPECT_TRUE(matchesPattern("smi*", "smith"));
    EXPECT_TRUE(matchesPattern("smi*", "smi"));
    EXPECT_FALSE(matchesPattern("smi*", "asmith"));
    EXPECT_TRUE(matchesPattern("*ith", "smith"));
    EXPECT_TRUE(matchesPattern("s*t*h", "smith"));
    EXPECT_FALSE(matchesPattern("s*x", "smith"));
    EXPECT_TRUE(matchesPattern("a*bc", "abcbc"));  // needs to backtrack
    EXPECT_TRUE(matchesPattern("*", ""));
    EXPECT_TRUE(matchesPattern("abc", "abc"));
    EXPECT_FALSE(matchesPattern("abc", "abcd"));
    EXPECT_FALSE(matchesPattern("", "a"));
}

TEST(FullName, SplitsIntoLevelsTreeFirst) {
    const auto names = splitFullName("KTR:\\\\Corp\\Acme\\Sales\\WS042");
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, (std::vector<std::string_view>{"Corp", "Acme", "Sales", "WS042"}));
    EXPECT_EQ(joinFullName(*names), "KTR:\\\\Corp\\Acme\\Sales\\WS042");
    ASSERT_TRUE(splitFullName("ktr:\\\\corp"));
    EXPECT_EQ(splitFullName("ktr:\\\\corp")->size(), 1u);
    EXPECT_EQ(treeOfFullName("KTR:\\\\Corp\\Acme"), "Corp");
}

TEST(FullName, RefusesWhatIsNoFullName) {
    for (const char* text : {"", "KTR:\\\\", "KTR:\\Corp", "NDS:\\\\Corp", "KTR:\\\\Corp\\",
                             "KTR:\\\\Corp\\\\Acme", "KTR:\\\\\\Corp"}) {
        EXPECT_FALSE(splitFullName(text)) << text;
        EXPECT_EQ(treeOfFullName(text), "") << text;
    }
}
