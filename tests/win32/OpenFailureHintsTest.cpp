// The words of a refused COM port on Windows: named by its number, pointing to the Device
// Manager, and never to a Linux command, in both languages.
#include <windows.h>

#include <gtest/gtest.h>

#include "transport/OpenFailure.h"
#include "transport/SerialPorts.h"
#include "update/OpenFailureTexts.h"

namespace {

struct Case {
    OpenFailureKind kind;
    DWORD error;
    const char* reason;  // English; the German one differs and names the port too
    const char* hintHolds;
    const char* germanHintHolds;
};

class Win32OpenFailureHint : public testing::TestWithParam<Case> {};

TEST_P(Win32OpenFailureHint, NamesThePortByNumberAndWindowsTools) {
    const Case& c = GetParam();
    OpenFailure failure;
    failure.kind = c.kind;
    failure.systemError = static_cast<int>(c.error);
    failure.comPort = 5;
    failure.target = ResolveComPort(5);
    ASSERT_EQ(DeviceFailureKind(failure.systemError), c.kind);
    EXPECT_EQ(OpenFailureReason(failure, Language::English), c.reason);
    const std::string german = OpenFailureReason(failure, Language::German);
    EXPECT_NE(german, c.reason);
    EXPECT_NE(german.find("COM5"), std::string::npos) << german;

    const std::string english = OpenFailureHint(failure, Language::English);
    const std::string deutsch = OpenFailureHint(failure, Language::German);
    EXPECT_NE(english.find(c.hintHolds), std::string::npos) << english;
    EXPECT_NE(deutsch.find(c.germanHintHolds), std::string::npos) << deutsch;
    for (const std::string* text : {&english, &deutsch}) {
        for (const char* linux : {"usermod", "ln -s", "/dev/", "udev", "dialout", "$USER"}) {
            EXPECT_EQ(text->find(linux), std::string::npos) << *text;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Win32OpenFailureHint,
    testing::Values(Case{OpenFailureKind::NoDevice, ERROR_FILE_NOT_FOUND,
                         "There is no serial port COM5.", "Device Manager", "Geräte-Manager"},
                    // Windows refuses a held port as access denied and does not say who holds it.
                    Case{OpenFailureKind::Busy, ERROR_ACCESS_DENIED,
                         "COM5 is in use by another program.",
                         "Close the program that uses the port", "Das Programm beenden"},
                    Case{OpenFailureKind::NotTerminal, ERROR_INVALID_FUNCTION,
                         "COM5 is not a serial port.", "\"Ports (COM & LPT)\"",
                         "\"Anschlüsse (COM & LPT)\""}));

TEST(Win32OpenFailureHint, APathOtherThanTheComNameIsShownBesideIt) {
    OpenFailure failure;
    failure.kind = OpenFailureKind::NotTerminal;
    failure.comPort = 7;
    failure.target = "\\\\.\\CNCA0";
    EXPECT_EQ(OpenFailureReason(failure, Language::English),
              "COM7 (\\\\.\\CNCA0) is not a serial port.");
    failure.comPort = 0;
    EXPECT_EQ(OpenFailureReason(failure, Language::English), "\\\\.\\CNCA0 is not a serial port.");
    failure.kind = OpenFailureKind::Permission;
    EXPECT_NE(OpenFailureHint(failure, Language::German).find("Administrator"), std::string::npos);
}

}  // namespace
