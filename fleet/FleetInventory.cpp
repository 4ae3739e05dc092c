#include "fleet/FleetInventory.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "console/ConnectionArguments.h"
#include "transport/SerialPorts.h"
#include "update/Utf8Path.h"

namespace {

// The longest name kept: it becomes a file name and a table column.
constexpr size_t kMaxNameLength = 64;

struct Record {
    int line = 0;
    std::vector<std::string> fields;
    std::string error;  // an unterminated quote
};

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last + 1 - first);
}

// The records of the text, each with the line it starts on; a quoted field may span lines.
std::vector<Record> SplitRecords(const std::string& text, char separator) {
    std::vector<Record> records;
    int line = 1;
    size_t i = 0;
    while (i < text.size()) {
        Record record;
        record.line = line;
        std::string field;
        bool quoted = false;
        bool wasQuoted = false;
        bool ended = false;
        // A line that starts with '#' is a comment, as are blank lines: skipped whole.
        size_t lineEnd = text.find('\n', i);
        const std::string raw =
            text.substr(i, lineEnd == std::string::npos ? std::string::npos : lineEnd - i);
        if (Trim(raw).empty() || Trim(raw) == "\r" || Trim(raw)[0] == '#') {
            i = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
            ++line;
            continue;
        }
        while (i < text.size() && !ended) {
            const char c = text[i];
            if (quoted) {
                if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    i += 2;
                    continue;
                }
                if (c == '"') {
                    quoted = false;
                } else {
                    if (c == '\n') {
                        ++line;
                    }
                    field += c;
                }
                ++i;
                continue;
            }
            if (c == '"' && Trim(field).empty() && !wasQuoted) {
                quoted = true;
                wasQuoted = true;
                field.clear();
            } else if (c == separator) {
                record.fields.push_back(wasQuoted ? field : Trim(field));
                field.clear();
                wasQuoted = false;
            } else if (c == '\n') {
                ended = true;
                ++line;
            } else if (c != '\r') {
                if (!wasQuoted) {
                    field += c;
                } else if (c != ' ' && c != '\t') {
                    record.error = "text after a closing quote";
                }
            }
            ++i;
        }
        if (quoted) {
            record.error = "a quoted field is not closed";
        }
        record.fields.push_back(wasQuoted ? field : Trim(field));
        records.push_back(std::move(record));
    }
    return records;
}

char HeaderSeparator(const std::string& text) {
    // The first line that is neither empty nor a comment.
    std::string first;
    std::istringstream lines(text);
    while (std::getline(lines, first)) {
        const std::string trimmed = Trim(first);
        if (!trimmed.empty() && trimmed != "\r" && trimmed[0] != '#') {
            break;
        }
    }
    size_t commas = 0;
    size_t semicolons = 0;
    bool quoted = false;
    for (char c : first) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ',') {
            ++commas;
        } else if (!quoted && c == ';') {
            ++semicolons;
        }
    }
    return semicolons > commas ? ';' : ',';
}

std::string NameProblem(const std::string& name) {
    if (name.empty()) {
        return "the name is empty";
    }
    if (name.size() > kMaxNameLength) {
        return "the name '" + name.substr(0, 20) + "...' is longer than " +
               std::to_string(kMaxNameLength) + " characters";
    }
    if (name == "." || name == ".." || name[0] == '-') {
        return "the name '" + name + "' cannot name a log file: start it with a letter or digit";
    }
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') {
            return "the name '" + name +
                   "' holds a slash or a control character; it names the coder's log file";
        }
    }
    return {};
}

// Where a serial connection ends up, so COM7, its by-id link and /dev/ttyUSB2 compare equal.
std::string SerialDevice(const ConnectionChoice& choice) {
    std::string path = choice.serialDevice;
    if (path.empty()) {
        path = ResolveComPort(choice.serialPort);
        if (path.empty()) {
            return "COM" + std::to_string(choice.serialPort);
        }
    }
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.string();
}

}  // namespace

