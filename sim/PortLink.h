#pragma once

#include <string>

// The per-user port entry COMn -> device that lets the program open the simulator by its COM
// number. Removed again on destruction when it still points at our device.
class PortLink {
public:
    PortLink() = default;
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    // $XDG_CONFIG_HOME/Orvane/ports/, or ~/.config/Orvane/ports/ without it; empty when
    // neither is known.
    static std::string PortsFolder();
    bool Create(const std::string& name, const std::string& target, std::string& error);
    void Remove();
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::string target_;
};
