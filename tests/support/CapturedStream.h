#pragma once

#include <cstdio>
#include <string>

// A C stream whose bytes a test reads back: a temporary file (fmemopen is POSIX only), in
// binary mode, so that a line end arrives as written on every system.
class CapturedStream {
public:
    CapturedStream() : file_(std::tmpfile()) {}
    ~CapturedStream() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    CapturedStream(const CapturedStream&) = delete;
    CapturedStream& operator=(const CapturedStream&) = delete;

    std::FILE* File() { return file_; }
    // Everything written so far; writing goes on after it.
    std::string Text() {
        if (file_ == nullptr) {
            return "";
        }
        std::fflush(file_);
        const long size = std::ftell(file_);
        std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
        std::rewind(file_);
        text.resize(std::fread(text.data(), 1, text.size(), file_));
        std::fseek(file_, 0, SEEK_END);
        return text;
    }

private:
    std::FILE* file_;
};
