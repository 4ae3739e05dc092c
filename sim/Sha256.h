#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// SHA-256 (FIPS 180-4), enough to fingerprint flash regions in the dump without a crypto
// library dependency.
class Sha256 {
public:
    Sha256();
    void Update(const uint8_t* data, size_t length);
    std::array<uint8_t, 32> Finish();

    static std::string Hex(const uint8_t* data, size_t length);

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
    uint64_t totalBytes_ = 0;
};
