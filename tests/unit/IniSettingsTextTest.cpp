// The settings file's text as Qt 6's QSettings writes and reads it: the written forms below are
// what QSettings itself wrote for these values, the read ones what it made of such lines.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "update/IniSettingsText.h"

namespace {

struct Escaped {
    std::string value;
    std::string written;
};

TEST(IniSettingsText, TextsAreEscapedAsQSettingsWritesThem) {
    const Escaped cases[] = {
        {"netpc.local", "netpc.local"},
        {"", ""},
        {"a,b;c=d", "\"a,b;c=d\""},
        {"a=b", "\"a=b\""},
        {" lead and trail ", "\" lead and trail \""},
        {" ", "\" \""},
        {"a  b", "a  b"},
        {"@at", "@@at"},
        {"@", "@@"},
        {"x@y", "x@y"},
        {"quote\" back\\ tab\t nl\n cr\r", "quote\\\" back\\\\ tab\\t nl\\n cr\\r"},
        {"tab\t", "tab\\t"},
        {"\a\b\v\f", "\\a\\b\\v\\f"},
        {"C:\\Users\\me\\fw", "C:\\\\Users\\\\me\\\\fw"},
        {"Grüße ß € 😀", "Grüße ß € 😀"},
        {"x\x01y\x7fz", "x\\x1y\x7fz"},
        // A hex digit after a \x escape is escaped too, or it would be read into it.
        {std::string("1\x01") + "2", "1\\x1\\x32"},
        {std::string("\x01") + "ag", "\\x1\\x61g"},
        {"#hash ;semi", "\"#hash ;semi\""},
        {std::string("\0x", 2), "@String(\\0x)"},
    };
    for (const Escaped& c : cases) {
        EXPECT_EQ(IniEscapedString(c.value), c.written) << c.written;
        EXPECT_EQ(IniUnescapedString(c.written), c.value) << c.written;
    }
}

struct Read {
    std::string raw;
    std::optional<std::string> value;
};

TEST(IniSettingsText, LinesAreReadAsQSettingsReadsThem) {
    const Read cases[] = {
        {"   spaced value   ", "spaced value"},
        {" 7 ", "7"},
        {"\\x41\\x42\\x0043z", "ABCz"},
        {"\\101\\60", "A0"},
        {"\\xe9", "é"},
        {"\"quoted\" tail", "quotedtail"},
        {"\"a\\tb\"", "a\tb"},
        {"line\\\n continued", "line continued"},
        {"\\q\\z", ""},
        {"\\\"", "\""},
        {"\\u00e9", "00e9"},
        {"\\x", ""},
        {"  ", ""},
        {"#notcomment", "#notcomment"},
        {"@ByteArray(abc)", "abc"},
        {"@@at", "@at"},
        {"@other", "@other"},
        // No single text: a list, nothing, a stored Qt type.
        {"a,b", std::nullopt},
        {"@Invalid()", std::nullopt},
        {"@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)", std::nullopt},
    };
    for (const Read& c : cases) {
        EXPECT_EQ(IniUnescapedString(c.raw), c.value) << c.raw;
    }
}

TEST(IniSettingsText, ValuesAreFoundByGroupAndKey) {
    const std::string text =
        "; comment\n"
        "[General]\n"
        "TcpPort=1\n"
        "[Settings]\r\n"
        "  TcpAddress  =   spaced value   \r\n"
        "SerialPort=x ; trailing comment\n"
        "Comment=a;b\n"
        "Twice=first\n"
        "Twice=second\n"
        "Continued=line\\\n"
        " continued\n"
        "Quoted=\"a;b\" ; the rest\n"
        "[settings]\n"
        "Lower=other group\n"
        "[Settings]\n"
        "Again=same group";
    const auto value = [&](const char* key) { return IniTextValue(text, "Settings", key); };
    EXPECT_EQ(value("TcpAddress"), "spaced value");
    EXPECT_EQ(value("SerialPort"), "x");
    EXPECT_EQ(value("Comment"), "a");
    EXPECT_EQ(value("Twice"), "second");
    EXPECT_EQ(value("Continued"), "line continued");
    EXPECT_EQ(value("Quoted"), "a;b");
    EXPECT_EQ(value("Again"), "same group");
    EXPECT_EQ(value("TcpPort"), std::nullopt);
    EXPECT_EQ(value("Lower"), std::nullopt);
    EXPECT_EQ(IniTextValue(text, "General", "TcpPort"), "1");
    EXPECT_EQ(IniTextValue("", "Settings", "TcpPort"), std::nullopt);
}

struct Written {
    const char* name;
    std::string before;
    std::string key;
    std::string value;
    std::string after;
};

TEST(IniSettingsText, WritingChangesOnlyItsOwnLine) {
    const Written cases[] = {
        {"into an empty file", "", "TcpPort", "4001", "[Settings]\nTcpPort=4001\n"},
        {"a new group after the others", "[General]\nx=1", "TcpPort", "4001",
         "[General]\nx=1\n\n[Settings]\nTcpPort=4001\n"},
        {"a value replaced in place", "[Settings]\nA=1\nTcpPort=1\nZ=2\n[Other]\nk=v\n", "TcpPort",
         "4001", "[Settings]\nA=1\nTcpPort=4001\nZ=2\n[Other]\nk=v\n"},
        {"a new key at the end of its group", "[Settings]\nA=1\n\n[Other]\nk=v\n", "TcpPort",
         "4001", "[Settings]\nA=1\nTcpPort=4001\n\n[Other]\nk=v\n"},
        {"a new key in an empty group", "[Other]\nk=v\n[Settings]\n", "TcpAddress", "a,b",
         "[Other]\nk=v\n[Settings]\nTcpAddress=\"a,b\"\n"},
        {"the last of repeated keys, as it is the one read", "[Settings]\nA=1\nA=2\n", "A", "3",
         "[Settings]\nA=1\nA=3\n"},
        {"a continued line as a whole, its line end kept", "[Settings]\r\nA=x\\\r\ny\r\nB=2\r\n",
         "A", "1", "[Settings]\r\nA=1\r\nB=2\r\n"},
        {"a last line without its line end", "[Settings]\nA=1", "B", "2", "[Settings]\nA=1\nB=2\n"},
        {"a key of the same name elsewhere left alone", "[Other]\nTcpPort=9\n", "TcpPort", "1",
         "[Other]\nTcpPort=9\n\n[Settings]\nTcpPort=1\n"},
    };
    for (const Written& c : cases) {
        const std::string after = WithIniTextValue(c.before, "Settings", c.key, c.value);
        EXPECT_EQ(after, c.after) << c.name;
        EXPECT_EQ(IniTextValue(after, "Settings", c.key), c.value) << c.name;
    }
}

}  // namespace
