#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "transport/SerialPorts.h"
#include "update/ProcedureTexts.h"
#include "wizard/SettingsStore.h"
#include "wizard/WizardState.h"

// The number formed by the decimal digits at the start of `text` (after leading blanks), 0
// when there are none; saturates at INT64_MAX instead of wrapping.
int64_t LeadingNumber(const std::string& text);

// Page 1: serial port or NetPC address. Holds the user's choice in its four fields; reads them
// from the settings once, at construction, and writes them when the page is left with Next.
// The view forwards clicks and edits and draws State().
class ConnectPageLogic {
public:
    using PortLister = std::function<std::vector<SerialPortDetails>()>;

    ConnectPageLogic(SettingsStore& settings, Language language,
                     PortLister listPorts = ListSerialPortDetails);

    void OnSetActive();
    // Stores the choice; never refuses.
    bool OnKillActive();

    void FillComPortList(int portToSelect);
    void UpdateControls();

    // A radio button was clicked; `checked`: whether it is on now.
    void OnSerialClicked(bool checked);
    void OnTcpClicked(bool checked);
    void OnAddressEdited(const std::string& text);
    void OnPortEdited(const std::string& text);
    void OnPortSelected(int index);

    // Whether Next may be pressed with what the page shows now.
    bool NextAllowed() const;

    const ConnectPageState& State() const { return state_; }
    // Something that decides Next changed.
    std::function<void()> onChoiceEdited;

    int32_t connectionType = 0;
    int32_t serialPort = 1;
    std::string tcpAddress;
    int32_t tcpPort = 0;

private:
    void UpdatePortHint();
    void ChoiceEdited();

    SettingsStore& settings_;
    Language language_;
    PortLister listPorts_;
    ConnectPageState state_;
};
