#include <gtest/gtest.h>

#include "sim/EscapedText.h"
#include "sim/SimOptions.h"

namespace {

SimOptionsResult Parse(std::vector<std::string> args) {
    return ParseSimOptions(args);
}

TEST(SimOptions, FullCommandLine) {
    const auto r = Parse({"--tcp",
                          "0",
                          "--serial",
                          "--link",
                          "COM7",
                          "--state",
                          "bios",
                          "--firmware-version",
                          "V2.16",
                          "--bios-version",
                          "none",
                          "--main-port",
                          "4001",
                          "--baud",
                          "38400",
                          "--transfer-mode",
                          "1",
                          "--old-netpc",
                          "--pace",
                          "--time-scale",
                          "0.5",
                          "--erase-ms",
                          "9000",
                          "--stay-in-bios",
                          "--nack",
                          "3:17",
                          "--nack",
                          "5:14:2",
                          "--lose-ack",
                          "4",
                          "--bad-crc",
                          "6",
                          "--noise",
                          "--no-finish-ack",
                          "--drop-after",
                          "9",
                          "--no-reconnect",
                          "--refuse-from",
                          "3",
                          "--erase-nack",
                          "2:17",
                          "--slow-ms",
                          "20",
                          "--dump",
                          "d.txt",
                          "--dump-raw",
                          "raw"});
    ASSERT_TRUE(r.ok) << r.error;
    const SimOptions& o = r.options;
    EXPECT_EQ(*o.tcpPort, 0);
    EXPECT_EQ(o.link, "COM7");
    EXPECT_EQ(o.state, SimOptions::StartState::Bios);
    EXPECT_EQ(o.version, "V2.16");
    EXPECT_FALSE(o.biosVersion.has_value());
    EXPECT_EQ(*o.mainPort, 4001);
    EXPECT_EQ(o.baud, 38400u);
    EXPECT_EQ(o.transferMode, 1);
    EXPECT_TRUE(o.oldNetPc && o.pace && o.stayInBios && o.noise && o.noFinishAck && o.noReconnect);
    EXPECT_DOUBLE_EQ(o.timeScale, 0.5);
    EXPECT_EQ(o.eraseMs, 9000);
    ASSERT_EQ(o.nacks.size(), 2u);
    EXPECT_EQ(o.nacks[0].block, 3);
    EXPECT_EQ(o.nacks[0].code, 17);
    EXPECT_EQ(o.nacks[0].times, -1);  // forever
    EXPECT_EQ(o.nacks[1].times, 2);
    EXPECT_EQ(o.loseAcks, std::vector<int64_t>{4});
    EXPECT_EQ(o.badCrcs, std::vector<int64_t>{6});
    EXPECT_EQ(*o.dropAfter, 9);
    EXPECT_EQ(*o.refuseFrom, 3);
    ASSERT_EQ(o.eraseNacks.size(), 1u);
    EXPECT_EQ(o.eraseNacks[0].region, 2);
    EXPECT_EQ(o.eraseNacks[0].code, 17);
    EXPECT_EQ(o.slowMs, 20);
    EXPECT_EQ(o.dumpFile, "d.txt");
    EXPECT_EQ(o.dumpRawDir, "raw");
}

TEST(SimOptions, DefaultsComeBackBeforeTheProgramsPauses) {
    const auto r = Parse({"--tcp", "4001"});
    ASSERT_TRUE(r.ok);
    EXPECT_LT(r.options.biosRebootSerialMs, 2000);
    EXPECT_LT(r.options.biosRebootTcpMs, 6500);
    EXPECT_LT(r.options.firmwareRebootSerialMs, 6000);
    EXPECT_LT(r.options.firmwareRebootTcpMs, 8000);
    EXPECT_EQ(*r.options.biosVersion, "2.10");
}

TEST(SimOptions, BadOptionsGiveAReasonNeverACrash) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--tcp"},
        {"--tcp", "70000"},
        {"--tcp", "12x"},
        {"--tcp", "0", "--bogus"},
        {"--tcp", "0", "--state", "dsp"},
        {"--tcp", "0", "--bios-version", "2.1"},
        {"--tcp", "0", "--firmware-version", ""},
        {"--tcp", "0", "--version", "V2.16"},  // the old spelling of --firmware-version
        {"--tcp", "0", "--transfer-mode", "2"},
        {"--tcp", "0", "--time-scale", "nan"},
        {"--tcp", "0", "--time-scale", "-1"},
        {"--tcp", "0", "--erase-ms", "9001"},
        {"--tcp", "0", "--nack", "3"},
        {"--tcp", "0", "--nack", "3:0"},
        {"--tcp", "0", "--nack", "3:17:0"},
        {"--tcp", "0", "--nack", "-1:17"},
        {"--tcp", "0", "--lose-ack", "x"},
        {"--tcp", "0", "--link", "COM7"},
        {"--serial", "--link", "ttyS0"},
        {"--tcp", "0", "--pace"},
        {"--tcp", "0", "--refuse-from", "1"},
        {"--serial", "--refuse-from", "3"},
        {"--tcp", "0", "--erase-nack", "3:17"},
        {"--tcp", "0", "--erase-nack", "1"},
        {"--tcp", "0", "--erase-nack", "1:0"},
        {"--tcp", "0", "--coders", "0"},
        {"--tcp", "0", "--coders", "513"},
        {"--tcp", "0", "--coders", "2", "--nack", "3@1:17"},  // no coder 3
        {"--tcp", "0", "--coders", "2", "--nack", "0@1:17"},
        {"--tcp", "0", "--coders", "2", "--noise@3"},
        {"--tcp", "0", "--coders", "2", "--noise@x"},
        {"--tcp", "0", "--coders", "2", "--nack", "2@1"},      // the value after the prefix
        {"--tcp", "0", "--coders", "2", "--dump", "1@d.txt"},  // run-wide options
        {"--tcp", "1@0", "--coders", "2"},
        {"--tcp", "0", "--coders", "2", "--nack@2", "1:17"},
        {"--tcp", "65000", "--coders", "600"},
        {"--tcp", "65535", "--coders", "2"},
        {"--serial", "--link", "COM255", "--coders", "2"},
    };
    for (const auto& args : bad) {
        const auto r = Parse(args);
        EXPECT_FALSE(r.ok) << "accepted: " << testing::PrintToString(args);
        EXPECT_FALSE(r.error.empty());
    }
}

