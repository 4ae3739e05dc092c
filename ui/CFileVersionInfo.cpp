#include "ui/CFileVersionInfo.h"

#include <unistd.h>

#include <climits>

#include "update/ProcedureTexts.h"

#ifndef TARVELIN_FILE_VERSION
#error "the build names the file version"
#endif

const VersionResource& ProgramVersionResource() {
    static const VersionResource resource = [] {
        VersionResource r;
        r.fixed = FixedFileVersion{TARVELIN_VERSION_MAJOR, TARVELIN_VERSION_MINOR, 0, 0};
        r.translations.push_back(VersionTranslation{0x0407, 1252});
        std::array<std::string, 12> german;
        german[0] = "Orvane";
        german[1] = "Tarvelin";
        german[2] = TARVELIN_FILE_VERSION;
        german[3] = "Tarvelin";
        german[6] = "Tarvelin";
        german[7] = TARVELIN_FILE_VERSION;
        r.texts.push_back(german);
        return r;
    }();
    return resource;
}

uint16_t UserDefaultLanguageId() {
    return SystemLanguage() == Language::German ? 0x0407 : 0x0409;
}

void CFileVersionInfo::Reset() {
    fixedInfo = FixedFileVersion{};
    for (std::string& text : texts) {
        text.clear();
    }
}

std::optional<size_t> CFileVersionInfo::FindTranslation(
    uint16_t language, const std::vector<VersionTranslation>& table, bool looser) {
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].language == language) {
            return i;
        }
    }
    if (looser) {
        for (size_t i = 0; i < table.size(); ++i) {
            if ((table[i].language & 0xFF) == (language & 0xFF)) {
                return i;
            }
        }
    }
    return std::nullopt;
}

std::optional<size_t> CFileVersionInfo::ChooseTranslation(
    uint16_t userLanguage, const std::vector<VersionTranslation>& table) {
    if (table.empty()) {
        return std::nullopt;
    }
    for (const uint16_t language : {userLanguage, uint16_t{0}, uint16_t{9}}) {
        if (auto found = FindTranslation(language, table, true)) {
            return found;
        }
    }
    return size_t{0};
}

bool CFileVersionInfo::CreateFromResource(const VersionResource& resource, uint16_t userLanguage) {
    Reset();
    fixedInfo = resource.fixed;
    const std::optional<size_t> chosen = ChooseTranslation(userLanguage, resource.translations);
    // Without a translation table there are no texts to read.
    if (chosen && *chosen < resource.texts.size()) {
        texts = resource.texts[*chosen];
    }
    return true;
}

bool CFileVersionInfo::Create(const std::string& fileName) {
    Reset();
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return false;
    }
    char given[PATH_MAX];
    if (realpath(fileName.c_str(), given) == nullptr ||
        std::string(given) != std::string(self, static_cast<size_t>(length))) {
        return false;
    }
    return CreateFromResource(ProgramVersionResource(), UserDefaultLanguageId());
}

bool CFileVersionInfo::CreateFromModule() {
    return Create("/proc/self/exe");
}
