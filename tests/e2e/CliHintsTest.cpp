// Every reason the command line can meet for a connection that does not open reaches the user
// as one reason line and one hint line, in the language of --lang, and in the JSON object:
// a missing device, a COM number that stands for none, a pseudo-terminal another process holds,
// a device node the user may not open, a refused and an unresolvable TCP/IP target. All exit
// as a connection that does not open.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <functional>
#include <memory>

#include "CliHeldTerminal.h"
#include "CliProcess.h"
#include "FirmwareFolder.h"
#include "support/LoopbackPorts.h"

namespace {

constexpr int kNobody = 65534;

struct Setting {
    std::vector<std::string> target;  // --serial X or --tcp X
    int asUser = 0;
    std::string mentions;  // a part of the reason
};

struct HintCase {
    const char* name;
    const char* kind;  // failureKind in the JSON
    int status;
    std::function<Setting(TempDirectory&)> set;
};

void PrintTo(const HintCase& c, std::ostream* os) {
    *os << c.name;
}

class CliHint : public testing::TestWithParam<HintCase> {};

TEST_P(CliHint, ReasonAndHintInBothLanguages) {
    const HintCase& c = GetParam();
    FirmwareFolder files(3000, std::nullopt, 2000);
    TempDirectory scratch;
    // Readable for a run as another user; the log then goes to a folder anybody may write.
    chmod(files.Path().c_str(), 0755);
    chmod(scratch.Path().c_str(), 0777);
    const Setting setting = c.set(scratch);
    ASSERT_FALSE(setting.target.empty());

    std::string hints[2];
    for (const char* language : {"en", "de"}) {
        std::vector<std::string> args{
            "identify", "--firmware-dir", files.Path(), "--log", scratch.Path() + language + ".log",
            "--lang",   language,         "--json"};
        args.insert(args.begin() + 1, setting.target.begin(), setting.target.end());
        CliProcess cli(args, {}, setting.asUser);
        EXPECT_EQ(cli.Wait(), c.status) << cli.Err();
        const nlohmann::json json = LastJson(cli.Out());
        ASSERT_TRUE(json.is_object()) << cli.Out() << cli.Err();
        EXPECT_EQ(json["failureKind"], c.kind) << json;
        const std::string reason = json.value("reason", "");
        const std::string hint = json.value("hint", "");
        EXPECT_NE(reason.find(setting.mentions), std::string::npos) << reason;
        EXPECT_FALSE(hint.empty());
        // Both lines also reach the human reading standard error.
        EXPECT_NE(cli.Err().find(reason), std::string::npos) << cli.Err();
        const std::string label = language[0] == 'd' ? "Tipp: " : "hint: ";
        EXPECT_NE(cli.Err().find(label + hint), std::string::npos) << cli.Err();
        hints[language[0] == 'd' ? 1 : 0] = hint;
    }
    EXPECT_NE(hints[0], hints[1]) << "the German hint is German";
}

// Shared across the cases below: the pseudo-terminals live until the test ends.
std::vector<std::unique_ptr<HeldTerminal>> g_terminals;

HeldTerminal& NewTerminal() {
    g_terminals.push_back(std::make_unique<HeldTerminal>());
    return *g_terminals.back();
}

// Bound but not listening: every connection is refused.
LoopbackPort& Refusing() {
    static LoopbackPort port(false);
    return port;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, CliHint,
    testing::Values(
        HintCase{"MissingDevice", "noDevice", 4,
                 [](TempDirectory& dir) {
                     const std::string path = dir.Path() + "ttyUSB9";
                     return Setting{{"--serial", path}, 0, path};
                 }},
        HintCase{"UnmappedComNumber", "noDevice", 4,
                 [](TempDirectory&) {
                     return Setting{{"--serial", "COM99"}, 0, "COM99"};
                 }},
        HintCase{"BusyTerminal", "busy", 4,
                 [](TempDirectory&) {
                     HeldTerminal& terminal = NewTerminal();
                     EXPECT_TRUE(terminal.Lock());
                     return Setting{{"--serial", terminal.Path()}, 0, std::to_string(getpid())};
                 }},
        HintCase{"ForbiddenNode", "permission", 4,
                 [](TempDirectory&) {
                     HeldTerminal& terminal = NewTerminal();
                     chmod(terminal.Path().c_str(), 0);
                     // Root may open anything: the run then goes as nobody.
                     return Setting{{"--serial", terminal.Path()},
                                    geteuid() == 0 ? kNobody : 0,
                                    terminal.Path()};
                 }},
        HintCase{"RefusedTcp", "refused", 4,
                 [](TempDirectory&) {
                     const std::string target = "127.0.0.1:" + std::to_string(Refusing().Port());
                     return Setting{{"--tcp", target}, 0, target};
                 }},
        HintCase{"UnresolvableTcp", "hostNotFound", 4,
                 [](TempDirectory&) {
                     // A name the resolver refuses without asking a name server: no packet leaves.
                     return Setting{{"--tcp", "x..y:4001"}, 0, "x..y"};
                 }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
