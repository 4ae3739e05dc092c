#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

// Bytes that end where an inaccessible page begins, so a read past them faults in every build,
// with or without a sanitizer.
class BytesBeforeGuardPage {
public:
    explicit BytesBeforeGuardPage(const std::string& bytes) {
        page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void* mapped =
            mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED || bytes.size() > page_) {
            return;
        }
        mapping_ = static_cast<char*>(mapped);
        if (mprotect(mapping_ + page_, page_, PROT_NONE) != 0) {
            return;
        }
        data_ = mapping_ + page_ - bytes.size();
        std::memcpy(data_, bytes.data(), bytes.size());
    }
    ~BytesBeforeGuardPage() {
        if (mapping_ != nullptr) {
            munmap(mapping_, 2 * page_);
        }
    }
    BytesBeforeGuardPage(const BytesBeforeGuardPage&) = delete;
    BytesBeforeGuardPage& operator=(const BytesBeforeGuardPage&) = delete;

    // Null when the guard page could not be set up.
    const char* data() const { return data_; }

private:
    size_t page_ = 0;
    char* mapping_ = nullptr;
    char* data_ = nullptr;
};
