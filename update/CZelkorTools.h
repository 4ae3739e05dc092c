#pragma once

#include <cstdint>
#include <functional>
#include <string>

// One row of the minimum-system table.
struct OsVersionEntry {
    uint32_t majorVersion;
    uint32_t minorVersion;
    const char* name;
};

constexpr int kOsVersionEntryCount = 4;

// The rows Initialize chooses from by index.
const OsVersionEntry& MinimumOsEntry(int index);

// Too old: a lower major version, or the same major and a lower minor. A higher major passes
// whatever its minor.
bool IsSystemTooOld(uint32_t major, uint32_t minor, const OsVersionEntry& minimum);

// Process-wide tools every program of the family sets up first: the minimum-system check, and
// a guard for components that must not run before it.
class CZelkorTools {
public:
    // Shows a fatal message and is expected to end the program. A handler that returns makes
    // the failing call return (tests rely on this to observe the message).
    using FatalHandler = std::function<void(const std::string& message)>;

    static CZelkorTools& GetInstance();

    // Tests build their own instance; the program uses GetInstance.
    CZelkorTools() = default;

    // Refuses a system older than row `minimumIndex` through the fatal handler, comparing the
    // row with OsVersion: the Windows version on Windows; on Linux the running kernel's
    // major.minor, as the table's numbers are Windows versions and the kernel release is the
    // one version every Linux system reports the same way. Any kernel since 4.10 passes row 0;
    // a version that cannot be read passes.
    // True when the system passed.
    bool Initialize(int minimumIndex);
    // The same with a given system version, so the rule can be tried without another kernel.
    bool InitializeWithVersion(int minimumIndex, uint32_t major, uint32_t minor);

    // Calls the fatal handler unless Initialize has passed.
    void CheckInitialized() const;

    bool IsInitialized() const { return initialized; }

    // Replaces the handler for every instance; returns the previous one. The default prints
    // the message to stderr and calls std::exit(0).
    static FatalHandler SetFatalHandler(FatalHandler handler);

private:
    static void Fatal(const std::string& message);

    bool initialized = false;
};
