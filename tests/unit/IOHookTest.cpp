#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "transport/IOHook.h"

namespace {

// Writes its name into a shared journal for every call.
class JournalHook : public IOHook {
public:
    JournalHook(std::string hookName, std::vector<std::string>& journal)
        : name(std::move(hookName)), entries(journal) {}
    void OnData(const uint8_t* data, int32_t length, int direction) override {
        entries.push_back(name + ":" + std::to_string(direction) + ":" +
                          std::string(reinterpret_cast<const char*>(data), length));
    }
    std::string name;
    std::vector<std::string>& entries;
};

const uint8_t kBytes[] = {'a', 'b'};

TEST(IOHookList, NotifiesInAttachmentOrderAndHoldsAHookOnce) {
    IOHookList list;
    std::vector<std::string> journal;
    JournalHook first("first", journal);
    JournalHook second("second", journal);
    second.Attach(list);
    first.Attach(list);
    first.Attach(list);  // again: still once, and it moves to the end
    list.Notify(kBytes, 2, 1);
    EXPECT_EQ(journal, (std::vector<std::string>{"second:1:ab", "first:1:ab"}));
    EXPECT_EQ(list.hooks.size(), 2u);

    first.Detach();
    EXPECT_EQ(first.list, nullptr);
    journal.clear();
    list.Notify(kBytes, 1, 0);
    EXPECT_EQ(journal, (std::vector<std::string>{"second:0:a"}));
    first.Detach();  // detaching a detached hook does nothing
}

TEST(IOHookList, AttachingToAnotherListLeavesTheFirst) {
    IOHookList one;
    IOHookList other;
    std::vector<std::string> journal;
    JournalHook hook("hook", journal);
    hook.Attach(one);
    hook.Attach(other);
    EXPECT_EQ(hook.list, &other);
    EXPECT_TRUE(one.hooks.empty());
    one.Notify(kBytes, 2, 0);
    EXPECT_TRUE(journal.empty());
    other.Notify(kBytes, 2, 0);
    EXPECT_EQ(journal.size(), 1u);
}

TEST(IOHookList, AHookDestroyedWhileAttachedIsRemoved) {
    IOHookList list;
    std::vector<std::string> journal;
    JournalHook staying("staying", journal);
    staying.Attach(list);
    {
        JournalHook leaving("leaving", journal);
        leaving.Attach(list);
        EXPECT_EQ(list.hooks.size(), 2u);
    }
    EXPECT_EQ(list.hooks.size(), 1u);
    list.Notify(kBytes, 2, 1);  // would reach freed memory if the hook were still listed
    EXPECT_EQ(journal, (std::vector<std::string>{"staying:1:ab"}));
}

TEST(IOHookList, DetachAllMarksEveryHookDetached) {
    std::vector<std::string> journal;
    JournalHook first("first", journal);
    JournalHook second("second", journal);
    {
        IOHookList list;
        first.Attach(list);
        second.Attach(list);
        list.DetachAll();
        EXPECT_TRUE(list.hooks.empty());
        EXPECT_EQ(first.list, nullptr);
        EXPECT_EQ(second.list, nullptr);
        first.Attach(list);
    }
    // The list's destruction detached it as well: the hook's own destruction must not touch it.
    EXPECT_EQ(first.list, nullptr);
}

TEST(IOHookList, TheProcessWideListIsOneInstance) {
    EXPECT_EQ(&IOHookList::Instance(), &IOHookList::Instance());
}

}  // namespace
