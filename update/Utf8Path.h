#pragma once

#include <filesystem>
#include <string>

// Every path the program holds is UTF-8 in a std::string, with '/' between folders on every
// platform (Windows takes it as well). A std::filesystem::path made from a plain std::string
// would read it in the Windows ANSI code page, so paths cross over through these two.

// An empty path when `utf8` is no valid UTF-8 (Windows only; elsewhere the bytes are kept).
inline std::filesystem::path PathFromUtf8(const std::string& utf8) {
    try {
        return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
    } catch (const std::exception&) {
        return {};
    }
}

// The path's UTF-8 text with '/' separators.
inline std::string Utf8FromPath(const std::filesystem::path& path) {
    try {
        const std::u8string text = path.generic_u8string();
        return std::string(text.begin(), text.end());
    } catch (const std::exception&) {
        return {};
    }
}

// True for the last character of a folder given with its separator ("dir/", on Windows also
// "dir\").
inline bool IsPathSeparator(char c) {
    return c == '/' || c == static_cast<char>(std::filesystem::path::preferred_separator);
}

// A path as the user typed it, in the program's form: on Windows every '\' becomes '/';
// elsewhere a '\' is part of a name and stays.
inline std::string WithForwardSlashes(std::string path) {
    if (std::filesystem::path::preferred_separator == '\\') {
        for (char& c : path) {
            c = c == '\\' ? '/' : c;
        }
    }
    return path;
}
