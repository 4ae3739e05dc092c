#include "cli/InterruptWatch.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace {

constexpr unsigned char kQuitByte = 0;  // no signal has the number 0
constexpr auto kSecondSignalWindow = std::chrono::seconds(2);
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

int g_pipe[2] = {-1, -1};
struct sigaction g_previous[sizeof kSignals / sizeof kSignals[0]];
std::mutex g_wordsMutex;

void OnSignal(int number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
    errno = saved;
}

void Install() {
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        sigaction(kSignals[i], nullptr, &g_previous[i]);
        // Started under nohup, or in the background by a shell without job control: the
        // signal was meant not to reach us, and stays ignored.
        if (g_previous[i].sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(kSignals[i], &action, nullptr);
    }
}

void Restore() {
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        sigaction(kSignals[i], &g_previous[i], nullptr);
    }
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void(int)> onStop, std::function<void(int)> onEndNow)
    : onStop_(std::move(onStop)), onEndNow_(std::move(onEndNow)) {
    if (pipe2(g_pipe, O_CLOEXEC) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;  // without a pipe the signals keep their default: the process ends at once
    }
    watcher_ = std::thread(&InterruptWatch::Watch, this);
    Install();
}

InterruptWatch::~InterruptWatch() {
    if (!watcher_.joinable()) {
        return;
    }
    Restore();
    const unsigned char byte = kQuitByte;
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
    watcher_.join();
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
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
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "signal " + std::to_string(signal);
    }
}

void InterruptWatch::Watch() {
    std::chrono::steady_clock::time_point first;
    for (;;) {
        unsigned char byte = kQuitByte;
        const ssize_t got = read(g_pipe[0], &byte, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0 || byte == kQuitByte) {
            return;
        }
        const int number = byte;
        const auto now = std::chrono::steady_clock::now();
        if (Interrupted() && now - first <= kSecondSignalWindow) {
            {
                std::lock_guard<std::mutex> hold(g_wordsMutex);
                [[maybe_unused]] const ssize_t written =
                    write(STDERR_FILENO, lastWords_.data(), lastWords_.size());
            }
            _exit(128 + number);
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
        _exit(128 + number);
    }
}
