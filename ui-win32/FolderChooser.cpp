#include "ui-win32/FolderChooser.h"

#include <shobjidl.h>

#include <string>

#include "update/win32/WideText.h"

namespace {

// Releases a COM interface at the end of its scope.
template <typename Interface>
struct Released {
    Interface* pointer = nullptr;
    ~Released() {
        if (pointer != nullptr) {
            pointer->Release();
        }
    }
};

}  // namespace

std::string ChooseFolder(HWND owner, const std::string& title, const std::string& start) {
    const HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::string chosen;
    {
        Released<IFileOpenDialog> dialog;
        if (SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_PPV_ARGS(&dialog.pointer)))) {
            FILEOPENDIALOGOPTIONS options = 0;
            dialog.pointer->GetOptions(&options);
            dialog.pointer->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM |
                                       FOS_PATHMUSTEXIST);
            dialog.pointer->SetTitle(WideFromUtf8(title).c_str());
            // The shell parses only its own separators.
            std::wstring startPath = WideFromUtf8(start);
            for (wchar_t& c : startPath) {
                c = c == L'/' ? L'\\' : c;
            }
            Released<IShellItem> folder;
            if (!startPath.empty() &&
                SUCCEEDED(SHCreateItemFromParsingName(startPath.c_str(), nullptr,
                                                      IID_PPV_ARGS(&folder.pointer)))) {
                dialog.pointer->SetFolder(folder.pointer);
            }
            Released<IShellItem> result;
            PWSTR path = nullptr;
            if (SUCCEEDED(dialog.pointer->Show(owner)) &&
                SUCCEEDED(dialog.pointer->GetResult(&result.pointer)) &&
                SUCCEEDED(result.pointer->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
                chosen = Utf8PathFromWide(path);
                CoTaskMemFree(path);
            }
        }
    }
    if (SUCCEEDED(initialized)) {
        CoUninitialize();
    }
    return chosen;
}
