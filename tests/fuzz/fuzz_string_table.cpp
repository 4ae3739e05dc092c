// Any document parses into a tree that merges into another without losing a node, and loads
// as a string table whose lookups of a language nobody can name give the key.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "update/CNamedItem.h"
#include "update/CZelkorTools.h"
#include "update/StringManager.h"
#include "update/StringResources.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Every child and attribute of `source` is found in `target`, all the way down.
void CheckHolds(const CNamedItem& target, const CNamedItem& source, int depth) {
    std::vector<std::string> names;
    source.GetAttributeNames(names);
    for (const std::string& name : names) {
        Check(target.GetAttribute(name, "\x01missing") != "\x01missing");
    }
    if (depth > 64) {
        return;
    }
    std::vector<CNamedItem*> children;
    source.GetChildren(children);
    for (const CNamedItem* child : children) {
        const CNamedItem* found = target.FindChild(child->name);
        Check(found != nullptr);
        CheckHolds(*found, *child, depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The string manager insists on initialised tools.
    Check(CZelkorTools::GetInstance().Initialize(0));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The raw bytes, unterminated: the parse must read none past them.
    CNamedItem document;
    document.ParseXml(std::string_view(reinterpret_cast<const char*>(data), size));
    CNamedItem merged;
    merged.AddChild("stringtable", "")->AddChild("default", "fixed");
    merged.Merge(document);
    CheckHolds(merged, document, 0);

    // The same bytes as a registered document, the way the program loads its table.
    RegisterStringResource("fuzz", data, size);
    StringManager manager;
    if (!manager.LoadFromResource("fuzz")) {
        return 0;
    }
    const CNamedItem* table = manager.Root().FindChild("stringtable");
    Check(table != nullptr);
    std::vector<CNamedItem*> sections;
    table->GetChildren(sections);
    for (const CNamedItem* section : sections) {
        std::vector<CNamedItem*> keys;
        section->GetChildren(keys);
        for (const CNamedItem* key : keys) {
            // No element is named by a blank, so the lookup falls back to the key.
            Check(manager.GetString(key->name, section->name, " ") == key->name);
            manager.GetString(key->name, section->name, "");
        }
    }
    return 0;
}
