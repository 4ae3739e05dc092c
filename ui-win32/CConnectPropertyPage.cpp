#include "ui-win32/CConnectPropertyPage.h"

#include "ui-win32/CUpdaterPropertySheet.h"
#include "ui-win32/resource.h"
#include "update/win32/WideText.h"
#include "wizard/TemplateTexts.h"

namespace {

constexpr int kLongestAddress = 511;

}  // namespace

CConnectPropertyPage::CConnectPropertyPage(Language language)
    : CPropertyPage(WizardPage::Connect, IDD_CONNECT, language, 101, 102) {}

void CConnectPropertyPage::Bind(ConnectPageLogic& logic) {
    logic_ = &logic;
}

void CConnectPropertyPage::OnInitDialog() {
    const std::pair<int, TemplateText> captions[] = {
        {IDC_SERIAL_RADIO, TemplateText::SerialRadio},
        {IDC_COM_LABEL, TemplateText::SerialPortLabel},
        {IDC_TCP_RADIO, TemplateText::TcpRadio},
        {IDC_ADDRESS_LABEL, TemplateText::AddressLabel},
        {IDC_PORT_LABEL, TemplateText::TcpPortLabel},
    };
    for (const auto& [id, text] : captions) {
        SetTextIfOther(Item(id), TemplateTextString(text, language));
    }
    portEdit.Attach(Item(IDC_PORT_EDIT));
    portEdit.SetValidChars(L"0123456789");
    portHint.Attach(Item(IDC_PORT_HINT));
    portsNote.Attach(Item(IDC_PORTS_NOTE));
    SendMessageW(Item(IDC_ADDRESS_EDIT), EM_SETLIMITTEXT, kLongestAddress, 0);
}

void CConnectPropertyPage::Render() {
    if (Handle() == nullptr || logic_ == nullptr) {
        return;
    }
    const ConnectPageState& state = logic_->State();
    const bool serial = state.connectionType == 0;
    CheckDlgButton(Handle(), IDC_SERIAL_RADIO, serial ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(Handle(), IDC_TCP_RADIO, serial ? BST_UNCHECKED : BST_CHECKED);
    HWND list = Item(IDC_COM_LIST);
    if (state.portListFills != portListFills_) {
        portListFills_ = state.portListFills;
        SendMessageW(list, CB_RESETCONTENT, 0, 0);
        for (const ComPortEntry& port : state.ports) {
            SendMessageW(list, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(WideFromUtf8(port.name).c_str()));
        }
    }
    if (SendMessageW(list, CB_GETCURSEL, 0, 0) != state.selectedPort) {
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(state.selectedPort), 0);
    }
    EnableWindow(list, state.portListEnabled);
    EnableWindow(Item(IDC_ADDRESS_EDIT), state.tcpFieldsEnabled);
    EnableWindow(Item(IDC_PORT_EDIT), state.tcpFieldsEnabled);
    SetTextIfOther(Item(IDC_ADDRESS_EDIT), state.address);
    SetTextIfOther(Item(IDC_PORT_EDIT), state.port);
    portHint.Apply(state.portHint);
    portsNote.Apply(state.portsNote);
}

void CConnectPropertyPage::OnKillActive() {
    sheet->Logic().OnConnectPageLeft();
}

void CConnectPropertyPage::OnCommand(int id, int code) {
    if (logic_ == nullptr) {
        return;
    }
    if (id == IDC_SERIAL_RADIO && code == BN_CLICKED) {
        logic_->OnSerialClicked(IsDlgButtonChecked(Handle(), IDC_SERIAL_RADIO) != 0);
    } else if (id == IDC_TCP_RADIO && code == BN_CLICKED) {
        logic_->OnTcpClicked(IsDlgButtonChecked(Handle(), IDC_TCP_RADIO) != 0);
    } else if (id == IDC_ADDRESS_EDIT && code == EN_CHANGE) {
        logic_->OnAddressEdited(WindowTextUtf8(Item(IDC_ADDRESS_EDIT)));
    } else if (id == IDC_PORT_EDIT && code == EN_CHANGE) {
        logic_->OnPortEdited(WindowTextUtf8(Item(IDC_PORT_EDIT)));
    } else if (id == IDC_COM_LIST && code == CBN_SELCHANGE) {
        logic_->OnPortSelected(
            static_cast<int>(SendMessageW(Item(IDC_COM_LIST), CB_GETCURSEL, 0, 0)));
    } else {
        // Any other notification (an edit's EN_UPDATE before its EN_CHANGE) changes nothing:
        // drawing now would put the old text back.
        return;
    }
    // What the logic changed (enabled fields, the port hint) shows at once.
    Render();
}
