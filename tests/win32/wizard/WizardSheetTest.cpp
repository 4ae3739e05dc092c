// The Windows wizard in this process, driven through its property-sheet messages: the Connect
// page's rule for Next, a refused connection, and a whole update against tarvelin-sim over TCP
// and over a COM port (scripts/test-windows-wizard.sh starts the simulator and names it in
// TARVELIN_SIM_TCP_PORT or TARVELIN_SIM_COM, and compares the simulator's flash with the dump
// this test expects, TARVELIN_WIZARD_EXPECTED_DUMP).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "FirmwareFolder.h"
#include "SheetDriver.h"
#include "ui-win32/resource.h"
#include "update/LogLocation.h"
#include "update/OpenFailureTexts.h"
#include "update/ProcedureVerdicts.h"
#include "update/Settings.h"
#include "update/UpdateCodes.h"
#include "update/Utf8Path.h"
#include "wizard/GuidanceTexts.h"

namespace {

using Sheet = CUpdaterPropertySheet;
constexpr DWORD kPageMs = 5000;
constexpr DWORD kIdentifyMs = 30000;
constexpr DWORD kUpdateMs = 120000;

void ChooseTcp(Sheet& sheet, const std::string& host, const std::string& port) {
    CConnectPropertyPage& page = sheet.m_connectPage;
    SendMessageW(page.Item(IDC_TCP_RADIO), BM_CLICK, 0, 0);
    SetWindowTextUtf8(page.Item(IDC_ADDRESS_EDIT), host);
    SetWindowTextUtf8(page.Item(IDC_PORT_EDIT), port);
}

void ChooseSerial(Sheet& sheet, int com) {
    CConnectPropertyPage& page = sheet.m_connectPage;
    SendMessageW(page.Item(IDC_SERIAL_RADIO), BM_CLICK, 0, 0);
    const std::wstring name = L"COM" + std::to_wstring(com);
    HWND list = page.Item(IDC_COM_LIST);
    ASSERT_NE(SendMessageW(list, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(name.c_str())),
              CB_ERR)
        << "COM" << com << " is not in the list";
    // As the list tells its page when the user picks an entry.
    SendMessageW(page.Handle(), WM_COMMAND, MAKEWPARAM(IDC_COM_LIST, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

class WizardSheet : public ::testing::Test {
protected:
    void SetUp() override {
        // Every test starts as a first start: no connection choice stored.
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane\\tarvelin_wizard_tests");
        ASSERT_TRUE(folder.Valid());
        sheet = std::make_unique<Sheet>();
        sheet->Logic().SetDiscoveryQuestions(&answers);
        sheet->Logic().SetStartFolder(folder.Path());
        sheet->SetFileOpener([this](HWND, const std::string& path) {
            openedLogs.push_back(path);
            return shellOpens;
        });
        ASSERT_TRUE(sheet->Create());
        ASSERT_TRUE(Until(
            *sheet, [&] { return !sheet->Procedure().m_versionToFlash.empty(); }, kPageMs))
            << "the firmware files were not looked for at the first idle moment";
        language = sheet->WizardLanguage();
        const std::string expected = Environment("TARVELIN_EXPECT_LANGUAGE");
        if (!expected.empty()) {
            ASSERT_EQ(LanguageCode(language), expected) << "the wizard speaks another language";
        }
    }

    void PressNextWhenAllowed() {
        ASSERT_TRUE(Until(
            *sheet, [&] { return Enabled(*sheet, Sheet::kNext); }, kPageMs))
            << "Next stays disabled on page " << sheet->ActivePage();
        Press(*sheet, PSBTN_NEXT);
    }

    FirmwareFolder folder{8192, 2048, 3072};
    OkAnswers answers;
    std::vector<std::string> openedLogs;
    bool shellOpens = true;
    std::unique_ptr<Sheet> sheet;
    Language language = Language::English;
};

TEST_F(WizardSheet, IsTitledWithTheProgramsFileVersion) {
    EXPECT_EQ(TextOf(sheet->Handle()), LoadText(100, language) + " V" TARVELIN_PROJECT_VERSION);
}

TEST_F(WizardSheet, NextFollowsTheConnectFields) {
    struct Case {
        const char* host;
        const char* port;
        bool next;
        bool portHint;
    };
    const Case cases[] = {
        {"", "4001", false, false},         {"localhost", "", false, false},
        {"localhost", "0", false, false},   {"localhost", "70000", false, true},
        {"localhost", "4001", true, false}, {"localhost", "12ab", true, false},
    };
    for (const Case& c : cases) {
        ChooseTcp(*sheet, c.host, c.port);
        sheet->ProcessMessages(0);
        EXPECT_EQ(Enabled(*sheet, Sheet::kNext), c.next) << c.host << ":" << c.port;
        EXPECT_EQ(IsWindowVisible(sheet->m_connectPage.portHint.Handle()) != FALSE, c.portHint)
            << c.port;
        EXPECT_FALSE(Enabled(*sheet, Sheet::kBack));
        EXPECT_TRUE(Enabled(*sheet, Sheet::kCancel));
    }
    // Typed letters do not reach the port field; digits do.
    HWND port = sheet->m_connectPage.Item(IDC_PORT_EDIT);
    SetWindowTextUtf8(port, "");
    for (wchar_t typed : {L'4', L'x', L'0', L'-', L'1'}) {
        SendMessageW(port, WM_CHAR, typed, 0);
    }
    EXPECT_EQ(TextOf(port), "401");
}

TEST_F(WizardSheet, RefusedConnectionShowsItsReasonOnTheInfoPage) {
    ChooseTcp(*sheet, "127.0.0.1", std::to_string(ClosedLoopbackPort()));
    PressNextWhenAllowed();
    ASSERT_TRUE(Until(
        *sheet,
        [&] { return sheet->ActivePage() == Sheet::kInfoPage && Enabled(*sheet, Sheet::kBack); },
        kIdentifyMs))
        << "the identification did not report";
    CInfoPropertyPage& info = sheet->m_infoPage;
    EXPECT_EQ(info.status.Text(), LoadText(204, language));
    EXPECT_TRUE(ErrorStyle(info.status.Handle()));
    const OpenFailure& failure = sheet->Procedure().m_openFailure;
    ASSERT_TRUE(failure.failed());
    const std::string reason = OpenFailureReason(failure, language);
    ASSERT_FALSE(reason.empty());
    EXPECT_NE(info.detail.Text().find(reason), std::string::npos) << info.detail.Text();
    EXPECT_TRUE(IsWindowVisible(info.detail.Handle()));
    EXPECT_FALSE(IsWindowVisible(info.currentVersion.Handle()));
    EXPECT_FALSE(Enabled(*sheet, Sheet::kNext));
    EXPECT_TRUE(Enabled(*sheet, Sheet::kCancel));

    // Without a program for text files the log is shown in the wizard.
    shellOpens = false;
    sheet->Logic().ShowLogFile();
    ASSERT_EQ(openedLogs.size(), 1u);
    EXPECT_EQ(openedLogs[0], sheet->Procedure().LogPath());
    ASSERT_NE(sheet->LogWindow(), nullptr);
    EXPECT_TRUE(IsWindowVisible(sheet->LogWindow()->Handle()));
    EXPECT_NE(sheet->LogWindow()->Text().find("Failed to open connection: "), std::string::npos)
        << sheet->LogWindow()->Text();

    // Back to the Connect page; Cancel ends the wizard.
    Press(*sheet, PSBTN_BACK);
    ASSERT_TRUE(Until(
        *sheet, [&] { return sheet->ActivePage() == Sheet::kConnectPage; }, kPageMs));
    Press(*sheet, PSBTN_CANCEL);
    EXPECT_TRUE(Until(
        *sheet, [&] { return !sheet->IsOpen(); }, kPageMs));
}

// A coder that refuses one block: the failure in red with its reason, the log offered, and
// "<< Start" back to the Connect page with the buttons where they were.
TEST_F(WizardSheet, FailedFlashOffersTheLogAndStartsOver) {
    const std::string port = Environment("TARVELIN_SIM_REFUSING_TCP_PORT");
    if (port.empty()) {
        GTEST_SKIP() << "no refusing simulator named; scripts/test-windows-wizard.sh starts one";
    }
    ChooseTcp(*sheet, "127.0.0.1", port);
    PressNextWhenAllowed();
    ASSERT_TRUE(Until(
        *sheet,
        [&] { return sheet->ActivePage() == Sheet::kInfoPage && Enabled(*sheet, Sheet::kNext); },
        kIdentifyMs));
    const RECT backPlace = PlaceOf(sheet->Button(Sheet::kBack));
    const std::string backCaption = TextOf(sheet->Button(Sheet::kBack));
    Press(*sheet, PSBTN_NEXT);
    CUpdatePropertyPage& update = sheet->m_updatePage;
    ASSERT_TRUE(Until(
        *sheet, [&] { return IsWindowVisible(sheet->Button(Sheet::kFinish)); }, kUpdateMs))
        << update.status.Text();
    EXPECT_EQ(update.status.Text(), LoadText(214, language));
    EXPECT_TRUE(ErrorStyle(update.status.Handle()));
    EXPECT_EQ(update.detail.Text(), UpdateResultText(UPD_CODER_FLASH_FAILED, 38, language));
    EXPECT_NE(update.detail.Text().find(LoadText(302, language)), std::string::npos);
    EXPECT_TRUE(IsWindowVisible(update.failureNote.Handle()));
    EXPECT_FALSE(update.failureNote.Text().empty());
    EXPECT_FALSE(IsWindowVisible(update.newVersion.Handle()));
    HWND showLog = update.Item(IDC_SHOW_LOG);
    ASSERT_TRUE(IsWindowVisible(showLog));
    SendMessageW(showLog, BM_CLICK, 0, 0);
    ASSERT_EQ(openedLogs.size(), 1u);
    std::ifstream log(PathFromUtf8(openedLogs[0]), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Failed to flash Coder firmware!"), std::string::npos);

    Press(*sheet, PSBTN_BACK);
    ASSERT_TRUE(Until(
        *sheet, [&] { return sheet->ActivePage() == Sheet::kConnectPage; }, kPageMs));
    EXPECT_EQ(TextOf(sheet->Button(Sheet::kBack)), backCaption);
    EXPECT_EQ(PlaceOf(sheet->Button(Sheet::kBack)).left, backPlace.left);
    EXPECT_TRUE(IsWindowVisible(sheet->Button(Sheet::kCancel)));
    EXPECT_TRUE(IsWindowVisible(sheet->Button(Sheet::kNext)));
    EXPECT_FALSE(IsWindowVisible(sheet->Button(Sheet::kFinish)));
    EXPECT_TRUE(Until(
        *sheet, [&] { return Enabled(*sheet, Sheet::kNext); }, kPageMs));
}

// Without firmware beside the program (an installed one) the user chooses the folder, which
// is remembered as "FirmwareFolder" and offered first the next time; a name beyond ASCII comes
// through the chooser, the discovery and the registry unchanged.
TEST(WizardFirmwareFolder, IsChosenAndRememberedWhenNoneLiesBesideTheProgram) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane\\tarvelin_wizard_tests");
    ASSERT_FALSE(HoldsCoderFirmware(GetProgramDirectory())) << GetProgramDirectory();
    FirmwareFolder generated(4096, 2048, 2048);
    const std::filesystem::path named =
        PathFromUtf8(generated.Path() + "Gerätefirmware für Österreich");
    std::filesystem::create_directory(named);
    for (const auto& file : std::filesystem::directory_iterator(PathFromUtf8(generated.Path()))) {
        if (file.is_regular_file()) {
            std::filesystem::copy_file(file.path(), named / file.path().filename());
        }
    }
    const std::string chosen = Utf8FromPath(named);
    std::vector<std::string> starts;
    for (int run = 0; run < 2; ++run) {
        OkAnswers answers;
        Sheet sheet;
        sheet.Logic().SetDiscoveryQuestions(&answers);
        sheet.SetFolderChooser([&](HWND, const std::string& title, const std::string& start) {
            EXPECT_EQ(title, GuidanceTextString(GuidanceText::ChooseFirmwareFolder,
                                                sheet.WizardLanguage()));
            starts.push_back(start);
            return chosen;
        });
        ASSERT_TRUE(sheet.Create());
        ASSERT_TRUE(Until(
            sheet, [&] { return !sheet.Procedure().m_versionToFlash.empty(); }, kPageMs));
        EXPECT_EQ(sheet.Procedure().m_coderFile, chosen + "/Coder_V02_16.img");
        EXPECT_EQ(answers.missing + answers.coderOnly, 0);
    }
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0], "");
    EXPECT_EQ(starts[1], chosen);
    EXPECT_EQ(Settings(ProgramApplicationName()).ReadString(kFirmwareFolderValue, ""), starts[1]);
}

// Over TCP to the simulator's NetPC, or over the COM port the script mapped to its
// pseudo-terminal.
enum class Link { Tcp, Serial };

class WizardUpdate : public WizardSheet, public ::testing::WithParamInterface<Link> {};

TEST_P(WizardUpdate, FlashesTheFilesAndEndsWithStartAndFinish) {
    const bool tcp = GetParam() == Link::Tcp;
    const std::string named = Environment(tcp ? "TARVELIN_SIM_TCP_PORT" : "TARVELIN_SIM_COM");
    if (named.empty()) {
        GTEST_SKIP() << "no simulator named; scripts/test-windows-wizard.sh starts one";
    }
    const int number = std::stoi(named);
    if (tcp) {
        ChooseTcp(*sheet, "127.0.0.1", named);
    } else {
        ASSERT_NO_FATAL_FAILURE(ChooseSerial(*sheet, number));
    }
    PressNextWhenAllowed();
    // No button works while a worker runs.
    bool buttonWhileWorking = false;
    const auto noteButtons = [&] {
        if (sheet->Procedure().IsWorkerRunning()) {
            for (int id : {Sheet::kBack, Sheet::kNext, Sheet::kCancel, Sheet::kFinish}) {
                buttonWhileWorking = buttonWhileWorking || Enabled(*sheet, id);
            }
        }
    };
    ASSERT_TRUE(Until(
        *sheet,
        [&] {
            noteButtons();
            return sheet->ActivePage() == Sheet::kInfoPage && Enabled(*sheet, Sheet::kNext);
        },
        kIdentifyMs))
        << "identified: " << sheet->m_infoPage.status.Text() << " / "
        << sheet->m_infoPage.detail.Text();
    CInfoPropertyPage& info = sheet->m_infoPage;
    EXPECT_EQ(info.status.Text(), tcp ? FormatTextHostPort(203, language, "127.0.0.1", number)
                                      : FormatTextInt(202, language, number));
    EXPECT_TRUE(PlainStyle(info.status.Handle()));
    EXPECT_TRUE(IsWindowVisible(info.currentVersion.Handle()));
    EXPECT_TRUE(IsBold(info.currentVersion.Handle()));
    EXPECT_EQ(info.versionToFlash.Text(), VersionToFlashText(folder.CoderPath()));
    EXPECT_TRUE(IsWindowVisible(info.hint.Handle()));

    const RECT cancelPlace = PlaceOf(sheet->Button(Sheet::kCancel));
    Press(*sheet, PSBTN_NEXT);
    ASSERT_TRUE(Until(
        *sheet, [&] { return sheet->ActivePage() == Sheet::kUpdatePage; }, kPageMs));
    CUpdatePropertyPage& update = sheet->m_updatePage;
    ASSERT_TRUE(sheet->Procedure().IsWorkerRunning()) << "the flash ended at once";

    // The close box during the flash: refused, and the page says why.
    SendMessageW(sheet->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(sheet->IsOpen());
    EXPECT_TRUE(IsWindowVisible(update.closeNote.Handle()));
    EXPECT_EQ(update.closeNote.Text(),
              GuidanceTextString(GuidanceText::CloseRefusedUpdating, language));

    bool sawBusyLine = false;
    bool sawStages = false;
    ASSERT_TRUE(Until(
        *sheet,
        [&] {
            noteButtons();
            sawBusyLine = sawBusyLine ||
                          (update.waitLine.Shown() && IsWindowVisible(update.Item(IDC_WAIT_BAR)) &&
                           !update.waitLine.Text().empty());
            sawStages = sawStages || (IsWindowVisible(update.stage1.Handle()) &&
                                      IsWindowVisible(update.stage3.Handle()) &&
                                      IsWindowVisible(update.Progress()));
            return IsWindowVisible(sheet->Button(Sheet::kFinish)) != FALSE;
        },
        kUpdateMs))
        << "the update did not end: " << update.status.Text();
    EXPECT_FALSE(buttonWhileWorking) << "a wizard button worked while a worker ran";
    EXPECT_TRUE(sawBusyLine) << "no busy line during the reboot pauses";
    EXPECT_TRUE(sawStages) << "the three stages and the bar were never shown";
    // The last stage was current; the stages and the bar are hidden at the end.
    EXPECT_EQ(TextColourOf(update.stage1.Handle()), RGB(128, 128, 128));
    EXPECT_EQ(TextColourOf(update.stage2.Handle()), RGB(128, 128, 128));
    EXPECT_EQ(TextColourOf(update.stage3.Handle()), RGB(0, 0, 0));
    EXPECT_FALSE(IsWindowVisible(update.stage1.Handle()));
    EXPECT_FALSE(IsWindowVisible(update.Progress()));

    EXPECT_EQ(update.status.Text(), LoadText(215, language)) << update.detail.Text();
    EXPECT_TRUE(PlainStyle(update.status.Handle()));
    EXPECT_EQ(update.newVersion.Text(), "2.16");
    EXPECT_TRUE(IsBold(update.newVersion.Handle()));
    EXPECT_FALSE(IsWindowVisible(update.Item(IDC_SHOW_LOG)));
    EXPECT_FALSE(IsWindowVisible(update.closeNote.Handle()));
    EXPECT_FALSE(IsWindowVisible(update.Item(IDC_WAIT_BAR)));
    // "<< Start" where Next was, Finish where Cancel was.
    EXPECT_EQ(TextOf(sheet->Button(Sheet::kBack)), LoadText(218, language));
    EXPECT_TRUE(Enabled(*sheet, Sheet::kBack));
    EXPECT_EQ(TextOf(sheet->Button(Sheet::kFinish)), LoadText(216, language));
    EXPECT_EQ(PlaceOf(sheet->Button(Sheet::kFinish)).left, cancelPlace.left);
    EXPECT_FALSE(IsWindowVisible(sheet->Button(Sheet::kCancel)));

    const std::string expectedDump = Environment("TARVELIN_WIZARD_EXPECTED_DUMP");
    if (!expectedDump.empty()) {
        std::ofstream out(expectedDump, std::ios::binary);
        for (const std::string& line : folder.ExpectedDump()) {
            out << line << "\n";
        }
    }
    Press(*sheet, PSBTN_FINISH);
    EXPECT_TRUE(Until(
        *sheet, [&] { return !sheet->IsOpen(); }, kPageMs));
}

INSTANTIATE_TEST_SUITE_P(Links, WizardUpdate, ::testing::Values(Link::Tcp, Link::Serial),
                         [](const ::testing::TestParamInfo<Link>& info) {
                             return info.param == Link::Tcp ? "Tcp" : "Serial";
                         });

}  // namespace
