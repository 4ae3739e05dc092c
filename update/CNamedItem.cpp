#include "update/CNamedItem.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstring>

namespace {

// Byte-wise ASCII upper case: the bytes of multi-byte UTF-8 characters stay as they are.
std::string UpperKey(const std::string& name) {
    std::string key = name;
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return key;
}

}  // namespace

std::vector<char> TinyXmlBuffer(std::string_view text) {
    constexpr size_t kTerminatingZeros = 4;
    std::vector<char> buffer(text.size() + kTerminatingZeros, '\0');
    std::copy(text.begin(), text.end(), buffer.begin());
    return buffer;
}

std::string Utf8ToAnsi(const char* text) {
    return text != nullptr ? std::string(text) : "";
}

CNamedItem::CNamedItem(CNamedItem* parent) : parent(parent) {}

void CNamedItem::Clear() {
    children.reset();
    attributes.reset();
}

CNamedItem* CNamedItem::FindChild(const std::string& childName) {
    return const_cast<CNamedItem*>(static_cast<const CNamedItem*>(this)->FindChild(childName));
}

const CNamedItem* CNamedItem::FindChild(const std::string& childName) const {
    if (!children) {
        return nullptr;
    }
    const auto found = children->find(UpperKey(childName));
    return found == children->end() ? nullptr : found->second.get();
}

CNamedItem* CNamedItem::AddChild(const std::string& childName, const char* childValue) {
    return AddChild(childName, std::string(childValue != nullptr ? childValue : ""));
}

CNamedItem* CNamedItem::AddChild(const std::string& childName, const std::string& childValue) {
    CNamedItem* child = FindChild(childName);
    if (child == nullptr) {
        if (!children) {
            children = std::make_unique<std::map<std::string, std::unique_ptr<CNamedItem>>>();
        }
        auto created = std::make_unique<CNamedItem>(this);
        created->name = childName;
        child = created.get();
        (*children)[UpperKey(childName)] = std::move(created);
    }
    child->value = childValue;
    return child;
}

std::string CNamedItem::GetAttribute(const std::string& attributeName,
                                     const std::string& defaultValue) const {
    if (!attributes) {
        return defaultValue;
    }
    const auto found = attributes->find(attributeName);
    return found == attributes->end() ? defaultValue : found->second;
}

void CNamedItem::SetAttribute(const std::string& attributeName, const std::string& attributeValue) {
    if (!attributes) {
        attributes = std::make_unique<std::map<std::string, std::string>>();
    }
    (*attributes)[attributeName] = attributeValue;
}

void CNamedItem::GetAttributeNames(std::vector<std::string>& names) const {
    names.clear();
    if (attributes) {
        for (const auto& entry : *attributes) {
            names.push_back(entry.first);
        }
    }
}

void CNamedItem::GetChildren(std::vector<CNamedItem*>& list) const {
    list.clear();
    if (children) {
        for (const auto& entry : *children) {
            list.push_back(entry.second.get());
        }
    }
}

void CNamedItem::Merge(const CNamedItem& other) {
    value = other.value;
    std::vector<std::string> names;
    other.GetAttributeNames(names);
    for (const std::string& attributeName : names) {
        SetAttribute(attributeName, other.GetAttribute(attributeName, ""));
    }
    std::vector<CNamedItem*> otherChildren;
    other.GetChildren(otherChildren);
    for (const CNamedItem* child : otherChildren) {
        AddChild(child->name, child->value)->Merge(*child);
    }
}

void CNamedItem::LoadFromElement(const TiXmlElement* element) {
    if (element == nullptr) {
        return;
    }
    value = Utf8ToAnsi(element->GetText());
    name = Utf8ToAnsi(element->Value());
    for (const TiXmlAttribute* attribute = element->FirstAttribute(); attribute != nullptr;
         attribute = attribute->Next()) {
        SetAttribute(attribute->Name(), attribute->Value());
    }
    for (const TiXmlElement* child = element->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        AddChild(child->Value(), "")->LoadFromElement(child);
    }
}

void CNamedItem::ParseXml(const char* text) {
    if (text == nullptr) {
        Clear();
        return;
    }
    ParseXml(std::string_view(text, std::strlen(text)));
}

void CNamedItem::ParseXml(std::string_view text) {
    Clear();
    const std::vector<char> buffer = TinyXmlBuffer(text);
    // Texts keep their spaces and line breaks exactly as written.
    TiXmlBase::SetCondenseWhiteSpace(false);
    TiXmlDocument document;
    document.Parse(buffer.data(), nullptr, TIXML_ENCODING_UTF8);
    const TiXmlElement* rootElement = document.RootElement();
    if (rootElement != nullptr) {
        name = rootElement->Value();
        LoadFromElement(rootElement);
    }
}
