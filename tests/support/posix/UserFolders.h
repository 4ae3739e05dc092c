#pragma once

#include <stdlib.h>

#include <fstream>
#include <optional>
#include <string>

// Points this process's per-user folders (settings, state) into `root` (ending in '/') for a
// test, and puts them back afterwards.
class UserFolders {
public:
    explicit UserFolders(const std::string& root) : root_(root) {
        for (int i = 0; i < 2; ++i) {
            const char* value = getenv(kNames[i]);
            if (value != nullptr) {
                saved_[i] = value;
            }
        }
        setenv("XDG_CONFIG_HOME", (root_ + "config").c_str(), 1);
        setenv("XDG_STATE_HOME", (root_ + "state").c_str(), 1);
    }
    ~UserFolders() {
        for (int i = 0; i < 2; ++i) {
            if (saved_[i]) {
                setenv(kNames[i], saved_[i]->c_str(), 1);
            } else {
                unsetenv(kNames[i]);
            }
        }
    }
    UserFolders(const UserFolders&) = delete;
    UserFolders& operator=(const UserFolders&) = delete;

    // Where the settings of `application` are kept.
    std::string SettingsLocation(const std::string& application) const {
        return root_ + "config/Orvane/" + application + ".conf";
    }
    // The user's state folder, ending in '/'.
    std::string StateFolder() const { return root_ + "state/"; }
    // Makes every settings write fail from here on; false where a test cannot.
    bool BlockSettings() {
        std::ofstream(root_ + "not-a-folder") << "x";
        setenv("XDG_CONFIG_HOME", (root_ + "not-a-folder").c_str(), 1);
        return true;
    }

private:
    static constexpr const char* kNames[2] = {"XDG_CONFIG_HOME", "XDG_STATE_HOME"};
    std::string root_;
    std::optional<std::string> saved_[2];
};
