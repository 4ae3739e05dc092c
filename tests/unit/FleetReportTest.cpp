// A child's --events lines as the fleet reads them, how its end is classified, and what the
// table and the JSON summary show of it.
#include <signal.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "console/DisplayWidth.h"
#include "console/TerminalText.h"
#include "fleet/ChildStderr.h"
#include "fleet/FleetDisplay.h"
#include "fleet/FleetRunner.h"
#include "fleet/FleetSummary.h"

namespace {

using Clock = std::chrono::steady_clock;

CoderProgress Feed(const std::vector<std::string>& lines) {
    CoderProgress p;
    for (const std::string& line : lines) {
        ApplyEventLine(line, p);
    }
    return p;
}

ChildExit Exited(int status) {
    return {true, status, 0};
}

ChildExit Signalled(int signal) {
    return {false, -1, signal};
}

const std::string kIdentified =
    R"({"event":"identified","outcome":20,"currentVersion":"2.15","biosVersion":"2.10",)"
    R"("versionToFlash":"2.16","mayUpdate":true,"warnings":[]})";

TEST(FleetEvents, EventLinesBuildTheProgress) {
    CoderProgress p = Feed({
        R"({"event":"log","path":"/x/a.log"})",
        R"({"event":"status","text":"Connecting Coder..."})",
        kIdentified,
        R"({"event":"stage","stage":1,"label":"Coder firmware"})",
        R"({"event":"progress","stage":1,"blocksDone":12,"blocksTotal":40,"percent":30,)"
        R"("bytesPerSecond":5230})",
        "not json at all",
        R"({"no":"event"})",
        R"({"event":"from-a-newer-version","x":1})",
    });
    EXPECT_EQ(p.logPath, "/x/a.log");
    EXPECT_TRUE(p.identified);
    EXPECT_EQ(p.identification, 20);
    EXPECT_EQ(p.currentVersion, "2.15");
    EXPECT_EQ(p.phase, "Coder firmware");
    EXPECT_EQ(p.percent, 30);
    EXPECT_EQ(p.badLines, 2);
    EXPECT_FALSE(p.haveResult);

    ApplyEventLine(R"({"event":"wait","kind":1,"text":"Waiting for the Coder to restart: 7 s",)"
                   R"("maxMs":6500})",
                   p);
    EXPECT_EQ(p.phase, "Waiting for the Coder to restart: 7 s");
    ApplyEventLine(R"({"event":"wait","kind":0})", p);
    EXPECT_EQ(p.phase, "Waiting for the Coder to restart: 7 s");  // until the next status
    // Every phase is kept in order, so a pipe shows each even when they come in one batch.
    EXPECT_EQ(p.phases, (std::vector<std::string>{"Connecting Coder...", "Coder firmware",
                                                  "Waiting for the Coder to restart: 7 s"}));
    ApplyEventLine(R"({"event":"result","outcome":20,"result":0,"lastBlockResult":0,)"
                   R"("message":"Update operation successfully finished.","newVersion":"2.16",)"
                   R"("newVersionMatches":true,"currentVersion":"2.15","mayUpdate":true,)"
                   R"("versionToFlash":"2.16","exitStatus":0})",
                   p);
    EXPECT_TRUE(p.haveResult);
    EXPECT_EQ(p.exitStatus, 0);
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.newVersion, "2.16");
}

