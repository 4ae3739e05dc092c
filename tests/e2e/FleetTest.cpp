// `tarvelin-cli fleet` as a process against one simulator serving several coders: a run where
// one coder refuses a block and a second run with --skip-current, a canary stop, a refused
// inventory, and Ctrl-C in the middle.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CliProcess.h"
#include "FirmwareFolder.h"
#include "support/SimProcess.h"
#include "unit/TempDirectory.h"

namespace {

// One simulator process with `count` coders in their BIOS behind NetPCs in transfer mode 1
// (no restart into the BIOS to wait for), each with its own flash dump.
class FleetSim {
public:
    FleetSim(int count, std::vector<std::string> extra)
        : count_(count), sim_([&] {
              std::vector<std::string> args{
                  "--tcp",        "0",    "--coders",        std::to_string(count),
                  "--state",      "bios", "--transfer-mode", "1",
                  "--time-scale", "0",    "--dump",          dir_.Path() + "dump.txt"};
              args.insert(args.end(), extra.begin(), extra.end());
              return args;
          }()) {
        ports_ = PortsOf(sim_.Announcements());
    }
    bool Ready() const { return static_cast<int>(ports_.size()) == count_; }

    // An inventory of every coder as c1..cN, written beside the files.
    std::string Inventory(const std::string& folder) const {
        std::string csv = "name,connection,site\n# generated for the test\n";
        for (size_t i = 0; i < ports_.size(); ++i) {
            csv += "c" + std::to_string(i + 1) + ",127.0.0.1:" + std::to_string(ports_[i]) +
                   ",\"Site " + std::to_string(i + 1) + ", north\"\n";
        }
        const std::string path = folder + "fleet.csv";
        std::ofstream(path) << csv;
        return path;
    }

