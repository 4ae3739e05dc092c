// What the command line tells a technician after a failure, against peers that fail on cue:
// the reason where the system gives none (a port that accepts and never answers, a version
// answer of the wrong length) and the note on what the failure left on the coder, over TCP/IP
// and a serial line where both apply.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "CliProcess.h"
#include "FirmwareFolder.h"
#include "SimUnderTest.h"
#include "support/LoopbackPorts.h"

namespace {

struct FailureCase {
    const char* name;
    bool serial;
    // The simulator's options beside the transport; nullopt: a port that accepts and then never
    // answers stands in its place.
    std::optional<std::vector<std::string>> sim;
    const char* command;
    size_t coderSize;
    int status;
    std::string reason;  // the JSON reason, "{target}" for host:port; empty: none expected
    std::string note;    // the JSON note; empty: none expected
    bool hint;           // a "hint:" line is expected
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Filled(std::string text, const std::string& target) {
    const size_t at = text.find("{target}");
    return at == std::string::npos ? text : text.replace(at, 8, target);
}

class CliFailureText : public testing::TestWithParam<FailureCase> {};

TEST_P(CliFailureText, ReasonAndNoteReachTheUserAndTheJson) {
    const FailureCase& c = GetParam();
    FirmwareFolder files(c.coderSize, std::nullopt, std::nullopt);
    std::unique_ptr<SimUnderTest> device;
    std::unique_ptr<LoopbackPort> silent;
    std::string target;
    if (c.sim) {
        std::vector<std::string> args{"--time-scale", "0"};
        if (c.serial) {
            args.push_back("--serial");
        } else {
            args.insert(args.end(), {"--tcp", "0"});
        }
        args.insert(args.end(), c.sim->begin(), c.sim->end());
        device = std::make_unique<SimUnderTest>(args);
        ASSERT_TRUE(device->Ready());
        target = c.serial ? device->Pty() : "127.0.0.1:" + std::to_string(device->Port());
    } else {
        silent = std::make_unique<LoopbackPort>(true);
        ASSERT_NE(silent->Port(), 0);
        target = "127.0.0.1:" + std::to_string(silent->Port());
    }

    std::vector<std::string> args{c.command,
                                  c.serial ? "--serial" : "--tcp",
                                  target,
                                  "--firmware-dir",
                                  files.Path(),
                                  "--log",
                                  files.Path() + "run.log",
                                  "--lang",
                                  "en",
                                  "--json"};
    if (std::string(c.command) == "update") {
        args.push_back("--yes");  // the coder firmware alone
    }
    CliProcess cli(args);
    EXPECT_EQ(cli.Wait(), c.status) << cli.Err();
    const nlohmann::json json = LastJson(cli.Out());
    ASSERT_TRUE(json.is_object()) << cli.Out() << cli.Err();
    const std::string reason = Filled(c.reason, target);
    if (!reason.empty()) {
        EXPECT_EQ(json.value("reason", ""), reason) << json;
        EXPECT_NE(cli.Err().find(reason), std::string::npos) << cli.Err();
    }
    if (c.note.empty()) {
        EXPECT_EQ(json.value("note", ""), "") << json;
    } else {
        EXPECT_NE(json.value("note", "").find(c.note), std::string::npos) << json;
        EXPECT_NE(cli.Err().find(c.note), std::string::npos) << cli.Err();
    }
    EXPECT_EQ(cli.Err().find("hint: ") != std::string::npos, c.hint) << cli.Err();
}

const std::vector<std::string> kTcpBios{"--state", "bios", "--transfer-mode", "1"};
const std::vector<std::string> kSerialBios{"--state", "bios"};

std::vector<std::string> With(std::vector<std::string> base,
                              std::initializer_list<std::string> more) {
    base.insert(base.end(), more);
    return base;
}

const std::string kWrongLength =
    "The Coder answered the version query with 6 characters, 5 expected.";
const std::string kAtBlock =
    "Stopped at block 8000:0080 of Coder_V02_16.img; the Coder is running its BIOS and is off "
    "air: run the update again to complete it.";

INSTANTIATE_TEST_SUITE_P(
    Failures, CliFailureText,
    testing::Values(
        // A port of another service: the outcome stays 19, the reason says what happened.
        FailureCase{"SilentPort", false, std::nullopt, "identify", 3000, 19,
                    "Nothing answered on {target}, not one byte: is that the NetPC's port?", "",
                    false},
        FailureCase{"WrongVersionLengthTcp", false,
                    std::vector<std::string>{"--firmware-version", "V2.150"}, "identify", 3000, 4,
                    kWrongLength, "", false},
        FailureCase{"WrongVersionLengthSerial", true,
                    std::vector<std::string>{"--firmware-version", "V2.150"}, "identify", 3000, 1,
                    kWrongLength, "", false},
        FailureCase{"BlockFailsTcp", false, With(kTcpBios, {"--nack", "2:17"}), "update", 3000, 14,
                    "", kAtBlock, false},
        FailureCase{"BlockFailsSerial", true, With(kSerialBios, {"--nack", "2:17"}), "update", 3000,
                    14, "", kAtBlock, false},
        FailureCase{"EraseRefusedTcp", false, With(kTcpBios, {"--erase-nack", "1:6"}), "update",
                    3000, 8, "", "Stopped while erasing flash region 1; the Coder is running its",
                    false},
        // The coder restarts after a complete flash and refuses the reconnection: the system's
        // reason stays, the cabling hint gives way to what was done and how to look.
        FailureCase{"NotBackAfterTheRestartTcp", false, With(kTcpBios, {"--no-reconnect"}),
                    "update", 3000, 18, "{target} refused the connection.",
                    "All files were written and acknowledged; the Coder did not answer after its "
                    "restart. tarvelin-cli identify shows what runs now.",
                    false},
        FailureCase{"BackInItsBiosSerial", true, With(kSerialBios, {"--stay-in-bios"}), "update",
                    3000, 18, "",
                    "All files were written and acknowledged, but the Coder restarted into its "
                    "BIOS, not into the new firmware, and is off air",
                    false},
        FailureCase{"ImageRefusedBeforeTheStart", true, std::vector<std::string>{}, "update",
                    0x80001, 10, "",
                    "Nothing was changed on the Coder: it runs the firmware it had.", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
