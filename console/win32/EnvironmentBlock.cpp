#include "console/win32/EnvironmentBlock.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "transport/win32/WideText.h"

namespace {

bool SameName(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return std::towupper(x) == std::towupper(y); });
}

std::wstring NameOf(const std::wstring& variable) {
    // "=C:=C:\\folder" is the current folder of drive C: its name begins after the first '='.
    return variable.substr(0, variable.find(L'=', 1));
}

}  // namespace

std::wstring EnvironmentBlock(const std::vector<std::string>& first) {
    std::vector<std::wstring> variables;
    for (const std::string& variable : first) {
        variables.push_back(Widen(variable));
    }
    const size_t given = variables.size();
    if (wchar_t* ours = GetEnvironmentStringsW()) {
        for (const wchar_t* v = ours; *v != L'\0'; v += wcslen(v) + 1) {
            const std::wstring variable = v;
            const std::wstring name = NameOf(variable);
            if (std::none_of(variables.begin(), variables.begin() + static_cast<long>(given),
                             [&](const std::wstring& w) { return SameName(NameOf(w), name); })) {
                variables.push_back(variable);
            }
        }
        FreeEnvironmentStringsW(ours);
    }
    std::stable_sort(
        variables.begin(), variables.end(), [](const std::wstring& a, const std::wstring& b) {
            const std::wstring x = NameOf(a);
            const std::wstring y = NameOf(b);
            return std::lexicographical_compare(
                x.begin(), x.end(), y.begin(), y.end(),
                [](wchar_t p, wchar_t q) { return std::towupper(p) < std::towupper(q); });
        });
    std::wstring block;
    for (const std::wstring& variable : variables) {
        block += variable;
        block += L'\0';
    }
    block += L'\0';
    return block;
}
