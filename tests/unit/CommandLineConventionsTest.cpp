// The command line's conventions: both spellings of an option, short flags, per-command help,
// the version, usage errors that name the problem, and a parser that never throws.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/CommandLine.h"
#include "cli/JsonWriter.h"
#include "cli/ProgressDisplay.h"
#include "console/TerminalText.h"
#include "support/CapturedStream.h"

namespace {

struct Spelling {
    const char* name;
    std::vector<std::string> arguments;
};

class CommandLineSpelling : public testing::TestWithParam<Spelling> {};

// Each spelling must give the same options as the long form with separate values.
TEST_P(CommandLineSpelling, GivesTheSameOptions) {
    const ParsedCommandLine parsed = ParseCommandLine(GetParam().arguments);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const CliOptions& o = parsed.options;
    EXPECT_EQ(o.command, CliOptions::Command::Update);
    EXPECT_EQ(o.choice.connectionType, kConnectionTypeTcp);
    EXPECT_EQ(o.choice.tcpAddress, "127.0.0.1");
    EXPECT_EQ(o.choice.tcpPort, 4001);
    EXPECT_EQ(o.coderFile, "/fw/Coder_V02_16.img");
    EXPECT_EQ(o.dspFile, "/fw/Dsp_V01_00.dsp");
    EXPECT_EQ(o.language, Language::German);
    EXPECT_TRUE(o.yes);
    EXPECT_TRUE(o.events);
    EXPECT_EQ(o.verbosity, CliOptions::Verbosity::Quiet);
}

INSTANTIATE_TEST_SUITE_P(
    Conventions, CommandLineSpelling,
    testing::Values(
        Spelling{"Separate",
                 {"update", "--tcp", "127.0.0.1:4001", "--coder", "/fw/Coder_V02_16.img", "--dsp",
                  "/fw/Dsp_V01_00.dsp", "--lang", "de", "--yes", "--events", "--quiet"}},
        Spelling{"Equals",
                 {"update", "--tcp=127.0.0.1:4001", "--coder=/fw/Coder_V02_16.img",
                  "--dsp=/fw/Dsp_V01_00.dsp", "--lang=de", "--yes", "--events", "--quiet"}},
        Spelling{
            "ShortFlags",
            {"update", "-y", "-q", "--tcp", "127.0.0.1:4001", "--coder", "/fw/Coder_V02_16.img",
             "--dsp", "/fw/Dsp_V01_00.dsp", "--lang", "de", "--events"}},
        Spelling{"CombinedShortFlags",
                 {"update", "-yq", "--events", "--lang=de", "--tcp=127.0.0.1:4001",
                  "--dsp=/fw/Dsp_V01_00.dsp", "--coder=/fw/Coder_V02_16.img"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineConventions, HelpPerCommandAndVersion) {
    struct Case {
        std::vector<std::string> arguments;
        CliOptions::Command command;
        const char* mentions;
        const char* lacks;
    };
    const Case cases[] = {
        {{"--help"}, CliOptions::Command::Help, "list-ports", nullptr},
        {{"-h"}, CliOptions::Command::Help, "Exit status:", nullptr},
        {{"help"}, CliOptions::Command::Help, "identify", nullptr},
        {{"update", "--help"}, CliOptions::Command::Help, "--yes", nullptr},
        {{"update", "--serial", "COMx", "-h"}, CliOptions::Command::Help, "--coder", nullptr},
        {{"identify", "--help"}, CliOptions::Command::Help, "--firmware-dir", "-y,--yes"},
        {{"list-ports", "--help"}, CliOptions::Command::Help, "--json", "--serial"},
        {{"--version"}, CliOptions::Command::Version, "tarvelin-cli 2.", nullptr},
        {{"-V"}, CliOptions::Command::Version, "tarvelin-cli 2.", nullptr},
    };
    for (const Case& c : cases) {
        const ParsedCommandLine parsed = ParseCommandLine(c.arguments);
        ASSERT_TRUE(parsed.ok) << testing::PrintToString(c.arguments) << parsed.error;
        EXPECT_EQ(parsed.options.command, c.command) << testing::PrintToString(c.arguments);
        EXPECT_NE(parsed.output.find(c.mentions), std::string::npos) << parsed.output;
        if (c.lacks != nullptr) {
            EXPECT_EQ(parsed.output.find(c.lacks), std::string::npos) << parsed.output;
        }
    }
    EXPECT_EQ(ParseCommandLine({"-V"}).output, "tarvelin-cli " + ProgramVersion() + "\n");
    // The exit-status table is part of the help of every command that runs the procedure.
    for (const char* command : {"identify", "update"}) {
        EXPECT_NE(ParseCommandLine({command, "--help"}).output.find("130"), std::string::npos);
    }
}

TEST(CommandLineConventions, ErrorsAreOneLine) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"flash"},
        {"update"},
        {"update", "--tcp"},
        {"update", "--tcp", "h"},
        {"identify", "--serial", "1", "--lang", "xx"},
        {"list-ports", "extra"},
        {"-x"},
    };
    for (const auto& arguments : bad) {
        const ParsedCommandLine parsed = ParseCommandLine(arguments);
        EXPECT_FALSE(parsed.ok) << testing::PrintToString(arguments);
        EXPECT_FALSE(parsed.error.empty());
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
    }
}

TEST(CommandLineConventions, NeverThrows) {
    // Odd words and bytes in every position; the fuzz target feeds far more.
    const std::vector<std::string> words = {"",
                                            "-",
                                            "--",
                                            "---",
                                            "=",
                                            "--=",
                                            "-=",
                                            "--serial=",
                                            "--tcp=:",
                                            "-\x80",
                                            "\xff\xfe",
                                            "--help=1",
                                            "-Vx",
                                            "-yqv",
                                            "update",
                                            "identify",
                                            "list-ports",
                                            "--coder",
                                            "--lang=",
                                            std::string(5000, '-'),
                                            std::string("--se\0rial", 9),
                                            "--json=false",
                                            "--yes=3"};
    size_t ok = 0;
    for (const std::string& a : words) {
        for (const std::string& b : words) {
            for (const char* command : {"update", "identify", "list-ports"}) {
                ParsedCommandLine parsed;
                EXPECT_NO_THROW(parsed = ParseCommandLine({command, a, b, "--serial", "1"}));
                EXPECT_TRUE(parsed.ok || !parsed.error.empty());
                ok += parsed.ok ? 1 : 0;
            }
            EXPECT_NO_THROW(ParseCommandLine({a, b}));
        }
    }
    EXPECT_GT(ok, 0u);
}

TEST(TerminalText, DeviceTextCannotSteerTheTerminal) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"V2.16", "V2.16"},
        {"Grüße ☃", "Grüße ☃"},  // well-formed UTF-8 stays
        {"\x1b[2J\x1b]0;title\x07", "\\x1B[2J\\x1B]0;title\\x07"},
        {"a\rb\bc", "a\\x0Db\\x08c"},
        {"del\x7f", "del\\x7F"},
        {"\xc2\x9b"
         "31m",
         "\\u009B31m"},  // C1 CSI as UTF-8
        {"\x9b"
         "31m",
         "\\x9B31m"},                         // C1 CSI as a lone byte
        {"\xc0\xaf", "\\xC0\\xAF"},           // overlong
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"},  // surrogate
        {"\xe2\x82", "\\xE2\\x82"},           // cut short
        {"line\nnext\ttab", "line\nnext\ttab"},
        // Bidirectional embeddings, overrides and isolates, at both ends of their ranges, and
        // their neighbours, which stay.
        {"2.1\u202E61\u202C", "2.1\\u202E61\\u202C"},
        {"\u202A\u202B\u202D", "\\u202A\\u202B\\u202D"},
        {"\u2066x\u2067y\u2068z\u2069", "\\u2066x\\u2067y\\u2068z\\u2069"},
        {"\u2029\u202F\u2065\u206A", "\u2029\u202F\u2065\u206A"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeForTerminal(c.in), c.out) << testing::PrintToString(c.in);
    }
}

