#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "update/Utf8Path.h"

// A fresh directory under the system's temporary folder, removed with everything in it.
class TempDirectory {
public:
    TempDirectory() {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::temp_directory_path(error);
        std::random_device random;
        for (int attempt = 0; !error && attempt < 100; ++attempt) {
            const std::filesystem::path candidate =
                base / ("tarvelin-" + std::to_string(random() % 100000000u));
            // False without an error when the name is taken: try another.
            if (std::filesystem::create_directory(candidate, error)) {
                path_ = Utf8FromPath(candidate);
                return;
            }
        }
    }
    ~TempDirectory() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(PathFromUtf8(path_), ignored);
        }
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    bool Valid() const { return !path_.empty(); }
    // UTF-8 with '/' separators, ending in "/".
    std::string Path() const { return path_ + "/"; }

    // Creates the file `name` (UTF-8) with `size` bytes counting 0, 1, 2, ...
    std::string WriteFile(const std::string& name, size_t size = 0) const {
        const std::string full = Path() + name;
        std::ofstream out(PathFromUtf8(full), std::ios::binary);
        for (size_t i = 0; i < size; ++i) {
            out.put(static_cast<char>(i & 0xFF));
        }
        return full;
    }

private:
    std::string path_;
};
