// tarvelin.exe: the firmware update wizard for Windows.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <filesystem>
#include <string>

#include "ui-win32/CUpdaterPropertySheet.h"
#include "ui-win32/WizardTexts.h"
#include "update/CZelkorTools.h"
#include "update/win32/WideText.h"

namespace {

void ShowError(const std::string& text) {
    MessageBoxW(nullptr, WideFromUtf8(text).c_str(),
                WideFromUtf8(LoadText(100, SystemLanguage())).c_str(), MB_OK | MB_ICONERROR);
}

// The one optional argument: the folder of the firmware files, or a coder firmware in it.
// False, after saying so, when it names nothing.
bool FolderFromArguments(std::string& folder) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 2) {
        LocalFree(arguments);
        return true;
    }
    const std::wstring given = arguments[1];
    LocalFree(arguments);
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(given, error);
    if (std::filesystem::is_directory(path, error)) {
        folder = Utf8PathFromWide(path.wstring());
    } else if (std::filesystem::exists(path, error)) {
        folder = Utf8PathFromWide(path.parent_path().wstring());
    } else {
        ShowError(WithValue(WizardString(WizardText::NoSuchFolder, SystemLanguage()),
                            Utf8FromWide(given)));
        return false;
    }
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = 0xFF;
    InitCommonControlsEx(&controls);

    CZelkorTools::SetFatalHandler([](const std::string& message) { ShowError(message); });
    if (!CZelkorTools::GetInstance().Initialize(0)) {
        return 0;
    }
    std::string folder;
    if (!FolderFromArguments(folder)) {
        return 1;
    }
    CUpdaterPropertySheet sheet;
    sheet.SetFirmwareFolder(folder);
    if (!sheet.Create()) {
        return 1;
    }
    sheet.RunModal();
    return 0;
}
