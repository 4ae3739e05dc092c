// The quoting of a child's command line, case by case as the C runtime reads it back (the real
// round trip is in ChildProcessWindowsTest).
#include "console/win32/CommandLineQuoting.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLineQuoting, EachArgumentReadsBackAsItWas) {
    struct Case {
        const char* argument;
        const char* quoted;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {R"(C:\folder\file.txt)", R"(C:\folder\file.txt)"},  // no quote follows: literal
        {"", R"("")"},
        {"two words", R"("two words")"},
        {"tab\there", "\"tab\there\""},
        {R"(say "hi")", R"("say \"hi\"")"},
        {R"(a\"b)", R"("a\\\"b")"},                     // a backslash before a quote is doubled
        {R"(C:\with space\)", R"("C:\with space\\")"},  // and before the closing quote
        {R"(\\server\share\)", R"(\\server\share\)"},
        {"ü\"北", R"("ü\"北")"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QuotedArgument(c.argument), c.quoted) << c.argument;
    }
    EXPECT_EQ(CommandLine(R"(C:\Program Files\t.exe)", {"a b", "c"}),
              R"("C:\Program Files\t.exe" "a b" c)");
}

}  // namespace
