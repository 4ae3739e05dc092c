#pragma once

#include <cstdint>
#include <memory>
#include <utility>

// An owning list of objects whose slot array grows and shrinks in steps of `Step` entries,
// always leaving room for at least one more entry than in use.
template <typename T, int Step>
class ObjectList {
public:
    ObjectList() = default;
    virtual ~ObjectList() = default;
    ObjectList(const ObjectList&) = delete;
    ObjectList& operator=(const ObjectList&) = delete;

    virtual void Clear() {
        for (int32_t i = 0; i < count; ++i) {
            items[i].reset();
        }
        count = 0;
        Reserve(0);
    }

    void Reserve(int32_t n) {
        const int32_t wanted = blockBytes * (n / Step + 1);
        if (wanted == capacityBytes) {
            return;
        }
        auto grown = std::make_unique<std::unique_ptr<T>[]>(SlotsFor(wanted));
        for (int32_t i = 0; i < count; ++i) {
            grown[i] = std::move(items[i]);
        }
        items = std::move(grown);
        capacityBytes = wanted;
    }

    // The list's own users add at the end and take from the front.
    void Append(std::unique_ptr<T> item) {
        Reserve(count + 1);
        items[count++] = std::move(item);
    }

    std::unique_ptr<T> TakeFirst() {
        if (count == 0) {
            return nullptr;
        }
        std::unique_ptr<T> first = std::move(items[0]);
        for (int32_t i = 1; i < count; ++i) {
            items[i - 1] = std::move(items[i]);
        }
        --count;
        Reserve(count);
        return first;
    }

    int32_t SlotCount() const { return SlotsFor(capacityBytes); }

    std::unique_ptr<std::unique_ptr<T>[]> items;
    int32_t count = 0;
    int32_t capacityBytes = 0;
    const int32_t blockBytes = Step * static_cast<int32_t>(sizeof(T*));

private:
    static int32_t SlotsFor(int32_t bytes) { return bytes / static_cast<int32_t>(sizeof(T*)); }
};
