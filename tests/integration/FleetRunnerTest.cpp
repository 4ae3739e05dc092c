// The fleet's process handling against a stand-in for tarvelin-cli: a shell script that
// speaks the --events lines and behaves by the port it is given. Concurrency, the two steps of
// --skip-current, classification of real child ends, Ctrl-C and the summary file.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "fleet/FleetRunner.h"
#include "support/TransportTestSupport.h"
#include "unit/TempDirectory.h"

namespace {

// Port 1 updates (2.15 to 2.16), 2 fails at block 40, 3 runs 2.16 already, 4 flashes slowly
// until SIGINT, 5 crashes, 6 needs a confirmation, 7 updates and stays until a coder on port 4
// has ended (a SIGINT ends it at once), 8 is refused and says why on standard error only. Every
// start and end goes to TRACE, and so do the moments a Ctrl-C test waits for ("= ...").
const char* const kChild = R"(#!/bin/sh
step=$1; conn=$4; log=; prev=
for a in "$@"; do [ "$prev" = --log ] && log=$a; prev=$a; done
trace=$(dirname "$log")/../trace
yes=no; case " $* " in *" --yes "*) yes=yes;; esac
echo "+ $conn $step $yes" >>"$trace"
port=${conn##*:}
current=2.15; [ "$port" = 3 ] && current=2.16
echo "{\"event\":\"log\",\"path\":\"$log\"}"
echo "$step $conn" >"$log"
echo "{\"event\":\"status\",\"text\":\"Connecting Coder...\"}"
echo "{\"event\":\"identified\",\"outcome\":20,\"currentVersion\":\"$current\",\"biosVersion\":\"2.10\",\"versionToFlash\":\"2.16\",\"mayUpdate\":true,\"warnings\":[]}"
end() { echo "- $conn $step" >>"$trace"; echo "{\"event\":\"result\",$1,\"exitStatus\":$2}"; exit $2; }
trap 'end "\"message\":\"Interrupted by the user\"" 130' INT
if [ "$step" = identify ]; then end "\"outcome\":20,\"mayUpdate\":true" 0; fi
echo "{\"event\":\"stage\",\"stage\":1,\"label\":\"Coder firmware\"}"
case $port in
1|3) sleep 0.3; echo '{"event":"progress","stage":1,"blocksDone":20,"blocksTotal":40,"percent":50}'
     end "\"result\":0,\"lastBlockResult\":0,\"message\":\"Update operation successfully finished.\",\"newVersion\":\"2.16\"" 0;;
2) end "\"result\":14,\"lastBlockResult\":17,\"message\":\"Error while flashing the Coder firmware.\"" 14;;
4) trap 'end "\"result\":130,\"message\":\"Interrupted by the user at block 8000:0A00\"" 130' INT
   echo "= $conn flashing" >>"$trace"
   i=0; while :; do i=$((i+1)); echo "{\"event\":\"progress\",\"stage\":1,\"percent\":$((i%100))}"; sleep 0.05; done;;
5) echo "- $conn $step" >>"$trace"; kill -SEGV $$;;
6) end "\"warnings\":[\"NOT_MAIN_PORT\"],\"message\":\"Confirmation needed\"" 75;;
7) echo "{\"event\":\"result\",\"result\":0,\"message\":\"Update operation successfully finished.\",\"newVersion\":\"2.16\",\"exitStatus\":0}"
   echo "= $conn reported" >>"$trace"; trap - INT; i=0
   until grep -q '^- .*:4 update$' "$trace" || [ $i -ge 400 ]; do sleep 0.05; i=$((i+1)); done;;
8) printf 'Could not connect to Coder!\n127.0.0.1:8 refused the connection.\nhint: Check the address.\nLog: %s\n' "$log" >&2
   end "\"outcome\":4,\"mayUpdate\":false" 4;;
esac
)";

class FleetRunnerTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.Valid());
        child_ = dir_.Path() + "fake-cli";
        std::ofstream(child_) << kChild;
        chmod(child_.c_str(), 0755);
    }

    // Runs a fleet of coders on the given ports of 127.0.0.1; the exit status.
    int Run(const std::vector<int>& ports, FleetOptions options = {}) {
        std::string csv = "name,connection\n";
        for (size_t i = 0; i < ports.size(); ++i) {
            // A host each: the inventory refuses two rows for one NetPC.
            csv += "c" + std::to_string(i + 1) + ",127.0.0." + std::to_string(i + 1) + ":" +
                   std::to_string(ports[i]) + "\n";
        }
        options.inventory = dir_.WriteFile("fleet.csv");
        std::ofstream(options.inventory) << csv;
        options.logDirectory = dir_.Path() + "logs";
        const Inventory inventory = ReadInventory(options.inventory);
        EXPECT_TRUE(inventory.problems.empty());
        FleetRunner runner(options, inventory.entries, child_);
        return runner.Run();
    }

    nlohmann::json Summary() const {
        std::ifstream in(dir_.Path() + "logs/summary.json");
        return nlohmann::json::parse(in, nullptr, false);
    }
    std::vector<std::string> Trace() const {
        std::ifstream in(dir_.Path() + "trace");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    // The most children that ran at once, from the trace.
    size_t MostAtOnce() const {
        size_t now = 0;
        size_t most = 0;
        for (const std::string& line : Trace()) {
            now += line[0] == '+' ? 1 : -1;
            most = std::max(most, now);
        }
        return most;
    }
    std::vector<std::string> Outcomes() const {
        std::vector<std::string> outcomes;
        const nlohmann::json summary = Summary();
        for (const auto& row : summary["coders"]) {
            outcomes.push_back(row["outcome"]);
        }
        return outcomes;
    }

    TempDirectory dir_;
    std::string child_;
};

TEST_F(FleetRunnerTest, AllSucceedWithinTheJobLimit) {
    FleetOptions options;
    options.jobs = 2;
    EXPECT_EQ(Run({1, 1, 1, 1, 1}, options), 0);
    EXPECT_EQ(Outcomes(), std::vector<std::string>(5, "succeeded"));
    EXPECT_EQ(MostAtOnce(), 2u);
    const auto summary = Summary();
    EXPECT_EQ(summary["exitStatus"], 0);
    const auto& row = summary["coders"][2];
    EXPECT_EQ(row["versionBefore"], "2.15");
    EXPECT_EQ(row["versionAfter"], "2.16");
    EXPECT_EQ(row["result"], 0);
    EXPECT_EQ(row["log"], dir_.Path() + "logs/c3.log");
    std::ifstream log(dir_.Path() + "logs/c3.log");
    std::string first;
    std::getline(log, first);
    EXPECT_EQ(first, "update 127.0.0.3:1");  // the child was told its own log
}

TEST_F(FleetRunnerTest, FailuresCrashesAndConfirmationsAreReported) {
    EXPECT_EQ(Run({1, 2, 5, 6, 1, 8}), 1);
    EXPECT_EQ(Outcomes(), (std::vector<std::string>{"succeeded", "failed", "failed",
                                                    "needs-confirmation", "succeeded", "failed"}));
    const auto rows = Summary()["coders"];
    // Not the phase it was in ("Connecting Coder..."): what it said on standard error.
    EXPECT_EQ(rows[5]["message"], "127.0.0.1:8 refused the connection.");
    EXPECT_EQ(rows[1]["result"], 14);
    EXPECT_EQ(rows[1]["lastBlockResult"], 17);
    EXPECT_EQ(rows[1]["message"], "Error while flashing the Coder firmware.");
    EXPECT_NE(rows[2]["message"].get<std::string>().find("signal"), std::string::npos);
    EXPECT_NE(rows[3]["message"].get<std::string>().find("needs --yes (NOT_MAIN_PORT)"),
              std::string::npos);
    // Without --yes for the fleet no child was given it.
    for (const std::string& line : Trace()) {
        if (line[0] == '+') {
            EXPECT_NE(line.find(" no"), std::string::npos) << line;
        }
    }
}

