#pragma once

#include <cstdint>
#include <string>

#include "update/CNamedItem.h"

// Localised texts from the XML string table (today the texts of the result codes), looked up
// by key, section and language. Loads happen before any worker exists; lookups never change
// the tree, so workers may call GetString without a lock.
class StringManager {
public:
    // The process-wide manager; the tools must be initialised before the first call.
    static StringManager& GetInstance();

    // Tests build their own; the language comes from SystemLanguage().
    StringManager();
    virtual ~StringManager() = default;
    StringManager(const StringManager&) = delete;
    StringManager& operator=(const StringManager&) = delete;

    // Merges the "stringtable" of the named document into the tree. False, with the tree
    // unchanged, when the document is unknown or has no "stringtable" under its root.
    bool LoadFromResource(const std::string& name);
    bool LoadFromResource(int id);

    // Empty section: "default"; empty language: the current one. An unknown section gives the
    // section as passed, an unknown key or language the key.
    std::string GetString(const std::string& key, const std::string& section,
                          const std::string& language) const;

    // Refuses an empty code.
    bool SetLanguage(const std::string& code);
    const std::string& Language() const { return language; }

    const CNamedItem& Root() const { return root; }

private:
    std::string language;
    CNamedItem root;
};

// The display text of a result code in the current language: the one place the procedure
// asks for it.
std::string ErrorText(int32_t code);
