// The C library's fnmatch, where there is one, agrees with the cases the portable matcher is
// held to, so those cases say what a shell says.
#include <fnmatch.h>
#include <gtest/gtest.h>

#include "FilePatternCases.h"

namespace {

TEST(FilePatternOracle, CasesAgreeWithFnmatch) {
    for (const FilePatternCase& c : kFilePatternCases) {
        EXPECT_EQ(::fnmatch(c.pattern, c.name, FNM_CASEFOLD | FNM_PERIOD) == 0, c.matches)
            << "pattern " << c.pattern << " name " << c.name;
    }
}

}  // namespace
