#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Environment.h"
#include "GuardPage.h"
#include "uecp/ResultCodes.h"
#include "update/CNamedItem.h"
#include "update/CZelkorTools.h"
#include "update/StringManager.h"
#include "update/StringResources.h"

namespace {

// Name, value and attributes of every node, children sorted by their map key, one per line.
std::string Dump(const CNamedItem& node, int depth = 0) {
    std::string text = std::string(depth * 2, ' ') + node.name + "=[" + node.value + "]";
    std::vector<std::string> attributes;
    node.GetAttributeNames(attributes);
    for (const std::string& name : attributes) {
        text += " " + name + "=" + node.GetAttribute(name, "");
    }
    text += "\n";
    std::vector<CNamedItem*> children;
    node.GetChildren(children);
    for (const CNamedItem* child : children) {
        text += Dump(*child, depth + 1);
    }
    return text;
}

void Register(const std::string& name, const char* document) {
    RegisterStringResource(name, reinterpret_cast<const uint8_t*>(document), std::strlen(document));
}

class StringManagerTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // The manager insists on initialised tools; every kernel this builds on passes row 0.
        ASSERT_TRUE(CZelkorTools::GetInstance().Initialize(0));
    }
    // A manager of the test's own, so loads do not touch the process-wide one.
    StringManager manager;
};

TEST_F(StringManagerTest, ResultCodeTextsInBothLanguages) {
    ASSERT_TRUE(manager.LoadFromResource(135));
    EXPECT_EQ(manager.GetString("IDS_ERR_CRC", "UECP_IO_Errors", "de"), "CRC Fehler");
    EXPECT_EQ(manager.GetString("IDS_ERR_CRC", "UECP_IO_Errors", "en"), "CRC error");
    EXPECT_EQ(manager.GetString(ErrorName(ERR_NACK_11), "UECP_IO_Errors", "de"),
              "ACK - Pufferüberlauf");
    EXPECT_EQ(manager.GetString(ErrorName(ERR_NACK_2), "UECP_IO_Errors", "en"),
              "ACK - Message was not received (derived from the sequence counter)");
    EXPECT_EQ(manager.GetString(ErrorName(ERR_NACK_15), "UECP_IO_Errors", "de"),
              "Unbekannter Fehler");
    // Case does not matter for keys, sections and languages.
    EXPECT_EQ(manager.GetString("ids_err_crc", "uecp_io_errors", "EN"), "CRC error");
    // The empty language is the manager's own.
    ASSERT_TRUE(manager.SetLanguage("de"));
    EXPECT_EQ(manager.GetString("IDS_ERR_CRC", "UECP_IO_Errors", ""), "CRC Fehler");
    ASSERT_TRUE(manager.SetLanguage("en"));
    EXPECT_EQ(manager.GetString("IDS_ERR_CRC", "UECP_IO_Errors", ""), "CRC error");
    EXPECT_FALSE(manager.SetLanguage(""));
    EXPECT_EQ(manager.Language(), "en");
}

TEST_F(StringManagerTest, MissingEntriesFallBack) {
    ASSERT_TRUE(manager.LoadFromResource("135"));
    EXPECT_EQ(manager.GetString("IDS_ERR_CRC", "No_Such_Section", "en"), "No_Such_Section");
    EXPECT_EQ(manager.GetString("IDS_ERR_NOPE", "UECP_IO_Errors", "en"), "IDS_ERR_NOPE");
    EXPECT_EQ(manager.GetString("IDS_ERR_CRC", "UECP_IO_Errors", "fr"), "IDS_ERR_CRC");
    // The empty section is "default", which the table leaves empty.
    EXPECT_EQ(manager.GetString("IDS_ERR_CRC", "", "en"), "IDS_ERR_CRC");
    for (const char* language : {"de", "en"}) {
        EXPECT_EQ(manager.GetString(ErrorName(ERR_FILE_OPEN), "UECP_IO_Errors", language),
                  "IDS_ERR_FILE_OPEN");
        EXPECT_EQ(manager.GetString(ErrorName(ERR_CANCELLED_BY_USER), "UECP_IO_Errors", language),
                  "IDS_ERR_CANCELLED_BY_USER");
        EXPECT_EQ(manager.GetString(ErrorName(ERR_NACK_21), "UECP_IO_Errors", language),
                  "IDS_ERR_NACK_21");
    }
}

