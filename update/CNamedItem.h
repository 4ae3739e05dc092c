#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TiXmlElement;

// One node of the string table's tree: a name, a text, named children found regardless of
// case, and attributes. A node owns its whole subtree.
class CNamedItem {
public:
    explicit CNamedItem(CNamedItem* parent = nullptr);
    CNamedItem(const CNamedItem&) = delete;
    CNamedItem& operator=(const CNamedItem&) = delete;

    // Drops all children and attributes; name and value stay.
    void Clear();

    // Null when there is no child of that name (compared upper-cased).
    CNamedItem* FindChild(const std::string& name);
    const CNamedItem* FindChild(const std::string& name) const;
    // Finds or creates the child and sets its value; a null value counts as empty.
    CNamedItem* AddChild(const std::string& name, const char* value);
    CNamedItem* AddChild(const std::string& name, const std::string& value);

    std::string GetAttribute(const std::string& name, const std::string& defaultValue) const;
    void SetAttribute(const std::string& name, const std::string& value);
    void GetAttributeNames(std::vector<std::string>& names) const;
    void GetChildren(std::vector<CNamedItem*>& children) const;

    // Overlays `other`'s subtree onto this node; nothing is ever removed.
    void Merge(const CNamedItem& other);

    void LoadFromElement(const TiXmlElement* element);
    // Parses a UTF-8 document (up to its first zero byte) and loads its root element; parse
    // errors leave the node as far as it was read (empty when there is no root element).
    void ParseXml(const char* text);
    void ParseXml(std::string_view text);

    std::string value;
    std::string name = "root";
    CNamedItem* parent;

private:
    std::unique_ptr<std::map<std::string, std::unique_ptr<CNamedItem>>> children;
    std::unique_ptr<std::map<std::string, std::string>> attributes;
};

// The buffer to hand TinyXML for `text`: a copy followed by four zero bytes. TinyXML 2.6 skips
// a UTF-8 character by the length its lead byte announces, even when the terminating zero lies
// within it, and so reads up to three bytes past the end of a text that ends in a lead byte.
std::vector<char> TinyXmlBuffer(std::string_view text);

// The narrow encoding here is UTF-8, so the text passes unchanged; null gives "".
std::string Utf8ToAnsi(const char* text);