    // Writes the dumps now (SIGUSR1) and gives coder k's lines (from 1).
    std::vector<std::string> Dump(int k) {
        const std::string path = dir_.Path() + "dump.txt." + std::to_string(k);
        std::filesystem::remove(path);
        kill(sim_.pid(), SIGUSR1);
        for (int i = 0; i < 300 && ReadLines(path).size() < 3; ++i) {
            usleep(10000);
        }
        return ReadLines(path);
    }

private:
    int count_;
    TempDirectory dir_;
    SimProcess sim_;
    std::vector<uint16_t> ports_;
};

std::vector<std::string> Fleet(const std::string& inventory, const FirmwareFolder& files,
                               const std::string& logs, std::vector<std::string> extra) {
    std::vector<std::string> args{"fleet",      inventory,   "--firmware-dir",
                                  files.Path(), "--log-dir", logs,
                                  "--lang",     "en",        "--json"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

std::vector<std::string> Outcomes(const nlohmann::json& summary) {
    std::vector<std::string> outcomes;
    if (summary.contains("coders")) {
        for (const auto& row : summary["coders"]) {
            outcomes.push_back(row["outcome"]);
        }
    }
    return outcomes;
}

// A loopback port that was just free: nobody listens on it.
uint16_t ClosedPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "no loopback socket";
    }
    close(s);
    return ntohs(address.sin_port);
}

const std::string kEmptyRegion0 =
    "region 0 start 0x80000 length 0 sha256 " + FirmwareFolder::Hash({});

TEST(Fleet, OneCoderRefusesABlockAndASecondRunSkipsTheCurrentOnes) {
    FirmwareFolder files(3000, 1000, 1000);
    // Coder 3 refuses block 5 three times: the first attempt and both retries.
    FleetSim sim(4, {"--nack", "3@5:17:3"});
    ASSERT_TRUE(sim.Ready());
    const std::string inventory = sim.Inventory(files.Path());

    CliProcess first(Fleet(inventory, files, files.Path() + "logs1", {"-j", "4", "--yes"}),
                     {"COLUMNS=100"});
    EXPECT_EQ(first.Wait(), 1) << first.Err();
    const nlohmann::json summary = LastJson(first.Out());
    EXPECT_EQ(Outcomes(summary),
              (std::vector<std::string>{"succeeded", "succeeded", "failed", "succeeded"}))
        << first.Out();
    const auto& failed = summary["coders"][2];
    EXPECT_EQ(failed["name"], "c3");
    EXPECT_EQ(failed["result"], 14);
    EXPECT_NE(failed["lastBlockResult"], 0);
    EXPECT_EQ(failed["message"].get<std::string>().rfind("Error while flashing the Coder", 0), 0u);
    // Where the coder was left, in the note and in the message a technician reads.
    const std::string note =
        "Stopped at block 8000:0140 of Coder_V02_16.img; the Coder is running its BIOS and is off "
        "air: run the update again to complete it.";
    EXPECT_EQ(failed["note"], note);
    EXPECT_NE(failed["message"].get<std::string>().find(note), std::string::npos) << failed;
    EXPECT_TRUE(summary["coders"][0]["note"].is_null());
    EXPECT_EQ(failed["columns"]["site"], "Site 3, north");
    EXPECT_EQ(summary["coders"][0]["versionAfter"], "2.16");
    // Found in their BIOS: no firmware version before, the BIOS's named as such.
    EXPECT_EQ(summary["coders"][0]["biosRunning"], true);
    EXPECT_TRUE(summary["coders"][0]["versionBefore"].is_null());
    EXPECT_EQ(summary["coders"][0]["biosVersion"], "2.10");
    EXPECT_NE(first.Err().find("BIOS 2.10 -> 2.16"), std::string::npos) << first.Err();
    EXPECT_NE(first.Err().find("c3"), std::string::npos);
    EXPECT_NE(first.Err().find("failed"), std::string::npos);
    const std::vector<std::string> log = ReadLines(files.Path() + "logs1/c3.log");
    EXPECT_FALSE(log.empty());
    EXPECT_TRUE(std::filesystem::exists(files.Path() + "logs1/summary.json"));
    for (int k : {1, 2, 4}) {
        EXPECT_EQ(sim.Dump(k), files.ExpectedDump()) << "coder " << k;
    }

    // The three updated coders run 2.16 now; coder 3 is still in its BIOS and is updated. The
    // same log folder: the record of coder 3's failure is kept, the current coders' update logs
    // are not touched.
    const std::vector<std::string> c1 = ReadLines(files.Path() + "logs1/c1.log");
    CliProcess second(
        Fleet(inventory, files, files.Path() + "logs1", {"-j", "4", "--yes", "--skip-current"}));
    EXPECT_EQ(second.Wait(), 0) << second.Err();
    const nlohmann::json again = LastJson(second.Out());
    EXPECT_EQ(Outcomes(again),
              (std::vector<std::string>{"current", "current", "succeeded", "current"}))
        << second.Out();
    EXPECT_TRUE(std::filesystem::exists(files.Path() + "logs1/c1.identify.log"));
    EXPECT_EQ(ReadLines(files.Path() + "logs1/c1.log"), c1);
    EXPECT_FALSE(std::filesystem::exists(files.Path() + "logs1/c1.1.log"));
    EXPECT_EQ(ReadLines(files.Path() + "logs1/c3.1.log"), log);
    EXPECT_NE(ReadLines(files.Path() + "logs1/c3.log"), log);
    EXPECT_EQ(sim.Dump(3), files.ExpectedDump());
}

TEST(Fleet, AFailedCanaryStopsTheRest) {
    FirmwareFolder files(3000, 1000, 1000);
    FleetSim sim(3, {"--nack", "1@0:17"});
    ASSERT_TRUE(sim.Ready());
    CliProcess run(Fleet(sim.Inventory(files.Path()), files, files.Path() + "logs",
                         {"--canary", "1", "--yes"}));
    EXPECT_EQ(run.Wait(), 1) << run.Err();
    const nlohmann::json summary = LastJson(run.Out());
    EXPECT_EQ(Outcomes(summary),
              (std::vector<std::string>{"failed", "not-started", "not-started"}));
    EXPECT_NE(summary["stopReason"].get<std::string>().find("canary"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(files.Path() + "logs/c2.log"));
    EXPECT_EQ(sim.Dump(2)[0], kEmptyRegion0);

    // Without --yes a missing DSP firmware needs a confirmation: skipped, nothing flashed.
    FirmwareFolder coderOnly(3000, std::nullopt, std::nullopt);
    const std::string inventory = sim.Inventory(coderOnly.Path());
    // A coder nobody answers for, on a port just closed: its row says why.
    const uint16_t closed = ClosedPort();
    std::ofstream(inventory, std::ios::app) << "gone,127.0.0.1:" << closed << ",Nowhere\n";
    CliProcess unconfirmed(
        Fleet(inventory, coderOnly, coderOnly.Path() + "logs", {"--identify-only"}));
    EXPECT_EQ(unconfirmed.Wait(), 1) << unconfirmed.Err();
    const nlohmann::json report = LastJson(unconfirmed.Out());
    EXPECT_EQ(Outcomes(report),
              (std::vector<std::string>{"identified", "identified", "identified", "failed"}));
    const std::string refused = "127.0.0.1:" + std::to_string(closed) + " refused the connection.";
    EXPECT_EQ(report["coders"][3]["message"], refused);
    EXPECT_NE(unconfirmed.Err().find(refused), std::string::npos) << unconfirmed.Err();
    CliProcess skipped(
        Fleet(sim.Inventory(coderOnly.Path()), coderOnly, coderOnly.Path() + "logs2", {}));
    EXPECT_EQ(skipped.Wait(), 1) << skipped.Err();
    EXPECT_EQ(Outcomes(LastJson(skipped.Out())), std::vector<std::string>(3, "needs-confirmation"));
    EXPECT_EQ(sim.Dump(3)[0], kEmptyRegion0);
}

TEST(Fleet, ABadInventoryStartsNothing) {
    TempDirectory dir;
    const std::string path = dir.Path() + "bad.csv";
    std::ofstream(path) << "name,connection\n"
                           "a,127.0.0.1:4001\n"
                           "a,127.0.0.1:4002\n"
                           "b,COM7\n"
                           "c,7\n"
                           "d,127.0.0.1:0\n"
                           "\"e,127.0.0.1:4003\n";
    CliProcess run({"fleet", path, "--log-dir", dir.Path() + "logs"});
    EXPECT_EQ(run.Wait(), 64);
    const std::string err = run.Err();
    for (const std::string& line :
         {path + ":3: the name 'a' is already used on line 2",
          path + ":5: coder 'c' uses the serial port", path + ":6: coder 'd': invalid TCP port",
          path + ":7: a quoted field is not closed"}) {
        EXPECT_NE(err.find(line), std::string::npos) << line << "\n" << err;
    }
    EXPECT_NE(err.find("nothing was started"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "logs"));
    EXPECT_EQ(run.Out(), "");

    CliProcess usage({"fleet", path, "--jobs", "0"});
    EXPECT_EQ(usage.Wait(), 64);
    CliProcess help({"fleet", "--help"});
    EXPECT_EQ(help.Wait(), 0);
    EXPECT_NE(help.Out().find("--skip-current"), std::string::npos);
}

struct StopSignal {
    const char* name;
    int number;
    int exitStatus;
};

void PrintTo(const StopSignal& s, std::ostream* os) {
    *os << s.name;
}

class FleetStopped : public testing::TestWithParam<StopSignal> {};

// Whichever signal stops the fleet, each running child gets one SIGINT.
TEST_P(FleetStopped, InTheMiddleItStopsAtABlockBoundary) {
    const StopSignal& stop = GetParam();
    FirmwareFolder files(20000, 1000, 1000);  // some 350 blocks at 10 ms each
    FleetSim sim(3, {"--slow-ms", "10"});
    ASSERT_TRUE(sim.Ready());
    CliProcess run(
        Fleet(sim.Inventory(files.Path()), files, files.Path() + "logs", {"-j", "2", "--yes"}));
    ASSERT_TRUE(run.WaitForOutput("c1: 1. Coder firmware", std::chrono::seconds(30), true))
        << run.Err();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    run.Signal(stop.number);
    EXPECT_EQ(run.Wait(), stop.exitStatus) << run.Err();
    const nlohmann::json summary = LastJson(run.Out());
    EXPECT_EQ(summary["interrupted"], true);
    EXPECT_EQ(Outcomes(summary),
              (std::vector<std::string>{"interrupted", "interrupted", "not-started"}))
        << run.Out();
    EXPECT_EQ(summary["coders"][0]["exitStatus"], 130);
    EXPECT_NE(summary["coders"][0]["message"].get<std::string>().find("Interrupted by the user"),
              std::string::npos);
    // The log's last frame line is whole: the stop came at a block boundary.
    const std::vector<std::string> log = ReadLines(files.Path() + "logs/c1.log");
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("Interrupted by the user at block"), std::string::npos) << log.back();
    EXPECT_TRUE(std::filesystem::exists(files.Path() + "logs/summary.json"));
}

INSTANTIATE_TEST_SUITE_P(Signals, FleetStopped,
                         testing::Values(StopSignal{"SIGINT", SIGINT, 130},
                                         StopSignal{"SIGTERM", SIGTERM, 143},
                                         StopSignal{"SIGHUP", SIGHUP, 129}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
