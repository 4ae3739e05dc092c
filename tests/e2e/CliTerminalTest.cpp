// tarvelin-cli on a terminal of a given width, over TCP/IP and a serial line: no line ever
// wraps (a wrapped progress line stacks up a row per redraw), each wait is one line that counts
// down in place, and an erase names its region.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "CliOnTerminal.h"
#include "FirmwareFolder.h"
#include "SimUnderTest.h"

namespace {

struct TerminalCase {
    const char* name;
    bool serial;
    int columns;
    const char* language;
    const char* restart;  // the wait for the restart, up to its count
    const char* biosAnswer;
    const char* region;  // an erase's region, up to its number
};

void PrintTo(const TerminalCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<std::string> Split(const std::string& text, const char* separators) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (size_t at = text.find_first_of(separators); at != std::string::npos;
         at = text.find_first_of(separators, from)) {
        parts.push_back(text.substr(from, at - from));
        from = at + 1;
    }
    parts.push_back(text.substr(from));
    return parts;
}

size_t Characters(const std::string& text) {
    size_t count = 0;
    for (unsigned char byte : text) {
        count += (byte & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

size_t LinesWith(const std::vector<std::string>& lines, const std::string& part) {
    size_t count = 0;
    for (const std::string& line : lines) {
        count += line.find(part) != std::string::npos ? 1 : 0;
    }
    return count;
}

class CliTerminal : public testing::TestWithParam<TerminalCase> {};

TEST_P(CliTerminal, NoLineWrapsAndEachWaitCountsDownInItsLine) {
    const TerminalCase& c = GetParam();
    FirmwareFolder files(20000, 2000, 3000);
    std::vector<std::string> sim = {"--state", "bios", "--time-scale", "0"};
    if (c.serial) {
        sim.insert(sim.begin(), "--serial");
    } else {
        sim.insert(sim.begin(), {"--tcp", "0", "--transfer-mode", "1"});
    }
    SimUnderTest device(sim);
    ASSERT_TRUE(device.Ready());
    CliOnTerminal cli({"update", c.serial ? "--serial" : "--tcp",
                       c.serial ? device.Pty() : "127.0.0.1:" + std::to_string(device.Port()),
                       "--firmware-dir", files.Path(), "--lang", c.language, "--yes"},
                      c.columns);
    ASSERT_EQ(cli.Wait(), 0) << cli.Output();
    const std::string& out = cli.Output();

    // A line redrawn in place leaves the last column free in every drawing; lines printed once
    // may wrap. The terminal turned each line feed into CR LF.
    std::vector<std::string> lines = Split(out, "\n");
    size_t redrawn = 0;
    for (std::string& line : lines) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.find('\r') == std::string::npos) {
            continue;
        }
        ++redrawn;
        for (std::string row : Split(line, "\r")) {
            for (size_t at = row.find("\x1b[K"); at != std::string::npos; at = row.find("\x1b[K")) {
                row.erase(at, 3);
            }
            EXPECT_LT(Characters(row), static_cast<size_t>(c.columns)) << "'" << row << "'";
        }
    }
    EXPECT_GE(redrawn, 5u) << out;
    // The restart after the finish command: one line, redrawn with the seconds left.
    EXPECT_EQ(LinesWith(lines, c.restart), 1u) << out;
    std::set<std::string> counts;
    for (const std::string& row : Split(out, "\r\n")) {
        if (row.rfind(c.restart, 0) == 0) {
            counts.insert(row.substr(std::string(c.restart).size()));
        }
    }
    EXPECT_GE(counts.size(), 3u) << out;
    // Over TCP/IP the NetPC switch and the BIOS query both wait for the BIOS: still one line.
    EXPECT_EQ(LinesWith(lines, c.biosAnswer), 1u) << out;
    for (const char* region : {"0:", "1:", "2:"}) {
        EXPECT_EQ(LinesWith(lines, c.region + std::string(region)), 1u) << region << "\n" << out;
    }
    // Too narrow for the rate at 40 columns; the time left stays longest.
    EXPECT_EQ(out.find(" KiB/s") != std::string::npos, c.columns >= 60) << out;
    EXPECT_NE(out.find(" left"), std::string::npos) << out;
    EXPECT_EQ(device.StopAndDump(), files.ExpectedDump());
}

INSTANTIATE_TEST_SUITE_P(
    Widths, CliTerminal,
    testing::Values(TerminalCase{"Tcp40English", false, 40, "en",
                                 "Waiting for the Coder to restart: ",
                                 "Waiting for the Bios to answer", "flash memory, region "},
                    TerminalCase{"Serial60German", true, 60, "de",
                                 "Warte auf den Neustart des Coders: ",
                                 "Warte auf die Antwort des Bios", "gelöscht, Bereich "}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