Inventory ParseInventory(const std::string& input) {
    Inventory inventory;
    std::string text = input;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        text.erase(0, 3);
    }
    const std::vector<Record> records = SplitRecords(text, HeaderSeparator(text));
    if (records.empty()) {
        inventory.problems.push_back(
            {0, "the inventory has no header line: start it with name,connection"});
        return inventory;
    }

    const Record& header = records.front();
    int nameColumn = -1;
    int connectionColumn = -1;
    std::vector<std::string> columns;
    for (size_t c = 0; c < header.fields.size(); ++c) {
        const std::string column = Lower(header.fields[c]);
        if (column.empty()) {
            inventory.problems.push_back(
                {header.line, "column " + std::to_string(c + 1) + " of the header has no name"});
        } else if (std::count(columns.begin(), columns.end(), column) > 0) {
            inventory.problems.push_back(
                {header.line, "the header names the column '" + column + "' twice"});
        }
        if (column == "name") {
            nameColumn = static_cast<int>(c);
        } else if (column == "connection") {
            connectionColumn = static_cast<int>(c);
        }
        columns.push_back(column);
    }
    if (!header.error.empty()) {
        inventory.problems.push_back({header.line, "header: " + header.error});
    }
    if (nameColumn < 0 || connectionColumn < 0) {
        inventory.problems.push_back(
            {header.line, "the header line needs the columns name and connection (found: " + [&] {
                 std::string found;
                 for (const auto& c : header.fields) {
                     found += (found.empty() ? "" : ", ") + c;
                 }
                 return found;
             }() + ")"});
        return inventory;
    }

    std::map<std::string, int> names;          // lower-case name, line
    std::map<std::string, int> serialDevices;  // device, line
    std::map<std::string, int> tcpTargets;     // host:port, line
    for (size_t r = 1; r < records.size(); ++r) {
        const Record& record = records[r];
        auto problem = [&](const std::string& reason) {
            inventory.problems.push_back({record.line, reason});
        };
        if (!record.error.empty()) {
            problem(record.error);
            continue;
        }
        if (record.fields.size() > columns.size()) {
            problem("the row has " + std::to_string(record.fields.size()) +
                    " fields but the header only " + std::to_string(columns.size()) +
                    "; quote a field that holds a separator");
            continue;
        }
        FleetEntry entry;
        entry.line = record.line;
        auto field = [&](int column) {
            return column < static_cast<int>(record.fields.size()) ? record.fields[column]
                                                                   : std::string();
        };
        entry.name = field(nameColumn);
        entry.connection = Trim(field(connectionColumn));
        if (const std::string reason = NameProblem(entry.name); !reason.empty()) {
            problem(reason);
            continue;
        }
        if (entry.connection.empty()) {
            problem("coder '" + entry.name +
                    "' has no connection: give HOST:PORT, a COM number or a device path");
            continue;
        }
        std::string error;
        entry.serial = entry.connection.find('/') != std::string::npos ||
                       entry.connection.find(':') == std::string::npos;
        const bool ok = entry.serial ? ParseSerialPort(entry.connection, entry.choice, error)
                                     : ParseTcpTarget(entry.connection, entry.choice, error);
        if (!ok) {
            problem("coder '" + entry.name + "': " + error);
            continue;
        }
        const std::string key = Lower(entry.name);
        if (const auto seen = names.find(key); seen != names.end()) {
            problem("the name '" + entry.name + "' is already used on line " +
                    std::to_string(seen->second) + " (names must differ, also in case)");
            continue;
        }
        if (entry.serial) {
            entry.serialDevice = SerialDevice(entry.choice);
            if (const auto seen = serialDevices.find(entry.serialDevice);
                seen != serialDevices.end()) {
                problem("coder '" + entry.name + "' uses the serial port " + entry.serialDevice +
                        " of line " + std::to_string(seen->second) +
                        "; one port reaches one coder at a time");
                continue;
            }
            serialDevices.emplace(entry.serialDevice, entry.line);
        } else {
            const std::string target =
                Lower(entry.choice.tcpAddress) + ":" + std::to_string(entry.choice.tcpPort);
            if (const auto seen = tcpTargets.find(target); seen != tcpTargets.end()) {
                problem("coder '" + entry.name + "' uses " + entry.connection + " of line " +
                        std::to_string(seen->second) + "; a NetPC serves one coder");
                continue;
            }
            tcpTargets.emplace(target, entry.line);
        }
        names.emplace(key, entry.line);
        for (size_t c = 0; c < columns.size(); ++c) {
            if (static_cast<int>(c) != nameColumn && static_cast<int>(c) != connectionColumn) {
                entry.columns.emplace_back(header.fields[c], field(static_cast<int>(c)));
            }
        }
        inventory.entries.push_back(std::move(entry));
    }
    if (inventory.problems.empty() && inventory.entries.empty()) {
        inventory.problems.push_back({0, "the inventory lists no coder below its header"});
    }
    return inventory;
}

Inventory ReadInventory(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) {
        Inventory inventory;
        inventory.problems.push_back({0, "cannot read the inventory: check the file name"});
        return inventory;
    }
    std::stringstream text;
    text << in.rdbuf();
    return ParseInventory(text.str());
}

std::string DescribeProblems(const std::string& path,
                             const std::vector<InventoryProblem>& problems) {
    std::string text;
    for (const InventoryProblem& p : problems) {
        text += path + (p.line > 0 ? ":" + std::to_string(p.line) : std::string()) + ": " +
                p.reason + "\n";
    }
    return text;
}
