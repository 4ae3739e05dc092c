#include "ui-win32/CConnectPropertyPage.h"

#include <limits>
#include <vector>

#include "transport/SerialPorts.h"
#include "ui-win32/CUpdaterPropertySheet.h"
#include "ui-win32/resource.h"
#include "update/ConnectionSettings.h"
#include "update/OpenFailureTexts.h"
#include "update/win32/WideText.h"

namespace {

constexpr int64_t kHighestTcpPort = 65535;
constexpr int kLongestAddress = 511;
const COLORREF kRed = RGB(255, 0, 0);

}  // namespace

int64_t LeadingNumber(const std::string& text) {
    int64_t value = 0;
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (std::numeric_limits<int64_t>::max() - digit) / 10) {
            return std::numeric_limits<int64_t>::max();
        }
        value = value * 10 + digit;
    }
    return value;
}

CConnectPropertyPage::CConnectPropertyPage(Language language)
    : CPropertyPage(IDD_CONNECT, language, 101, 102) {
    const ConnectionSettings stored = LoadConnectionSettings(Settings(ProgramApplicationName()));
    serialPort = stored.serialPort;
    tcpAddress = stored.tcpAddress;
    tcpPort = stored.tcpPort;
    connectionType = stored.connectionType;
}

void CConnectPropertyPage::OnInitDialog() {
    portEdit.Attach(Item(IDC_PORT_EDIT));
    portHint.Attach(Item(IDC_PORT_HINT));
    portHint.SetTextColor(kRed);
    portsNote.Attach(Item(IDC_PORTS_NOTE));
    portsNote.SetTextColor(kRed);
    SendMessageW(Item(IDC_ADDRESS_EDIT), EM_SETLIMITTEXT, kLongestAddress, 0);
}

void CConnectPropertyPage::OnSetActive() {
    PostMessageW(GetParent(Handle()), PSM_SETWIZBUTTONS, 0, PSWIZB_NEXT);
    portEdit.SetValidChars(L"0123456789");
    FillComPortList(serialPort);
    SetWindowTextUtf8(Item(IDC_ADDRESS_EDIT), tcpAddress);
    if (tcpPort != 0) {
        SetWindowTextUtf8(Item(IDC_PORT_EDIT), std::to_string(tcpPort));
    }
    UpdateControls();
}

void CConnectPropertyPage::OnKillActive() {
    if (connectionType == 0) {
        HWND list = Item(IDC_COM_LIST);
        const LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
        serialPort = selected == CB_ERR
                         ? -1
                         : static_cast<int32_t>(SendMessageW(list, CB_GETITEMDATA, selected, 0));
    } else {
        tcpAddress = WindowTextUtf8(Item(IDC_ADDRESS_EDIT));
        const int64_t port = LeadingNumber(WindowTextUtf8(Item(IDC_PORT_EDIT)));
        tcpPort = port > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                             : static_cast<int32_t>(port);
    }
    ConnectionSettings choice;
    choice.connectionType = connectionType;
    choice.serialPort = serialPort;
    choice.tcpAddress = tcpAddress;
    choice.tcpPort = tcpPort;
    // The page never refuses to be left; a setting that could not be stored is asked for
    // again at the next start.
    Settings settings(ProgramApplicationName());
    std::string ignored;
    StoreConnectionSettings(settings, choice, ignored);
}

void CConnectPropertyPage::FillComPortList(int portToSelect) {
    HWND list = Item(IDC_COM_LIST);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    // Without a word about the ports left out, a user whose port is held elsewhere sees an
    // empty list.
    std::vector<OpenFailure> notUsable;
    bool selected = false;
    for (const SerialPortDetails& port : ListSerialPortDetails()) {
        if (!port.usable) {
            notUsable.push_back(PortOpenFailure(port));
        }
        if (!port.opens) {
            continue;
        }
        const std::wstring name = L"COM" + std::to_wstring(port.comNumber);
        const LRESULT index =
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        SendMessageW(list, CB_SETITEMDATA, index, port.comNumber);
        if (port.comNumber == portToSelect) {
            SendMessageW(list, CB_SETCURSEL, index, 0);
            selected = true;
        }
    }
    if (!selected) {
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    }
    portsNote.SetText(UnusablePortsNote(notUsable, language));
    portsNote.Show(connectionType == 0 && !notUsable.empty());
}

void CConnectPropertyPage::UpdateControls() {
    const bool serial = connectionType == 0;
    CheckDlgButton(Handle(), IDC_SERIAL_RADIO, serial ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(Handle(), IDC_TCP_RADIO, serial ? BST_UNCHECKED : BST_CHECKED);
    EnableWindow(Item(IDC_COM_LIST), serial);
    EnableWindow(Item(IDC_ADDRESS_EDIT), !serial);
    EnableWindow(Item(IDC_PORT_EDIT), !serial);
    portsNote.Show(serial && !portsNote.Text().empty());
    UpdatePortHint();
}

void CConnectPropertyPage::UpdatePortHint() {
    portHint.Show(connectionType != 0 &&
                  LeadingNumber(WindowTextUtf8(Item(IDC_PORT_EDIT))) > kHighestTcpPort);
}

bool CConnectPropertyPage::NextAllowed() const {
    if (connectionType == 0) {
        return SendMessageW(Item(IDC_COM_LIST), CB_GETCOUNT, 0, 0) > 0;
    }
    // A port above 65535 would be cut to 16 bits and reach another port: refused like 0.
    const int64_t port = LeadingNumber(WindowTextUtf8(Item(IDC_PORT_EDIT)));
    return GetWindowTextLengthW(Item(IDC_ADDRESS_EDIT)) > 0 && port != 0 &&
           port <= kHighestTcpPort;
}

void CConnectPropertyPage::OnCommand(int id, int code) {
    switch (id) {
        case IDC_SERIAL_RADIO:
            if (code == BN_CLICKED) {
                connectionType = IsDlgButtonChecked(Handle(), IDC_SERIAL_RADIO) ? 0 : 1;
                UpdateControls();
            }
            break;
        case IDC_TCP_RADIO:
            if (code == BN_CLICKED) {
                connectionType = IsDlgButtonChecked(Handle(), IDC_TCP_RADIO) ? 1 : 0;
                UpdateControls();
            }
            break;
        case IDC_PORT_EDIT:
            if (code == EN_CHANGE) {
                UpdatePortHint();
            }
            break;
        default:
            break;
    }
}
