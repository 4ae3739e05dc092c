#include "cli/CliTexts.h"

#include "console/StderrLabels.h"

namespace {

struct Texts {
    CliText id;
    const char* english;
    const char* german;
};

constexpr Texts kTexts[] = {
    {CliText::RestartWithUpdate,
     "Run \"tarvelin-cli update\" again to restart the update operation.",
     "Der Update-Vorgang kann mit \"tarvelin-cli update\" neu gestartet werden."},
    {CliText::LogAt, kLogLineLabel.english, kLogLineLabel.german},
    {CliText::NoLog,
     "tarvelin-cli: no log: neither the firmware folder nor $XDG_STATE_HOME/Orvane can be "
     "written; the run goes on without a log (use --log FILE to name one).",
     "tarvelin-cli: kein Protokoll: weder der Firmwareordner noch $XDG_STATE_HOME/Orvane ist "
     "beschreibbar; der Lauf geht ohne Protokoll weiter (--log DATEI nennt eines)."},
    {CliText::CannotWriteLog,
     "tarvelin-cli: cannot write the log %s: %s; name a file that can be written with --log.",
     "tarvelin-cli: das Protokoll %s kann nicht geschrieben werden: %s; mit --log eine "
     "beschreibbare Datei nennen."},
    {CliText::ConfirmationNeeded, "Confirmation needed: %s Run again with --yes to go on.",
     "Bestätigung nötig: %s Zum Fortfahren mit --yes erneut aufrufen."},
    {CliText::VersionMismatch,
     "warning: the Coder reports version %s after the update, but the file flashed names %s.",
     "Warnung: der Coder meldet nach dem Update die Version %s, die geflashte Datei nennt %s."},
    {CliText::StopRequested,
     "Stopping at the next safe point; press Ctrl-C again within 2 s to end at once.",
     "Halte am nächsten sicheren Punkt an; erneutes Strg-C binnen 2 s beendet sofort."},
    {CliText::EndedAtOnce,
     "\ntarvelin-cli: ended at once by a second interrupt; if flashing had begun, the Coder is "
     "running its BIOS: run \"tarvelin-cli update\" again to complete the update.\n",
     "\ntarvelin-cli: durch ein zweites Strg-C sofort beendet; hatte das Flashen begonnen, läuft "
     "der Coder im BIOS: \"tarvelin-cli update\" erneut ausführen, um das Update abzuschließen.\n"},
    {CliText::NothingChanged,
     "Interrupted by the user before the update began; nothing was changed.",
     "Vom Benutzer unterbrochen, bevor das Update begann; es wurde nichts verändert."},
    {CliText::EndedBySignal,
     "Ended by %s; nothing was on its way to the Coder, nothing was changed.",
     "Durch %s beendet; an den Coder war nichts unterwegs, es wurde nichts verändert."},
    {CliText::LogNotKept,
     "warning: the previous log could not be kept (%s: %s); the log of this run replaces it "
     "in %s.",
     "Warnung: das vorige Protokoll konnte nicht aufbewahrt werden (%s: %s); das Protokoll "
     "dieses Laufs ersetzt es in %s."},
    {CliText::LatencyNote,
     "note: the USB serial adapter of %s holds every answer up to %d ms (latency_timer), "
     "which slows flashing; as root: echo 1 > /sys/bus/usb-serial/devices/%s/latency_timer",
     "Hinweis: der USB-Seriell-Adapter von %s hält jede Antwort bis zu %d ms zurück "
     "(latency_timer), das bremst das Flashen; als root: echo 1 > "
     "/sys/bus/usb-serial/devices/%s/latency_timer"},
    {CliText::NoCoderFile, "Cannot use the Coder firmware %s: %s.",
     "Die Coder-Firmware %s ist nicht verwendbar: %s."},
    {CliText::WouldErase, "update would erase the flash regions %s and flash:",
     "update würde die Flash-Bereiche %s löschen und flashen:"},
    {CliText::FileToFlash, "  %s: %s, %d bytes, %d blocks from %s:0000",
     "  %s: %s, %d Bytes, %d Blöcke ab %s:0000"},
    {CliText::FileCannotBeRead, "%s cannot be read: %s", "%s kann nicht gelesen werden: %s"},
    {CliText::NoSerialPorts, "No serial ports found.", "Keine seriellen Schnittstellen gefunden."},
    {CliText::RestartingUpdate, "The update operation is restarted now.",
     "Der Update-Vorgang wird jetzt neu gestartet."},
    {CliText::MainPortReported,
     "The Coder reports port %d as its main port; this connection uses port %d.",
     "Der Coder meldet Port %d als seinen 1. Port; diese Verbindung nutzt Port %d."},
    {CliText::GoOnDespiteWarning, "Go on with the update despite the warning above?",
     "Das Update trotz der obigen Warnung fortsetzen?"},
    {CliText::AlreadyRunsVersion, "The Coder already runs the version to flash (%s).",
     "Auf dem Coder läuft bereits die zu flashende Version (%s)."},
    {CliText::HintLabel, kHintLabel.english, kHintLabel.german},
    {CliText::PutFirmwareFiles,
     "put the firmware files (*.img, *.smp, *.dsp) into %s, or name them with --firmware-dir DIR "
     "or --coder FILE",
     "die Firmwaredateien (*.img, *.smp, *.dsp) in den Ordner %s legen oder mit --firmware-dir "
     "ORDNER oder --coder DATEI angeben"},
};

}  // namespace

std::string CliTextFormat(CliText text, Language language) {
    for (const Texts& entry : kTexts) {
        if (entry.id == text) {
            return language == Language::German ? entry.german : entry.english;
        }
    }
    return {};
}
