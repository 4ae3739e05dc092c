// The simulator as a process, for what its users type: errors that echo a value show it
// escaped, one line each; --dump-raw makes its folder at start, or names why it cannot.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliProcess.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

struct SimError {
    std::vector<std::string> arguments;  // "{file}" stands for a regular file
    int status;
    std::string message;  // the line after "tarvelin-sim: "
};

void PrintTo(const SimError& e, std::ostream* os) {
    *os << testing::PrintToString(e.arguments);
}

class SimErrors : public testing::TestWithParam<SimError> {};

TEST_P(SimErrors, NameTheProblemOnOneEscapedLine) {
    const SimError& e = GetParam();
    TempDirectory dir;
    const std::string file = dir.WriteFile("file", 1);
    std::vector<std::string> arguments;
    for (std::string argument : e.arguments) {
        if (const size_t at = argument.find("{file}"); at != std::string::npos) {
            argument.replace(at, 6, file);
        }
        arguments.push_back(argument);
    }
    std::string message = e.message;
    if (const size_t at = message.find("{file}"); at != std::string::npos) {
        message.replace(at, 6, file);
    }
    CliProcess sim(CliProcess::Program{}, TARVELIN_SIM_PATH, arguments);
    ASSERT_EQ(sim.Wait(std::chrono::seconds(30)), e.status) << sim.Err();
    const std::vector<std::string> lines = Lines(sim.Err());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "tarvelin-sim: " + message);
    EXPECT_EQ(lines.size(), e.status == 64 ? 2u : 1u) << sim.Err();
    EXPECT_EQ(sim.Err().find('\x1b'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SimErrors,
    testing::Values(
        SimError{{"--tcp", "0", "--firmware-version", "V2\x1b[2J"},
                 64,
                 "--firmware-version: expected 1 to 16 printable characters, got 'V2\\x1B[2J'"},
        SimError{{"--tcp", "7\n0"}, 64, "--tcp: port must be 0 to 65535, got '7\\x0A0'"},
        SimError{{"--tcp", "0", "--\x1b]0;title\x07"}, 64, "unknown option '--\\x1B]0;title\\x07'"},
        SimError{
            {"--tcp", "0", "--coders", "2\r"}, 64, "--coders: expected 1 to 512, got '2\\x0D'"},
        // The folder cannot be made below a file; said before any port is opened.
        SimError{{"--tcp", "0", "--dump-raw", "{file}/raw\x1b"},
                 1,
                 "cannot create the folder {file}/raw\\x1B for --dump-raw: Not a directory"}));

// The folder and its parents are made at start, before the first dump; with several coders
// one folder each.
TEST(SimRawDump, MakesTheFolderWithItsParentsAtStart) {
    for (const int coders : {1, 2}) {
        TempDirectory dir;
        const std::string raw = dir.Path() + "new/parents/raw";
        CliProcess sim(CliProcess::Program{}, TARVELIN_SIM_PATH,
                       {"--tcp", "0", "--time-scale", "0", "--coders", std::to_string(coders),
                        "--dump-raw", raw});
        ASSERT_TRUE(sim.WaitForOutput("ready\n")) << sim.Err();
        const std::vector<std::string> folders =
            coders == 1 ? std::vector<std::string>{raw}
                        : std::vector<std::string>{raw + "/1", raw + "/2"};
        for (const std::string& folder : folders) {
            EXPECT_TRUE(std::filesystem::is_directory(folder)) << folder;
        }
        sim.Signal(SIGTERM);
        ASSERT_EQ(sim.Wait(std::chrono::seconds(30)), 0) << sim.Err();
        for (const std::string& folder : folders) {
            for (int region = 0; region < 3; ++region) {
                const std::string file = folder + "/region" + std::to_string(region) + ".bin";
                EXPECT_TRUE(std::filesystem::is_regular_file(file)) << file;
            }
        }
    }
}

}  // namespace
