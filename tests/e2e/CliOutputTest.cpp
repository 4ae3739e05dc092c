// What tarvelin-cli writes, as a process: the conventions (help, version, usage errors, both
// option spellings, -q and -v), the --events lines, valid JSON for any device text, the dry
// run of identify, files named one by one, and where the log is said to be.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CliHeldTerminal.h"
#include "CliProcess.h"
#include "FirmwareFolder.h"
#include "SimUnderTest.h"
#include "support/PortHolder.h"

namespace {

std::string Tcp(const SimUnderTest& device) {
    return "127.0.0.1:" + std::to_string(device.Port());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(CliConventions, HelpVersionAndUsageErrors) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* out;  // a part of standard output
        const char* err;  // a part of standard error
    };
    const Case cases[] = {
        {{"--help"}, 0, "Exit status:", ""},
        {{"update", "--help"}, 0, "-y,--yes", ""},
        {{"identify", "-h"}, 0, "--coder FILE", ""},
        {{"list-ports", "--help"}, 0, "0       the ports were listed", ""},
        {{"--version"}, 0, "tarvelin-cli 2.", ""},
        {{"-V"}, 0, "tarvelin-cli 2.", ""},
        {{"update", "--serial"}, 64, "", "Run 'tarvelin-cli update --help'"},
        {{"identify", "--tcp", "127.0.0.1"}, 64, "", "tarvelin-cli: invalid TCP target"},
        {{"flash"}, 64, "", "Run 'tarvelin-cli --help'"},
        {{}, 64, "", "missing command (identify, update, list-ports or fleet)"},
        {{"flash"}, 64, "", "(use identify, update, list-ports or fleet)"},
        {{"update", "--tcp=127.0.0.1:9", "--frobnicate"}, 64, "", "unknown option '--frobnicate'"},
    };
    for (const Case& c : cases) {
        CliProcess cli(c.arguments);
        EXPECT_EQ(cli.Wait(), c.status) << testing::PrintToString(c.arguments);
        EXPECT_NE(cli.Out().find(c.out), std::string::npos) << cli.Out();
        EXPECT_NE(cli.Err().find(c.err), std::string::npos) << cli.Err();
        if (c.status == 64) {
            // One line that names the problem, one that points to the help.
            EXPECT_EQ(Lines(cli.Err()).size(), 2u) << cli.Err();
            EXPECT_TRUE(cli.Out().empty());
        }
    }
}

// Each command's help ends with two or three examples of that command; list-ports has its own
// exit statuses.
TEST(CliConventions, EveryHelpEndsWithExamples) {
    for (const std::string command : {"identify", "update", "list-ports", "fleet"}) {
        CliProcess cli({command, "--help"});
        ASSERT_EQ(cli.Wait(), 0) << cli.Err();
        const std::vector<std::string> lines = Lines(cli.Out());
        const auto heading = std::find(lines.begin(), lines.end(), "Examples:");
        ASSERT_NE(heading, lines.end()) << cli.Out();
        size_t examples = 0;
        for (auto line = heading + 1; line != lines.end(); ++line) {
            if (line->rfind("    tarvelin-cli ", 0) == 0) {
                ++examples;
                EXPECT_EQ((*line + " ").rfind("    tarvelin-cli " + command + " ", 0), 0u) << *line;
            } else {
                EXPECT_TRUE(line->empty() || line->rfind("  ", 0) == 0)
                    << "only examples follow: " << *line;
            }
        }
        EXPECT_GE(examples, 2u) << cli.Out();
        EXPECT_LE(examples, 3u) << cli.Out();
        if (command == "list-ports") {
            EXPECT_EQ(cli.Out().find("no baud rate"), std::string::npos) << cli.Out();
        }
    }
}

TEST(CliConventions, ManPagesAreBuiltFromTheHelp) {
    for (const char* page : {"tarvelin-cli.1", "tarvelin-sim.1"}) {
        const std::vector<std::string> lines = ReadLines(std::string(TARVELIN_MAN_DIR) + page);
        ASSERT_FALSE(lines.empty()) << page;
        const auto has = [&](const std::string& part) {
            return std::any_of(lines.begin(), lines.end(),
                               [&](const auto& l) { return l.find(part) != std::string::npos; });
        };
        EXPECT_TRUE(has(".TH")) << page;
        EXPECT_TRUE(has("\\-\\-tcp")) << page;
        // A heading (a section, or a line of the help that ends in ':') has lines under it.
        const auto section = [](const std::string& l) {
            return l.rfind(".SS", 0) == 0 || l.rfind(".SH", 0) == 0;
        };
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            const std::string& l = lines[i];
            const bool heading = section(l) || (!l.empty() && l[0] != '.' && l.back() == ':');
            EXPECT_FALSE(heading && section(lines[i + 1])) << page << ": nothing under " << l;
        }
    }
}

