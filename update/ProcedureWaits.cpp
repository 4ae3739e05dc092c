#include "update/ProcedureWaits.h"

namespace {

struct WaitWording {
    int64_t kind;
    const char* english;
    const char* german;
};

constexpr WaitWording kWordings[] = {
    {WAIT_RESTART, "Waiting for the Coder to restart", "Warte auf den Neustart des Coders"},
    {WAIT_ERASE, "Erasing the flash memory", "Flash-Speicher wird gelöscht"},
    {WAIT_BIOS_READY, "Waiting for the Bios to answer", "Warte auf die Antwort des Bios"},
    {WAIT_RECONNECT, "Connecting to the restarted Coder", "Verbinde mit dem neu gestarteten Coder"},
    {WAIT_BAUD_RATE, "Detecting the baud rate", "Baudrate wird ermittelt"},
};

}  // namespace

std::string WaitText(int64_t kind, Language language, int64_t seconds, int region) {
    const bool german = language == Language::German;
    for (const WaitWording& wording : kWordings) {
        if (wording.kind == kind) {
            std::string text = german ? wording.german : wording.english;
            if (kind == WAIT_ERASE && region >= 0) {
                text += (german ? ", Bereich " : ", region ") + std::to_string(region);
            }
            return text + ": " + std::to_string(seconds < 0 ? 0 : seconds) + " s";
        }
    }
    return "";
}
