#include "sim/SimFleet.h"

#include "sim/FlashMemory.h"

namespace {

// A free port found by the first coder may leave no room for the others (the next port is
// taken): then the whole run is tried again on another free port.
constexpr int kPortAttempts = 32;

}  // namespace

SimFleet::SimFleet(std::vector<SimOptions> coders) : options_(std::move(coders)) {}

SimFleet::~SimFleet() {
    Stop();
}

SimOptions SimFleet::ForCoder(SimOptions options, size_t index, size_t count, uint16_t base) {
    if (count <= 1) {
        return options;
    }
    const std::string number = std::to_string(index + 1);
    if (options.tcpPort) {
        options.tcpPort = static_cast<uint16_t>(base + index);
    }
    if (!options.link.empty()) {
        options.link = "COM" + std::to_string(std::stoi(options.link.substr(3)) + index);
    }
    if (!options.dumpFile.empty()) {
        options.dumpFile += "." + number;
    }
    if (!options.dumpRawDir.empty()) {
        options.dumpRawDir += "/" + number;
    }
    return options;
}

bool SimFleet::StartAll(uint16_t base, std::string& error) {
    const size_t count = options_.size();
    for (size_t i = 0; i < count; ++i) {
        // With PORT 0 the kernel picks the first coder's port (base is 0); the others follow.
        const SimOptions options = ForCoder(options_[i], i, count, base);
        auto server = std::make_unique<SimServer>(options);
        if (!server->Start(error)) {
            return false;
        }
        if (i == 0 && options.tcpPort && *options.tcpPort == 0) {
            base = server->port();
            if (base + count - 1 > 65535) {
                error =
                    "no room for " + std::to_string(count) + " ports after " + std::to_string(base);
                servers_.push_back(std::move(server));
                return false;
            }
        }
        servers_.push_back(std::move(server));
    }
    return true;
}

bool SimFleet::Start(std::string& error) {
    // A raw dump folder that cannot be made is told now, not when the flash is to be saved.
    for (size_t i = 0; i < options_.size(); ++i) {
        const std::string dir = ForCoder(options_[i], i, options_.size(), 0).dumpRawDir;
        if (!dir.empty() && !FlashMemory::CreateDumpFolder(dir, error)) {
            return false;
        }
    }
    const bool anyPort = options_.front().tcpPort && *options_.front().tcpPort == 0;
    const uint16_t base = options_.front().tcpPort.value_or(0);
    const int attempts = anyPort && options_.size() > 1 ? kPortAttempts : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (StartAll(base, error)) {
            break;
        }
        Stop();
        servers_.clear();
        if (attempt + 1 == attempts) {
            if (anyPort && options_.size() > 1) {
                error = "found no " + std::to_string(options_.size()) +
                        " consecutive free ports on 127.0.0.1 (last try: " + error + ")";
            }
            return false;
        }
    }
    return true;
}

void SimFleet::Stop() {
    for (auto& server : servers_) {
        server->Stop();
    }
}

std::vector<std::string> SimFleet::Announcements() const {
    std::vector<std::string> lines;
    for (size_t i = 0; i < servers_.size(); ++i) {
        const SimServer& server = *servers_[i];
        if (options_[i].tcpPort) {
            lines.push_back("tcp 127.0.0.1:" + std::to_string(server.port()));
        }
        if (options_[i].serial) {
            lines.push_back("serial " + server.ptyPath());
        }
        if (!server.linkPath().empty()) {
            lines.push_back("link " + server.linkPath());
        }
    }
    return lines;
}

bool SimFleet::WriteDumps(std::string& error) const {
    bool ok = true;
    for (const auto& server : servers_) {
        std::string reason;
        if (!server->WriteDumps(reason) && ok) {
            error = reason;
            ok = false;
        }
    }
    return ok;
}
