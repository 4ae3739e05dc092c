#include "cli/InterruptWatch.h"

#include <chrono>

#include "console/EndNow.h"
#include "console/ExitStatus.h"

namespace {

constexpr auto kSecondSignalWindow = std::chrono::seconds(2);

std::mutex g_wordsMutex;

}  // namespace

InterruptWatch::InterruptWatch(std::function<void(int)> onStop, std::function<void(int)> onEndNow)
    : onStop_(std::move(onStop)), onEndNow_(std::move(onEndNow)) {
    if (!signals_.Valid()) {
        return;  // without a pipe the signals keep their default: the process ends at once
    }
    watcher_ = std::thread(&InterruptWatch::Watch, this);
}

InterruptWatch::~InterruptWatch() {
    if (!watcher_.joinable()) {
        return;
    }
    signals_.Stop();
    watcher_.join();
}

void InterruptWatch::SetTalkingToCoder(bool talking) {
    std::lock_guard<std::mutex> hold(talkingMutex_);
    talking_ = talking;
}

void InterruptWatch::SetLastWords(std::string text) {
    std::lock_guard<std::mutex> hold(g_wordsMutex);
    lastWords_ = std::move(text);
}

std::string InterruptWatch::SignalName(int signal) {
    return SignalPipe::Name(signal);
}

void InterruptWatch::Watch() {
    std::chrono::steady_clock::time_point first;
    for (;;) {
        const int number = signals_.Wait();
        if (number == 0) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (Interrupted() && now - first <= kSecondSignalWindow) {
            {
                std::lock_guard<std::mutex> hold(g_wordsMutex);
                WriteNow(stderr, lastWords_);
            }
            EndProcessNow(ExitStatusOfSignal(number));
        }
        // A later signal, past the window, asks again; it opens a new window.
        first = now;
        int none = 0;
        signal_.compare_exchange_strong(none, number);
        std::unique_lock<std::mutex> hold(talkingMutex_);
        if (talking_) {
            hold.unlock();
            onStop_(number);
            continue;
        }
        // Held to the end: the main thread cannot start talking to the coder meanwhile.
        onEndNow_(number);
        EndProcessNow(ExitStatusOfSignal(number));
    }
}
