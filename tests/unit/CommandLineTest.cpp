#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CommandLine.h"
#include "cli/JsonWriter.h"
#include "console/ConnectionArguments.h"

namespace {

ParsedCommandLine Parse(std::vector<std::string> arguments) {
    return ParseCommandLine(arguments);
}

TEST(CommandLine, SerialPortsAsNumbersNamesOrPaths) {
    ConnectionChoice choice;
    std::string error;
    ASSERT_TRUE(ParseSerialPort("7", choice, error));
    EXPECT_EQ(choice.connectionType, kConnectionTypeSerial);
    EXPECT_EQ(choice.serialPort, 7);
    EXPECT_TRUE(choice.serialDevice.empty());
    ASSERT_TRUE(ParseSerialPort("com12", choice, error));
    EXPECT_EQ(choice.serialPort, 12);
    ASSERT_TRUE(ParseSerialPort("/dev/ttyUSB0", choice, error));
    EXPECT_EQ(choice.serialDevice, "/dev/ttyUSB0");

    for (const char* bad : {"", "COM", "COM0", "0", "-3", "7a", "COM 7", "70000", "COM+1"}) {
        EXPECT_FALSE(ParseSerialPort(bad, choice, error)) << bad;
        EXPECT_NE(error.find("serial port"), std::string::npos) << bad;
    }
}

TEST(CommandLine, TcpTargets) {
    ConnectionChoice choice;
    std::string error;
    ASSERT_TRUE(ParseTcpTarget("127.0.0.1:7000", choice, error));
    EXPECT_EQ(choice.connectionType, kConnectionTypeTcp);
    EXPECT_EQ(choice.tcpAddress, "127.0.0.1");
    EXPECT_EQ(choice.tcpPort, 7000);
    ASSERT_TRUE(ParseTcpTarget("coder-7.example:65535", choice, error));
    EXPECT_EQ(choice.tcpPort, 65535);

    // Port 0 and ports above 16 bits would reach another port once cut to 16 bits.
    for (const char* bad : {"127.0.0.1", ":7000", "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65536",
                            "127.0.0.1:99999999999", "127.0.0.1:70x", "host name:7000"}) {
        EXPECT_FALSE(ParseTcpTarget(bad, choice, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(ParseTcpTarget(std::string(512, 'h') + ":7000", choice, error));
    EXPECT_NE(error.find("511"), std::string::npos);
}

TEST(CommandLine, Commands) {
    auto parsed = Parse({"update", "--tcp", "127.0.0.1:7000", "--firmware-dir", "/tmp/fw", "--log",
                         "/tmp/x.log", "--lang", "de", "--json", "--yes"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.command, CliOptions::Command::Update);
    EXPECT_EQ(parsed.options.firmwareDirectory, "/tmp/fw/");
    EXPECT_EQ(parsed.options.logPath, "/tmp/x.log");
    EXPECT_EQ(parsed.options.language, Language::German);
    EXPECT_TRUE(parsed.options.json);
    EXPECT_TRUE(parsed.options.yes);

    // Windows' separators, also a closing one, give one folder in the program's form; elsewhere a
    // '\' is part of a name.
    const bool windows = std::filesystem::path::preferred_separator == '\\';
    for (const std::string typed : {"C:\\fw", "C:\\fw\\"}) {
        parsed = Parse({"identify", "--tcp", "127.0.0.1:7000", "--firmware-dir", typed, "--log",
                        typed + "\\x.log"});
        ASSERT_TRUE(parsed.ok) << parsed.error;
        EXPECT_EQ(parsed.options.firmwareDirectory, windows ? "C:/fw/" : typed + "/");
        EXPECT_EQ(parsed.options.logPath.find('\\'), windows ? std::string::npos : 2u);
    }

    parsed = Parse({"identify", "--serial", "COM3"});
    ASSERT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.options.command, CliOptions::Command::Identify);
    EXPECT_FALSE(parsed.options.language.has_value());

    struct Bad {
        std::vector<std::string> arguments;
        const char* mentions;
    };
    const Bad bad[] = {
        {{}, "missing command"},
        {{"flash"}, "unknown command"},
        {{"identify"}, "--serial"},
        {{"identify", "--serial", "1", "--tcp", "h:1"}, "exactly one"},
        {{"identify", "--serial"}, "needs a value"},
        {{"identify", "--serial", "1", "--lang", "fr"}, "language"},
        {{"identify", "--serial", "1", "--yes"}, "unknown option"},  // only update asks
        {{"update", "--serial", "1", "--frobnicate"}, "unknown option"},
        {{"update", "--serial", "1", "stray"}, "unexpected argument"},
        {{"identify", "--serial", "1", "--coder", "a.img", "--firmware-dir", "d"}, "not both"},
        {{"identify", "--serial", "1", "--dsp", "a.dsp"}, "--coder"},
        {{"identify", "--serial", "1", "--coder", "a.img", "--samples", "a.smp"}, "--dsp"},
        {{"identify", "--serial", "1", "--json", "--events"}, "--json or --events"},
        {{"identify", "--serial", "1", "-q", "-v"}, "-q or -v"},
        {{"identify", "--serial", "1", "--serial", "2"}, "--serial"},
        {{"identify", "--coder="}, "--coder needs a value"},
        {{"list-ports", "--serial", "1"}, "unknown option"},
        {{"--lang", "en", "identify"}, "unknown option"},
        {{"update", "--serial", "1", "--log", ""}, "--log"},
    };
    for (const Bad& b : bad) {
        parsed = Parse(b.arguments);
        EXPECT_FALSE(parsed.ok);
        EXPECT_NE(parsed.error.find(b.mentions), std::string::npos) << parsed.error;
    }
}

TEST(JsonWriter, EscapesAndKeepsOrder) {
    JsonWriter json;
    json.Add("status", "Verbindung zum Coder (h:1) hergestellt.");
    json.Add("detail", "line one\nsaid \"no\"\\\t\x01");
    json.Add("outcome", int64_t{20});
    json.Add("mayUpdate", false);
    json.Add("warnings", std::vector<std::string>{"BIOS_VERSION_UNKNOWN", "NOT_MAIN_PORT"});
    json.Add("empty", std::vector<std::string>{});
    EXPECT_EQ(json.Text(),
              "{\"status\":\"Verbindung zum Coder (h:1) hergestellt.\","
              "\"detail\":\"line one\\nsaid \\\"no\\\"\\\\\\t\\u0001\",\"outcome\":20,"
              "\"mayUpdate\":false,\"warnings\":[\"BIOS_VERSION_UNKNOWN\",\"NOT_MAIN_PORT\"],"
              "\"empty\":[]}");
}

}  // namespace
