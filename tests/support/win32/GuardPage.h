#pragma once

#include <windows.h>

#include <cstring>
#include <string>

// Bytes that end where an inaccessible page begins, so a read past them faults in every build.
class BytesBeforeGuardPage {
public:
    explicit BytesBeforeGuardPage(const std::string& bytes) {
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        page_ = system.dwPageSize;
        void* mapped = VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (mapped == nullptr || bytes.size() > page_) {
            return;
        }
        mapping_ = static_cast<char*>(mapped);
        DWORD previous = 0;
        if (!VirtualProtect(mapping_ + page_, page_, PAGE_NOACCESS, &previous)) {
            return;
        }
        data_ = mapping_ + page_ - bytes.size();
        std::memcpy(data_, bytes.data(), bytes.size());
    }
    ~BytesBeforeGuardPage() {
        if (mapping_ != nullptr) {
            VirtualFree(mapping_, 0, MEM_RELEASE);
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