TEST_F(FleetRunnerTest, CanaryAndMaxFailuresStopTheRest) {
    FleetOptions canary;
    canary.canary = 2;
    EXPECT_EQ(Run({1, 2, 1, 1}, canary), 1);
    EXPECT_EQ(Outcomes(),
              (std::vector<std::string>{"succeeded", "failed", "not-started", "not-started"}));
    EXPECT_NE(Summary()["stopReason"].get<std::string>().find("canary coder 2"), std::string::npos);

    FleetOptions limit;
    limit.jobs = 1;
    limit.maxFailures = 1;
    limit.yes = true;
    EXPECT_EQ(Run({1, 2, 1}, limit), 1);
    EXPECT_EQ(Outcomes(), (std::vector<std::string>{"succeeded", "failed", "not-started"}));
}

TEST_F(FleetRunnerTest, SkipCurrentIdentifiesFirst) {
    FleetOptions options;
    options.skipCurrent = true;
    options.yes = true;
    EXPECT_EQ(Run({1, 3}, options), 0);
    EXPECT_EQ(Outcomes(), (std::vector<std::string>{"succeeded", "current"}));
    std::vector<std::string> trace = Trace();
    std::sort(trace.begin(), trace.end());
    EXPECT_EQ(trace,
              (std::vector<std::string>{"+ 127.0.0.1:1 identify no", "+ 127.0.0.1:1 update yes",
                                        "+ 127.0.0.2:3 identify no", "- 127.0.0.1:1 identify",
                                        "- 127.0.0.1:1 update", "- 127.0.0.2:3 identify"}));
    EXPECT_TRUE(std::filesystem::exists(dir_.Path() + "logs/c1.identify.log"));

    FleetOptions report;
    report.identifyOnly = true;
    EXPECT_EQ(Run({1, 3}, report), 0);
    EXPECT_EQ(Outcomes(), (std::vector<std::string>{"identified", "current"}));
}

TEST_F(FleetRunnerTest, CtrlCStopsAtABlockBoundaryAndWritesTheSummary) {
    FleetOptions options;
    options.jobs = 3;
    std::thread interrupter([this] {
        // As a user would press Ctrl-C: once the two slow coders flash and the third has
        // reported. Until then none of the three ends, so the fourth cannot have started.
        const std::vector<std::string> awaited{"= 127.0.0.1:4 flashing", "= 127.0.0.2:4 flashing",
                                               "= 127.0.0.3:7 reported"};
        const bool ready = WaitUntil(
            [&] {
                const auto trace = Trace();
                return std::all_of(awaited.begin(), awaited.end(), [&](const std::string& line) {
                    return std::find(trace.begin(), trace.end(), line) != trace.end();
                });
            },
            20000);
        if (!ready) {
            std::string trace;
            for (const std::string& line : Trace()) {
                trace += line + "\n";
            }
            ADD_FAILURE() << "the coders did not all reach their place within 20 s; trace:\n"
                          << trace;
        }
        kill(getpid(), SIGINT);  // also when they did not: the slow coders end only by it
    });
    const int status = Run({4, 4, 7, 1}, options);
    interrupter.join();
    EXPECT_EQ(status, 130);
    const auto summary = Summary();
    EXPECT_EQ(summary["interrupted"], true);
    const auto outcomes = Outcomes();
    EXPECT_EQ(outcomes[0], "interrupted");
    EXPECT_NE(summary["coders"][0]["message"].get<std::string>().find("8000:0A00"),
              std::string::npos);
    EXPECT_EQ(outcomes[1], "interrupted");  // it ran beside and got the SIGINT too
    EXPECT_NE(summary["coders"][1]["message"].get<std::string>().find("8000:0A00"),
              std::string::npos);
    // It had reported its update when Ctrl-C came: done, with its new version.
    EXPECT_EQ(outcomes[2], "succeeded");
    EXPECT_EQ(summary["coders"][2]["versionAfter"], "2.16");
    EXPECT_EQ(summary["done"], 1);
    EXPECT_EQ(outcomes[3], "not-started");
}

}  // namespace
