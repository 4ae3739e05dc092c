#include "transport/IOHook.h"

#include <algorithm>

IOHook::~IOHook() {
    Detach();
}

void IOHook::Attach(IOHookList& newList) {
    Detach();
    list = &newList;
    CriticalSectionLock hold(newList.lock);
    if (std::find(newList.hooks.begin(), newList.hooks.end(), this) == newList.hooks.end()) {
        newList.hooks.push_back(this);
    }
}

void IOHook::Detach() {
    IOHookList* current = list;
    if (current == nullptr) {
        return;
    }
    {
        CriticalSectionLock hold(current->lock);
        auto& hooks = current->hooks;
        hooks.erase(std::remove(hooks.begin(), hooks.end(), this), hooks.end());
    }
    list = nullptr;
}

IOHookList& IOHookList::Instance() {
    static IOHookList instance;
    return instance;
}

IOHookList::~IOHookList() {
    DetachAll();
}

void IOHookList::Notify(const uint8_t* data, int32_t length, int direction) {
    CriticalSectionLock hold(lock);
    for (IOHook* hook : hooks) {
        hook->OnData(data, length, direction);
    }
}

void IOHookList::DetachAll() {
    CriticalSectionLock hold(lock);
    for (IOHook* hook : hooks) {
        hook->list = nullptr;
    }
    hooks.clear();
}
