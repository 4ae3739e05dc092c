#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

constexpr const char* kLogFileName = "TarvelinLog.txt";

// The plain-text log of one identification and the update after it: procedure lines from the
// worker thread and frame lines from the front end's thread, each line whole and flushed.
// A log that cannot be opened drops its lines silently; the update goes on without it.
class UpdateLog {
public:
    UpdateLog() = default;
    ~UpdateLog();
    UpdateLog(const UpdateLog&) = delete;
    UpdateLog& operator=(const UpdateLog&) = delete;

    // Closes a previous file, then creates or empties `path`. False when it cannot be opened.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const;

    // Writes `text` and CR LF as one piece.
    void WriteLine(const std::string& text);
    // "-> " (direction non-zero: sent) or "<- " (received), then the frame as FE,01,FF.
    void WriteFrame(const uint8_t* data, int32_t length, int direction);

    // The path given to the last Open, whether it succeeded or not.
    std::string Path() const;

private:
    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::string path_;
};
