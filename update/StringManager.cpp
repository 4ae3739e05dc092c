#include "update/StringManager.h"

#include <string_view>

#include "uecp/ResultCodes.h"
#include "update/CZelkorTools.h"
#include "update/ProcedureTexts.h"
#include "update/StringResources.h"

namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    size_t position = 0;
    while ((position = text.find(from, position)) != std::string::npos) {
        text.replace(position, from.size(), to);
        position += to.size();
    }
}

}  // namespace

StringManager& StringManager::GetInstance() {
    static StringManager instance;
    return instance;
}

StringManager::StringManager() : root(nullptr) {
    root.Clear();
    root.AddChild("stringtable", "")->AddChild("default", "");
    CZelkorTools::GetInstance().CheckInitialized();
    SetLanguage(LanguageCode(SystemLanguage()));
}

bool StringManager::LoadFromResource(const std::string& name) {
    StringResource resource;
    if (!FindStringResource(name, resource)) {
        return false;
    }
    // The resource's bytes need not be terminated: the parse copies them into its own buffer.
    CNamedItem document(nullptr);
    document.ParseXml(
        std::string_view(reinterpret_cast<const char*>(resource.data), resource.size));
    const CNamedItem* table = document.FindChild("stringtable");
    if (table == nullptr) {
        return false;
    }
    root.AddChild("stringtable", table->value)->Merge(*table);
    return true;
}

bool StringManager::LoadFromResource(int id) {
    return LoadFromResource(std::to_string(id));
}

std::string StringManager::GetString(const std::string& key, const std::string& section,
                                     const std::string& languageCode) const {
    const std::string& sectionName = section.empty() ? std::string("default") : section;
    const std::string& languageName = languageCode.empty() ? language : languageCode;
    const CNamedItem* table = root.FindChild("stringtable");
    const CNamedItem* sectionNode = table != nullptr ? table->FindChild(sectionName) : nullptr;
    if (sectionNode == nullptr) {
        return section;
    }
    const CNamedItem* keyNode = sectionNode->FindChild(key);
    if (keyNode == nullptr) {
        return key;
    }
    const CNamedItem* languageNode = keyNode->FindChild(languageName);
    if (languageNode == nullptr) {
        return key;
    }
    std::string text = languageNode->value;
    if (text.find('\\') != std::string::npos) {
        ReplaceAll(text, "\\r", "\r");
        ReplaceAll(text, "\\n", "\n");
        ReplaceAll(text, "\\t", "\t");
        ReplaceAll(text, std::string("\\0"), "");
    }
    return text;
}

bool StringManager::SetLanguage(const std::string& code) {
    if (code.empty()) {
        return false;
    }
    language = code;
    return true;
}

std::string ErrorText(int32_t code) {
    return StringManager::GetInstance().GetString(ErrorName(code), "UECP_IO_Errors", "");
}
