#pragma once

#include <string>

#include "update/FirmwareBlocks.h"
#include "update/FirmwareFileReader.h"

// Finding the firmware images beside the program and naming the version they carry.

// Directory of the running executable, UTF-8, with '/' between folders and at its end on every
// platform ("C:/Program Files/Tarvelin/" on Windows, which takes '/' as well). Computed once;
// empty when the executable's path cannot be read.
const std::string& GetProgramDirectory();

// Looks in `directory` (the program directory by default; empty means the current directory)
// for the first regular file whose name matches `pattern` ignoring case, in byte order of the
// names (MatchesFilePattern). On a match `path` is the directory, a '/' unless it ends in a
// separator, and the name; otherwise `path` is empty.
bool FindFirmwareFile(const std::string& pattern, std::string& path,
                      const std::string& directory = GetProgramDirectory());

// The version named by a firmware file's base name (no directory, no extension), such as
// Coder_V02_15 -> 2.15; "???" when the name holds fewer than two underscores.
std::string VersionFromFileName(const std::string& baseName);

// "2.15 (Coder_V02_15.img)" for a path to Coder_V02_15.img.
std::string VersionToFlashText(const std::string& path);

struct FirmwareFileSet {
    std::string coderFile;       // *.img, required
    std::string dspFile;         // *.dsp, optional
    std::string samplesFile;     // *.smp, only used together with a *.dsp
    std::string versionToFlash;  // VersionToFlashText of coderFile
};

// The two questions the discovery may need to ask; the front end shows them as message boxes.
class DiscoveryQuestions {
public:
    virtual ~DiscoveryQuestions() = default;
    // Box 207: there is no coder firmware; the program ends after it.
    virtual void CoderFileMissing() = 0;
    // Box 208: no DSP firmware; true (OK) flashes the coder firmware alone.
    virtual bool ConfirmCoderOnly() = 0;
};

// Fills `files` from `directory`. True when the wizard may go on, false when the program is to
// end (no coder firmware, or the user refused to flash it alone).
bool DiscoverFirmwareFiles(const std::string& directory, FirmwareFileSet& files,
                           DiscoveryQuestions& questions);
