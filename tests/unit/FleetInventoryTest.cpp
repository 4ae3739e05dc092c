// The fleet inventory as spreadsheets export it, and every refusal with its line.
#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "fleet/FleetInventory.h"
#include "unit/TempDirectory.h"

namespace {

std::string Problems(const Inventory& inventory) {
    return DescribeProblems("inv.csv", inventory.problems);
}

TEST(FleetInventory, ReadsWhatSpreadsheetsExport) {
    // Byte order mark, CR LF, comments, blank lines, quoted fields with separators, doubled
    // quotes and a line break, columns in another order and case.
    const std::string text =
        "\xEF\xBB\xBF"
        "Site,CONNECTION,Name\r\n"
        "# transmitters of the north\r\n"
        "\r\n"
        "\"Hill, north\",10.0.0.5:4001,north-1\r\n"
        "  # an indented comment\r\n"
        "\"say \"\"hi\"\"\",COM7,north-2\r\n"
        "\"two\nlines\",/dev/ttyUSB3,north-3\r\n"
        "valley, host.example:7000 ,valley\r\n";
    const Inventory inventory = ParseInventory(text);
    ASSERT_TRUE(inventory.problems.empty()) << Problems(inventory);
    ASSERT_EQ(inventory.entries.size(), 4u);
    const FleetEntry& first = inventory.entries[0];
    EXPECT_EQ(first.line, 4);
    EXPECT_EQ(first.name, "north-1");
    EXPECT_FALSE(first.serial);
    EXPECT_EQ(first.choice.tcpAddress, "10.0.0.5");
    EXPECT_EQ(first.choice.tcpPort, 4001);
    ASSERT_EQ(first.columns.size(), 1u);
    EXPECT_EQ(first.columns[0].first, "Site");
    EXPECT_EQ(first.columns[0].second, "Hill, north");
    EXPECT_EQ(inventory.entries[1].line, 6);
    EXPECT_TRUE(inventory.entries[1].serial);
    EXPECT_EQ(inventory.entries[1].choice.serialPort, 7);
    EXPECT_EQ(inventory.entries[1].columns[0].second, "say \"hi\"");
    EXPECT_EQ(inventory.entries[2].columns[0].second, "two\nlines");
    EXPECT_EQ(inventory.entries[2].choice.serialDevice, "/dev/ttyUSB3");
    EXPECT_EQ(inventory.entries[2].line, 7);
    EXPECT_EQ(inventory.entries[3].line, 9);  // the quoted line break counts
    EXPECT_EQ(inventory.entries[3].connection, "host.example:7000");

    // A German spreadsheet separates with semicolons.
    const Inventory german = ParseInventory("name;connection;Ort\nsued;127.0.0.1:4001;Berg, Tal\n");
    ASSERT_TRUE(german.problems.empty()) << Problems(german);
    EXPECT_EQ(german.entries[0].columns[0].second, "Berg, Tal");
}

TEST(FleetInventory, BadLinesAreAllReportedWithTheirNumbers) {
    const std::string text =
        "name,connection,site\n"
        "ok-1,127.0.0.1:4001,a\n"
        ",127.0.0.1:4002\n"           // 3: no name
        "no-connection,\n"            // 4
        "bad-port,127.0.0.1:99999\n"  // 5
        "bad-com,COMX\n"              // 6
        "ok-1,127.0.0.1:4003\n"       // 7: duplicate name
        "OK-1,127.0.0.1:4004\n"       // 8: only the case differs
        "serial-a,COM5\n"
        "serial-b,5\n"                 // 10: the same port as line 9
        "same-netpc,127.0.0.1:4001\n"  // 11: the NetPC of line 2
        "a/b,127.0.0.1:4005\n"         // 12: a slash in a log file name
        "many,127.0.0.1:4006,x,y\n"    // 13: more fields than columns
        "\"open,127.0.0.1:4007\n";     // 14: quote not closed
    const Inventory inventory = ParseInventory(text);
    const std::string problems = Problems(inventory);
    std::vector<int> lines;
    for (const InventoryProblem& p : inventory.problems) {
        lines.push_back(p.line);
        EXPECT_FALSE(p.reason.empty());
    }
    EXPECT_EQ(lines, (std::vector<int>{3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14})) << problems;
    EXPECT_NE(problems.find("inv.csv:7: the name 'ok-1' is already used on line 2"),
              std::string::npos)
        << problems;
    EXPECT_NE(problems.find("inv.csv:10: coder 'serial-b' uses the serial port"), std::string::npos)
        << problems;
    EXPECT_NE(problems.find("of line 9"), std::string::npos);
    EXPECT_NE(problems.find("inv.csv:5: coder 'bad-port': invalid TCP port"), std::string::npos);
}

TEST(FleetInventory, TwoSpellingsOfOnePortAreOnePort) {
    std::vector<std::pair<std::string, std::string>> spellings = {{"COM7", "7"}};
    TempDirectory dir;
    ASSERT_TRUE(dir.Valid());
    const std::string device = dir.WriteFile("ttyFAKE0");
    const std::string link = dir.Path() + "by-id-adapter";
    std::error_code error;
    // Windows makes links for administrators alone (Wine not at all).
    std::filesystem::create_symlink(PathFromUtf8(device), PathFromUtf8(link), error);
    if (!error) {
        spellings.emplace_back(device, link);
    }
    for (const auto& [first, second] : spellings) {
        const Inventory inventory =
            ParseInventory("name,connection\na," + first + "\nb," + second + "\n");
        ASSERT_EQ(inventory.problems.size(), 1u) << first << " " << Problems(inventory);
        EXPECT_EQ(inventory.problems[0].line, 3);
    }
}

TEST(FleetInventory, HeaderAndFileProblems) {
    for (const std::string& text :
         {std::string(""), std::string("# only a comment\n\n"), std::string("name,host\nx,1\n"),
          std::string("name,connection,name\nx,127.0.0.1:1\n"), std::string("name,connection\n")}) {
        const Inventory inventory = ParseInventory(text);
        EXPECT_FALSE(inventory.problems.empty()) << text;
        EXPECT_TRUE(inventory.entries.empty() || !inventory.problems.empty());
    }
    EXPECT_NE(Problems(ParseInventory("name,host\n")).find("needs the columns name and connection"),
              std::string::npos);
    const Inventory missing = ReadInventory("/nonexistent/inventory.csv");
    ASSERT_EQ(missing.problems.size(), 1u);
    EXPECT_EQ(missing.problems[0].line, 0);
    EXPECT_EQ(DescribeProblems("x.csv", missing.problems).rfind("x.csv: cannot read", 0), 0u);
}

}  // namespace
