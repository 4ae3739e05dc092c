#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "update/CZelkorTools.h"
#include "update/OsVersion.h"

namespace {

// Records fatal messages instead of ending the test program.
class FatalMessages {
public:
    FatalMessages() {
        previous_ = CZelkorTools::SetFatalHandler(
            [this](const std::string& message) { messages.push_back(message); });
    }
    ~FatalMessages() { CZelkorTools::SetFatalHandler(previous_); }
    std::vector<std::string> messages;

private:
    CZelkorTools::FatalHandler previous_;
};

TEST(CZelkorTools, MinimumSystemRule) {
    const OsVersionEntry& windows98 = MinimumOsEntry(0);
    EXPECT_STREQ(windows98.name, "Windows 98");
    EXPECT_TRUE(IsSystemTooOld(4, 0, windows98));
    EXPECT_TRUE(IsSystemTooOld(4, 9, windows98));
    EXPECT_TRUE(IsSystemTooOld(3, 95, windows98));
    EXPECT_FALSE(IsSystemTooOld(4, 10, windows98));
    EXPECT_FALSE(IsSystemTooOld(4, 90, windows98));
    EXPECT_FALSE(IsSystemTooOld(5, 0, windows98));
    EXPECT_FALSE(IsSystemTooOld(6, 1, windows98));
    EXPECT_FALSE(IsSystemTooOld(10, 0, windows98));

    const OsVersionEntry& windows2000 = MinimumOsEntry(1);
    EXPECT_STREQ(windows2000.name, "Windows 2000");
    EXPECT_TRUE(IsSystemTooOld(4, 90, windows2000));
    EXPECT_FALSE(IsSystemTooOld(5, 0, windows2000));

    EXPECT_STREQ(MinimumOsEntry(2).name, "Windows XP");
    EXPECT_TRUE(IsSystemTooOld(5, 0, MinimumOsEntry(2)));
    EXPECT_FALSE(IsSystemTooOld(5, 1, MinimumOsEntry(2)));
    EXPECT_STREQ(MinimumOsEntry(3).name, "Windows 2003 Server");
    EXPECT_TRUE(IsSystemTooOld(5, 1, MinimumOsEntry(3)));
    EXPECT_FALSE(IsSystemTooOld(5, 2, MinimumOsEntry(3)));
    // Unsigned: a huge minor on a lower major does not help.
    EXPECT_TRUE(IsSystemTooOld(4, 0xFFFFFFFFu, windows2000));
}

TEST(CZelkorTools, RefusalGoesThroughTheFatalHandler) {
    FatalMessages fatal;
    CZelkorTools tools;
    EXPECT_FALSE(tools.InitializeWithVersion(0, 4, 0));
    EXPECT_FALSE(tools.IsInitialized());
    ASSERT_EQ(fatal.messages.size(), 1u);
    EXPECT_EQ(fatal.messages[0], "This Program requires Windows 98 or later");

    EXPECT_FALSE(tools.InitializeWithVersion(1, 4, 90));
    ASSERT_EQ(fatal.messages.size(), 2u);
    EXPECT_EQ(fatal.messages[1], "This Program requires Windows 2000 or later");

    EXPECT_TRUE(tools.InitializeWithVersion(1, 5, 0));
    EXPECT_TRUE(tools.IsInitialized());
    EXPECT_EQ(fatal.messages.size(), 2u);
}

TEST(CZelkorTools, CheckInitializedBeforeAndAfter) {
    FatalMessages fatal;
    CZelkorTools tools;
    tools.CheckInitialized();
    ASSERT_EQ(fatal.messages.size(), 1u);
    EXPECT_EQ(fatal.messages[0], "You have to call CZelkorTools::Initialize() first!");

    ASSERT_TRUE(tools.InitializeWithVersion(0, 6, 1));
    tools.CheckInitialized();
    EXPECT_EQ(fatal.messages.size(), 1u);
}

TEST(CZelkorTools, RunningSystemPassesTheOldestRow) {
    // Every kernel this program builds on is newer than 4.10, and every Windows it runs on
    // (Wine included) is 6.1 or later.
    uint32_t major = 0;
    uint32_t minor = 0;
    ASSERT_TRUE(OsVersion(major, minor));
    EXPECT_GE(major, 4u) << major << "." << minor;
    FatalMessages fatal;
    CZelkorTools tools;
    EXPECT_TRUE(tools.Initialize(0));
    EXPECT_TRUE(fatal.messages.empty());
}

TEST(CZelkorToolsDeathTest, DefaultHandlerPrintsAndEnds) {
    CZelkorTools tools;
    EXPECT_EXIT(tools.CheckInitialized(), testing::ExitedWithCode(0),
                "You have to call CZelkorTools::Initialize\\(\\) first!");
}

}  // namespace
