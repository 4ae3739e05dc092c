#pragma once

#include <string>

// A child's standard error (DIR/<name>.stderr) as the fleet reads it when the child ended
// without a message of its own: the last line that says why, so the row names the reason
// ("127.0.0.1:9 refused the connection.") and not the phase it was in. A hint (what to do),
// the line that says where the log is and blank lines are passed over.
std::string LastReasonLine(const std::string& text);

// The same from the end of the file at `path`; empty when it cannot be read.
std::string LastReasonLineOf(const std::string& path);