TEST(JsonWriter, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    JsonWriter json;
    json.Add("currentVersion", std::string("V2\xff\xfe.1\xc3"));
    json.Add("name", "Grüße");
    const std::string text = json.Text();
    const nlohmann::json parsed = nlohmann::json::parse(text);  // throws on invalid UTF-8
    EXPECT_EQ(parsed["currentVersion"], "V2\xEF\xBF\xBD\xEF\xBF\xBD.1\xEF\xBF\xBD");
    EXPECT_EQ(parsed["name"], "Grüße");
}

class ProgressDisplayTest : public testing::TestWithParam<bool> {};

TEST_P(ProgressDisplayTest, PercentAndTimeLeftWithoutStaleCharacters) {
    const bool terminal = GetParam();
    CapturedStream captured;
    std::FILE* out = captured.File();
    ASSERT_NE(out, nullptr);
    {
        ProgressDisplay progress(out, terminal, true);
        progress.Start(40);
        for (int i = 0; i < 40; ++i) {
            progress.Step();
        }
        EXPECT_EQ(progress.Percent(), 100);
        EXPECT_EQ(progress.SecondsLeft(), 0);
        progress.Finish();
    }
    const std::string text = captured.Text();
    EXPECT_NE(text.find("100 %"), std::string::npos) << text;
    EXPECT_NE(text.find("left"), std::string::npos) << text;
    EXPECT_NE(text.find("40/40 blocks"), std::string::npos) << text;
    if (terminal) {
        // Every redraw starts at the line's beginning and clears what a longer line left.
        size_t redraws = 0;
        for (size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at + 1)) {
            ++redraws;
            const size_t end = text.find_first_of("\r\n", at + 1);
            EXPECT_EQ(text.substr(end - 3, 3), "\x1b[K") << text.substr(at, end - at);
        }
        EXPECT_GE(redraws, 2u);
        EXPECT_EQ(text.back(), '\n');
    } else {
        EXPECT_EQ(text.find('\r'), std::string::npos);
        EXPECT_EQ(text.find('\x1b'), std::string::npos);
        EXPECT_NE(text.find("  0 %"), std::string::npos) << text;
        EXPECT_NE(text.find("  50 %"), std::string::npos) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Output, ProgressDisplayTest, testing::Bool(),
                         [](const auto& info) { return info.param ? "Terminal" : "Pipe"; });

TEST(ProgressDisplay, DurationText) {
    EXPECT_EQ(DurationText(0), "0:00");
    EXPECT_EQ(DurationText(65), "1:05");
    EXPECT_EQ(DurationText(3600), "60:00");
    EXPECT_EQ(DurationText(-1), "?");
}

}  // namespace