// -q leaves the final line, -v adds every frame on standard error exactly as the log has it.
TEST(CliConventions, QuietAndVerbose) {
    FirmwareFolder files(5000, std::nullopt, 2000);
    SimUnderTest device({"--tcp", "0", "--time-scale", "0", "--main-port", "0"});
    ASSERT_TRUE(device.Ready());
    const std::string quietLog = files.Path() + "quiet.log";
    CliProcess quiet({"identify", "--tcp=" + Tcp(device), "--firmware-dir=" + files.Path(),
                      "--log=" + quietLog, "--lang=en", "-q"});
    ASSERT_EQ(quiet.Wait(), 0) << quiet.Err();
    // It ends with the versions, in one line.
    EXPECT_EQ(quiet.Out(), "Connection to Coder (" + Tcp(device) +
                               ") established.\nCurrent firmware version: 2.15; Firmware version "
                               "to flash: 2.16 (Coder_V02_16.img)\n");

    // A log that fell back to the state folder is not where anybody would look: -q names it.
    TempDirectory state;
    chmod(state.Path().c_str(), 0777);
    const bool root = geteuid() == 0;
    chmod(files.Path().c_str(), root ? 0755 : 0555);  // root writes anywhere: then as nobody
    CliProcess fellBack(
        {"identify", "--tcp=" + Tcp(device), "--firmware-dir=" + files.Path(), "--lang=en", "-q"},
        {"XDG_STATE_HOME=" + state.Path().substr(0, state.Path().size() - 1)}, root ? 65534 : 0);
    ASSERT_EQ(fellBack.Wait(), 0) << fellBack.Err();
    chmod(files.Path().c_str(), 0700);
    EXPECT_EQ(Lines(fellBack.Out()).front(), "Log: " + state.Path() + "Orvane/TarvelinLog.txt")
        << fellBack.Out();
    EXPECT_EQ(Lines(fellBack.Out()).size(), 3u) << fellBack.Out();

    const std::string log = files.Path() + "verbose.log";
    CliProcess verbose({"identify", "--tcp", Tcp(device), "--firmware-dir", files.Path(), "--log",
                        log, "--lang", "en", "-v"});
    ASSERT_EQ(verbose.Wait(), 0) << verbose.Err();
    std::vector<std::string> logFrames;
    for (const std::string& line : ReadLines(log)) {
        if (IsFrameLine(line)) {
            logFrames.push_back(line);
        }
    }
    std::vector<std::string> echoed;
    for (const std::string& line : Lines(verbose.Err())) {
        if (IsFrameLine(line)) {
            echoed.push_back(line);
        }
    }
    EXPECT_GE(logFrames.size(), 8u);
    EXPECT_EQ(echoed, logFrames);
    EXPECT_NE(verbose.Out().find("Log: " + log), std::string::npos) << verbose.Out();
}

class CliEvents : public testing::TestWithParam<bool> {};

