// Where the update log goes: beside the firmware when that folder can be written, else in the
// user's state folder, never nowhere without a word.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TempDirectory.h"
#include "UserFolders.h"
#include "update/FolderAccess.h"
#include "update/LogLocation.h"
#include "update/UpdateLog.h"
#include "update/Utf8Path.h"

namespace {

TEST(LogLocation, BesideTheFirmwareWhenThatFolderCanBeWritten) {
    TempDirectory dir;
    ASSERT_TRUE(dir.Valid());
    EXPECT_TRUE(FolderIsWritable(dir.Path()));
    EXPECT_EQ(ChooseLogPath(dir.Path()), dir.Path() + kLogFileName);
    const std::string umlauts = dir.Path() + "Übertragung/";
    ASSERT_TRUE(std::filesystem::create_directory(PathFromUtf8(umlauts)));
    EXPECT_EQ(ChooseLogPath(umlauts), umlauts + kLogFileName);
}

TEST(LogLocation, InTheStateFolderWhenTheFirmwareFolderCannotBeWritten) {
    TempDirectory dir;
    UserFolders folders(dir.Path());
    const std::string expected = folders.StateFolder() + "Orvane/" + kLogFileName;
    ASSERT_NE(folders.StateFolder(), "");
    // A folder that does not exist, and a file taken for a folder (as root too).
    const std::string file = dir.WriteFile("plain-file");
    for (const std::string& firmware : {dir.Path() + "missing/", file + "/"}) {
        EXPECT_FALSE(FolderIsWritable(firmware)) << firmware;
        EXPECT_EQ(ChooseLogPath(firmware), expected) << firmware;
    }
    EXPECT_EQ(StateLogPath(), expected);
    EXPECT_TRUE(std::filesystem::is_directory(PathFromUtf8(folders.StateFolder() + "Orvane")));
    // The path is one the log can use.
    UpdateLog log;
    ASSERT_TRUE(log.Open(expected));
    log.WriteLine("Connecting Coder...");
    log.Close();
    std::error_code ignored;
    std::filesystem::remove(PathFromUtf8(expected), ignored);
}

}  // namespace
