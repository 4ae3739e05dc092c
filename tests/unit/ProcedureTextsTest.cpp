#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "Environment.h"
#include "update/ProcedureTexts.h"
#include "update/SystemLocale.h"

namespace {

// Sets the three locale variables for one test and puts the old values back.
class LocaleEnvironment {
public:
    LocaleEnvironment() {
        for (int i = 0; i < 3; ++i) {
            const char* value = std::getenv(kNames[i]);
            if (value != nullptr) {
                saved_[i] = value;
            }
        }
    }
    ~LocaleEnvironment() {
        for (int i = 0; i < 3; ++i) {
            Set(kNames[i], saved_[i] ? saved_[i]->c_str() : nullptr);
        }
    }
    void Use(const char* all, const char* messages, const char* lang) {
        Set("LC_ALL", all);
        Set("LC_MESSAGES", messages);
        Set("LANG", lang);
    }

private:
    static void Set(const char* name, const char* value) { SetEnvironment(name, value); }
    static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::optional<std::string> saved_[3];
};

TEST(ProcedureTexts, ExactTextsInBothLanguages) {
    EXPECT_EQ(LoadText(100, Language::English), "Tarvelin");
    EXPECT_EQ(LoadText(101, Language::German), "Coder-Firmware flashen");
    EXPECT_EQ(LoadText(104, Language::English), "Update operation");
    EXPECT_EQ(LoadText(207, Language::English), "Cannot find the file with the Coder firmware!");
    EXPECT_EQ(LoadText(208, Language::English),
              "Cannot find the file with the DSP firmware!\n"
              "Continue with flashing the device firmware only?");
    EXPECT_EQ(LoadText(208, Language::German),
              "DSP-Firmwaredatei konnte nicht gefunden werden!\n"
              "Soll die Gerätefirmware alleine aktualisiert werden?");
    EXPECT_EQ(LoadText(210, Language::English),
              "You can restart the update operation by pressing \"Next >\".");
    EXPECT_EQ(LoadText(210, Language::German),
              "Der Update-Vorgang kann mit \"Weiter >\" neu gestartet werden.");
    EXPECT_EQ(LoadText(212, Language::German), "Übertrage Daten...");
    EXPECT_EQ(LoadText(218, Language::English), "<< Start");
    EXPECT_EQ(LoadText(218, Language::German), "<< Start");
    EXPECT_EQ(LoadText(222, Language::English),
              "BIOS version of the encoder is %s.\nUpdate via TCP/IP not possible!");
    EXPECT_EQ(LoadText(222, Language::German),
              "BIOS-Version des Coders ist %s.\nUpdate via TCP/IP nicht möglich!");
    EXPECT_EQ(LoadText(300, Language::German), "Bit6 toggelt fuer immer.");
    EXPECT_EQ(LoadText(414, Language::English),
              "Error while restoring the connection to the Coder.");
    EXPECT_EQ(LoadText(414, Language::German),
              "Fehler beim Wiederherstellen der Verbindung zum Coder.");
}

TEST(ProcedureTexts, UnknownNumbersAreEmpty) {
    for (int number : {0, 99, 105, 199, 219, 225, 303, 399, 415, -1}) {
        EXPECT_EQ(LoadText(number, Language::English), "") << number;
        EXPECT_EQ(LoadText(number, Language::German), "") << number;
    }
}

TEST(ProcedureTexts, FlashResultTextsFollowTheNumberRule) {
    for (int code = 4; code <= 18; ++code) {
        EXPECT_FALSE(LoadText(396 + code, Language::English).empty()) << code;
        EXPECT_FALSE(LoadText(396 + code, Language::German).empty()) << code;
        EXPECT_NE(LoadText(396 + code, Language::English), LoadText(396 + code, Language::German))
            << code;
    }
    EXPECT_EQ(LoadText(396 + 9, Language::English), "Cannot open file.");
    EXPECT_EQ(LoadText(396 + 13, Language::German), "Fehler beim Flashen.");
    EXPECT_EQ(LoadText(396 + 14, Language::English), "Error while flashing the Coder firmware.");
}

TEST(ProcedureTexts, Formatting) {
    EXPECT_EQ(FormatTextInt(202, Language::English, 7),
              "Established connection to Coder via COM7.");
    EXPECT_EQ(FormatTextInt(205, Language::German, 115200), "Baudrate: 115200");
    EXPECT_EQ(FormatTextHostPort(203, Language::English, "127.0.0.1", 4001),
              "Connection to Coder (127.0.0.1:4001) established.");
    EXPECT_EQ(FormatTextString(222, Language::English, "2.05"),
              "BIOS version of the encoder is 2.05.\nUpdate via TCP/IP not possible!");
    // A value that itself holds placeholders is inserted as it is, never re-read.
    EXPECT_EQ(FormatTextString(222, Language::German, "%s%d%n"),
              "BIOS-Version des Coders ist %s%d%n.\nUpdate via TCP/IP nicht möglich!");
    // Missing or mistyped values leave the placeholder visible instead of reading garbage.
    EXPECT_EQ(FormatText(203, Language::English, {}), "Connection to Coder (%s:%d) established.");
    EXPECT_EQ(FormatText(202, Language::English, {std::string("x")}),
              "Established connection to Coder via COM%d.");
    EXPECT_EQ(FormatString("%d. retry sending of data block at %04X:%04X",
                           {int64_t{2}, int64_t{0x9000}, int64_t{0xFFC0}}),
              "2. retry sending of data block at 9000:FFC0");
    EXPECT_EQ(FormatString("%04X %x %05d %d %% %3s", {int64_t{0xA}, int64_t{255}, int64_t{-42},
                                                      INT64_MIN, std::string("ab")}),
              "000A ff -0042 -9223372036854775808 %  ab");
    EXPECT_EQ(FormatString("100%", {}), "100%");
}

TEST(ProcedureTexts, SystemLanguageFromEnvironment) {
    LocaleEnvironment environment;
    // Without the variables the system says: on Windows its display language, on Linux
    // nothing, which is English.
    environment.Use(nullptr, nullptr, nullptr);
    const std::string platform = PlatformLocaleName();
    EXPECT_EQ(SystemLanguage(), platform.rfind("de", 0) == 0 ? Language::German : Language::English)
        << platform;
    environment.Use(nullptr, nullptr, "de_DE.UTF-8");
    EXPECT_EQ(SystemLanguage(), Language::German);
    // LC_ALL wins over the others, LC_MESSAGES over LANG.
    environment.Use("en_US.UTF-8", "de_DE", "de_DE");
    EXPECT_EQ(SystemLanguage(), Language::English);
    environment.Use(nullptr, "de_AT", "en_GB");
    EXPECT_EQ(SystemLanguage(), Language::German);
    environment.Use(nullptr, "C", "de_DE");
    EXPECT_EQ(SystemLanguage(), Language::English);
    // An empty variable counts as unset.
    environment.Use("", "", "de_CH");
    EXPECT_EQ(SystemLanguage(), Language::German);
    environment.Use("dk_DK", nullptr, nullptr);
    EXPECT_EQ(SystemLanguage(), Language::English);
    EXPECT_STREQ(LanguageCode(Language::German), "de");
    EXPECT_STREQ(LanguageCode(Language::English), "en");
}

}  // namespace
