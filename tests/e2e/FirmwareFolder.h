#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "sim/Sha256.h"
#include "support/FirmwareImages.h"
#include "unit/TempDirectory.h"

// Firmware images generated into a fresh folder: a coder image that names its version in the
// file name and carries the "TVER" marker the coder reports after a restart, and optional DSP
// samples and DSP firmware. Contents are pseudo-random so a misplaced block shows in the hash.
class FirmwareFolder {
public:
    // Sizes in bytes; a missing file is std::nullopt.
    FirmwareFolder(size_t coderSize, std::optional<size_t> samplesSize,
                   std::optional<size_t> dspSize, const std::string& version = "2.16") {
        coder_ = GeneratedCoderImage(coderSize, version);
        coderPath_ =
            Write("Coder_V0" + version.substr(0, 1) + "_" + version.substr(2) + ".img", coder_);
        if (samplesSize) {
            samples_ = GeneratedImage(*samplesSize, kSamplesImageSeed);
            samplesPath_ = Write("Dsp_V01_00.smp", samples_);
        }
        if (dspSize) {
            dsp_ = GeneratedImage(*dspSize, kDspImageSeed);
            dspPath_ = Write("Dsp_V01_00.dsp", dsp_);
        }
    }

    bool Valid() const { return dir_.Valid(); }
    // Ends in "/".
    std::string Path() const { return dir_.Path(); }
    const std::string& CoderPath() const { return coderPath_; }

    // The simulator's dump lines that the three regions must show after a complete update.
    std::vector<std::string> ExpectedDump() const {
        return {ExpectedDumpLine(0, "0x80000", coder_), ExpectedDumpLine(1, "0xCDF00", samples_),
                ExpectedDumpLine(2, "0xD8000", dsp_)};
    }

    static std::string Hash(const std::vector<uint8_t>& bytes) {
        return Sha256::Hex(bytes.data(), bytes.size());
    }

private:
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string path = dir_.Path() + name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    TempDirectory dir_;
    std::vector<uint8_t> coder_;
    std::vector<uint8_t> samples_;
    std::vector<uint8_t> dsp_;
    std::string coderPath_;
    std::string samplesPath_;
    std::string dspPath_;
};

// The lines of a text file without their line ends (CR LF or LF).
inline std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}