TEST_F(StringManagerTest, NothingLoadedGivesTheSectionName) {
    EXPECT_EQ(manager.GetString("IDS_ERR_CRC", "UECP_IO_Errors", ""), "UECP_IO_Errors");
    EXPECT_FALSE(manager.LoadFromResource("no such resource"));
}

TEST_F(StringManagerTest, EscapesAndSpaces) {
    Register("escapes",
             "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
             "<root><stringtable><Texts>"
             "<Lines><en>one\\ntwo\\r\\tthree\\0!</en></Lines>"
             "<Spaced><en>  two  spaces\tand a tab  </en></Spaced>"
             "<Slash><en>a\\b\\\\n</en></Slash>"
             "<Umlaut><de>Pufferüberlauf &amp; mehr</de></Umlaut>"
             "</Texts></stringtable></root>");
    ASSERT_TRUE(manager.LoadFromResource("escapes"));
    EXPECT_EQ(manager.GetString("Lines", "Texts", "en"), "one\ntwo\r\tthree!");
    EXPECT_EQ(manager.GetString("Spaced", "Texts", "en"), "  two  spaces\tand a tab  ");
    // Only the four sequences change; a lone backslash stays.
    EXPECT_EQ(manager.GetString("Slash", "Texts", "en"), "a\\b\\\n");
    EXPECT_EQ(manager.GetString("Umlaut", "Texts", "de"), "Pufferüberlauf & mehr");
}

TEST_F(StringManagerTest, LoadsMergeAndRepeatLoadsChangeNothing) {
    ASSERT_TRUE(manager.LoadFromResource(135));
    const std::string once = Dump(manager.Root());
    ASSERT_TRUE(manager.LoadFromResource(135));
    EXPECT_EQ(Dump(manager.Root()), once);

    Register("overlay",
             "<root><StringTable><uecp_io_errors><IDS_ERR_CRC><en>Checksum wrong</en>"
             "<fr>Erreur CRC</fr></IDS_ERR_CRC></uecp_io_errors></StringTable></root>");
    ASSERT_TRUE(manager.LoadFromResource("overlay"));
    EXPECT_EQ(manager.GetString("IDS_ERR_CRC", "UECP_IO_Errors", "en"), "Checksum wrong");
    EXPECT_EQ(manager.GetString("IDS_ERR_CRC", "UECP_IO_Errors", "fr"), "Erreur CRC");
    // Nothing is removed by a merge.
    EXPECT_EQ(manager.GetString("IDS_ERR_CRC", "UECP_IO_Errors", "de"), "CRC Fehler");
    EXPECT_EQ(manager.GetString("IDS_ERR_OK", "UECP_IO_Errors", "en"), "No error");
}

TEST_F(StringManagerTest, DocumentWithoutStringTableChangesNothing) {
    ASSERT_TRUE(manager.LoadFromResource(135));
    const std::string before = Dump(manager.Root());
    Register("no-table",
             "<root><strings><UECP_IO_Errors><IDS_ERR_CRC><en>x</en></IDS_ERR_CRC>"
             "</UECP_IO_Errors></strings></root>");
    EXPECT_FALSE(manager.LoadFromResource("no-table"));
    Register("not-xml", "this is no document");
    EXPECT_FALSE(manager.LoadFromResource("not-xml"));
    Register("empty", "");
    EXPECT_FALSE(manager.LoadFromResource("empty"));
    EXPECT_EQ(Dump(manager.Root()), before);
}

TEST_F(StringManagerTest, ErrorTextUsesTheProcessManager) {
    StringManager& shared = StringManager::GetInstance();
    EXPECT_EQ(&shared, &StringManager::GetInstance());
    ASSERT_TRUE(shared.LoadFromResource(135));
    const bool german = shared.Language() == "de";
    EXPECT_EQ(ErrorText(ERR_CONNECT),
              german ? "Fehler beim Verbindungsaufbau" : "IO connect error");
    EXPECT_EQ(ErrorText(ERR_FILE_OPEN), "IDS_ERR_FILE_OPEN");
    EXPECT_EQ(ErrorText(-5), german ? "Unbekannter Fehler" : "unknown error");
}

