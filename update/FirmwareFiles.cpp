#include "update/FirmwareFiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "update/ExecutablePath.h"
#include "update/FilePattern.h"
#include "update/Utf8Path.h"

namespace fs = std::filesystem;

namespace {

std::string ReadProgramDirectory() {
    const std::string path = ExecutablePath();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return path.substr(0, slash + 1);
}

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of(
        std::string{'/', static_cast<char>(std::filesystem::path::preferred_separator)});
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

const std::string& GetProgramDirectory() {
    static const std::string directory = ReadProgramDirectory();
    return directory;
}

bool FindFirmwareFile(const std::string& pattern, std::string& path, const std::string& directory) {
    path.clear();
    std::string prefix = directory;
    if (!prefix.empty() && !IsPathSeparator(prefix.back())) {
        prefix += '/';
    }
    std::error_code error;
    fs::directory_iterator entries(prefix.empty() ? fs::path(".") : PathFromUtf8(prefix), error);
    if (error) {
        return false;
    }
    // The directory's own order is the file system's; sort so the choice does not depend on it.
    std::vector<std::string> names;
    for (const fs::directory_iterator end; entries != end; entries.increment(error)) {
        if (error) {
            break;
        }
        const std::string name = Utf8FromPath(entries->path().filename());
        if (MatchesFilePattern(pattern, name)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string candidate = prefix + name;
        if (fs::is_regular_file(PathFromUtf8(candidate), error)) {
            path = candidate;
            return true;
        }
    }
    return false;
}

std::string VersionFromFileName(const std::string& baseName) {
    const std::string unknown = "???";
    const size_t last = baseName.rfind('_');
    if (last == std::string::npos || last == 0) {
        return unknown;
    }
    const size_t second = baseName.rfind('_', last - 1);
    if (second == std::string::npos) {
        return unknown;
    }
    size_t position = second + 1;
    if (position < baseName.size() && baseName[position] == 'V') {
        ++position;
    }
    if (position < baseName.size() && baseName[position] == '0') {
        ++position;
    }
    if (position >= baseName.size()) {
        return unknown;
    }
    std::string version = baseName.substr(position);
    const size_t underscore = version.rfind('_');
    if (underscore != std::string::npos) {
        version[underscore] = '.';
    }
    return version;
}

std::string VersionToFlashText(const std::string& path) {
    const std::string name = FileName(path);
    const size_t dot = name.rfind('.');
    const std::string baseName = dot == std::string::npos ? name : name.substr(0, dot);
    return VersionFromFileName(baseName) + " (" + name + ")";
}

bool DiscoverFirmwareFiles(const std::string& directory, FirmwareFileSet& files,
                           DiscoveryQuestions& questions) {
    files = FirmwareFileSet{};
    if (FindFirmwareFile("*.img", files.coderFile, directory)) {
        files.versionToFlash = VersionToFlashText(files.coderFile);
    } else {
        questions.CoderFileMissing();
        return false;
    }
    if (FindFirmwareFile("*.dsp", files.dspFile, directory)) {
        // A missing samples file is no reason to ask: the DSP firmware goes alone then.
        FindFirmwareFile("*.smp", files.samplesFile, directory);
        return true;
    }
    return questions.ConfirmCoderOnly();
}
