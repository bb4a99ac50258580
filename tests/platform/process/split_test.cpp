// Splitting of command lines into program and arguments.
#include <gtest/gtest.h>

#include "platform/process/shell.h"

namespace {
using platform::process::SplitCommand;
using platform::process::splitCommandLine;

struct SplitCase {
    const char* line;
    SplitCommand expected;
};

TEST(SplitCommandLine, FollowsThePlatformQuotingRules) {
    const SplitCase cases[] = {
        {"", {"", {}}},
        {" \t ", {"", {}}},
        {"prog", {"prog", {}}},
        {"  prog \t a   b  ", {"prog", {"a", "b"}}},
        // The console form: the quoted value joins its option letter.
        {R"(\\FS1\sys\public\harbex\vorplin.exe -w"WS042.Sales.Acme" -n"CorpTree" -c"Remote Control")",
         {R"(\\FS1\sys\public\harbex\vorplin.exe)",
          {"-wWS042.Sales.Acme", "-nCorpTree", "-cRemote Control"}}},
        {R"(p -n"Corp Tree")", {"p", {"-nCorp Tree"}}},
        {R"(p "a b"c d)", {"p", {"a bc", "d"}}},
        // Program names: quotes only group, backslashes stay, even before a quote.
        {R"("\\FS1\SYS\Program Files\x.exe" a)", {R"(\\FS1\SYS\Program Files\x.exe)", {"a"}}},
        {R"(C:\Pro"gram Fi"les\x.exe)", {R"(C:\Program Files\x.exe)", {}}},
        {R"(C:\dir\"x y" z)", {R"(C:\dir\x y)", {"z"}}},
        {R"("" a)", {"", {"a"}}},
        // Backslashes are literal unless a quote follows them.
        {R"(p a\\b c\ d\)", {"p", {R"(a\\b)", R"(c\)", R"(d\)"}}},
        {R"(p a\\\\"b c")", {"p", {R"(a\\b c)"}}},
        {R"(p a\\\"b c)", {"p", {R"(a\"b)", "c"}}},
        {R"(p \"a\")", {"p", {R"("a")"}}},
        {R"(p "a\"b")", {"p", {R"(a"b)"}}},
        // "" inside a quoted run is a literal quote and the run goes on.
        {R"(p "a""b c" d)", {"p", {R"(a"b c)", "d"}}},
        {R"(p a""b)", {"p", {"ab"}}},
        {R"(p "" x "")", {"p", {"", "x", ""}}},
        {R"(p "open to the end)", {"p", {"open to the end"}}},
    };
    for (const auto& c : cases) {
        const SplitCommand actual = splitCommandLine(c.line);
        EXPECT_EQ(actual.program, c.expected.program) << c.line;
        EXPECT_EQ(actual.arguments, c.expected.arguments) << c.line;
    }
}

}  // namespace
