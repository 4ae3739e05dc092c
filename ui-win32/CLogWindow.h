#pragma once

#include <windows.h>

#include <string>

#include "update/ProcedureTexts.h"

// The log shown inside the wizard when the shell has no program for text files: a read-only,
// monospaced view of the file with its path and a button that copies the path.
class CLogWindow {
public:
    CLogWindow(Language language, HWND owner);
    ~CLogWindow();
    CLogWindow(const CLogWindow&) = delete;
    CLogWindow& operator=(const CLogWindow&) = delete;

    // Shows the file's text, or that it cannot be read (false then).
    bool ShowFile(const std::string& path);
    HWND Handle() const { return hwnd_; }
    std::string Text() const;
    const std::string& Path() const { return path_; }

private:
    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    void CopyPath() const;

    const Language language_;
    HWND hwnd_ = nullptr;
    HFONT monospace_ = nullptr;
    std::string path_;
};
