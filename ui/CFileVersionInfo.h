#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One entry of a version resource's translation table.
struct VersionTranslation {
    uint16_t language;  // e.g. 0x0407 German, 0x0409 English (US)
    uint16_t codePage;  // e.g. 1252
};

// The fixed version block: the numbers, without the platform's other fields.
struct FixedFileVersion {
    uint16_t major = 0;
    uint16_t minor = 0;
    uint16_t build = 0;
    uint16_t revision = 0;
};

// A program's version information: a translation table and, per translation, the twelve
// standard texts. Linux executables carry none, so the program's own comes from the build.
struct VersionResource {
    FixedFileVersion fixed;
    std::vector<VersionTranslation> translations;
    // One set of texts per translation, in the order of CFileVersionInfo::kValueNames.
    std::vector<std::array<std::string, 12>> texts;
};

// The version resource of this program: one German translation (0x0407, code page 1252),
// FileVersion from the build's project version.
const VersionResource& ProgramVersionResource();

// The user's language as a language identifier: 0x0407 German, otherwise 0x0409.
uint16_t UserDefaultLanguageId();

// Reads a version resource in the language that best matches the user.
class CFileVersionInfo {
public:
    static constexpr const char* kValueNames[12] = {
        "CompanyName",    "FileDescription",  "FileVersion",  "InternalName",
        "LegalCopyright", "OriginalFileName", "ProductName",  "ProductVersion",
        "Comments",       "LegalTrademarks",  "PrivateBuild", "SpecialBuild"};

    CFileVersionInfo() { Reset(); }
    virtual ~CFileVersionInfo() = default;

    virtual void Reset();

    // True for the running executable (the only file here that carries version information).
    bool Create(const std::string& fileName);
    bool CreateFromModule();
    // Reads the given resource as the user `userLanguage` sees it.
    bool CreateFromResource(const VersionResource& resource, uint16_t userLanguage);

    std::string GetFileVersion() const { return texts[2]; }
    const std::string& Text(int index) const { return texts[index]; }
    const FixedFileVersion& FixedInfo() const { return fixedInfo; }

    // An exact language match, or with `looser` the first entry whose low 8 bits (the primary
    // language) agree.
    static std::optional<size_t> FindTranslation(uint16_t language,
                                                 const std::vector<VersionTranslation>& table,
                                                 bool looser);
    // The first rule that yields an entry: the user's language exactly, then loosely, then
    // neutral, then English, then the first entry. Nothing for an empty table.
    static std::optional<size_t> ChooseTranslation(uint16_t userLanguage,
                                                   const std::vector<VersionTranslation>& table);

private:
    FixedFileVersion fixedInfo;
    std::array<std::string, 12> texts;
};