TEST(SimOptions, SeveralCodersShareOptionsAndTakeTheirOwnFaults) {
    const auto r = Parse({"--tcp", "0", "--coders", "3", "--time-scale", "0", "--nack", "2@5:17:3",
                          "--nack", "7:14", "--noise@3", "--firmware-version", "1@V2.16", "--state",
                          "3@bios", "--firmware-version", "V2@X"});
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.coders.size(), 3u);
    for (const SimOptions& o : r.coders) {
        EXPECT_EQ(*o.tcpPort, 0);
        EXPECT_DOUBLE_EQ(o.timeScale, 0);
    }
    // Options apply in command-line order: the later version without a coder wins for all.
    EXPECT_EQ(r.coders[0].version, "V2@X");
    EXPECT_EQ(r.coders[1].version, "V2@X");
    ASSERT_EQ(r.coders[0].nacks.size(), 1u);
    EXPECT_EQ(r.coders[0].nacks[0].block, 7);
    ASSERT_EQ(r.coders[1].nacks.size(), 2u);
    EXPECT_EQ(r.coders[1].nacks[0].block, 5);
    EXPECT_EQ(r.coders[1].nacks[0].times, 3);
    EXPECT_EQ(r.coders[1].nacks[1].block, 7);
    EXPECT_FALSE(r.coders[0].noise || r.coders[1].noise);
    EXPECT_TRUE(r.coders[2].noise);
    EXPECT_EQ(r.coders[0].state, SimOptions::StartState::Firmware);
    EXPECT_EQ(r.coders[2].state, SimOptions::StartState::Bios);
    EXPECT_EQ(r.options.nacks.size(), 1u);  // the first coder's, as with one coder

    const auto one = Parse({"--tcp", "0", "--firmware-version", "1@V2.17"});
    ASSERT_TRUE(one.ok) << one.error;
    ASSERT_EQ(one.coders.size(), 1u);
    EXPECT_EQ(one.options.version, "V2.17");
}

TEST(SimOptions, HelpAndVersionNeedNothingElse) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--help"}, {"-h"}, {"--tcp", "0", "--help"}}) {
        const auto r = Parse(args);
        EXPECT_TRUE(r.ok && r.help && !r.version) << testing::PrintToString(args);
    }
    const auto version = Parse({"--version"});
    EXPECT_TRUE(version.ok && version.version && !version.help);
    EXPECT_EQ(SimVersionLine().rfind("tarvelin-sim (Tarvelin) ", 0), 0u);
    const auto old = Parse({"--tcp", "0", "--version", "V2.16"});
    EXPECT_NE(old.error.find("--firmware-version V2.16"), std::string::npos) << old.error;
    // Every option the parser takes is in the help text.
    for (const char* option : {"--tcp",           "--serial",       "--link",
                               "--coders",        "--state",        "--firmware-version",
                               "--bios-version",  "--main-port",    "--baud",
                               "--transfer-mode", "--old-netpc",    "--pace",
                               "--time-scale",    "--erase-ms",     "--stay-in-bios",
                               "--slow-ms",       "--nack",         "--lose-ack",
                               "--bad-crc",       "--noise",        "--no-finish-ack",
                               "--drop-after",    "--no-reconnect", "--refuse-from",
                               "--erase-nack",    "--dump",         "--dump-raw",
                               "--help",          "--version"}) {
        EXPECT_NE(SimHelp().find(std::string(" ") + option), std::string::npos) << option;
    }
}

// What an error echoes of the command line stays one line and moves no cursor.
TEST(SimOptions, ErrorsShowControlCharactersEscaped) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"V2.15", "V2.15"},
        {"Grüße/€/𝄞", "Grüße/€/𝄞"},
        {"V2\x1b[31m", "V2\\x1B[31m"},
        {"a\nb\tc\rd", "a\\x0Ab\\x09c\\x0Dd"},
        {std::string("n\0ul", 4), "n\\x00ul"},
        {"\x7f", "\\x7F"},
        {"\xc2\x9b"
         "2J",
         "\\u009B2J"},  // CSI as UTF-8
        {"\x9b"
         "2J",
         "\\x9B2J"},                                   // CSI as a lone byte
        {"\xc0\xaf", "\\xC0\\xAF"},                    // overlong
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"},           // surrogate
        {"\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},  // past U+10FFFF
        {"\xe2\x82", "\\xE2\\x82"},                    // cut short
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeControls(c.in), c.out) << testing::PrintToString(c.in);
    }
}

}  // namespace