// Every line of --events is one JSON object with an "event"; the last is the result.
TEST_P(CliEvents, EachLineParsesAndTheLastIsTheResult) {
    const bool serial = GetParam();
    FirmwareFolder files(3000, 1000, 1000);
    std::vector<std::string> sim = {"--state", "bios", "--time-scale", "0"};
    if (serial) {
        sim.insert(sim.begin(), "--serial");
    } else {
        sim.insert(sim.begin(), {"--tcp", "0", "--transfer-mode", "1"});
    }
    SimUnderTest device(sim);
    ASSERT_TRUE(device.Ready());
    CliProcess cli({"update", serial ? "--serial" : "--tcp", serial ? device.Pty() : Tcp(device),
                    "--firmware-dir", files.Path(), "--lang", "en", "--events", "--yes"});
    ASSERT_EQ(cli.Wait(), 0) << cli.Err();

    std::vector<nlohmann::json> events;
    for (const std::string& line : Lines(cli.Out())) {
        nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
        ASSERT_TRUE(event.is_object()) << line;
        ASSERT_TRUE(event["event"].is_string()) << line;
        events.push_back(std::move(event));
    }
    ASSERT_GE(events.size(), 5u);
    const auto count = [&](const std::string& name) {
        return std::count_if(events.begin(), events.end(),
                             [&](const auto& e) { return e["event"] == name; });
    };
    EXPECT_EQ(events.front()["event"], "log");
    EXPECT_EQ(events.front()["path"], files.Path() + "TarvelinLog.txt");
    EXPECT_EQ(count("identified"), 1);
    EXPECT_EQ(count("stage"), 3);
    EXPECT_GE(count("progress"), 3);
    EXPECT_GE(count("status"), 2);
    const nlohmann::json& result = events.back();
    EXPECT_EQ(result["event"], "result");
    EXPECT_EQ(result["exitStatus"], 0);
    EXPECT_EQ(result["result"], 0);
    EXPECT_EQ(result["newVersion"], "2.16");
    EXPECT_EQ(result["newVersionMatches"], true);
    EXPECT_EQ(result["coderFile"], files.CoderPath());
    EXPECT_EQ(result["dspFile"], files.Path() + "Dsp_V01_00.dsp");
    EXPECT_EQ(count("result"), 1);
    for (const auto& e : events) {
        if (e["event"] == "progress") {
            EXPECT_LE(e["blocksDone"].get<int>(), e["blocksTotal"].get<int>()) << e;
            EXPECT_TRUE(e["bytesPerSecond"].is_number()) << e;
        }
    }
    // The human text went to standard error.
    EXPECT_NE(cli.Err().find("Update operation successfully finished."), std::string::npos);
    EXPECT_EQ(device.StopAndDump(), files.ExpectedDump());
}

INSTANTIATE_TEST_SUITE_P(Transports, CliEvents, testing::Bool(),
                         [](const auto& info) { return info.param ? "Serial" : "Tcp"; });

// A coder answering bytes that are not UTF-8 (or are, but above 0x7F) keeps the JSON valid,
// and the terminal text shows no raw byte.
TEST(CliJson, DeviceTextWithHighBytesStaysValid) {
    FirmwareFolder files(5000, std::nullopt, 2000);
    // The coder answers five bytes: "V2", an "é" in UTF-8, and a byte that is no UTF-8.
    const std::string version = "V2\xc3\xa9\xff";
    SimUnderTest device(
        {"--tcp", "0", "--time-scale", "0", "--main-port", "0", "--firmware-version", version});
    ASSERT_TRUE(device.Ready());
    for (const char* mode : {"--json", "--events"}) {
        CliProcess cli({"identify", "--tcp", Tcp(device), "--firmware-dir", files.Path(), "--log",
                        files.Path() + "id.log", "--lang", "en", mode});
        ASSERT_EQ(cli.Wait(), 0) << cli.Err();
        for (const std::string& line : Lines(cli.Out())) {
            EXPECT_TRUE(nlohmann::json::accept(line)) << line;
        }
        const nlohmann::json json = LastJson(cli.Out());
        EXPECT_EQ(json["currentVersion"], "2\xC3\xA9\xEF\xBF\xBD") << cli.Out();
        EXPECT_NE(cli.Err().find("2\xC3\xA9\\xFF"), std::string::npos) << cli.Err();
    }
}

