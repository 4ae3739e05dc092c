// tarvelin.exe: the firmware update wizard for Windows.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "ui-win32/CUpdaterPropertySheet.h"
#include "update/CZelkorTools.h"
#include "update/win32/WideText.h"
#include "wizard/StartArguments.h"

namespace {

void ShowError(const std::string& text) {
    MessageBoxW(nullptr, WideFromUtf8(text).c_str(),
                WideFromUtf8(LoadText(100, SystemLanguage())).c_str(), MB_OK | MB_ICONERROR);
}

// The arguments after the program's name, UTF-8.
std::vector<std::string> Arguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i) {
        arguments.push_back(Utf8FromWide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
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
    // The folder of the firmware files, or a coder firmware in it, as "Open with" passes it.
    const StartFolder start = StartFolderFromArguments(Arguments(), SystemLanguage());
    if (!start.valid) {
        ShowError(start.error);
        return 1;
    }
    CUpdaterPropertySheet sheet;
    sheet.Logic().SetStartFolder(start.folder);
    if (!sheet.Create()) {
        return 1;
    }
    sheet.RunModal();
    return 0;
}
