#include <gtest/gtest.h>

#include "FilePatternCases.h"
#include "update/FilePattern.h"

namespace {

TEST(FilePattern, ShellRulesIgnoringCase) {
    for (const FilePatternCase& c : kFilePatternCases) {
        EXPECT_EQ(MatchesFilePattern(c.pattern, c.name), c.matches)
            << "pattern " << c.pattern << " name " << c.name;
    }
}

TEST(FilePattern, QuestionMarkTakesAWholeCharacter) {
    for (const FilePatternCase& c : kUtf8FilePatternCases) {
        EXPECT_EQ(MatchesFilePattern(c.pattern, c.name), c.matches)
            << "pattern " << c.pattern << " name " << c.name;
    }
}

}  // namespace