TEST(FleetEvents, ChildEndsAreClassified) {
    std::string reason;
    const auto result = [](const std::string& fields) {
        return R"({"event":"result",)" + fields + "}";
    };
    struct Case {
        std::vector<std::string> lines;
        ChildExit wait;
        bool identify;
        CoderOutcome outcome;
        std::string reasonPart;
    };
    const std::vector<Case> cases = {
        {{kIdentified, result(R"("result":0,"message":"done","newVersion":"2.16","exitStatus":0)")},
         Exited(0),
         false,
         CoderOutcome::Succeeded,
         "done"},
        {{kIdentified, result(R"("result":14,"lastBlockResult":17,"message":"Error while flashing)"
                              R"( the Coder firmware.","exitStatus":14)")},
         Exited(14),
         false,
         CoderOutcome::Failed,
         "Error while flashing"},
        {{result(R"("outcome":4,"mayUpdate":false,"message":"no connection","exitStatus":4)")},
         Exited(4),
         false,
         CoderOutcome::Failed,
         "no connection"},
        {{result(R"("outcome":23,"mayUpdate":false,"message":"BIOS too old","exitStatus":23)")},
         Exited(23),
         false,
         CoderOutcome::Blocked,
         "BIOS too old"},
        {{result(R"("warnings":["NOT_MAIN_PORT"],"exitStatus":75)")},
         Exited(75),
         false,
         CoderOutcome::NeedsConfirmation,
         "needs --yes (NOT_MAIN_PORT)"},
        {{result(R"("exitStatus":130,"message":"Interrupted by the user")")},
         Exited(130),
         false,
         CoderOutcome::Interrupted,
         "Interrupted"},
        // A SIGTERM or SIGHUP that reached the child from elsewhere stops it the same way.
        {{result(R"("exitStatus":143,"message":"Interrupted by the user at block 8000:0A00")")},
         Exited(143),
         false,
         CoderOutcome::Interrupted,
         "at block"},
        {{kIdentified}, Exited(129), false, CoderOutcome::Interrupted, "exit status 129"},
        {{kIdentified}, Exited(0), false, CoderOutcome::Failed, "without a result (exit status 0)"},
        {{}, Signalled(SIGSEGV), false, CoderOutcome::Failed, "signal"},
        // Ctrl-C reached it after its result, while it exited: it was updated all the same.
        {{kIdentified, result(R"("result":0,"message":"done","newVersion":"2.16","exitStatus":0)")},
         Signalled(SIGINT),
         false,
         CoderOutcome::Succeeded,
         "done"},
        {{kIdentified, result(R"("outcome":20,"mayUpdate":true,"exitStatus":0)")},
         Exited(0),
         true,
         CoderOutcome::Identified,
         ""},
        {{kIdentified, result(R"("result":0,"newVersion":"2.17","newVersionMatches":false,)"
                              R"("message":"ok","exitStatus":0)")},
         Exited(0),
         false,
         CoderOutcome::Succeeded,
         "differs from the version to flash"},
        // The child's reason and note follow its message.
        {{kIdentified, result(R"("result":14,"message":"Error while flashing.","note":"Stopped)"
                              R"( at block 8000:0080","exitStatus":14)")},
         Exited(14),
         false,
         CoderOutcome::Failed,
         "Error while flashing. Stopped at block 8000:0080"},
        {{R"({"event":"status","text":"Connecting to Coder..."})",
          result(R"("outcome":19,"mayUpdate":false,"reason":"Nothing answered on h:1",)"
                 R"("exitStatus":19)")},
         Exited(19),
         true,
         CoderOutcome::Blocked,
         "Nothing answered on h:1"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const CoderOutcome outcome =
            FleetRunner::Classify(Feed(c.lines), c.identify, false, c.wait, reason);
        EXPECT_EQ(OutcomeName(outcome), std::string(OutcomeName(c.outcome))) << "case " << i;
        EXPECT_NE(reason.find(c.reasonPart), std::string::npos) << "case " << i << ": " << reason;
    }
    // The last case: the child's reason takes the place of its last phase.
    EXPECT_EQ(reason, "Nothing answered on h:1");
}

TEST(FleetEvents, CurrentMeansTheSameVersionToFlash) {
    auto identified = [](const std::string& current, const std::string& toFlash) {
        return Feed({R"({"event":"identified","outcome":20,"currentVersion":")" + current +
                     R"(","versionToFlash":")" + toFlash + R"(","mayUpdate":true})"});
    };
    EXPECT_TRUE(FleetRunner::IsCurrent(identified("2.16", "2.16")));
    EXPECT_TRUE(FleetRunner::IsCurrent(identified("V2.16", "2.16")));
    EXPECT_TRUE(FleetRunner::IsCurrent(identified("2.16", "2.16 (Coder_V02_16.img)")));
    EXPECT_FALSE(FleetRunner::IsCurrent(identified("2.15", "2.16 (Coder_V02_15.img)")));
    EXPECT_FALSE(FleetRunner::IsCurrent(identified("2.15", "2.16")));
    EXPECT_FALSE(FleetRunner::IsCurrent(identified("", "")));
    EXPECT_FALSE(FleetRunner::IsCurrent(CoderProgress{}));

    // A coder in its BIOS runs no firmware, even when its BIOS version reads as the version to
    // flash; older children named the BIOS version as the current one.
    for (const char* bios :
         {R"({"event":"identified","outcome":21,"currentVersion":null,"biosVersion":"2.16",)"
          R"("biosRunning":true,"versionToFlash":"2.16","mayUpdate":true})",
          R"({"event":"identified","outcome":3,"currentVersion":"2.16","biosVersion":"2.16",)"
          R"("versionToFlash":"2.16","mayUpdate":true})"}) {
        const CoderProgress p = Feed({bios});
        EXPECT_TRUE(p.biosRunning) << bios;
        EXPECT_EQ(p.currentVersion, "") << bios;
        EXPECT_EQ(p.biosVersion, "2.16") << bios;
        EXPECT_FALSE(FleetRunner::IsCurrent(p)) << bios;
    }
}

