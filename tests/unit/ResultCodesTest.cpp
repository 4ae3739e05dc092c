#include <gtest/gtest.h>

#include <string>

#include "uecp/ResultCodes.h"

namespace {

TEST(ResultCodes, NameKeys) {
    EXPECT_STREQ(ErrorName(ERR_OK), "IDS_ERR_OK");
    EXPECT_STREQ(ErrorName(ERR_CONNECT), "IDS_ERR_CONNECT");
    EXPECT_STREQ(ErrorName(ERR_NACK_13), "IDS_ERR_NACK_13");
    EXPECT_STREQ(ErrorName(35), "IDS_ERR_UNKNOWN");
    EXPECT_STREQ(ErrorName(38), "IDS_ERR_UNKNOWN");
    EXPECT_STREQ(ErrorName(39), "IDS_ERR_NACK_20");
    EXPECT_STREQ(ErrorName(40), "IDS_ERR_NACK_21");
    EXPECT_STREQ(ErrorName(41), "IDS_ERR_UNKNOWN");
    EXPECT_STREQ(ErrorName(-1), "IDS_ERR_UNKNOWN");
    // Every value up to 34 has a key of its own that names it.
    for (int code = 0; code < 35; ++code) {
        const std::string name = ErrorName(code);
        EXPECT_EQ(name.rfind("IDS_ERR_", 0), 0u) << code;
        EXPECT_NE(name, "IDS_ERR_UNKNOWN") << code;
    }
}

TEST(ResultCodes, AcknowledgementCodes) {
    EXPECT_EQ(AckCodeToError(0), ERR_OK);
    EXPECT_EQ(AckCodeToError(1), ERR_NACK_1);
    EXPECT_EQ(AckCodeToError(7), 28);
    EXPECT_EQ(AckCodeToError(14), 35);
    EXPECT_EQ(AckCodeToError(17), ERR_NACK_17);
    EXPECT_EQ(AckCodeToError(18), ERR_NACK_UNDEFINED);
    EXPECT_EQ(AckCodeToError(19), ERR_NACK_UNDEFINED);
    EXPECT_EQ(AckCodeToError(20), ERR_NACK_20);
    EXPECT_EQ(AckCodeToError(21), ERR_NACK_21);
    EXPECT_EQ(AckCodeToError(22), ERR_NACK_UNDEFINED);
    EXPECT_EQ(AckCodeToError(200), ERR_NACK_UNDEFINED);
    EXPECT_EQ(AckCodeToError(255), ERR_NACK_UNDEFINED);
}

}  // namespace
