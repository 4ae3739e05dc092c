#include <netdb.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "transport/OpenFailure.h"
#include "transport/SerialPorts.h"
#include "update/OpenFailureTexts.h"
#include "update/ProcedureWaits.h"

namespace {

OpenFailure Failure(OpenFailureKind kind, const std::string& target, int error = 0) {
    OpenFailure failure;
    failure.kind = kind;
    failure.target = target;
    failure.systemError = error;
    return failure;
}

TEST(OpenFailure, ErrnoMapsToTheKindAUserCanActOn) {
    EXPECT_EQ(DeviceFailureKind(ENOENT), OpenFailureKind::NoDevice);
    EXPECT_EQ(DeviceFailureKind(EACCES), OpenFailureKind::Permission);
    EXPECT_EQ(DeviceFailureKind(EWOULDBLOCK), OpenFailureKind::Busy);
    EXPECT_EQ(DeviceFailureKind(EBUSY), OpenFailureKind::Busy);
    EXPECT_EQ(DeviceFailureKind(ENOTTY), OpenFailureKind::NotTerminal);
    EXPECT_EQ(DeviceFailureKind(EIO), OpenFailureKind::Other);
    EXPECT_EQ(SocketFailureKind(ECONNREFUSED), OpenFailureKind::Refused);
    EXPECT_EQ(SocketFailureKind(EHOSTUNREACH), OpenFailureKind::Unreachable);
    EXPECT_EQ(SocketFailureKind(ETIMEDOUT), OpenFailureKind::TimedOut);
}

TEST(OpenFailure, EveryKindHasAReasonAndAHintInBothLanguages) {
    for (const Language language : {Language::English, Language::German}) {
        EXPECT_EQ(OpenFailureReason(OpenFailure{}, language), "");
        EXPECT_EQ(OpenFailureHint(OpenFailure{}, language), "");
        for (const OpenFailureKind kind :
             {OpenFailureKind::NoDevice, OpenFailureKind::Permission, OpenFailureKind::Busy,
              OpenFailureKind::NotTerminal, OpenFailureKind::Refused, OpenFailureKind::TimedOut,
              OpenFailureKind::Unreachable}) {
            const OpenFailure failure = Failure(kind, "/dev/ttyUSB3");
            SCOPED_TRACE(static_cast<int>(kind));
            EXPECT_NE(OpenFailureReason(failure, language).find("/dev/ttyUSB3"), std::string::npos);
            EXPECT_FALSE(OpenFailureHint(failure, language).empty());
        }
    }
    const OpenFailure host =
        Failure(OpenFailureKind::HostNotFound, "coder.invalid:4001", EAI_NONAME);
    EXPECT_EQ(OpenFailureReason(host, Language::English), "The host coder.invalid was not found.");
    const OpenFailure other = Failure(OpenFailureKind::Other, "/dev/ttyS0", EIO);
    EXPECT_NE(OpenFailureReason(other, Language::English).find("Input/output error"),
              std::string::npos);
}

TEST(OpenFailure, HintsNameTheGroupAndTheHolder) {
    OpenFailure denied = Failure(OpenFailureKind::Permission, "/dev/ttyACM0", EACCES);
    denied.deviceGroup = "uucp";
    EXPECT_EQ(OpenFailureHint(denied, Language::English),
              "Add your user to the group uucp: sudo usermod -aG uucp $USER, then log in again.");

    OpenFailure busy = Failure(OpenFailureKind::Busy, "/dev/ttyACM0", EBUSY);
    busy.holderName = "ModemManager";
    busy.holderPid = 812;
    EXPECT_EQ(OpenFailureReason(busy, Language::English),
              "/dev/ttyACM0 is in use by ModemManager (pid 812).");
    EXPECT_NE(OpenFailureHint(busy, Language::German).find("ENV{ID_MM_DEVICE_IGNORE}=\"1\""),
              std::string::npos);
    busy.holderName = "minicom";
    EXPECT_EQ(OpenFailureHint(busy, Language::English), "Close the other program, then try again.");
}

OpenFailure ComFailure(OpenFailureKind kind, int comPort, const std::string& device, int error) {
    OpenFailure failure = Failure(kind, device, error);
    failure.comPort = comPort;
    return failure;
}

// A port chosen by number is named by it, with the device it stands for or none.
TEST(OpenFailure, AComNumberIsNamedWithItsDevice) {
    struct Case {
        OpenFailure failure;
        const char* english;
    };
    const Case cases[] = {
        {ComFailure(OpenFailureKind::NoDevice, 5, "/dev/ttyUSB0", ENOENT),
         "COM5 stands for /dev/ttyUSB0, which does not exist."},
        {ComFailure(OpenFailureKind::NoDevice, 99, "", ENOENT),
         "COM99 stands for no device: only COM1 to COM31 have one without a link."},
        {ComFailure(OpenFailureKind::Permission, 1, "/dev/ttyS0", EACCES),
         "No permission to open COM1 (/dev/ttyS0)."},
        {ComFailure(OpenFailureKind::NotTerminal, 2, "/dev/null", ENOTTY),
         "COM2 (/dev/null) is not a serial port."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OpenFailureReason(c.failure, Language::English), c.english);
        const std::string german = OpenFailureReason(c.failure, Language::German);
        EXPECT_NE(german, c.english);
        EXPECT_NE(german.find("COM" + std::to_string(c.failure.comPort)), std::string::npos);
    }
    // Without a device there is nothing to check at the cable: choose a port or make a link.
    const OpenFailure none = cases[1].failure;
    for (const Language language : {Language::English, Language::German}) {
        const std::string hint = OpenFailureHint(none, language);
        EXPECT_NE(hint.find("ln -s /dev/ttyUSB0 " + PortsFolder() + "COM99"), std::string::npos)
            << hint;
        EXPECT_NE(hint.find("tarvelin-cli list-ports"), std::string::npos) << hint;
    }
}

TEST(OpenFailure, NoteOnUnusablePortsCountsThemAndGivesEachHintOnce) {
    EXPECT_EQ(UnusablePortsNote({}, Language::English), "");
    OpenFailure first = ComFailure(OpenFailureKind::Permission, 1, "/dev/ttyS0", EACCES);
    first.deviceGroup = "dialout";
    EXPECT_EQ(UnusablePortsNote({first}, Language::English),
              "1 serial port is present but not usable:\n"
              "No permission to open COM1 (/dev/ttyS0).\n"
              "Add your user to the group dialout: sudo usermod -aG dialout $USER, then log in "
              "again.");
    OpenFailure second = first;
    second.comPort = 5;
    second.target = "/dev/ttyUSB0";
    OpenFailure held = ComFailure(OpenFailureKind::Busy, 21, "/dev/ttyACM0", EBUSY);
    held.holderName = "minicom";
    held.holderPid = 4711;
    EXPECT_EQ(UnusablePortsNote({first, second, held}, Language::English),
              "3 serial ports are present but not usable:\n"
              "No permission to open COM1 (/dev/ttyS0).\n"
              "No permission to open COM5 (/dev/ttyUSB0).\n"
              "COM21 (/dev/ttyACM0) is in use by minicom (pid 4711).\n"
              "Add your user to the group dialout: sudo usermod -aG dialout $USER, then log in "
              "again.\n"
              "Close the other program, then try again.");
    const std::string german = UnusablePortsNote({first, second}, Language::German);
    EXPECT_EQ(german.rfind("2 serielle Schnittstellen sind vorhanden, aber nicht nutzbar:\n", 0),
              0u)
        << german;
    EXPECT_NE(german.find(OpenFailureHint(first, Language::German)), std::string::npos);
    EXPECT_EQ(UnusablePortsNote({first}, Language::German)
                  .rfind("1 serielle Schnittstelle ist vorhanden, aber nicht nutzbar:\n", 0),
              0u);
}

TEST(ProcedureWaits, TextsCountTheSecondsLeft) {
    EXPECT_EQ(WaitText(WAIT_RESTART, Language::English, 5),
              "Waiting for the Coder to restart: 5 s");
    EXPECT_EQ(WaitText(WAIT_RESTART, Language::German, 5),
              "Warte auf den Neustart des Coders: 5 s");
    for (const int64_t kind : {WAIT_ERASE, WAIT_BIOS_READY, WAIT_RECONNECT, WAIT_BAUD_RATE}) {
        EXPECT_FALSE(WaitText(kind, Language::German, 1).empty()) << kind;
    }
    EXPECT_EQ(WaitText(WAIT_NONE, Language::English, 3), "");
    EXPECT_EQ(WaitText(WAIT_ERASE, Language::English, -2), "Erasing the flash memory: 0 s");
    EXPECT_EQ(WaitText(WAIT_ERASE, Language::English, 9, 2),
              "Erasing the flash memory, region 2: 9 s");
    EXPECT_EQ(WaitText(WAIT_ERASE, Language::German, 9, 0),
              "Flash-Speicher wird gelöscht, Bereich 0: 9 s");
    EXPECT_EQ(WaitText(WAIT_RESTART, Language::English, 5, 1),
              WaitText(WAIT_RESTART, Language::English, 5));
}

}  // namespace