TEST(CliDryRun, IdentifySaysWhatUpdateWouldDoAndRefusesWhatItWould) {
    FirmwareFolder files(5000, 3000, 2000);
    SimUnderTest device({"--tcp", "0", "--time-scale", "0", "--main-port", "0"});
    ASSERT_TRUE(device.Ready());
    const std::string dsp = files.Path() + "Dsp_V01_00.dsp";
    const std::string samples = files.Path() + "Dsp_V01_00.smp";
    // Files named one by one, from a folder that holds others too.
    CliProcess cli({"identify", "--tcp", Tcp(device), "--coder", files.CoderPath(), "--samples",
                    samples, "--dsp", dsp, "--lang", "en", "--json"});
    ASSERT_EQ(cli.Wait(), 0) << cli.Err();
    const nlohmann::json json = LastJson(cli.Out());
    EXPECT_EQ(json["versionToFlash"], "2.16 (Coder_V02_16.img)");
    EXPECT_EQ(json["samplesFile"], samples);
    EXPECT_EQ(json["logPath"], files.Path() + "TarvelinLog.txt");
    const nlohmann::json plan = json["plan"];
    EXPECT_EQ(plan["eraseRegions"], nlohmann::json({0, 1, 2}));
    ASSERT_EQ(plan["files"].size(), 3u) << plan;
    EXPECT_EQ(plan["files"][0]["size"], 5000);
    EXPECT_EQ(plan["files"][0]["blocks"], 79);
    EXPECT_EQ(plan["files"][1]["segment"], "CDF0");
    EXPECT_EQ(plan["files"][2]["blocks"], 32);
    EXPECT_TRUE(plan["files"][2]["problem"].is_null());
    EXPECT_NE(cli.Err().find("update would erase the flash regions 0, 1, 2"), std::string::npos)
        << cli.Err();

    struct Refusal {
        std::vector<std::string> files;
        int status;
    };
    // A DSP firmware that is not there, and a coder image past the samples' base.
    FirmwareFolder large(0xCDF00 - 0x80000 + 1, std::nullopt, 2000);
    const Refusal refusals[] = {
        {{"--coder", files.CoderPath(), "--dsp", files.Path() + "missing.dsp"}, 12},
        {{"--firmware-dir", large.Path()}, 10},
    };
    for (const Refusal& r : refusals) {
        std::vector<std::string> args{"identify", "--tcp",  Tcp(device), "--lang",
                                      "en",       "--json", "--log",     files.Path() + "r.log"};
        args.insert(args.end(), r.files.begin(), r.files.end());
        CliProcess refused(args);
        EXPECT_EQ(refused.Wait(), r.status) << refused.Err();
        EXPECT_EQ(JsonField(refused.Out(), "exitStatus"), std::to_string(r.status));
        EXPECT_EQ(JsonField(refused.Out(), "mayUpdate"), "true");
    }
    EXPECT_EQ(device.StopAndDump()[0],
              "region 0 start 0x80000 length 0 sha256 " + FirmwareFolder::Hash({}));
}

TEST(CliLog, ANamedLogThatCannotBeWrittenStopsBeforeConnecting) {
    FirmwareFolder files(3000, std::nullopt, 2000);
    SimUnderTest device({"--tcp", "0", "--time-scale", "0"});
    ASSERT_TRUE(device.Ready());
    CliProcess cli({"update", "--tcp", Tcp(device), "--firmware-dir", files.Path(), "--log",
                    files.Path() + "no/such/folder/x.log", "--lang", "en", "--yes", "--json"});
    EXPECT_EQ(cli.Wait(std::chrono::seconds(10)), 73) << cli.Err();
    EXPECT_NE(cli.Err().find("cannot write the log " + files.Path() + "no/such/folder/x.log"),
              std::string::npos)
        << cli.Err();
    EXPECT_EQ(JsonField(cli.Out(), "exitStatus"), "73");
    EXPECT_EQ(JsonField(cli.Out(), "outcome"), "") << "no identification was run";
}

}  // namespace

namespace {

// list-ports in COM order, with the node behind a link, the process that holds a port and the
// far side of a pseudo-terminal (this test, which keeps both ends), which does not count.
TEST(CliListPorts, LinkedPortsWithTheirHolders) {
    TempDirectory config;
    SimProcess sim({"--serial", "--link", "COM7"}, {"XDG_CONFIG_HOME=" + config.Path()});
    ASSERT_FALSE(sim.Announcements().empty());
    HeldTerminal held;
    ASSERT_FALSE(held.Path().empty());
    const std::string com6 = config.Path() + "Orvane/ports/COM6";
    std::filesystem::create_symlink(held.Path(), com6);
    HeldTerminal shared;
    PortHolderProcess other(shared.Path());
    ASSERT_TRUE(other.Ready());
    std::filesystem::create_symlink(shared.Path(), config.Path() + "Orvane/ports/COM8");

    CliProcess cli({"list-ports", "--json"}, {"XDG_CONFIG_HOME=" + config.Path()});
    ASSERT_EQ(cli.Wait(), 0) << cli.Err();
    const nlohmann::json ports = nlohmann::json::parse(cli.Out());
    ASSERT_TRUE(ports.is_array());
    std::vector<int> numbers;
    for (const auto& port : ports) {
        numbers.push_back(port["com"]);
    }
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    const auto find = [&](int com) {
        for (const auto& port : ports) {
            if (port["com"] == com) {
                return port;
            }
        }
        return nlohmann::json();
    };
    const nlohmann::json six = find(6);
    ASSERT_TRUE(six.is_object()) << ports;
    EXPECT_EQ(six["name"], "COM6");
    EXPECT_EQ(six["device"], com6);
    EXPECT_EQ(six["realDevice"], held.Path());
    EXPECT_EQ(six["usable"], true);
    EXPECT_TRUE(six["usbVendorId"].is_null());
    EXPECT_EQ(six["heldBy"].size(), 0u) << six;
    ASSERT_EQ(six["farSide"].size(), 1u) << six;
    EXPECT_EQ(six["farSide"][0]["pid"], getpid());
    const nlohmann::json eight = find(8);
    ASSERT_TRUE(eight.is_object()) << ports;
    EXPECT_EQ(eight["usable"], false) << "another program holds it";
    EXPECT_TRUE(eight["openError"].is_null());
    ASSERT_EQ(eight["heldBy"].size(), 1u) << eight;
    EXPECT_EQ(eight["heldBy"][0]["pid"], other.Pid());
    EXPECT_EQ(eight["heldBy"][0]["name"], "sleep");
    EXPECT_EQ(eight["farSide"].size(), 1u) << eight;
    const nlohmann::json seven = find(7);
    ASSERT_TRUE(seven.is_object()) << ports;
    EXPECT_EQ(seven["device"], config.Path() + "Orvane/ports/COM7");
    EXPECT_EQ(seven["realDevice"].get<std::string>().rfind("/dev/pts/", 0), 0u);

    CliProcess text({"list-ports"}, {"XDG_CONFIG_HOME=" + config.Path()});
    ASSERT_EQ(text.Wait(), 0) << text.Err();
    EXPECT_NE(text.Out().find("COM6  " + com6 + " -> " + held.Path()), std::string::npos)
        << text.Out();
    EXPECT_NE(text.Out().find("in use by sleep (pid " + std::to_string(other.Pid()) + ")"),
              std::string::npos)
        << text.Out();
    EXPECT_NE(text.Out().find("far side: "), std::string::npos);
    EXPECT_NE(text.Out().find("(pid " + std::to_string(getpid()) + ")"), std::string::npos);
}

}  // namespace

