#pragma once

#include <cstdint>
#include <string>

#include "ui-win32/CMaskEdit.h"
#include "ui-win32/CPropertyPage.h"
#include "ui-win32/CXColorStatic.h"

// The number formed by the decimal digits at the start of `text` (after leading blanks), 0
// when there are none; saturates at INT64_MAX instead of wrapping.
int64_t LeadingNumber(const std::string& text);

// Page 1: serial port or NetPC address. Holds the user's choice in its four fields; reads them
// from the settings once, at construction, and writes them when the page is left with Next.
class CConnectPropertyPage : public CPropertyPage {
public:
    explicit CConnectPropertyPage(Language language);

    void FillComPortList(int portToSelect);
    void UpdateControls();
    // Whether Next may be pressed with what the page shows now.
    bool NextAllowed() const;

    int32_t connectionType = 0;
    int32_t serialPort = 1;
    std::string tcpAddress;
    int32_t tcpPort = 0;

    CMaskEdit portEdit;      // 1006
    CXColorStatic portHint;  // beside the port: why a port is refused
    CXColorStatic portsNote;  // below: ports present but not usable, and why

protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    void OnKillActive() override;
    void OnCommand(int id, int code) override;

private:
    void UpdatePortHint();
};
