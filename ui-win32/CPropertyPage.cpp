#include "ui-win32/CPropertyPage.h"

#include "ui-win32/CUpdaterPropertySheet.h"
#include "ui-win32/CXColorStatic.h"
#include "update/win32/WideText.h"

const DLGTEMPLATE* DialogTemplate(int id, Language language) {
    const WORD languageId = language == Language::German
                                ? MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)
                                : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(id), languageId);
    if (found == nullptr) {
        return nullptr;
    }
    HGLOBAL loaded = LoadResource(module, found);
    return loaded == nullptr ? nullptr : static_cast<const DLGTEMPLATE*>(LockResource(loaded));
}

CPropertyPage::CPropertyPage(WizardPage page, int templateId, Language language, int headerTitle,
                             int headerSubtitle)
    : page(page),
      language(language),
      templateId_(templateId),
      title_(WideFromUtf8(LoadText(headerTitle, language))),
      subtitle_(WideFromUtf8(LoadText(headerSubtitle, language))) {}

HPROPSHEETPAGE CPropertyPage::CreatePage() {
    const DLGTEMPLATE* dialog = DialogTemplate(templateId_, language);
    if (dialog == nullptr) {
        return nullptr;
    }
    PROPSHEETPAGEW sheetPage{};
    sheetPage.dwSize = sizeof(sheetPage);
    sheetPage.dwFlags = PSP_DLGINDIRECT | PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE;
    sheetPage.hInstance = GetModuleHandleW(nullptr);
    sheetPage.pResource = dialog;
    sheetPage.pfnDlgProc = DialogProcedure;
    sheetPage.lParam = reinterpret_cast<LPARAM>(this);
    sheetPage.pszHeaderTitle = title_.c_str();
    sheetPage.pszHeaderSubTitle = subtitle_.c_str();
    return CreatePropertySheetPageW(&sheetPage);
}

INT_PTR CALLBACK CPropertyPage::DialogProcedure(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        auto* self = reinterpret_cast<CPropertyPage*>(sheetPage->lParam);
        SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = window;
        self->OnInitDialog();
        return TRUE;
    }
    auto* self = reinterpret_cast<CPropertyPage*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    switch (message) {
        case WM_NOTIFY:
            return self->OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_COMMAND:
            self->OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CTLCOLORSTATIC: {
            const CXColorStatic* control =
                CXColorStatic::FromHandle(reinterpret_cast<HWND>(lParam));
            if (control == nullptr) {
                return FALSE;
            }
            return reinterpret_cast<INT_PTR>(control->OnCtlColor(reinterpret_cast<HDC>(wParam)));
        }
        default:
            return FALSE;
    }
}

INT_PTR CPropertyPage::OnNotify(const NMHDR& header) {
    LRESULT result = 0;
    switch (header.code) {
        case PSN_SETACTIVE:
            // Sent, not posted: the page's worker starts below, and no button may work before
            // the state says so.
            SendMessageW(GetParent(hwnd_), PSM_SETWIZBUTTONS, 0, ShownButtons());
            sheet->OnPageShown(page);
            break;
        case PSN_KILLACTIVE:
            OnKillActive();
            break;
        case PSN_WIZBACK:
            result = sheet->OnWizardBack();
            break;
        case PSN_QUERYCANCEL:
        case PSN_WIZFINISH:
            // Non-zero refuses: never while a worker runs.
            result = sheet->MayClose() ? FALSE : TRUE;
            break;
        default:
            return FALSE;
    }
    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
}