namespace {

// Where the wizard says to press "Next >", the command line names its own command.
class CliOwnWords : public testing::TestWithParam<const char*> {};

TEST_P(CliOwnWords, ACoderInItsBiosIsToldToRunUpdate) {
    const std::string language = GetParam();
    FirmwareFolder files(3000, std::nullopt, 2000);
    SimUnderTest device(
        {"--tcp", "0", "--state", "bios", "--transfer-mode", "1", "--time-scale", "0"});
    ASSERT_TRUE(device.Ready());
    CliProcess cli({"identify", "--tcp", Tcp(device), "--firmware-dir", files.Path(), "--lang",
                    language, "--json"});
    ASSERT_EQ(cli.Wait(), 0) << cli.Err();
    const std::string detail = LastJson(cli.Out()).value("detail", "");
    EXPECT_NE(detail.find("\"tarvelin-cli update\""), std::string::npos) << detail;
    for (const std::string& text : {cli.Out(), cli.Err()}) {
        EXPECT_EQ(text.find("Next >"), std::string::npos) << text;
        EXPECT_EQ(text.find("Weiter >"), std::string::npos) << text;
    }
    EXPECT_NE(cli.Err().find(detail), std::string::npos) << cli.Err();
}

// update goes on by itself from the BIOS: it says so and tells to run nothing again; the erase
// that fails here ends it early.
TEST_P(CliOwnWords, UpdateFromTheBiosSaysItGoesOn) {
    const std::string language = GetParam();
    FirmwareFolder files(3000, std::nullopt, 2000);
    SimUnderTest device({"--tcp", "0", "--state", "bios", "--transfer-mode", "1", "--time-scale",
                         "0", "--erase-nack", "0:17"});
    ASSERT_TRUE(device.Ready());
    CliProcess cli({"update", "--tcp", Tcp(device), "--firmware-dir", files.Path(), "--lang",
                    language, "--yes", "--json"});
    ASSERT_EQ(cli.Wait(), 8) << cli.Err();
    const std::string detail = LastJson(cli.Out()).value("detail", "");
    EXPECT_EQ(detail, language == "de" ? "Der Update-Vorgang wird jetzt neu gestartet."
                                       : "The update operation is restarted now.");
    EXPECT_NE(cli.Err().find(detail), std::string::npos) << cli.Err();
    EXPECT_EQ(cli.Err().find("\"tarvelin-cli update\""), std::string::npos) << cli.Err();
    // "Transferring data..." only where data is transferred, not before the BIOS is connected.
    const std::string transferring =
        language == "de" ? "Übertrage Daten..." : "Transferring data...";
    const std::vector<std::string> lines = Lines(cli.Err());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), transferring), 1) << cli.Err();
}

