#include "fleet/ChildStderr.h"

#include <fstream>
#include <sstream>

#include "console/StderrLabels.h"
#include "update/Utf8Path.h"

namespace {

// Only the end matters, however much a child wrote.
constexpr std::streamoff kTail = 16 * 1024;

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

bool SaysWhy(const std::string& line) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) {
        return false;
    }
    for (const Language language : {Language::English, Language::German}) {
        const std::string logAt = kLogLineLabel.In(language);
        const std::string hint = kHintLabel.In(language);
        // The hint's label without its blank: a child may end it with the line.
        if (StartsWith(line, logAt.substr(0, logAt.find("%s"))) ||
            StartsWith(line, hint.substr(0, hint.find_last_not_of(' ') + 1))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string LastReasonLine(const std::string& text) {
    std::istringstream in(text);
    std::string last;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (SaysWhy(line)) {
            last = line;
        }
    }
    return last;
}

std::string LastReasonLineOf(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) {
        return {};
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    const std::streamoff from = size > kTail ? size - kTail : 0;
    in.seekg(from);
    std::ostringstream tail;
    tail << in.rdbuf();
    std::string text = tail.str();
    if (from > 0) {
        text.erase(0, text.find('\n') + 1);  // a line cut by the tail is no line
    }
    return LastReasonLine(text);
}
