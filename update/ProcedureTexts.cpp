#include "update/ProcedureTexts.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "update/SystemLocale.h"

namespace {

struct NumberedText {
    int number;
    const char* english;
    const char* german;
};

constexpr NumberedText kTexts[] = {
    {100, "Tarvelin", "Tarvelin"},
    {101, "Flash Coder firmware", "Coder-Firmware flashen"},
    {102, "Connect to Coder", "Mit Coder verbinden"},
    {103, "Coder info", "Coder-Info"},
    {104, "Update operation", "Updatevorgang"},
    {200, "Detecting baud rate...", "Automatische Erkennung der Baudrate..."},
    {201, "Connecting to Coder...", "Verbindungsaufbau zum Coder..."},
    {202, "Established connection to Coder via COM%d.",
     "Verbindung zum Coder via COM%d hergestellt."},
    {203, "Connection to Coder (%s:%d) established.", "Verbindung zum Coder (%s:%d) hergestellt."},
    {204, "Could not connect to Coder!", "Verbindungsaufbau zum Coder fehlgeschlagen!"},
    {205, "Baud rate: %d", "Baudrate: %d"},
    {206, "Could not detect baud rate.", "Baudrate konnte nicht ermittelt werden."},
    {207, "Cannot find the file with the Coder firmware!",
     "Coder-Firmwaredatei konnte nicht gefunden werden!"},
    {208,
     "Cannot find the file with the DSP firmware!\nContinue with flashing the device firmware "
     "only?",
     "DSP-Firmwaredatei konnte nicht gefunden werden!\nSoll die Gerätefirmware alleine "
     "aktualisiert werden?"},
    {209, "The Coder is running the Bios!", "Der Coder befindet sich im Bios!"},
    {210, "You can restart the update operation by pressing \"Next >\".",
     "Der Update-Vorgang kann mit \"Weiter >\" neu gestartet werden."},
    {211, "Starting firmware update...", "Starte Firmware-Update..."},
    {212, "Transferring data...", "Übertrage Daten..."},
    {213, "Connecting to Bios...", "Verbindungsaufbau zum Bios..."},
    {214, "Update operation failed!", "Updatevorgang fehlgeschlagen!"},
    {215, "Update operation successfully finished.", "Updatevorgang erfolgreich beendet."},
    {216, "Finish", "Beenden"},
    {217, "Finalize flash programming and restart the Coder...",
     "Flashprogrammierung abschließen und Coder neu starten..."},
    {218, "<< Start", "<< Start"},
    {220,
     "The NetPC firmware needs to be updated to a version > 4.0 first, before it's possible to "
     "update the encoder firmware via TCP/IP.",
     "Die NetPC-Firmware muss zunächst auf eine Version > 4.0 aktualisiert werden, bevor die "
     "Coder-Firmware via TCP/IP aktualisiert werden kann."},
    {221,
     "Unable to determine BIOS version of the encoder.\nUpdate via TCP/IP may be "
     "impossible.\nProceed at your own risk!",
     "Die BIOS-Version des Coders konnte nicht ermittelt werden.\nUpdate via TCP/IP möglicherweise "
     "nicht möglich.\nFortsetzung auf eigene Gefahr!"},
    {222, "BIOS version of the encoder is %s.\nUpdate via TCP/IP not possible!",
     "BIOS-Version des Coders ist %s.\nUpdate via TCP/IP nicht möglich!"},
    {223,
     "The port you are using does not appear to be the main port, but updates can only be done via "
     "the main port.\nProceed at your own risk!",
     "Der verwendete Port scheint nicht der 1. Port des Encoders zu sein, Updates sind aber nur "
     "über den 1. Port möglich.\nFortsetzung auf eigene Gefahr!"},
    {224,
     "ATTENTION: Unable to determine BIOS version of the encoder.\nUpdate via TCP/IP may be "
     "impossible at all.\n(Required: BIOS version 2.10)",
     "ACHTUNG: Die BIOS-Version des Coders konnte nicht ermittelt werden.\nMöglicherweise ist ein "
     "Firmware-Update via TCP/IP gar nicht möglich!\n(Voraussetzung: BIOS-Version 2.10)"},
    {300, "Bit6 toggles.", "Bit6 toggelt fuer immer."},
    {301, "Bit 7 still inverted.", "Bit 7 ist invertiert."},
    {302, "Verify failed.", "Verify fehlgeschlagen."},
    {400, "Could not connect to the Coder.", "Verbindungsaufbau zum Coder fehlgeschlagen."},
    {401, "Error while starting the flash operation.", "Fehler beim Starten des Flashvorgangs."},
    {402, "Could not connect to the Bios.", "Verbindungsaufbau zum Bios fehlgeschlagen."},
    {403, "Bios doesn't respond.", "Bios antwortet nicht."},
    {404, "Error while erasing the flash.", "Fehler beim Löschen des Flashs."},
    {405, "Cannot open file.", "Datei konnte nicht geöffnet werden."},
    {406, "Cannot open the file with the Coder firmware.",
     "Coder-Firmwaredatei konnte nicht geöffnet werden."},
    {407, "Cannot open the file with the DSP samples.",
     "DSP-Samplesdatei konnte nicht geöffnet werden."},
    {408, "Cannot open the file with the DSP firmware.",
     "DSP-Firmwaredatei konnte nicht geöffnet werden."},
    {409, "Error while flashing.", "Fehler beim Flashen."},
    {410, "Error while flashing the Coder firmware.", "Fehler beim Flashen der Coder-Firmware."},
    {411, "Error while flashing the DSP samples.", "Fehler beim Flashen der DSP-Samples."},
    {412, "Error while flashing the DSP firmware.", "Fehler beim Flashen der DSP-Firmware."},
    {413, "Error while finalizing the flash programming.",
     "Fehler beim Abschließen der Flashprogrammierung."},
    {414, "Error while restoring the connection to the Coder.",
     "Fehler beim Wiederherstellen der Verbindung zum Coder."},
};

const char* LocaleName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') {
            return value;
        }
    }
    // Set once: the system's language does not change while the program runs.
    static const std::string platform = PlatformLocaleName();
    return platform.c_str();
}

