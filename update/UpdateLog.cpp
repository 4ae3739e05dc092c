#include "update/UpdateLog.h"

#include "uecp/FrameCodec.h"
#include "update/LogFileStream.h"

UpdateLog::~UpdateLog() {
    Close();
}

bool UpdateLog::Open(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (file_ != nullptr) {
            std::fclose(file_);
            file_ = nullptr;
        }
        path_ = path;
    }
    // Not under the lock: a FIFO named as the log blocks here until it has a reader, and the
    // last words of a signal must still get past WriteLine meanwhile.
    std::FILE* file = OpenLogFileStream(path);
    std::lock_guard<std::mutex> lock(mutex_);
    file_ = file;
    return file_ != nullptr;
}

void UpdateLog::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

bool UpdateLog::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return file_ != nullptr;
}

void UpdateLog::WriteLine(const std::string& text) {
    const std::string line = text + "\r\n";
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_ == nullptr) {
        return;
    }
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

void UpdateLog::WriteFrame(const uint8_t* data, int32_t length, int direction) {
    WriteLine((direction != 0 ? "-> " : "<- ") + HexDump(data, length, ',', true));
}

std::string UpdateLog::Path() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return path_;
}
