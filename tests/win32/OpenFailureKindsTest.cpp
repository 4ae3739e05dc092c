#include <winsock2.h>

#include <gtest/gtest.h>

#include "transport/OpenFailure.h"
#include "transport/SystemErrorText.h"

namespace {

// Windows' codes lead to the same kinds, and so to the same reasons and hints, as errno does.
TEST(Win32OpenFailure, SystemCodesMapToTheKindAUserCanActOn) {
    EXPECT_EQ(DeviceFailureKind(ERROR_FILE_NOT_FOUND), OpenFailureKind::NoDevice);
    EXPECT_EQ(DeviceFailureKind(ERROR_PATH_NOT_FOUND), OpenFailureKind::NoDevice);
    // Windows refuses a COM port another program holds as access denied.
    EXPECT_EQ(DeviceFailureKind(ERROR_ACCESS_DENIED), OpenFailureKind::Busy);
    EXPECT_EQ(DeviceFailureKind(ERROR_SHARING_VIOLATION), OpenFailureKind::Busy);
    EXPECT_EQ(DeviceFailureKind(ERROR_INVALID_FUNCTION), OpenFailureKind::NotTerminal);
    EXPECT_EQ(DeviceFailureKind(ERROR_INVALID_PARAMETER), OpenFailureKind::Other);
    EXPECT_EQ(SocketFailureKind(10061), OpenFailureKind::Refused);
    EXPECT_EQ(SocketFailureKind(10060), OpenFailureKind::TimedOut);
    EXPECT_EQ(SocketFailureKind(11001), OpenFailureKind::HostNotFound);
    EXPECT_EQ(SocketFailureKind(10065), OpenFailureKind::Unreachable);
    EXPECT_EQ(SocketFailureKind(10051), OpenFailureKind::Unreachable);
    EXPECT_EQ(SocketFailureKind(WSAECONNRESET), OpenFailureKind::Other);
}

TEST(Win32OpenFailure, SystemTextIsOneLineWithoutItsPeriod) {
    for (const int error : {int{ERROR_FILE_NOT_FOUND}, int{ERROR_ACCESS_DENIED}, 10061, 11001}) {
        const std::string text = SystemErrorText(error);
        SCOPED_TRACE(error);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
        EXPECT_NE(text.back(), '.') << text;
        EXPECT_NE(text.back(), ' ') << text;
    }
    EXPECT_EQ(SystemErrorText(0), "");
    EXPECT_EQ(ResolverErrorText(11001), SystemErrorText(11001));
}

}  // namespace