TEST(FleetEvents, TheReasonIsTheChildsLastLineThatSaysWhy) {
    struct Case {
        std::string stderrText;
        std::string reason;
    };
    const Case cases[] = {
        {"Log: /f/c1.log\nConnecting to Coder...\nCould not connect to Coder!\n"
         "127.0.0.1:9 refused the connection.\nhint: Check the address and the port number of "
         "the NetPC, and that it is switched on.\nLog: /f/c1.log\n",
         "127.0.0.1:9 refused the connection."},
        {"Protokoll: /f/c1.log\nVerbindungsaufbau zum Coder...\n"
         "127.0.0.1:9 hat die Verbindung abgelehnt.\nTipp: Adresse und Portnummer des NetPC "
         "prüfen.\nProtokoll: /f/c1.log",
         "127.0.0.1:9 hat die Verbindung abgelehnt."},
        {"first\r\nwhy it ended\r\n\r\n  \n", "why it ended"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LastReasonLine(c.stderrText), c.reason) << c.stderrText;
    }
}

FleetCoderState Coder(const std::string& name, CoderOutcome outcome, const std::string& phase,
                      int percent) {
    FleetCoderState c;
    c.entry.name = name;
    c.entry.connection = "127.0.0.1:4001";
    c.outcome = outcome;
    c.progress.phase = phase;
    c.progress.percent = percent;
    return c;
}

TEST(FleetTable, RowsTotalsAndEscapedDeviceText) {
    FleetDisplay display(stdout, true, 2);
    std::vector<FleetCoderState> coders{
        Coder("north", CoderOutcome::Running, "Coder firmware", 42),
        Coder("evil\x1b[2J", CoderOutcome::Running, "Waiting\x07", -1),
        Coder("south", CoderOutcome::Waiting, "", -1),
        Coder("east", CoderOutcome::Failed, "", -1),
    };
    coders[3].reason = "Error while flashing the Coder firmware.";
    coders[3].hasEnded = true;
    const auto lines = display.TableLines(coders, Clock::now(), 120, 40);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].rfind("NAME", 0), 0u);
    EXPECT_NE(lines[1].find("Coder firmware"), std::string::npos);
    EXPECT_NE(lines[1].find("42%"), std::string::npos);
    EXPECT_EQ(lines[2].find('\x1b'), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("evil\\x1B[2J"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("waiting"), std::string::npos);
    EXPECT_NE(lines[4].find("failed: Error while flashing"), std::string::npos);
    EXPECT_EQ(lines[5].rfind("done 0  failed 1  skipped 0  running 2  waiting 1  elapsed 0:00  "
                             "left --",
                             0),
              0u)
        << lines[5];

    // A short terminal keeps the running and failed rows and says how many it left out.
    std::vector<FleetCoderState> many;
    for (int i = 0; i < 30; ++i) {
        many.push_back(Coder("c" + std::to_string(i), CoderOutcome::Waiting, "", -1));
    }
    many[25].outcome = CoderOutcome::Running;
    many[27].outcome = CoderOutcome::Blocked;
    const auto shortLines = display.TableLines(many, Clock::now(), 80, 8);
    EXPECT_LE(shortLines.size(), 8u);
    std::string all;
    for (const auto& line : shortLines) {
        EXPECT_LE(line.size(), 80u);
        all += line + "\n";
    }
    EXPECT_NE(all.find("c25"), std::string::npos) << all;
    EXPECT_NE(all.find("c27"), std::string::npos) << all;
    EXPECT_NE(all.find("more not shown"), std::string::npos) << all;
}

