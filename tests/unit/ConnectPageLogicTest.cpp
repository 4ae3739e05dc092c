#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/WizardFakes.h"
#include "wizard/ConnectPageLogic.h"

namespace {

SerialPortDetails Port(int number, bool opens = true, bool usable = true) {
    SerialPortDetails port;
    port.comNumber = number;
    port.device = "/dev/ttyS" + std::to_string(number);
    port.opens = opens;
    port.usable = usable;
    port.openError = opens ? 0 : EACCES;
    return port;
}

struct ConnectPage {
    explicit ConnectPage(std::vector<SerialPortDetails> ports = {Port(1), Port(3)})
        : logic(settings, Language::English, [this] { return this->ports; }),
          ports(std::move(ports)) {}
    MemorySettingsStore settings;
    ConnectPageLogic logic;
    std::vector<SerialPortDetails> ports;
};

TEST(ConnectPageLogic, LeadingNumber) {
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber("80ab"), 80);
    EXPECT_EQ(LeadingNumber(" 65536"), 65536);
    EXPECT_EQ(LeadingNumber("123456789012345678901234567890"), INT64_MAX);
}

// Next on the TCP/IP choice: a host, and a port from 1 to 65535; a port above says why.
TEST(ConnectPageLogic, TcpNextFollowsHostAndPort) {
    struct Case {
        const char* host;
        const char* port;
        bool next;
        bool portHint;
    };
    const Case cases[] = {
        {"", "4001", false, false},
        {"127.0.0.1", "", false, false},
        {"127.0.0.1", "0", false, false},
        {"127.0.0.1", "65536", false, true},
        {"127.0.0.1", "1", true, false},
        {"localhost", "65535", true, false},
        {"127.0.0.1", "99999999999999999999999", false, true},
        {"127.0.0.1", "4001x", true, false},
    };
    ConnectPage page;
    page.logic.OnSetActive();
    page.logic.OnTcpClicked(true);
    EXPECT_TRUE(page.logic.State().tcpFieldsEnabled);
    EXPECT_FALSE(page.logic.State().portListEnabled);
    for (const Case& c : cases) {
        page.logic.OnAddressEdited(c.host);
        page.logic.OnPortEdited(c.port);
        EXPECT_EQ(page.logic.NextAllowed(), c.next) << c.host << " " << c.port;
        EXPECT_EQ(page.logic.State().portHint.visible, c.portHint) << c.port;
    }
    EXPECT_EQ(page.logic.State().portHint.text, "Ports go up to 65535 only.");
    EXPECT_EQ(page.logic.State().portHint.colour, TextColour::Red);
    // The hint belongs to the TCP port: gone with the serial choice.
    page.logic.OnPortEdited("70000");
    page.logic.OnSerialClicked(true);
    EXPECT_FALSE(page.logic.State().portHint.visible);
    page.logic.OnTcpClicked(true);
    EXPECT_TRUE(page.logic.State().portHint.visible);
}

TEST(ConnectPageLogic, SerialNextNeedsAPort) {
    ConnectPage withPorts;
    withPorts.logic.OnSetActive();
    EXPECT_TRUE(withPorts.logic.NextAllowed());
    // A machine without ports.
    ConnectPage without(std::vector<SerialPortDetails>{});
    without.logic.OnSetActive();
    EXPECT_TRUE(without.logic.State().ports.empty());
    EXPECT_FALSE(without.logic.NextAllowed());
}

// The list shows the ports that open, selects the stored one, and counts the others.
TEST(ConnectPageLogic, PortListSelectsTheStoredPortAndExplainsTheOthers) {
    ConnectPage page({Port(1), Port(2, false, false), Port(3), Port(4, true, false)});
    page.settings.ints[kSerialPortValue] = 3;
    ConnectPageLogic logic(page.settings, Language::English, [&] { return page.ports; });
    int edits = 0;
    logic.onChoiceEdited = [&] { ++edits; };
    logic.OnSetActive();
    const ConnectPageState& state = logic.State();
    ASSERT_EQ(state.ports.size(), 3u);
    EXPECT_EQ(state.ports[0].name, "COM1");
    EXPECT_EQ(state.ports[2].number, 4);
    EXPECT_EQ(state.selectedPort, 1);
    EXPECT_TRUE(state.portsNote.visible);
    EXPECT_NE(state.portsNote.text.find("COM2"), std::string::npos) << state.portsNote.text;
    EXPECT_GT(edits, 0);
    const int fills = state.portListFills;
    logic.OnTcpClicked(true);
    EXPECT_FALSE(state.portsNote.visible);
    // Shown again, the list is probed anew.
    logic.OnSetActive();
    EXPECT_EQ(state.portListFills, fills + 1);
}

// First start, a stored port that is not listed, and an unknown connection type.
TEST(ConnectPageLogic, SettingsAreReadOnceAndWrittenWhenLeft) {
    ConnectPage page;
    EXPECT_EQ(page.settings.reads, (std::vector<std::string>{kSerialPortValue, kTcpAddressValue,
                                                             kTcpPortValue, kConnectionTypeValue}));
    EXPECT_EQ(page.logic.connectionType, 0);
    EXPECT_EQ(page.logic.serialPort, 1);
    page.logic.OnSetActive();
    EXPECT_EQ(page.logic.State().selectedPort, 0);
    EXPECT_EQ(page.logic.State().address, "");
    EXPECT_EQ(page.logic.State().port, "");

    page.logic.OnTcpClicked(true);
    page.logic.OnAddressEdited("netpc.local");
    page.logic.OnPortEdited("401x7");
    EXPECT_TRUE(page.logic.OnKillActive());
    EXPECT_EQ(page.settings.writes,
              (std::vector<std::string>{kConnectionTypeValue, kTcpAddressValue, kTcpPortValue}));
    EXPECT_EQ(page.settings.ints[kTcpPortValue], 401);
    EXPECT_EQ(page.settings.strings[kTcpAddressValue], "netpc.local");

    // The next run reads them back; the serial values stayed as they were.
    page.settings.ints[kSerialPortValue] = 40;
    ConnectPageLogic again(page.settings, Language::English, [&] { return page.ports; });
    again.OnSetActive();
    EXPECT_NE(again.State().connectionType, 0);
    EXPECT_EQ(again.State().address, "netpc.local");
    EXPECT_EQ(again.State().port, "401");
    EXPECT_EQ(again.State().selectedPort, -1);  // COM40 is never listed
    again.OnSerialClicked(true);
    page.settings.writes.clear();
    EXPECT_TRUE(again.OnKillActive());
    EXPECT_EQ(page.settings.writes,
              (std::vector<std::string>{kConnectionTypeValue, kSerialPortValue}));
    EXPECT_EQ(page.settings.ints[kSerialPortValue], -1);

    page.settings.ints[kConnectionTypeValue] = 2;
    ConnectPageLogic unknown(page.settings, Language::English, [&] { return page.ports; });
    unknown.OnSetActive();
    EXPECT_TRUE(unknown.State().tcpFieldsEnabled);
    EXPECT_TRUE(unknown.OnKillActive());
    EXPECT_EQ(page.settings.ints[kConnectionTypeValue], 2);
}

}  // namespace
