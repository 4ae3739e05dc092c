#pragma once

#include <mutex>

// The re-entrant lock of every shared object. Also BasicLockable, so std::lock_guard and
// std::condition_variable_any work with it (a condition wait releases one level only: wait
// only while holding the lock once).
class MyCriticalSection {
public:
    MyCriticalSection() = default;
    virtual ~MyCriticalSection() = default;
    MyCriticalSection(const MyCriticalSection&) = delete;
    MyCriticalSection& operator=(const MyCriticalSection&) = delete;

    void Lock() { mutex_.lock(); }
    void Unlock() { mutex_.unlock(); }

    void lock() { Lock(); }
    void unlock() { Unlock(); }

private:
    std::recursive_mutex mutex_;
};

// Holds a MyCriticalSection for one scope.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(MyCriticalSection& section) : section_(section) {
        section_.Lock();
    }
    ~CriticalSectionLock() { section_.Unlock(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    MyCriticalSection& section_;
};