TEST_F(StringManagerTest, LanguageComesFromTheLocale) {
    const char* saved = std::getenv("LC_ALL");
    const std::string savedValue = saved != nullptr ? saved : "";
    SetEnvironment("LC_ALL", "de_DE.UTF-8");
    StringManager german;
    SetEnvironment("LC_ALL", "C.UTF-8");
    StringManager english;
    SetEnvironment("LC_ALL", saved != nullptr ? savedValue.c_str() : nullptr);
    EXPECT_EQ(german.Language(), "de");
    EXPECT_EQ(english.Language(), "en");
    ASSERT_TRUE(german.LoadFromResource(135));
    EXPECT_EQ(german.GetString("IDS_ERR_CRC", "UECP_IO_Errors", ""), "CRC Fehler");
}

TEST(StringTableDocument, HoldsTheTwentyNineKeysInOrder) {
    StringResource resource;
    ASSERT_TRUE(FindStringResource("135", resource));
    ASSERT_GE(resource.size, 3u);
    EXPECT_EQ(std::memcmp(resource.data, "\xEF\xBB\xBF<?xml", 8), 0);
    const std::string text(reinterpret_cast<const char*>(resource.data), resource.size);
    EXPECT_NE(text.find("encoding=\"utf-8\""), std::string::npos);

    TiXmlDocument document;
    document.Parse(TinyXmlBuffer(text).data(), nullptr, TIXML_ENCODING_UTF8);
    ASSERT_FALSE(document.Error()) << document.ErrorDesc();
    const TiXmlElement* root = document.RootElement();
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->Value(), "root");
    const TiXmlElement* section =
        root->FirstChildElement("stringtable")
            ? root->FirstChildElement("stringtable")->FirstChildElement("UECP_IO_Errors")
            : nullptr;
    ASSERT_NE(section, nullptr);
    const std::vector<std::string> expected = {"IDS_ERR_OK",
                                               "IDS_ERR_OPEN_PARAMS_NOT_SET",
                                               "IDS_ERR_DEVICE_NOT_OPEN",
                                               "IDS_ERR_DEVICE_ALREADY_OPEN",
                                               "IDS_ERR_SEND_TIMEOUT",
                                               "IDS_ERR_SEND_BUFFER_FULL",
                                               "IDS_ERR_READ_TIMEOUT",
                                               "IDS_ERR_CONNECT",
                                               "IDS_ERR_CRC",
                                               "IDS_ERR_NO_ACK",
                                               "IDS_ERR_NO_ANSWER",
                                               "IDS_ERR_INVALID_PARAMETER",
                                               "IDS_ERR_UNEXPECTED_SIZE",
                                               "IDS_ERR_NOT_SUPPORTED",
                                               "IDS_ERR_NACK_UNDEFINED",
                                               "IDS_ERR_NACK_1",
                                               "IDS_ERR_NACK_2",
                                               "IDS_ERR_NACK_3",
                                               "IDS_ERR_NACK_4",
                                               "IDS_ERR_NACK_5",
                                               "IDS_ERR_NACK_6",
                                               "IDS_ERR_NACK_7",
                                               "IDS_ERR_NACK_8",
                                               "IDS_ERR_NACK_9",
                                               "IDS_ERR_NACK_10",
                                               "IDS_ERR_NACK_11",
                                               "IDS_ERR_NACK_12",
                                               "IDS_ERR_NACK_13",
                                               "IDS_ERR_UNKNOWN"};
    std::vector<std::string> keys;
    for (const TiXmlElement* key = section->FirstChildElement(); key != nullptr;
         key = key->NextSiblingElement()) {
        keys.push_back(key->Value());
        std::vector<std::string> languages;
        for (const TiXmlElement* language = key->FirstChildElement(); language != nullptr;
             language = language->NextSiblingElement()) {
            languages.push_back(language->Value());
            EXPECT_NE(language->GetText(), nullptr) << key->Value();
        }
        EXPECT_EQ(languages, (std::vector<std::string>{"de", "en"})) << key->Value();
    }
    EXPECT_EQ(keys, expected);
    // Every result code with a key in the table reads its own text, never its key.
    for (int32_t code = 0; code < kResultCodeCount; ++code) {
        const std::string key = ErrorName(code);
        const bool listed = std::find(expected.begin(), expected.end(), key) != expected.end();
        EXPECT_EQ(listed, code != ERR_CANCELLED_BY_USER &&
                              (code < ERR_FILE_CREATE || code > ERR_FILE_FORMAT) &&
                              code != ERR_NACK_20 && code != ERR_NACK_21)
            << code;
    }
}

