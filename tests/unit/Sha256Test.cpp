#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "sim/Sha256.h"

namespace {

std::string HashOf(const std::string& text) {
    return Sha256::Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(Sha256, StandardVectors) {
    EXPECT_EQ(HashOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(HashOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(HashOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(HashOf(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, PaddingBoundariesAndChunkedInput) {
    // 55, 56 and 64 bytes: the length field fits the last block, just misses it, or needs a
    // block of its own.
    EXPECT_EQ(HashOf(std::string(55, 'x')),
              "d5e285683cd4efc02d021a5c62014694958901005d6f71e89e0989fac77e4072");
    EXPECT_EQ(HashOf(std::string(56, 'x')),
              "04c26261370ee7541549d16dee320c723e3fd14671e66a099afe0a377c16888e");
    EXPECT_EQ(HashOf(std::string(64, 'x')),
              "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c");

    const std::string text(64, 'x');
    Sha256 chunked;
    for (size_t at = 0; at < text.size(); at += 7) {
        const size_t n = std::min<size_t>(7, text.size() - at);
        chunked.Update(reinterpret_cast<const uint8_t*>(text.data()) + at, n);
    }
    const auto digest = chunked.Finish();
    EXPECT_EQ(digest[0], 0x7c);
    EXPECT_EQ(digest[31], 0x3c);
}

}  // namespace