// The column of `line` at which `text` starts, counted as a terminal shows it.
size_t ColumnOf(const std::string& line, const std::string& text) {
    const size_t at = line.find(text);
    return at == std::string::npos ? std::string::npos : DisplayWidth(line.substr(0, at));
}

std::string Collapsed(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) {
        for (char c : line + " ") {
            if (c != ' ' || (!all.empty() && all.back() != ' ')) {
                all += c;
            }
        }
    }
    return all;
}

class FleetWidthTest : public testing::TestWithParam<int> {};

// Names as inventories hold them, a long failure and a coder found in its BIOS: no line is
// wider than the terminal, none splits a character, and the columns stay aligned.
TEST_P(FleetWidthTest, TableAndSummaryFitTheTerminal) {
    const int width = GetParam();
    const size_t columns = static_cast<size_t>(width);
    std::vector<FleetCoderState> coders{
        Coder("Zürich-Üetliberg", CoderOutcome::Running, "1. Coder firmware", 42),
        Coder("北京", CoderOutcome::Failed, "", -1),
        Coder("Sendemast Süd", CoderOutcome::Succeeded, "", -1),
        Coder("north-1", CoderOutcome::Waiting, "", -1),
    };
    const std::string failure =
        "Error while flashing the Coder firmware: the Coder did not acknowledge block 8000:0A00 "
        "three times.";
    coders[1].reason = failure;
    coders[1].hasEnded = true;
    coders[1].versionBefore = "2.15";
    coders[2].reason = "Update operation successfully finished.";
    coders[2].hasEnded = true;
    coders[2].progress = Feed({R"({"event":"identified","outcome":21,"currentVersion":null,)"
                               R"("biosVersion":"2.10","biosRunning":true,"mayUpdate":true})"});
    coders[2].versionAfter = "2.16";

    FleetDisplay display(stdout, true, 2);
    const auto table = display.TableLines(coders, Clock::now(), width, 40);
    ASSERT_EQ(table.size(), coders.size() + 2);
    for (const std::string& line : table) {
        EXPECT_LE(DisplayWidth(line), columns) << line;
        EXPECT_EQ(EscapeForTerminal(line), line) << "a character was split: " << line;
    }
    const size_t status = ColumnOf(table[0], "STATUS");
    EXPECT_EQ(ColumnOf(table[1], "1. Coder firmware"), status) << table[1];
    EXPECT_EQ(ColumnOf(table[2], "failed: Error"), status) << table[2];
    EXPECT_EQ(ColumnOf(table[4], "waiting"), status) << table[4];
    if (width >= 80) {
        EXPECT_NE(table[1].find("Zürich-Üetliberg"), std::string::npos) << table[1];
        EXPECT_NE(table[1].find("42%"), std::string::npos) << table[1];
    }

    const auto summary = display.SummaryLines(coders, "/srv/fleet-20261209-143005", "",
                                              std::chrono::seconds(75), width);
    ASSERT_GE(summary.size(), coders.size() + 3);
    for (size_t i = 0; i + 1 < summary.size(); ++i) {
        EXPECT_LE(DisplayWidth(summary[i]), columns) << summary[i];
        EXPECT_EQ(EscapeForTerminal(summary[i]), summary[i]) << summary[i];
    }
    EXPECT_EQ(summary.back(), "Logs: /srv/fleet-20261209-143005");  // whole, to be copied
    // The message goes on over further lines rather than being cut.
    EXPECT_NE(Collapsed(summary).find(failure), std::string::npos) << Collapsed(summary);
    if (width >= 80) {
        const std::string all = Collapsed(summary);
        EXPECT_NE(all.find("succeeded BIOS 2.10 -> 2.16 Update"), std::string::npos) << all;
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, FleetWidthTest, testing::Values(40, 80, 120, 200));

TEST(FleetTable, TimeLeftFromTheCodersThatEnded) {
    const auto now = Clock::now();
    std::vector<FleetCoderState> coders;
    for (int i = 0; i < 4; ++i) {
        coders.push_back(Coder("c" + std::to_string(i), CoderOutcome::Waiting, "", -1));
    }
    EXPECT_EQ(EstimateLeft(coders, 2, now), "--");
    coders[0].outcome = CoderOutcome::Succeeded;
    coders[0].hasStarted = coders[0].hasEnded = true;
    coders[0].started = std::chrono::system_clock::now() - std::chrono::seconds(60);
    coders[0].ended = coders[0].started + std::chrono::seconds(60);
    coders[1].outcome = CoderOutcome::Running;
    coders[1].startedSteady = now - std::chrono::seconds(20);
    // 40 s left of the running one and 60 s for each of the two waiting, on two slots.
    EXPECT_EQ(EstimateLeft(coders, 2, now), "~1:20");
}

TEST(FleetSummary, OneObjectWithARowPerCoder) {
    FleetCoderState ok = Coder("north", CoderOutcome::Succeeded, "", -1);
    ok.entry.line = 2;
    ok.entry.columns = {{"site", "Hill"}};
    ok.progress = Feed({kIdentified, R"({"event":"result","result":0,"lastBlockResult":0,)"
                                     R"("message":"Update operation successfully finished.",)"
                                     R"("newVersion":"2.16","exitStatus":0})"});
    ok.versionBefore = "2.15";
    ok.versionAfter = "2.16";
    ok.reason = ok.progress.message;
    ok.logPath = "/logs/north.log";
    ok.hasStarted = ok.hasEnded = true;
    ok.started =
        std::chrono::system_clock::time_point(std::chrono::milliseconds(1'765'290'605'123));
    ok.ended = ok.started + std::chrono::seconds(30);
    FleetCoderState waiting = Coder("bad\xff name", CoderOutcome::NotStarted, "", -1);
    waiting.reason = "not started: interrupted";

    FleetRunInfo run;
    run.inventory = "fleet.csv";
    run.logDirectory = "/logs";
    run.interrupted = true;
    run.stopReason = "interrupted";
    run.exitStatus = 130;
    const std::string text = FleetSummaryJson({ok, waiting}, run);
    const auto json = nlohmann::json::parse(text);  // throws on invalid UTF-8
    EXPECT_EQ(json["exitStatus"], 130);
    EXPECT_EQ(json["interrupted"], true);
    ASSERT_EQ(json["coders"].size(), 2u);
    const auto& row = json["coders"][0];
    EXPECT_EQ(row["name"], "north");
    EXPECT_EQ(row["outcome"], "succeeded");
    EXPECT_EQ(row["result"], 0);
    EXPECT_EQ(row["lastBlockResult"], 0);
    EXPECT_EQ(row["versionBefore"], "2.15");
    EXPECT_EQ(row["biosRunning"], false);
    EXPECT_EQ(row["versionAfter"], "2.16");
    EXPECT_EQ(row["log"], "/logs/north.log");
    EXPECT_EQ(row["started"], "2025-12-09T14:30:05.123Z");
    EXPECT_EQ(row["ended"], "2025-12-09T14:30:35.123Z");
    EXPECT_EQ(row["columns"]["site"], "Hill");
    const auto& other = json["coders"][1];
    EXPECT_EQ(other["name"], "bad\xEF\xBF\xBD name");
    EXPECT_EQ(other["outcome"], "not-started");
    EXPECT_TRUE(other["result"].is_null());
    EXPECT_TRUE(other["started"].is_null());
    EXPECT_TRUE(other["biosRunning"].is_null());  // never identified
    EXPECT_EQ(text.find('\n'), std::string::npos);
}

}  // namespace