TEST(CNamedItem, ChildrenAndAttributes) {
    CNamedItem root;
    EXPECT_EQ(root.name, "root");
    EXPECT_EQ(root.FindChild("x"), nullptr);
    CNamedItem* child = root.AddChild("Section", "one");
    EXPECT_EQ(child->parent, &root);
    EXPECT_EQ(root.FindChild("SECTION"), child);
    // Adding again under another case finds the same node and replaces its value.
    EXPECT_EQ(root.AddChild("section", static_cast<const char*>(nullptr)), child);
    EXPECT_EQ(child->value, "");
    EXPECT_EQ(child->name, "Section");
    EXPECT_EQ(child->GetAttribute("id", "none"), "none");
    child->SetAttribute("id", "7");
    EXPECT_EQ(child->GetAttribute("id", "none"), "7");
    // Attribute names are kept as written.
    EXPECT_EQ(child->GetAttribute("ID", "none"), "none");
    child->AddChild("leaf", "text");
    root.Clear();
    EXPECT_EQ(root.FindChild("Section"), nullptr);
    EXPECT_EQ(root.name, "root");
}

TEST(CNamedItem, ParseXmlKeepsAttributesAndUnitesSiblingsDifferingInCase) {
    CNamedItem node;
    node.ParseXml(
        "<Top kind=\"table\"><A x=\"1\"><b>first</b></A><a y=\"2\"><c>second</c></a>"
        "</Top>");
    EXPECT_EQ(node.name, "Top");
    EXPECT_EQ(node.GetAttribute("kind", ""), "table");
    const CNamedItem* a = node.FindChild("a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetAttribute("x", ""), "1");
    EXPECT_EQ(a->GetAttribute("y", ""), "2");
    ASSERT_NE(a->FindChild("b"), nullptr);
    EXPECT_EQ(a->FindChild("B")->value, "first");
    EXPECT_EQ(a->FindChild("c")->value, "second");
    // A second parse starts from scratch.
    node.ParseXml("<Other/>");
    EXPECT_EQ(node.name, "Other");
    EXPECT_EQ(node.FindChild("a"), nullptr);
    EXPECT_EQ(Utf8ToAnsi(nullptr), "");
}

// TinyXML skips a UTF-8 character by the length of its lead byte, past a terminating zero
// within it; a text ending in a lead byte made it read up to three bytes past its buffer.
TEST(CNamedItem, TextEndingInAUtf8LeadByteIsReadOnlyInsideItsBuffer) {
    const std::vector<std::string> endings = {"<a>\xE0",     "<a>x\xF0", "<a>\xC3",
                                              "<a b='\xF0",  "<a>&\xF0", "<a b=\"\xF0",
                                              "<a><b/>\xF0", "<a>\xEF"};
    for (const std::string& text : endings) {
        SCOPED_TRACE(text);
        // Terminated right before the guard page, as a caller's C string would be.
        const BytesBeforeGuardPage terminated(text + '\0');
        ASSERT_NE(terminated.data(), nullptr);
        CNamedItem fromCString;
        fromCString.ParseXml(terminated.data());
        EXPECT_EQ(fromCString.name, "a");

        // Not terminated at all: the view's size is the end.
        const BytesBeforeGuardPage unterminated(text);
        ASSERT_NE(unterminated.data(), nullptr);
        CNamedItem fromView;
        fromView.ParseXml(std::string_view(unterminated.data(), text.size()));
        EXPECT_EQ(fromView.name, "a");
    }
    const std::vector<char> buffer = TinyXmlBuffer("<a>\xF0");
    ASSERT_EQ(buffer.size(), 8u);
    EXPECT_EQ(std::string(buffer.data() + 4, 4), std::string(4, '\0'));
}

// A registered document need not be terminated; its load reads nothing past its last byte.
TEST(StringManager, LoadsAnUnterminatedDocumentEndingAtItsLastByte) {
    const std::string document =
        "<root><stringtable><guarded><k><en>edge</en></k></guarded></stringtable></root>";
    // Registered bytes must outlive every load: these stay mapped until the process ends.
    static const BytesBeforeGuardPage bytes(document);
    ASSERT_NE(bytes.data(), nullptr);
    RegisterStringResource("guarded", reinterpret_cast<const uint8_t*>(bytes.data()),
                           document.size());
    StringManager manager;
    ASSERT_TRUE(manager.LoadFromResource("guarded"));
    EXPECT_EQ(manager.GetString("k", "guarded", "en"), "edge");
}

}  // namespace
