#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TempDirectory.h"
#include "update/ExecutablePath.h"
#include "update/FirmwareFiles.h"
#include "update/LogLocation.h"
#include "update/Utf8Path.h"

namespace {

TEST(FirmwareFiles, VersionFromFileName) {
    EXPECT_EQ(VersionFromFileName("Coder_V02_15"), "2.15");
    EXPECT_EQ(VersionFromFileName("Firmware_V2_3"), "2.3");
    EXPECT_EQ(VersionFromFileName("Coder_v02_15"), "v02.15");
    EXPECT_EQ(VersionFromFileName("T1x_Coder_V03_01"), "3.01");
    // Only one leading zero is dropped.
    EXPECT_EQ(VersionFromFileName("Coder_V00_15"), "0.15");
    EXPECT_EQ(VersionFromFileName("Coder_10_2"), "10.2");
    EXPECT_EQ(VersionFromFileName("Coder_V02"), "???");
    EXPECT_EQ(VersionFromFileName("Coder"), "???");
    EXPECT_EQ(VersionFromFileName(""), "???");
    EXPECT_EQ(VersionFromFileName("_x"), "???");
    // The last underscore always follows the skipped characters, so it becomes the point.
    EXPECT_EQ(VersionFromFileName("a__"), ".");
    EXPECT_EQ(VersionFromFileName("a_V0_"), ".");
}

TEST(FirmwareFiles, VersionToFlashText) {
    EXPECT_EQ(VersionToFlashText("/opt/tarvelin/Coder_V02_15.img"), "2.15 (Coder_V02_15.img)");
    EXPECT_EQ(VersionToFlashText("Firmware_V2_3.img"), "2.3 (Firmware_V2_3.img)");
    EXPECT_EQ(VersionToFlashText("/x/coder.img"), "??? (coder.img)");
    // The extension is only the part after the last dot of the name, not of the directory.
    EXPECT_EQ(VersionToFlashText("/a.b/Coder_V2_3"), "2.3 (Coder_V2_3)");
}

TEST(FirmwareFiles, ProgramDirectoryHoldsThisExecutable) {
    const std::string& directory = GetProgramDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_TRUE(PathFromUtf8(directory).is_absolute()) << directory;
    EXPECT_EQ(directory.back(), '/');
    EXPECT_EQ(directory.find('\\'), std::string::npos) << "one separator everywhere";
    const std::string program = ExecutablePath();
    ASSERT_EQ(program.rfind(directory, 0), 0u) << program;
    EXPECT_EQ(program.substr(directory.size()).rfind("tarvelin_unit_tests", 0), 0u) << program;
    EXPECT_TRUE(std::filesystem::is_regular_file(PathFromUtf8(program))) << program;
    EXPECT_EQ(&GetProgramDirectory(), &directory);
}

TEST(FirmwareFiles, FindMatchesCaseInsensitivelyAndInNameOrder) {
    TempDirectory dir;
    ASSERT_TRUE(dir.Valid());
    std::string path = "stale";
    EXPECT_FALSE(FindFirmwareFile("*.img", path, dir.Path()));
    EXPECT_EQ(path, "");

    dir.WriteFile("CODER_V02_15.IMG");
    ASSERT_TRUE(FindFirmwareFile("*.img", path, dir.Path()));
    EXPECT_EQ(path, dir.Path() + "CODER_V02_15.IMG");

    // Byte order: upper-case letters sort before lower-case ones, digits before both.
    dir.WriteFile("b_V1_1.img");
    dir.WriteFile("A_V1_0.img");
    ASSERT_TRUE(FindFirmwareFile("*.img", path, dir.Path()));
    EXPECT_EQ(path, dir.Path() + "A_V1_0.img");
    dir.WriteFile("9_V1_2.Img");
    ASSERT_TRUE(FindFirmwareFile("*.IMG", path, dir.Path()));
    EXPECT_EQ(path, dir.Path() + "9_V1_2.Img");

    // A directory only looks like a firmware file; the directory argument may lack its "/".
    TempDirectory other;
    ASSERT_TRUE(std::filesystem::create_directory(PathFromUtf8(other.Path() + "0.img")));
    other.WriteFile("1.img");
    ASSERT_TRUE(FindFirmwareFile("*.img", path, other.Path().substr(0, other.Path().size() - 1)));
    EXPECT_EQ(path, other.Path() + "1.img");
    // Near misses.
    TempDirectory misses;
    misses.WriteFile("coder.img.bak");
    misses.WriteFile("coderimg");
    misses.WriteFile(".img");
    EXPECT_FALSE(FindFirmwareFile("*.img", path, misses.Path()));
    EXPECT_FALSE(FindFirmwareFile("*.img", path, dir.Path() + "missing/"));
}

TEST(FirmwareFiles, NamesAndFoldersBeyondAsciiAreUtf8) {
    TempDirectory dir;
    ASSERT_TRUE(std::filesystem::create_directory(PathFromUtf8(dir.Path() + "Übertragung")));
    const std::string folder = dir.Path() + "Übertragung/";
    const std::string file = "Cöder_V02_16.IMG";
    std::ofstream(PathFromUtf8(folder + file), std::ios::binary) << "x";
    std::string path;
    ASSERT_TRUE(FindFirmwareFile("*.img", path, folder));
    EXPECT_EQ(path, folder + file);
    EXPECT_EQ(VersionToFlashText(path), "2.16 (Cöder_V02_16.IMG)");
    EXPECT_TRUE(HoldsCoderFirmware(folder));
}

class RecordingQuestions : public DiscoveryQuestions {
public:
    explicit RecordingQuestions(bool answer) : answer_(answer) {}
    void CoderFileMissing() override { ++missingCalls; }
    bool ConfirmCoderOnly() override {
        ++confirmCalls;
        return answer_;
    }
    int missingCalls = 0;
    int confirmCalls = 0;

private:
    bool answer_;
};

TEST(FirmwareFiles, DiscoveryWithoutCoderFirmware) {
    TempDirectory dir;
    dir.WriteFile("dsp_V1_0.dsp");
    dir.WriteFile("samples.smp");
    RecordingQuestions questions(true);
    FirmwareFileSet files;
    files.coderFile = "left over";
    EXPECT_FALSE(DiscoverFirmwareFiles(dir.Path(), files, questions));
    EXPECT_EQ(questions.missingCalls, 1);
    EXPECT_EQ(questions.confirmCalls, 0);
    EXPECT_EQ(files.coderFile, "");
    EXPECT_EQ(files.dspFile, "");
    EXPECT_EQ(files.versionToFlash, "");
}

TEST(FirmwareFiles, DiscoveryWithoutDspAsksAndNeverUsesSamples) {
    TempDirectory dir;
    dir.WriteFile("Coder_V02_15.img");
    dir.WriteFile("samples.smp");
    for (bool answer : {true, false}) {
        RecordingQuestions questions(answer);
        FirmwareFileSet files;
        EXPECT_EQ(DiscoverFirmwareFiles(dir.Path(), files, questions), answer);
        EXPECT_EQ(questions.missingCalls, 0);
        EXPECT_EQ(questions.confirmCalls, 1);
        EXPECT_EQ(files.coderFile, dir.Path() + "Coder_V02_15.img");
        EXPECT_EQ(files.versionToFlash, "2.15 (Coder_V02_15.img)");
        EXPECT_EQ(files.dspFile, "");
        EXPECT_EQ(files.samplesFile, "");
    }
}

TEST(FirmwareFiles, DiscoveryWithDspAndSamples) {
    TempDirectory dir;
    dir.WriteFile("Coder_V02_15.img");
    dir.WriteFile("Dsp_V1_2.DSP");
    RecordingQuestions questions(false);
    FirmwareFileSet files;
    ASSERT_TRUE(DiscoverFirmwareFiles(dir.Path(), files, questions));
    EXPECT_EQ(files.dspFile, dir.Path() + "Dsp_V1_2.DSP");
    // A missing samples file is not reported.
    EXPECT_EQ(files.samplesFile, "");
    dir.WriteFile("Samples.smp");
    ASSERT_TRUE(DiscoverFirmwareFiles(dir.Path(), files, questions));
    EXPECT_EQ(files.samplesFile, dir.Path() + "Samples.smp");
    EXPECT_EQ(questions.missingCalls + questions.confirmCalls, 0);
}

}  // namespace
