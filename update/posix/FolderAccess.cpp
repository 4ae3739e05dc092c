#include "update/FolderAccess.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "transport/SystemErrorText.h"

std::string UserStateFolder() {
    // XDG_STATE_HOME counts only when absolute.
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        return "";
    }
    return std::string(home) + "/.local/state/";
}

bool FolderIsWritable(const std::string& folder) {
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
}

std::string FolderWriteProblem(const std::string& folder) {
    return FolderIsWritable(folder) ? "" : SystemErrorText(errno);
}
