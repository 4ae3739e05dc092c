#pragma once

#include <string>
#include <utility>
#include <vector>

#include "update/ConnectionChoice.h"

// One coder of a fleet inventory: a row of the CSV file.
struct FleetEntry {
    int line = 0;  // where the row starts in the file, from 1
    std::string name;
    std::string connection;  // as written: HOST:PORT, a COM number or a device path
    ConnectionChoice choice;
    bool serial = false;
    // The device a serial row ends up at (COMn resolved, links followed), so two spellings of
    // one port are seen as one; empty for TCP/IP.
    std::string serialDevice;
    // The optional columns of the row, header name and value, in the file's order.
    std::vector<std::pair<std::string, std::string>> columns;
};

struct InventoryProblem {
    int line = 0;  // 0: the file as a whole
    std::string reason;
};

struct Inventory {
    std::vector<FleetEntry> entries;
    std::vector<InventoryProblem> problems;  // empty when the inventory can be used
};

// The CSV text of an inventory as a spreadsheet exports it: a header line with the columns
// `name` and `connection` (any order, any case) and optional others; fields separated by
// commas (or semicolons, when the header uses them), quoted with double quotes where they hold
// a separator, a quote ("") or a line break; `#` lines are comments; empty lines are skipped;
// a UTF-8 byte order mark and CR LF line ends are accepted. Every bad line is reported.
Inventory ParseInventory(const std::string& text);
// The same for a file; a file that cannot be read is one problem at line 0.
Inventory ReadInventory(const std::string& path);
// "inventory.csv:7: reason" per problem, one a line.
std::string DescribeProblems(const std::string& path,
                             const std::vector<InventoryProblem>& problems);