INSTANTIATE_TEST_SUITE_P(Languages, CliOwnWords, testing::Values("en", "de"));

// The warning of the version checks is printed once, followed by the port the coder reported,
// and that the coder already runs the version to flash comes before the question; -q hides
// neither.
TEST(CliWarnings, PrintedOnceBeforeTheQuestion) {
    FirmwareFolder files(3000, std::nullopt, 2000);
    SimUnderTest device(
        {"--tcp", "0", "--time-scale", "0", "--main-port", "4001", "--firmware-version", "V2.16"});
    ASSERT_TRUE(device.Ready());
    const std::string port = std::to_string(device.Port());
    struct Run {
        const char* language;
        bool quiet;
        std::string warning;  // its first line
        std::string reported;
        std::string same;
        std::string question;
    };
    const Run english{
        "en",
        false,
        "The port you are using does not appear to be the main port",
        "The Coder reports port 4001 as its main port; this connection uses port " + port + ".",
        "The Coder already runs the version to flash (2.16).",
        "Confirmation needed: "};
    Run quiet = english;
    quiet.quiet = true;
    const Run runs[] = {
        english,
        quiet,
        {"de", false, "Der verwendete Port scheint nicht der 1. Port des Encoders zu sein",
         "Der Coder meldet Port 4001 als seinen 1. Port; diese Verbindung nutzt Port " + port + ".",
         "Auf dem Coder läuft bereits die zu flashende Version (2.16).", "Bestätigung nötig: "},
    };
    for (const Run& run : runs) {
        std::vector<std::string> args{"update",     "--tcp",  Tcp(device), "--firmware-dir",
                                      files.Path(), "--lang", run.language};
        if (run.quiet) {
            args.push_back("-q");
        }
        CliProcess cli(args);
        EXPECT_EQ(cli.Wait(), 75) << cli.Out();
        const std::string out = cli.Out();
        const std::vector<std::string> lines = Lines(out);
        size_t warnings = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].find(run.warning) != std::string::npos) {
                ++warnings;
                // The warning's two lines, then the port.
                ASSERT_LT(i + 2, lines.size()) << out;
                EXPECT_EQ(lines[i + 2], run.reported) << out;
            }
        }
        EXPECT_EQ(warnings, 1u) << out;
        const size_t same = out.find(run.same);
        EXPECT_NE(same, std::string::npos) << out;
        EXPECT_LT(same, out.find(run.question)) << out;
    }
}

}  // namespace

namespace {

// A confirmation shows as a question event with the answer given, without a terminal "no".
TEST(CliEventsQuestion, TheAnswerIsInTheEvent) {
    FirmwareFolder coderOnly(3000, std::nullopt, std::nullopt);
    SimUnderTest device(
        {"--tcp", "0", "--state", "bios", "--transfer-mode", "1", "--time-scale", "0"});
    ASSERT_TRUE(device.Ready());
    struct Run {
        bool yes;
        int status;
        const char* answer;
    };
    for (const Run run : {Run{false, 75, "no"}, Run{true, 0, "yes"}}) {
        std::vector<std::string> args{"update",         "--tcp",    Tcp(device), "--firmware-dir",
                                      coderOnly.Path(), "--events", "--lang",    "en"};
        if (run.yes) {
            args.push_back("-y");
        }
        CliProcess cli(args);
        EXPECT_EQ(cli.Wait(), run.status) << cli.Err();
        std::vector<nlohmann::json> questions;
        std::vector<nlohmann::json> warnings;
        for (const std::string& line : Lines(cli.Out())) {
            const nlohmann::json event = nlohmann::json::parse(line);
            if (event["event"] == "question") {
                questions.push_back(event);
            } else if (event["event"] == "warning") {
                warnings.push_back(event);
            }
        }
        ASSERT_EQ(questions.size(), 1u) << cli.Out();
        EXPECT_EQ(questions[0]["answer"], run.answer);
        EXPECT_EQ(
            questions[0]["text"].get<std::string>().rfind("Cannot find the file with the DSP", 0),
            0u);
        EXPECT_EQ(warnings.size(), run.yes ? 1u : 0u) << cli.Out();
        if (run.yes) {
            EXPECT_EQ(warnings[0]["name"], "DSP_FIRMWARE_MISSING");
            EXPECT_EQ(warnings[0]["code"], 208);
        }
        EXPECT_EQ(LastJson(cli.Out())["exitStatus"], run.status);
    }
}

}  // namespace