std::string FormatNumber(int64_t value, char conversion, bool zeroPad, int width) {
    std::string digits;
    if (conversion == 'd') {
        // Through the unsigned magnitude so INT64_MIN does not overflow.
        uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : value;
        do {
            digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0) {
            // printf puts the sign before zero padding.
            while (zeroPad && static_cast<int>(digits.size()) + 1 < width) {
                digits.insert(digits.begin(), '0');
            }
            digits.insert(digits.begin(), '-');
        }
    } else {
        const char* hex = conversion == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
        // printf's %X takes an unsigned int; the values here are segments and offsets.
        uint64_t bits = static_cast<uint32_t>(value);
        do {
            digits.insert(digits.begin(), hex[bits % 16]);
            bits /= 16;
        } while (bits != 0);
    }
    while (static_cast<int>(digits.size()) < width) {
        digits.insert(digits.begin(), zeroPad ? '0' : ' ');
    }
    return digits;
}

}  // namespace

Language SystemLanguage() {
    return std::strncmp(LocaleName(), "de", 2) == 0 ? Language::German : Language::English;
}

const char* LanguageCode(Language language) {
    return language == Language::German ? "de" : "en";
}

std::string LoadText(int number, Language language) {
    for (const NumberedText& text : kTexts) {
        if (text.number == number) {
            return language == Language::German ? text.german : text.english;
        }
    }
    return {};
}

std::string FormatString(const std::string& format, std::initializer_list<TextArg> args) {
    std::string out;
    const TextArg* next = args.begin();
    size_t i = 0;
    while (i < format.size()) {
        if (format[i] != '%') {
            out += format[i++];
            continue;
        }
        size_t j = i + 1;
        if (j < format.size() && format[j] == '%') {
            out += '%';
            i = j + 1;
            continue;
        }
        bool zeroPad = false;
        if (j < format.size() && format[j] == '0') {
            zeroPad = true;
            ++j;
        }
        int width = 0;
        // Two digits are plenty for these texts and keep the width bounded.
        for (int n = 0; n < 2 && j < format.size() && format[j] >= '0' && format[j] <= '9'; ++n) {
            width = width * 10 + (format[j++] - '0');
        }
        const char conversion = j < format.size() ? format[j] : '\0';
        const bool numeric = conversion == 'd' || conversion == 'X' || conversion == 'x';
        const bool text = conversion == 's';
        if ((!numeric && !text) || next == args.end() ||
            (numeric && !std::holds_alternative<int64_t>(*next)) ||
            (text && !std::holds_alternative<std::string>(*next))) {
            out += format[i++];
            continue;
        }
        if (numeric) {
            out += FormatNumber(std::get<int64_t>(*next), conversion, zeroPad, width);
        } else {
            const std::string& value = std::get<std::string>(*next);
            out.append(width > static_cast<int>(value.size()) ? width - value.size() : 0, ' ');
            out += value;
        }
        ++next;
        i = j + 1;
    }
    return out;
}

std::string FormatText(int number, Language language, std::initializer_list<TextArg> args) {
    return FormatString(LoadText(number, language), args);
}

std::string FormatTextInt(int number, Language language, int64_t value) {
    return FormatText(number, language, {value});
}

std::string FormatTextString(int number, Language language, const std::string& value) {
    return FormatText(number, language, {value});
}

std::string FormatTextHostPort(int number, Language language, const std::string& host,
                               int64_t port) {
    return FormatText(number, language, {host, port});
}
