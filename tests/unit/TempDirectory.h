#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

// A fresh directory under the system's temporary folder, removed with everything in it.
class TempDirectory {
public:
    TempDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvelin-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempDirectory() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    bool Valid() const { return !path_.empty(); }
    // Ends in "/".
    std::string Path() const { return path_ + "/"; }

    // Creates the file `name` with `size` bytes counting 0, 1, 2, ...
    std::string WriteFile(const std::string& name, size_t size = 0) const {
        const std::string full = Path() + name;
        std::ofstream out(full, std::ios::binary);
        for (size_t i = 0; i < size; ++i) {
            out.put(static_cast<char>(i & 0xFF));
        }
        return full;
    }

private:
    std::string path_;
};
