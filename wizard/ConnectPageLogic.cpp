#include "wizard/ConnectPageLogic.h"

#include <limits>

#include "update/OpenFailureTexts.h"
#include "wizard/GuidanceTexts.h"

namespace {

constexpr int kHighestTcpPort = 65535;

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

ConnectPageLogic::ConnectPageLogic(SettingsStore& settings, Language language, PortLister listPorts)
    : settings_(settings), language_(language), listPorts_(std::move(listPorts)) {
    state_.portHint.text = GuidanceTextString(GuidanceText::PortTooHigh, language);
    state_.portHint.colour = TextColour::Red;
    state_.portHint.visible = false;
    state_.portsNote.colour = TextColour::Red;
    state_.portsNote.visible = false;
    state_.portListEnabled = true;
    state_.tcpFieldsEnabled = false;
    // Read once, in this order, as the page always did.
    serialPort = settings_.ReadInt(kSerialPortValue, 1);
    tcpAddress = settings_.ReadString(kTcpAddressValue, "");
    tcpPort = settings_.ReadInt(kTcpPortValue, 0);
    connectionType = settings_.ReadInt(kConnectionTypeValue, 0);
}

void ConnectPageLogic::OnSetActive() {
    FillComPortList(serialPort);
    state_.address = tcpAddress;
    if (tcpPort != 0) {
        state_.port = std::to_string(tcpPort);
    }
    UpdateControls();
}

bool ConnectPageLogic::OnKillActive() {
    settings_.WriteInt(kConnectionTypeValue, connectionType);
    if (connectionType == 0) {
        serialPort = state_.selectedPort < 0 ? -1 : state_.ports[state_.selectedPort].number;
        settings_.WriteInt(kSerialPortValue, serialPort);
    } else {
        tcpAddress = state_.address;
        settings_.WriteString(kTcpAddressValue, tcpAddress);
        const int64_t port = LeadingNumber(state_.port);
        tcpPort = port > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                             : static_cast<int32_t>(port);
        settings_.WriteInt(kTcpPortValue, tcpPort);
    }
    return true;
}

void ConnectPageLogic::FillComPortList(int portToSelect) {
    state_.ports.clear();
    state_.selectedPort = -1;
    ++state_.portListFills;
    // Without a word about the ports left out, a user outside their group sees an empty list.
    // A port another program holds opens and is listed: its holder may let go before Next.
    std::vector<OpenFailure> notUsable;
    for (const SerialPortDetails& port : listPorts_()) {
        if (!port.usable) {
            notUsable.push_back(PortOpenFailure(port));
        }
        if (!port.opens) {
            continue;
        }
        state_.ports.push_back({port.comNumber, "COM" + std::to_string(port.comNumber)});
        if (port.comNumber == portToSelect) {
            state_.selectedPort = static_cast<int>(state_.ports.size()) - 1;
        }
    }
    state_.portsNote.text = UnusablePortsNote(notUsable, language_);
    state_.portsNote.visible = connectionType == 0 && !notUsable.empty();
    ChoiceEdited();
}

void ConnectPageLogic::UpdateControls() {
    const bool serial = connectionType == 0;
    state_.connectionType = connectionType;
    state_.portListEnabled = serial;
    state_.tcpFieldsEnabled = !serial;
    state_.portsNote.visible = serial && !state_.portsNote.text.empty();
    UpdatePortHint();
    ChoiceEdited();
}

void ConnectPageLogic::UpdatePortHint() {
    state_.portHint.visible = connectionType != 0 && LeadingNumber(state_.port) > kHighestTcpPort;
}

void ConnectPageLogic::OnSerialClicked(bool checked) {
    connectionType = checked ? 0 : 1;
    UpdateControls();
}

void ConnectPageLogic::OnTcpClicked(bool checked) {
    connectionType = checked ? 1 : 0;
    UpdateControls();
}

void ConnectPageLogic::OnAddressEdited(const std::string& text) {
    if (text == state_.address) {
        return;
    }
    state_.address = text;
    ChoiceEdited();
}

void ConnectPageLogic::OnPortEdited(const std::string& text) {
    if (text == state_.port) {
        return;
    }
    state_.port = text;
    UpdatePortHint();
    ChoiceEdited();
}

void ConnectPageLogic::OnPortSelected(int index) {
    state_.selectedPort = index >= 0 && index < static_cast<int>(state_.ports.size()) ? index : -1;
}

bool ConnectPageLogic::NextAllowed() const {
    if (connectionType == 0) {
        return !state_.ports.empty();
    }
    // A port above 65535 would be cut to 16 bits and reach another port: refused like 0.
    const int64_t port = LeadingNumber(state_.port);
    return !state_.address.empty() && port != 0 && port <= kHighestTcpPort;
}

void ConnectPageLogic::ChoiceEdited() {
    if (onChoiceEdited) {
        onChoiceEdited();
    }
}
