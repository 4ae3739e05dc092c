#include <gtest/gtest.h>

#include <string>

#include "transport/SystemErrorText.h"

namespace {

// 2 is "file not found" both as an errno and as a Windows error.
TEST(SystemErrorText, TheSystemsWordsAsOneLine) {
    for (const std::string& text : {SystemErrorText(2), ResolverErrorText(-2)}) {
        ASSERT_FALSE(text.empty());
        // It goes into sentences of our own ("Could not open X: ....").
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
        EXPECT_NE(text.back(), '.') << text;
        EXPECT_NE(text.back(), ' ') << text;
    }
    EXPECT_NE(SystemErrorText(2), SystemErrorText(5));
}

}  // namespace
