// Pictures of the Windows wizard for the README and for looking at: each page, the busy line,
// the end state, a refusal, the log window and box 208, in the language the wizard speaks.
// Runs only when scripts/screenshots.sh names a folder (TARVELIN_SCREENSHOTS) and a simulator
// (TARVELIN_SIM_TCP_PORT); the script turns the bitmaps into PNG files.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

#include "FirmwareFolder.h"
#include "SheetDriver.h"
#include "ui-win32/resource.h"

namespace {

using Sheet = CUpdaterPropertySheet;

// The whole screen as a 24-bit bitmap file; the script crops it to the windows.
bool SaveScreen(const std::string& path) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD rowBytes = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    std::vector<BYTE> pixels(rowBytes * static_cast<DWORD>(height));
    const int rows = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                               reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (rows != height) {
        return false;
    }
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&info), sizeof(info));
    out.write(reinterpret_cast<const char*>(pixels.data()),
              static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

class WizardScreenshots : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = Environment("TARVELIN_SCREENSHOTS");
        port_ = Environment("TARVELIN_SIM_TCP_PORT");
        if (folder_.empty() || port_.empty()) {
            GTEST_SKIP() << "scripts/screenshots.sh names the folder and the simulator";
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvane\\tarvelin_wizard_tests");
    }

    // Paints everything now, then takes the picture.
    void Shot(Sheet& sheet, const std::string& name) {
        RedrawWindow(sheet.Handle(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        sheet.ProcessMessages(0);
        ASSERT_TRUE(SaveScreen(folder_ + "\\" + name + ".bmp")) << name;
    }

    std::unique_ptr<Sheet> Open(const FirmwareFolder& firmware) {
        auto sheet = std::make_unique<Sheet>();
        sheet->Logic().SetDiscoveryQuestions(&answers_);
        sheet->Logic().SetStartFolder(firmware.Path());
        sheet->SetFileOpener([](HWND, const std::string&) { return false; });
        EXPECT_TRUE(sheet->Create());
        EXPECT_TRUE(Until(
            *sheet, [&] { return !sheet->Procedure().m_versionToFlash.empty(); }, 5000));
        return sheet;
    }

    void ChooseTcp(Sheet& sheet, const std::string& port) {
        SendMessageW(sheet.m_connectPage.Item(IDC_TCP_RADIO), BM_CLICK, 0, 0);
        SetWindowTextUtf8(sheet.m_connectPage.Item(IDC_ADDRESS_EDIT), "127.0.0.1");
        SetWindowTextUtf8(sheet.m_connectPage.Item(IDC_PORT_EDIT), port);
        ASSERT_TRUE(Until(
            sheet, [&] { return Enabled(sheet, Sheet::kNext); }, 5000));
    }

    std::string folder_;
    std::string port_;
    OkAnswers answers_;
};

TEST_F(WizardScreenshots, PagesOfAnUpdate) {
    // Large enough that the flash lasts while the picture is taken.
    FirmwareFolder firmware(256 * 1024, 2048, 3072);
    std::unique_ptr<Sheet> sheet = Open(firmware);
    ChooseTcp(*sheet, port_);
    Shot(*sheet, "connect");
    Press(*sheet, PSBTN_NEXT);
    ASSERT_TRUE(Until(
        *sheet,
        [&] { return sheet->ActivePage() == Sheet::kInfoPage && Enabled(*sheet, Sheet::kNext); },
        30000));
    Shot(*sheet, "info");
    Press(*sheet, PSBTN_NEXT);
    CUpdatePropertyPage& update = sheet->m_updatePage;
    ASSERT_TRUE(Until(
        *sheet, [&] { return update.waitLine.Shown(); }, 30000));
    Shot(*sheet, "update-busy");
    SendMessageW(sheet->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(Until(
        *sheet,
        [&] {
            return IsWindowVisible(update.Progress()) &&
                   SendMessageW(update.Progress(), PBM_GETPOS, 0, 0) > 20;
        },
        60000))
        << update.status.Text() << " / " << update.detail.Text() << " / progress "
        << sheet->Logic().State().update.progress.value << " of "
        << sheet->Logic().State().update.progress.maximum;
    Shot(*sheet, "update-flashing");
    ASSERT_TRUE(Until(
        *sheet, [&] { return IsWindowVisible(sheet->Button(Sheet::kFinish)); }, 120000));
    Shot(*sheet, "update-done");
    Press(*sheet, PSBTN_FINISH);
    EXPECT_TRUE(Until(
        *sheet, [&] { return !sheet->IsOpen(); }, 5000));
}

TEST_F(WizardScreenshots, RefusalAndTheLogWindow) {
    FirmwareFolder firmware(8192, 2048, 3072);
    std::unique_ptr<Sheet> sheet = Open(firmware);
    ChooseTcp(*sheet, std::to_string(ClosedLoopbackPort()));
    Press(*sheet, PSBTN_NEXT);
    ASSERT_TRUE(Until(
        *sheet,
        [&] { return sheet->ActivePage() == Sheet::kInfoPage && Enabled(*sheet, Sheet::kBack); },
        30000));
    Shot(*sheet, "info-refused");
    sheet->Logic().ShowLogFile();
    ASSERT_NE(sheet->LogWindow(), nullptr);
    RedrawWindow(sheet->LogWindow()->Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Shot(*sheet, "log-window");
}

TEST_F(WizardScreenshots, QuestionWithoutDspFirmware) {
    FirmwareFolder firmware(8192, std::nullopt, std::nullopt);
    auto sheet = std::make_unique<Sheet>();
    sheet->Logic().SetStartFolder(firmware.Path());
    ASSERT_TRUE(sheet->Create());
    // Box 208 is modal: another thread takes its picture and answers Cancel.
    std::atomic<bool> shot{false};
    const std::string path = folder_ + "\\box-208.bmp";
    const HWND owner = sheet->Handle();
    std::thread answer([&] {
        const ULONGLONG end = GetTickCount64() + 10000;
        HWND box = nullptr;
        while (box == nullptr && GetTickCount64() < end) {
            HWND candidate = FindWindowW(L"#32770", L"Tarvelin");
            if (candidate != nullptr && candidate != owner && IsWindowVisible(candidate)) {
                box = candidate;
            } else {
                Sleep(20);
            }
        }
        if (box == nullptr) {
            return;
        }
        RedrawWindow(box, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(box, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &ignored);
        shot = SaveScreen(path);
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    });
    // Cancel refuses to flash the coder firmware alone: the wizard ends.
    const bool ended = Until(
        *sheet, [&] { return !sheet->IsOpen(); }, 15000);
    answer.join();
    EXPECT_TRUE(shot) << "box 208 did not appear";
    EXPECT_TRUE(ended);
}

}  // namespace
