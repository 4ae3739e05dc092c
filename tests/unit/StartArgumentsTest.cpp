#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/TempDirectory.h"
#include "wizard/StartArguments.h"

namespace {

// The folder, a coder image in it, and the folder with a separator all start there.
TEST(StartArguments, FolderOrAFileInItStartsThere) {
    TempDirectory folder;
    const std::string image = folder.WriteFile("Coder_V02_16.img", 64);
    const std::string path = folder.Path().substr(0, folder.Path().size() - 1);
    for (const std::string& argument : {path, image, folder.Path(), folder.Path() + "."}) {
        const StartFolder start = StartFolderFromArguments({argument}, Language::English);
        EXPECT_TRUE(start.valid) << argument;
        EXPECT_EQ(start.folder, path) << argument;
    }
    const StartFolder none = StartFolderFromArguments({}, Language::English);
    EXPECT_TRUE(none.valid);
    EXPECT_EQ(none.folder, "");
}

TEST(StartArguments, WhatNamesNoFolderIsRefusedWithWhy) {
    TempDirectory folder;
    const StartFolder missing =
        StartFolderFromArguments({folder.Path() + "no-such"}, Language::English);
    EXPECT_FALSE(missing.valid);
    EXPECT_EQ(missing.error.rfind(folder.Path() + "no-such does not exist.", 0), 0u)
        << missing.error;
    const StartFolder two = StartFolderFromArguments({"a", "b"}, Language::German);
    EXPECT_FALSE(two.valid);
    EXPECT_EQ(two.error.rfind("Aufruf: tarvelin [ORDNER", 0), 0u) << two.error;
}

}  // namespace
