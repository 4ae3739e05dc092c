#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "transport/FrameReader.h"
#include "transport/IOHook.h"

// Polls `done` until it holds or `timeoutMs` passes; for states that have no event to wait on.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

// Records every piece shown to the process-wide hooks while it lives.
class RecordingHook : public IOHook {
public:
    struct Piece {
        int direction;
        std::vector<uint8_t> bytes;
    };

    RecordingHook() { Attach(IOHookList::Instance()); }

    void OnData(const uint8_t* data, int32_t length, int direction) override {
        std::lock_guard<std::mutex> hold(lock_);
        pieces_.push_back(Piece{direction, std::vector<uint8_t>(data, data + length)});
    }

    std::vector<Piece> Pieces() {
        std::lock_guard<std::mutex> hold(lock_);
        return pieces_;
    }

    // The bytes of one direction, joined in order.
    std::vector<uint8_t> Joined(int direction) {
        std::vector<uint8_t> all;
        for (const Piece& piece : Pieces()) {
            if (piece.direction == direction) {
                all.insert(all.end(), piece.bytes.begin(), piece.bytes.end());
            }
        }
        return all;
    }

    size_t Count(int direction) { return Joined(direction).size(); }

private:
    std::mutex lock_;
    std::vector<Piece> pieces_;
};

// Collects the frames a transport's assembler delivers.
class RecordingReader : public FrameReader {
public:
    void OnFrame(const uint8_t* data, int32_t length, AutoFrameBuffer*) override {
        {
            std::lock_guard<std::mutex> hold(lock_);
            frames_.emplace_back(data, data + length);
        }
        arrived_.notify_all();
    }
    void OnFrameDiscarded() override {
        std::lock_guard<std::mutex> hold(lock_);
        ++discarded_;
    }

    // Waits until `count` frames are there, at most `timeoutMs`.
    bool WaitFrames(size_t count, int timeoutMs = 3000) {
        std::unique_lock<std::mutex> hold(lock_);
        return arrived_.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                 [&] { return frames_.size() >= count; });
    }

    std::vector<std::vector<uint8_t>> Frames() {
        std::lock_guard<std::mutex> hold(lock_);
        return frames_;
    }

    int Discarded() {
        std::lock_guard<std::mutex> hold(lock_);
        return discarded_;
    }

private:
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<std::vector<uint8_t>> frames_;
    int discarded_ = 0;
};

// A transport that counts its notifications. The I/O thread calls the overrides, so it must be
// gone before this part of the object is.
template <typename Transport>
class CountingTransport : public Transport {
public:
    using Transport::Transport;
    ~CountingTransport() override { this->Stop(); }
    void OnReadError() override { ++readErrors; }
    void OnWriteError() override { ++writeErrors; }
    void OnPeerClosed() override { ++peerClosed; }
    std::atomic<int> readErrors{0};
    std::atomic<int> writeErrors{0};
    std::atomic<int> peerClosed{0};
};
