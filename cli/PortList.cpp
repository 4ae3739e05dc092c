#include "cli/PortList.h"

#include <cstdio>

#include "cli/CliTexts.h"
#include "cli/JsonWriter.h"
#include "console/TerminalText.h"
#include "transport/PortHolders.h"
#include "transport/SerialPorts.h"
#include "transport/SystemErrorText.h"

namespace {

nlohmann::ordered_json TextOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

std::string HoldersText(const std::vector<PortHolder>& holders) {
    std::string text;
    for (const PortHolder& holder : holders) {
        text += (text.empty() ? "" : ", ") + (holder.name.empty() ? "?" : holder.name) + " (pid " +
                std::to_string(holder.pid) + ")";
    }
    return text;
}

nlohmann::ordered_json HoldersJson(const std::vector<PortHolder>& holders) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const PortHolder& holder : holders) {
        list.push_back({{"pid", holder.pid}, {"name", holder.name}});
    }
    return list;
}

}  // namespace

int ListPorts(bool json, Language language) {
    const std::vector<SerialPortDetails> ports = ListSerialPortDetails();
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const SerialPortDetails& port : ports) {
        if (json) {
            list.push_back(
                {{"com", port.comNumber},
                 {"name", "COM" + std::to_string(port.comNumber)},
                 {"device", port.device},
                 {"realDevice", TextOrNull(port.realDevice)},
                 {"byId", TextOrNull(port.byId)},
                 {"usbVendorId", TextOrNull(port.usbVendorId)},
                 {"usbProductId", TextOrNull(port.usbProductId)},
                 {"manufacturer", TextOrNull(port.manufacturer)},
                 {"product", TextOrNull(port.product)},
                 {"serialNumber", TextOrNull(port.serialNumber)},
                 {"latencyTimerMs", port.latencyTimerMs < 0
                                        ? nlohmann::ordered_json(nullptr)
                                        : nlohmann::ordered_json(port.latencyTimerMs)},
                 {"usable", port.usable},
                 {"openError", port.openError == 0
                                   ? nlohmann::ordered_json(nullptr)
                                   : nlohmann::ordered_json(SystemErrorText(port.openError))},
                 {"heldBy", HoldersJson(port.heldBy)},
                 {"farSide", HoldersJson(port.farSide)}});
            continue;
        }
        std::string line = "COM" + std::to_string(port.comNumber) + "  " + port.device;
        if (!port.realDevice.empty() && port.realDevice != port.device) {
            line += " -> " + port.realDevice;
        }
        if (!port.usbVendorId.empty()) {
            line += "  " + port.usbVendorId + ":" + port.usbProductId;
        }
        for (const std::string* text : {&port.manufacturer, &port.product}) {
            if (!text->empty()) {
                line += "  " + *text;
            }
        }
        if (!port.serialNumber.empty()) {
            line += "  serial " + port.serialNumber;
        }
        std::printf("%s\n", EscapeForTerminal(line).c_str());
        if (!port.byId.empty()) {
            std::printf("      by-id: %s\n", EscapeForTerminal(port.byId).c_str());
        }
        if (!port.heldBy.empty()) {
            std::printf("      in use by %s\n",
                        EscapeForTerminal(HoldersText(port.heldBy)).c_str());
        }
        if (!port.farSide.empty()) {
            std::printf("      far side: %s\n",
                        EscapeForTerminal(HoldersText(port.farSide)).c_str());
        }
        if (port.openError != 0) {
            std::printf("      cannot be opened: %s\n", SystemErrorText(port.openError).c_str());
        }
        if (port.latencyTimerMs > 1) {
            std::printf("      latency_timer %d ms\n", port.latencyTimerMs);
        }
    }
    if (json) {
        std::printf("%s\n", JsonWriter::Line(list).c_str());
    } else if (ports.empty()) {
        std::fprintf(stderr, "%s\n", CliTextFormat(CliText::NoSerialPorts, language).c_str());
    }
    std::fflush(stdout);
    return 0;
}
