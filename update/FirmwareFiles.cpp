#include "update/FirmwareFiles.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

std::string ReadProgramDirectory() {
    std::string buffer(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) {
        return {};
    }
    buffer.resize(static_cast<size_t>(length));
    const size_t slash = buffer.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return buffer.substr(0, slash + 1);
}

std::string FileName(const std::string& path) {
    const size_t slash = path.rfind('/');
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
    if (!prefix.empty() && prefix.back() != '/') {
        prefix += '/';
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(prefix.empty() ? "." : prefix.c_str()),
                                                  ::closedir);
    if (!dir) {
        return false;
    }
    // readdir's order is the file system's; sort so the choice does not depend on it.
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (::fnmatch(pattern.c_str(), entry->d_name, FNM_CASEFOLD | FNM_PERIOD) == 0) {
            names.emplace_back(entry->d_name);
        }
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        struct stat info {};
        const std::string candidate = prefix + name;
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
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
