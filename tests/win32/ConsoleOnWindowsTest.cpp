// The console as the command line finds it: UTF-8 and terminal sequences switched on where
// there is one, and the width and height of its window, else of the environment.
#include <windows.h>

#include <gtest/gtest.h>

#include "Environment.h"
#include "console/ConsoleSetup.h"
#include "console/TerminalWidth.h"

namespace {

bool HasConsole() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode);
}

TEST(ConsoleOnWindows, WithoutAConsoleTheEnvironmentGivesTheSize) {
    if (HasConsole()) {
        GTEST_SKIP() << "the output is a console";
    }
    EXPECT_TRUE(PrepareConsole()) << "a pipe takes whatever is written";
    SetEnvironment("COLUMNS", "132");
    SetEnvironment("LINES", "not a number");
    EXPECT_EQ(TerminalWidth(stdout), 132);
    EXPECT_EQ(TerminalHeight(stdout), 24);
    SetEnvironment("COLUMNS", nullptr);
    SetEnvironment("LINES", nullptr);
    EXPECT_EQ(TerminalWidth(stdout), 80);
    EXPECT_EQ(TerminalWidth(nullptr), 80);
}

TEST(ConsoleOnWindows, AConsoleIsSwitchedToUtf8AndItsWindowGivesTheSize) {
    if (!HasConsole()) {
        GTEST_SKIP() << "no console (as under ctest)";
    }
    SetEnvironment("COLUMNS", "7");
    const bool sequences = PrepareConsole();
    EXPECT_EQ(GetConsoleOutputCP(), static_cast<UINT>(CP_UTF8));
    DWORD mode = 0;
    ASSERT_TRUE(GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode));
    EXPECT_EQ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0, sequences);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info));
    EXPECT_EQ(TerminalWidth(stdout), info.srWindow.Right - info.srWindow.Left + 1);
    EXPECT_EQ(TerminalHeight(stdout), info.srWindow.Bottom - info.srWindow.Top + 1);
    SetEnvironment("COLUMNS", nullptr);
}

}  // namespace
