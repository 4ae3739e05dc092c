#pragma once

#include <windows.h>

#include <string>

// An edit control that takes only the given characters from the keyboard; Backspace, cut and
// paste still work, and pasted text is not filtered.
class CMaskEdit {
public:
    CMaskEdit() = default;
    ~CMaskEdit();
    CMaskEdit(const CMaskEdit&) = delete;
    CMaskEdit& operator=(const CMaskEdit&) = delete;

    void Attach(HWND edit);
    HWND Handle() const { return hwnd_; }
    // An empty text changes nothing.
    void SetValidChars(const std::wstring& chars);
    // Whether a typed character reaches the edit control.
    bool Passes(wchar_t c) const;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR self);

    HWND hwnd_ = nullptr;
    std::wstring validChars_;
    bool validCharsActive_ = false;
};
