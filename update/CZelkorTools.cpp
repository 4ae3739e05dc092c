#include "update/CZelkorTools.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "update/OsVersion.h"

namespace {

constexpr OsVersionEntry kMinimumOs[kOsVersionEntryCount] = {
    {4, 10, "Windows 98"},
    {5, 0, "Windows 2000"},
    {5, 1, "Windows XP"},
    {5, 2, "Windows 2003 Server"},
};

void DefaultFatalHandler(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::exit(0);
}

std::mutex& HandlerMutex() {
    static std::mutex mutex;
    return mutex;
}

CZelkorTools::FatalHandler& Handler() {
    static CZelkorTools::FatalHandler handler = DefaultFatalHandler;
    return handler;
}

}  // namespace

const OsVersionEntry& MinimumOsEntry(int index) {
    if (index < 0 || index >= kOsVersionEntryCount) {
        // An index outside the table asks for no particular system: the oldest row.
        return kMinimumOs[0];
    }
    return kMinimumOs[index];
}

bool IsSystemTooOld(uint32_t major, uint32_t minor, const OsVersionEntry& minimum) {
    return major < minimum.majorVersion ||
           (major == minimum.majorVersion && minor < minimum.minorVersion);
}

CZelkorTools& CZelkorTools::GetInstance() {
    static CZelkorTools instance;
    return instance;
}

bool CZelkorTools::Initialize(int minimumIndex) {
    uint32_t major = 0;
    uint32_t minor = 0;
    if (!OsVersion(major, minor)) {
        // Refusing to start because the version could not be read would help nobody.
        initialized = true;
        return true;
    }
    return InitializeWithVersion(minimumIndex, major, minor);
}

bool CZelkorTools::InitializeWithVersion(int minimumIndex, uint32_t major, uint32_t minor) {
    const OsVersionEntry& minimum = MinimumOsEntry(minimumIndex);
    if (IsSystemTooOld(major, minor, minimum)) {
        Fatal(std::string("This Program requires ") + minimum.name + " or later");
        return false;
    }
    initialized = true;
    return true;
}

void CZelkorTools::CheckInitialized() const {
    if (!initialized) {
        Fatal("You have to call CZelkorTools::Initialize() first!");
    }
}

CZelkorTools::FatalHandler CZelkorTools::SetFatalHandler(FatalHandler handler) {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    FatalHandler previous = std::move(Handler());
    Handler() = handler ? std::move(handler) : FatalHandler(DefaultFatalHandler);
    return previous;
}

void CZelkorTools::Fatal(const std::string& message) {
    FatalHandler handler;
    {
        std::lock_guard<std::mutex> lock(HandlerMutex());
        handler = Handler();
    }
    handler(message);
}
