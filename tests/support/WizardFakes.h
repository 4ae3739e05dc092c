#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "wizard/SettingsStore.h"
#include "wizard/WizardView.h"

// Settings in memory, with every write in order.
class MemorySettingsStore : public SettingsStore {
public:
    int32_t ReadInt(const std::string& name, int32_t fallback) override {
        reads.push_back(name);
        const auto found = ints.find(name);
        return found == ints.end() ? fallback : found->second;
    }
    std::string ReadString(const std::string& name, const std::string& fallback) override {
        reads.push_back(name);
        const auto found = strings.find(name);
        return found == strings.end() ? fallback : found->second;
    }
    void WriteInt(const std::string& name, int32_t value) override {
        writes.push_back(name);
        ints[name] = value;
    }
    void WriteString(const std::string& name, const std::string& value) override {
        writes.push_back(name);
        strings[name] = value;
    }
    std::map<std::string, int32_t> ints;
    std::map<std::string, std::string> strings;
    std::vector<std::string> reads;
    std::vector<std::string> writes;
};

// A view that keeps posted tasks until the test runs them, answers boxes and the chooser as
// told, and counts what it was asked.
class FakeWizardView : public WizardView {
public:
    void PostToGuiThread(std::function<void()> task) override {
        const std::lock_guard<std::mutex> lock(mutex);
        posted.push_back(std::move(task));
    }
    // Runs what was posted so far, in order; how many.
    int RunPosted() {
        int ran = 0;
        for (;;) {
            std::function<void()> task;
            {
                const std::lock_guard<std::mutex> lock(mutex);
                if (posted.empty()) {
                    return ran;
                }
                task = std::move(posted.front());
                posted.pop_front();
            }
            task();
            ++ran;
        }
    }
    void ScheduleIdle() override { ++idleRequests; }
    Answer ShowMessageBox(Icon icon, Buttons buttons, const std::string&,
                          const std::string& text) override {
        boxes.push_back({icon, buttons, text});
        return boxAnswer;
    }
    std::string ChooseFolder(const std::string& title, const std::string& start) override {
        chooserTitle = title;
        chooserStart = start;
        ++chooserAsked;
        return chosenFolder;
    }
    bool OpenInDesktop(const std::string& path) override {
        opened.push_back(path);
        return desktopOpens;
    }
    void ShowLogWindow(const std::string& path) override { logWindow.push_back(path); }
    void Render() override { ++renders; }
    void EndWizard() override { ended = true; }

    struct Box {
        Icon icon;
        Buttons buttons;
        std::string text;
    };
    std::mutex mutex;
    std::deque<std::function<void()>> posted;
    int idleRequests = 0;
    std::vector<Box> boxes;
    Answer boxAnswer = Answer::Ok;
    std::string chosenFolder;
    std::string chooserTitle;
    std::string chooserStart;
    int chooserAsked = 0;
    std::vector<std::string> opened;
    bool desktopOpens = true;
    std::vector<std::string> logWindow;
    int renders = 0;
    bool ended = false;
};
