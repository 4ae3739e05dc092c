#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <thread>

#include "tests/support/WizardFakes.h"
#include "tests/unit/TempDirectory.h"
#include "uecp/ResultCodes.h"
#include "update/CZelkorTools.h"
#include "update/ProcedureWaits.h"
#include "update/StringManager.h"
#include "update/UpdateCodes.h"
#include "wizard/WizardSheetLogic.h"

namespace {

constexpr TextColour kBlack = TextColour::Black;
constexpr TextColour kRed = TextColour::Red;
constexpr TextColour kGrey = TextColour::Grey;
const char* const kUnchanged = nullptr;  // the text stays as the page had it

std::string ReadFile(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A sheet without a window over the fakes; the log goes into a folder of its own.
struct Sheet {
    Sheet() : logic(view, settings, Language::English) {
        CZelkorTools::GetInstance().Initialize(0);
        StringManager::GetInstance().LoadFromResource(135);
        logic.Procedure().SetLogPath(folder.Path() + "TarvelinLog.txt");
        logic.SetClock([this] { return now; });
    }
    void Tcp(const std::string& biosVersion, uint16_t mainPort = 0) {
        ConnectionChoice choice;
        choice.connectionType = kConnectionTypeTcp;
        choice.tcpAddress = "127.0.0.1";
        choice.tcpPort = 4001;
        logic.Procedure().SetConnectionChoice(choice);
        logic.Procedure().m_biosVersion = biosVersion;
        logic.Procedure().m_mainPort = mainPort;
    }
    void Serial(uint16_t port, int baudRate) {
        ConnectionChoice choice;
        choice.serialPort = port;
        logic.Procedure().SetConnectionChoice(choice);
        logic.Procedure().m_baudRate = baudRate;
    }
    void Files(bool samples) {
        FirmwareFileSet files;
        files.coderFile = folder.Path() + "Coder_V02_16.img";
        files.dspFile = folder.Path() + "Dsp_V01_05.dsp";
        files.samplesFile = samples ? folder.Path() + "Samples_V01_02.smp" : "";
        files.versionToFlash = "2.16 (Coder_V02_16.img)";
        logic.Procedure().SetFirmwareFiles(files);
    }
    // Shows a page whose worker fails at once (a closed loopback port) and handles its
    // messages; false when none reported within the bound.
    bool RunPage(WizardPage page) {
        ConnectPageLogic& connect = logic.Connect();
        connect.connectionType = kConnectionTypeTcp;
        connect.tcpAddress = "127.0.0.1";
        connect.tcpPort = 1;
        logic.OnPageShown(page);
        return RunUntilWorkerEnds();
    }
    // The worker counts as running until its last message was handled.
    bool RunUntilWorkerEnds() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < end) {
            view.RunPosted();
            if (!logic.Procedure().IsWorkerRunning()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    TempDirectory folder;
    FakeWizardView view;
    MemorySettingsStore settings;
    int64_t now = 1000;
    WizardSheetLogic logic;
};

struct Expected {
    const char* text;  // kUnchanged: as before
    TextColour colour;
};

// One row per outcome of the identification and case of the version checks.
struct IdentifiedCase {
    const char* name;
    int32_t outcome;
    bool tcp;
    const char* biosVersion;
    uint16_t mainPort;
    Expected status;
    Expected detail;
    bool versions;
    Expected hint;
    bool next;
};

void PrintTo(const IdentifiedCase& c, std::ostream* out) {
    *out << c.name;
}

class Identified : public testing::TestWithParam<IdentifiedCase> {};

TEST_P(Identified, PageTextsColoursAndButtons) {
    const IdentifiedCase& c = GetParam();
    Sheet sheet;
    sheet.Files(false);
    if (c.tcp) {
        sheet.Tcp(c.biosVersion, c.mainPort);
    } else {
        sheet.Serial(3, 19200);
    }
    sheet.logic.Procedure().m_currentVersion = "2.15";
    const InfoPageState before = sheet.logic.State().info;
    const int renders = sheet.view.renders;
    sheet.logic.Dispatch(WM_UPD_IDENTIFIED, c.outcome, 0);

    const InfoPageState& info = sheet.logic.State().info;
    EXPECT_EQ(info.status.text, c.status.text ? c.status.text : before.status.text);
    EXPECT_EQ(info.status.colour, c.status.colour);
    EXPECT_EQ(info.status.bold, c.status.colour == kRed);
    EXPECT_EQ(info.detail.text, c.detail.text ? c.detail.text : before.detail.text);
    EXPECT_EQ(info.detail.colour, c.detail.colour);
    EXPECT_EQ(info.detail.bold, c.detail.colour == kRed);
    EXPECT_TRUE(info.detail.visible);
    EXPECT_EQ(info.versionLabels, c.versions);
    EXPECT_EQ(info.currentVersion.visible, c.versions);
    EXPECT_EQ(info.versionToFlash.visible, c.versions);
    if (c.versions) {
        EXPECT_EQ(info.currentVersion.text, "2.15");
        EXPECT_EQ(info.versionToFlash.text, "2.16 (Coder_V02_16.img)");
    }
    EXPECT_EQ(info.hint.visible, c.versions || c.hint.text != kUnchanged);
    EXPECT_EQ(info.hint.text, c.hint.text ? c.hint.text : before.hint.text);
    EXPECT_EQ(info.hint.colour, c.hint.colour);
    const ButtonsState& buttons = sheet.logic.State().buttons;
    EXPECT_TRUE(buttons.back);
    EXPECT_EQ(buttons.next, c.next);
    EXPECT_TRUE(buttons.cancel);
    EXPECT_FALSE(buttons.endButtons);
    EXPECT_GT(sheet.view.renders, renders);
}

const char kTcpStatus[] = "Connection to Coder (127.0.0.1:4001) established.";
const char kBiosTooOld[] = "BIOS version of the encoder is 2.05.\nUpdate via TCP/IP not possible!";

INSTANTIATE_TEST_SUITE_P(
    EveryOutcome, Identified,
    testing::Values(
        IdentifiedCase{"NoBaudRate",
                       UPD_NO_BAUD_RATE,
                       false,
                       "",
                       0,
                       {"Could not connect to Coder!", kRed},
                       {"Could not detect baud rate.", kBlack},
                       false,
                       {kUnchanged, kBlack},
                       false},
        IdentifiedCase{"ConnectFailed",
                       UPD_CONNECT_FAILED,
                       true,
                       "",
                       0,
                       {"Could not connect to Coder!", kRed},
                       {kUnchanged, kBlack},
                       false,
                       {kUnchanged, kBlack},
                       false},
        IdentifiedCase{"SerialFirmware",
                       UPD_SERIAL_FIRMWARE,
                       false,
                       "",
                       0,
                       {"Established connection to Coder via COM3.", kBlack},
                       {"Baud rate: 19200", kBlack},
                       true,
                       {kUnchanged, kBlack},
                       true},
        IdentifiedCase{"TcpBiosUnknown",
                       UPD_TCP_FIRMWARE,
                       true,
                       "???",
                       0,
                       {kTcpStatus, kBlack},
                       {"Unable to determine BIOS version of the encoder.\nUpdate via TCP/IP may "
                        "be impossible.\nProceed at your own risk!",
                        kRed},
                       true,
                       {kUnchanged, kBlack},
                       true},
        IdentifiedCase{"TcpBiosTooOld",
                       UPD_TCP_FIRMWARE,
                       true,
                       "2.05",
                       0,
                       {kTcpStatus, kBlack},
                       {kBiosTooOld, kRed},
                       false,
                       {kUnchanged, kBlack},
                       false},
        IdentifiedCase{"TcpNotMainPort",
                       UPD_TCP_FIRMWARE,
                       true,
                       "2.10",
                       4002,
                       {kTcpStatus, kBlack},
                       {"The port you are using does not appear to be the main port, but updates "
                        "can only be done via the main port.\nProceed at your own risk!",
                        kRed},
                       true,
                       {kUnchanged, kBlack},
                       true},
        IdentifiedCase{"TcpFirmware",
                       UPD_TCP_FIRMWARE,
                       true,
                       "2.10",
                       4001,
                       {kTcpStatus, kBlack},
                       {kUnchanged, kBlack},
                       true,
                       {kUnchanged, kBlack},
                       true},
        IdentifiedCase{"SerialBios",
                       UPD_SERIAL_BIOS,
                       false,
                       "",
                       0,
                       {"The Coder is running the Bios!", kBlack},
                       {"You can restart the update operation by pressing \"Next >\".", kBlack},
                       false,
                       {kUnchanged, kBlack},
                       true},
        IdentifiedCase{"TcpBios",
                       UPD_TCP_BIOS,
                       true,
                       "2.10",
                       0,
                       {"The Coder is running the Bios!", kBlack},
                       {"You can restart the update operation by pressing \"Next >\".", kBlack},
                       false,
                       {kUnchanged, kBlack},
                       true},
        IdentifiedCase{"TcpBiosRunningTooOld",
                       UPD_TCP_BIOS,
                       true,
                       "2.05",
                       0,
                       {"The Coder is running the Bios!", kBlack},
                       {kBiosTooOld, kRed},
                       false,
                       {kUnchanged, kBlack},
                       false},
        IdentifiedCase{"NetPcTooOld",
                       UPD_NETPC_TOO_OLD,
                       true,
                       "???",
                       0,
                       {kTcpStatus, kBlack},
                       {"The NetPC firmware needs to be updated to a version > 4.0 first, before "
                        "it's possible to update the encoder firmware via TCP/IP.",
                        kRed},
                       false,
                       {"ATTENTION: Unable to determine BIOS version of the encoder.\nUpdate via "
                        "TCP/IP may be impossible at all.\n(Required: BIOS version 2.10)",
                        kRed},
                       false},
        IdentifiedCase{"Unknown",
                       UPD_ERASE_FAILED,
                       true,
                       "2.10",
                       0,
                       {kUnchanged, kBlack},
                       {kUnchanged, kBlack},
                       false,
                       {kUnchanged, kBlack},
                       false}),
    [](const testing::TestParamInfo<IdentifiedCase>& info) { return info.param.name; });

// One row per result of the flash sequence: texts, the log's place and the end state.
struct FinishedCase {
    const char* name;
    int32_t result;
    int32_t lastBlock;
    bool logWritable;
    Expected status;
    const char* detail;  // nullptr: none shown
    bool showLog;
    bool noLog;
};

void PrintTo(const FinishedCase& c, std::ostream* out) {
    *out << c.name;
}

class Finished : public testing::TestWithParam<FinishedCase> {};

TEST_P(Finished, TextsLogButtonAndEndButtons) {
    const FinishedCase& c = GetParam();
    Sheet sheet;
    if (!c.logWritable) {
        sheet.logic.Procedure().SetLogPath(sheet.folder.Path() + "no-such-folder/Log.txt");
    }
    ASSERT_EQ(sheet.logic.Procedure().OpenLogFile(), c.logWritable);
    sheet.logic.Procedure().m_currentVersion = "2.16";
    sheet.logic.Dispatch(WM_UPD_FINISHED, c.result, c.lastBlock);

    const UpdatePageState& page = sheet.logic.State().update;
    EXPECT_EQ(page.status.text, c.status.text);
    EXPECT_EQ(page.status.colour, c.status.colour);
    EXPECT_EQ(page.status.bold, c.status.colour == kRed);
    EXPECT_EQ(page.detail.visible, c.detail != nullptr);
    if (c.detail != nullptr) {
        EXPECT_EQ(page.detail.text, c.detail);
        // What the failure left on the coder, in the busy line's place.
        EXPECT_TRUE(page.failureNote.visible);
        EXPECT_FALSE(page.failureNote.text.empty());
    }
    EXPECT_EQ(page.showLogButton, c.showLog);
    EXPECT_EQ(page.noLogNote, c.noLog);
    EXPECT_EQ(page.newVersion.visible, c.result == UPD_OK);
    EXPECT_EQ(page.newVersionLabel, c.result == UPD_OK);
    if (c.result == UPD_OK) {
        EXPECT_EQ(page.newVersion.text, "2.16");
    }
    EXPECT_FALSE(page.closeNote.visible);
    EXPECT_FALSE(page.wait.active);
    // "<< Start" where Next was, Finish where Cancel was.
    const ButtonsState& buttons = sheet.logic.State().buttons;
    EXPECT_TRUE(buttons.endButtons);
    EXPECT_TRUE(buttons.back);
    EXPECT_TRUE(buttons.finish);
    EXPECT_EQ(buttons.endBackCaption, "<< Start");
}

INSTANTIATE_TEST_SUITE_P(
    EveryResult, Finished,
    testing::Values(FinishedCase{"Success",
                                 UPD_OK,
                                 0,
                                 true,
                                 {"Update operation successfully finished.", kBlack},
                                 nullptr,
                                 false,
                                 false},
                    FinishedCase{"CoderVerifyFailed",
                                 UPD_CODER_FLASH_FAILED,
                                 ERR_NACK_17,
                                 true,
                                 {"Update operation failed!", kRed},
                                 "Error while flashing the Coder firmware.\nVerify failed.",
                                 true,
                                 false},
                    FinishedCase{"SamplesBit6",
                                 UPD_SAMPLES_FLASH_FAILED,
                                 ERR_NACK_15,
                                 true,
                                 {"Update operation failed!", kRed},
                                 "Error while flashing the DSP samples.\nBit6 toggles.",
                                 true,
                                 false},
                    FinishedCase{"DspBit7",
                                 UPD_DSP_FLASH_FAILED,
                                 ERR_NACK_16,
                                 true,
                                 {"Update operation failed!", kRed},
                                 "Error while flashing the DSP firmware.\nBit 7 still inverted.",
                                 true,
                                 false},
                    FinishedCase{"EraseWithoutLog",
                                 UPD_ERASE_FAILED,
                                 0,
                                 false,
                                 {"Update operation failed!", kRed},
                                 "Error while erasing the flash.",
                                 false,
                                 true}),
    [](const testing::TestParamInfo<FinishedCase>& info) { return info.param.name; });

TEST(WizardSheetLogic, SuccessIsLogged) {
    Sheet sheet;
    ASSERT_TRUE(sheet.logic.Procedure().OpenLogFile());
    sheet.logic.Procedure().m_currentVersion = "2.16";
    sheet.logic.Dispatch(WM_UPD_FINISHED, UPD_OK, 0);
    sheet.logic.Procedure().m_log.Close();
    const std::string log = ReadFile(sheet.folder.Path() + "TarvelinLog.txt");
    EXPECT_NE(log.find("Update finished successfully.\r\nNew firmware version:  2.16\r\n"),
              std::string::npos)
        << log;
}

// The stages come and go as the flash sequence reports them; without samples the DSP
// firmware is stage 2.
TEST(WizardSheetLogic, StagesAndProgress) {
    for (const bool samples : {true, false}) {
        Sheet sheet;
        sheet.Files(samples);
        const UpdatePageState& page = sheet.logic.State().update;
        sheet.logic.Dispatch(WM_UPD_STAGE, 1, 0);
        EXPECT_TRUE(page.stages[0].visible);
        EXPECT_TRUE(page.stages[1].visible);
        EXPECT_EQ(page.stages[2].visible, samples);
        EXPECT_TRUE(page.progress.visible);
        sheet.logic.Dispatch(WM_UPD_PROGRESS_RANGE, 0, 2);
        for (int step = 0; step < 3; ++step) {
            sheet.logic.Dispatch(WM_UPD_PROGRESS_STEP, 0, 0);
        }
        EXPECT_EQ(page.progress.value, 2);  // never past the end
        sheet.logic.Dispatch(WM_UPD_PROGRESS_RANGE, 5, 9);
        EXPECT_EQ(page.progress.minimum, 5);
        EXPECT_EQ(page.progress.maximum, 9);
        EXPECT_EQ(page.progress.value, 5);
        sheet.logic.Dispatch(WM_UPD_STAGE, 2, 0);
        EXPECT_EQ(page.stages[0].colour, kGrey);
        EXPECT_EQ(page.stages[1].colour, kBlack);
        sheet.logic.Dispatch(WM_UPD_STAGE, 3, 0);
        EXPECT_EQ(page.stages[1].colour, kGrey);
        EXPECT_EQ(page.stages[2].colour, kBlack);
        sheet.logic.Dispatch(WM_UPD_STATUS, 217, 0);
        EXPECT_EQ(page.status.text, "Finalize flash programming and restart the Coder...");
        sheet.logic.Dispatch(WM_UPD_STAGE, 4, 0);
        for (const StyledText& stage : page.stages) {
            EXPECT_FALSE(stage.visible);
        }
        EXPECT_FALSE(page.progress.visible);
    }
}

// While a worker runs the wizard stays open and the page says why; its report ends that. The
// Update page's start also shows which stage 2 is and resets what an earlier run left.
TEST(WizardSheetLogic, CloseIsRefusedWhileAWorkerRuns) {
    struct Case {
        WizardPage page;
        const char* note;
    };
    for (const Case& c :
         {Case{WizardPage::Info,
               "The wizard is talking to the Coder; it can be closed as soon as the connection "
               "attempt has ended."},
          Case{WizardPage::Update,
               "The Coder is being updated; closing now would leave it in its BIOS."}}) {
        Sheet sheet;
        sheet.Files(false);
        EXPECT_TRUE(sheet.logic.OnCloseRequested());
        ConnectPageLogic& connect = sheet.logic.Connect();
        connect.connectionType = kConnectionTypeTcp;
        connect.tcpAddress = "127.0.0.1";
        connect.tcpPort = 1;  // nothing listens there
        sheet.logic.OnPageShown(c.page);
        const WizardState& state = sheet.logic.State();
        const StyledText& note =
            c.page == WizardPage::Info ? state.info.closeNote : state.update.closeNote;
        EXPECT_FALSE(state.buttons.back || state.buttons.next || state.buttons.cancel);
        if (c.page == WizardPage::Info) {
            EXPECT_EQ(state.info.status.text, "Connecting to Coder...");
        } else {
            EXPECT_EQ(state.update.status.text, "Starting firmware update...");
            EXPECT_EQ(state.update.stages[1].text, "2. DSP firmware");
            EXPECT_FALSE(state.update.stages[0].visible);
        }
        // Running until its last message is handled, however soon it failed.
        ASSERT_TRUE(sheet.logic.Procedure().IsWorkerRunning());
        EXPECT_FALSE(sheet.logic.OnCloseRequested());
        EXPECT_TRUE(note.visible);
        EXPECT_EQ(note.text, c.note);
        ASSERT_TRUE(sheet.RunUntilWorkerEnds()) << "no report within 30 s";
        EXPECT_FALSE(note.visible);
        EXPECT_TRUE(state.buttons.back);
        EXPECT_TRUE(sheet.logic.OnCloseRequested());
    }
}

// A refused connection says why under "Could not connect to Coder!"; the warning an earlier
// visit left where the instruction belongs is gone.
TEST(WizardSheetLogic, RefusedConnectionShowsTheReasons) {
    Sheet sheet;
    sheet.Tcp("???");
    sheet.logic.Dispatch(WM_UPD_IDENTIFIED, UPD_NETPC_TOO_OLD, 0);
    const InfoPageState& info = sheet.logic.State().info;
    ASSERT_EQ(info.hint.colour, kRed);
    ASSERT_TRUE(sheet.RunPage(WizardPage::Info)) << "no identification within 30 s";
    EXPECT_EQ(info.hint.text.rfind("Press \"Next >\"", 0), 0u) << info.hint.text;
    EXPECT_EQ(info.hint.colour, kBlack);
    EXPECT_FALSE(info.hint.bold);
    EXPECT_EQ(info.status.text, "Could not connect to Coder!");
    EXPECT_EQ(info.status.colour, kRed);
    EXPECT_NE(info.detail.text.find("127.0.0.1:1"), std::string::npos) << info.detail.text;
    EXPECT_TRUE(info.detail.visible);
    EXPECT_FALSE(sheet.logic.State().buttons.next);
}

// The busy line counts the longest wait down; a wait ends with WAIT_NONE or the report, and
// a wait on the Connect page is nobody's. "<< Start" then leads back.
TEST(WizardSheetLogic, WaitsCountDown) {
    Sheet sheet;
    sheet.logic.Dispatch(WM_UPD_WAIT, WAIT_RESTART, 5000);
    EXPECT_FALSE(sheet.logic.State().info.wait.active);
    EXPECT_FALSE(sheet.logic.State().update.wait.active);

    ASSERT_TRUE(sheet.RunPage(WizardPage::Update)) << "no end of the update within 30 s";
    const WaitLineState& wait = sheet.logic.State().update.wait;
    sheet.logic.Dispatch(WM_UPD_WAIT, WAIT_RESTART, 5000);
    EXPECT_TRUE(wait.active);
    EXPECT_EQ(wait.text, WaitText(WAIT_RESTART, Language::English, 5));
    sheet.now += 1200;
    sheet.logic.OnWaitTick();
    EXPECT_EQ(wait.text, WaitText(WAIT_RESTART, Language::English, 4));
    sheet.now += 9000;
    sheet.logic.OnWaitTick();
    EXPECT_EQ(wait.text, WaitText(WAIT_RESTART, Language::English, 0));
    sheet.logic.Dispatch(WM_UPD_WAIT, WAIT_ERASE, -5);
    EXPECT_EQ(wait.maxMs, 0);
    sheet.logic.Dispatch(WM_UPD_WAIT, WAIT_NONE, 0);
    EXPECT_FALSE(wait.active);
    sheet.logic.Dispatch(WM_UPD_WAIT, WAIT_BIOS_READY, 3000);
    sheet.logic.Dispatch(WM_UPD_FINISHED, UPD_CONNECT_FAILED, 0);
    EXPECT_FALSE(wait.active);

    // "<< Start": the normal buttons again, and the Connect page as on the first showing.
    const ButtonsState& buttons = sheet.logic.State().buttons;
    EXPECT_EQ(sheet.logic.OnBackPressed(), WizardSheetLogic::BackAction::Restart);
    EXPECT_FALSE(buttons.endButtons);
    sheet.logic.OnPageShown(WizardPage::Connect);
    EXPECT_FALSE(buttons.back || buttons.next);
    EXPECT_TRUE(buttons.cancel);
    EXPECT_EQ(sheet.logic.OnBackPressed(), WizardSheetLogic::BackAction::PreviousPage);
}

// The firmware folder: the start argument, else beside the program, else the user's choice,
// remembered; Cancel there, or a folder without a coder firmware, is box 207 and the end.
TEST(WizardSheetLogic, FirmwareFolderIsAskedForAndRemembered) {
    TempDirectory firmware;
    firmware.WriteFile("Coder_V02_16.img", 128);
    firmware.WriteFile("Dsp_V01_05.dsp", 64);
    {
        Sheet sheet;
        sheet.settings.strings[kFirmwareFolderValue] = "/srv/last";
        sheet.view.chosenFolder = firmware.Path() + ".";
        sheet.logic.OnKickIdle(false);
        EXPECT_EQ(sheet.view.chooserAsked, 0);  // not before the window shows
        sheet.logic.OnKickIdle(true);
        EXPECT_EQ(sheet.view.chooserAsked, 1);
        EXPECT_EQ(sheet.view.chooserTitle, "Choose the folder with the firmware files");
        EXPECT_EQ(sheet.view.chooserStart, "/srv/last");
        EXPECT_EQ(sheet.settings.strings[kFirmwareFolderValue], firmware.Path() + ".");
        EXPECT_EQ(sheet.logic.Procedure().m_coderFile, firmware.Path() + "Coder_V02_16.img");
        EXPECT_FALSE(sheet.view.ended);
        sheet.logic.OnKickIdle(true);
        EXPECT_EQ(sheet.view.chooserAsked, 1);  // once per run
    }
    {
        Sheet sheet;
        sheet.logic.SetStartFolder(firmware.Path());
        sheet.logic.OnKickIdle(true);
        EXPECT_EQ(sheet.view.chooserAsked, 0);
        EXPECT_EQ(sheet.logic.Procedure().m_dspFile, firmware.Path() + "Dsp_V01_05.dsp");
        EXPECT_TRUE(sheet.settings.writes.empty());  // an argument is not a choice
    }
    for (const bool emptyFolder : {false, true}) {
        TempDirectory empty;
        Sheet sheet;  // the chooser is cancelled, or the folder given holds no coder firmware
        if (emptyFolder) {
            sheet.logic.SetStartFolder(empty.Path());
        }
        sheet.logic.OnKickIdle(true);
        EXPECT_EQ(sheet.view.chooserAsked, emptyFolder ? 0 : 1);
        ASSERT_EQ(sheet.view.boxes.size(), 1u);
        EXPECT_EQ(sheet.view.boxes[0].icon, WizardView::Icon::Critical);
        EXPECT_EQ(sheet.view.boxes[0].text, "Cannot find the file with the Coder firmware!");
        EXPECT_TRUE(sheet.view.ended);
    }
    {
        TempDirectory coderOnly;
        coderOnly.WriteFile("Coder_V02_16.img", 64);
        Sheet sheet;  // no DSP firmware, and Cancel in box 208
        sheet.view.boxAnswer = WizardView::Answer::Cancel;
        sheet.logic.SetStartFolder(coderOnly.Path());
        sheet.logic.OnKickIdle(true);
        ASSERT_EQ(sheet.view.boxes.size(), 1u);
        EXPECT_EQ(sheet.view.boxes[0].icon, WizardView::Icon::Question);
        EXPECT_EQ(sheet.view.boxes[0].buttons, WizardView::Buttons::OkCancel);
        EXPECT_TRUE(sheet.view.ended);
    }
}

// On the Connect page Next follows the choice at every idle moment; Back stays off.
TEST(WizardSheetLogic, ConnectPageNextAtIdle) {
    TempDirectory firmware;
    firmware.WriteFile("Coder_V02_16.img", 64);
    firmware.WriteFile("Dsp_V01_05.dsp", 64);
    Sheet sheet;
    sheet.logic.SetStartFolder(firmware.Path());
    sheet.logic.OnPageShown(WizardPage::Connect);
    EXPECT_GT(sheet.view.idleRequests, 0);
    const ButtonsState& buttons = sheet.logic.State().buttons;
    EXPECT_FALSE(buttons.next);
    sheet.logic.Connect().OnTcpClicked(true);
    sheet.logic.Connect().OnAddressEdited("127.0.0.1");
    sheet.logic.Connect().OnPortEdited("4001");
    sheet.logic.OnKickIdle(true);
    EXPECT_TRUE(buttons.next);
    EXPECT_FALSE(buttons.back);
    EXPECT_TRUE(buttons.cancel);
    sheet.logic.Connect().OnPortEdited("0");
    sheet.logic.OnKickIdle(true);
    EXPECT_FALSE(buttons.next);
}

// The log in the desktop's viewer, else in the wizard's own window; nothing without a log.
TEST(WizardSheetLogic, ShowLogFile) {
    Sheet sheet;
    const std::string path = sheet.logic.Procedure().LogPath();
    sheet.logic.ShowLogFile();
    EXPECT_EQ(sheet.view.opened, std::vector<std::string>{path});
    EXPECT_TRUE(sheet.view.logWindow.empty());
    sheet.view.desktopOpens = false;
    sheet.logic.ShowLogFile();
    EXPECT_EQ(sheet.view.logWindow, std::vector<std::string>{path});

    sheet.logic.Procedure().SetLogPath(sheet.folder.Path() + "no-such-folder/Log.txt");
    ASSERT_FALSE(sheet.logic.Procedure().OpenLogFile());
    sheet.logic.ShowLogFile();
    EXPECT_EQ(sheet.view.opened.size(), 2u);
    EXPECT_EQ(sheet.view.logWindow.size(), 1u);
}

}  // namespace
