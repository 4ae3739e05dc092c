#pragma once

#include <stdlib.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

// The per-user folders of a test: the registry key and the local application data of the
// build's own Wine prefix (or of the user on Windows). The settings of the applications a test
// asked about are removed afterwards; `root` is not needed here.
class UserFolders {
public:
    explicit UserFolders(const std::string&) {}
    ~UserFolders() {
        for (const std::string& application : applications_) {
            RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\Orvane\\" + application).c_str());
        }
    }
    UserFolders(const UserFolders&) = delete;
    UserFolders& operator=(const UserFolders&) = delete;

    // Where the settings of `application` are kept.
    std::string SettingsLocation(const std::string& application) {
        applications_.push_back(application);
        return "HKEY_CURRENT_USER\\Software\\Orvane\\" + application + "\\Settings";
    }
    // The user's state folder, ending in '/', as the environment names it.
    std::string StateFolder() const {
        const char* local = getenv("LOCALAPPDATA");
        std::string folder = local != nullptr ? local : "";
        std::replace(folder.begin(), folder.end(), '\\', '/');
        return folder.empty() ? folder : folder + "/";
    }
    // Every user may write his own key: no test can make a write fail.
    bool BlockSettings() { return false; }

private:
    std::vector<std::string> applications_;
};
