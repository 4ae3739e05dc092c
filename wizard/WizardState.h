#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What the wizard shows, as plain data a front end draws: texts with their colour and weight,
// what is visible and enabled, the progress and the busy lines. The logic changes it on events;
// a view reads it after each one and changes only what differs from what it shows.

enum class WizardPage { Connect = 0, Info = 1, Update = 2 };

// The colours of the pages: normal text, a stage that is not the current one, failures and
// warnings.
enum class TextColour { Black, Grey, Red };

struct ColourRgb {
    uint8_t red, green, blue;
};
// (0, 0, 0), (128, 128, 128), (255, 0, 0).
ColourRgb Rgb(TextColour colour);

struct StyledText {
    std::string text;
    TextColour colour = TextColour::Black;
    bool bold = false;
    bool visible = true;
};

// A sign of life under a page's status while the procedure waits: a busy bar and what it waits
// for, with the longest the wait may last counted down.
struct WaitLineState {
    bool active = false;
    int64_t kind = 0;     // ProcedureWait
    int64_t maxMs = 0;    // the longest it lasts
    int64_t startMs = 0;  // on the logic's clock
    std::string text;     // as of the last tick
};

struct ButtonsState {
    bool back = false;
    bool next = false;
    bool cancel = true;
    bool finish = false;
    // "<< Start" where Next was and Finish where Cancel was, instead of Back, Next, Cancel.
    bool endButtons = false;
    std::string endBackCaption;  // the Back button's caption in the end state
};

struct ComPortEntry {
    int number = 0;
    std::string name;  // "COM7"
};

// Kept by ConnectPageLogic, which a page without a sheet may use on its own.
struct ConnectPageState {
    int32_t connectionType = 0;  // which radio is on: 0 serial, anything else TCP/IP
    std::vector<ComPortEntry> ports;
    int selectedPort = -1;  // index into `ports`; -1 for none
    // Counts the fills of the list: a view fills its list again when it differs.
    int portListFills = 0;
    bool portListEnabled = true;
    bool tcpFieldsEnabled = false;
    std::string address;   // what the address edit holds
    std::string port;      // what the port edit holds
    StyledText portHint;   // beside the port: why a port is refused
    StyledText portsNote;  // below the list: ports present but not usable, and why
};

struct InfoPageState {
    StyledText status;  // 1006
    WaitLineState wait;
    StyledText detail;           // 1007
    bool versionLabels = false;  // 1008, 1009
    StyledText hint;             // 1010
    StyledText currentVersion;   // 1011
    StyledText versionToFlash;   // 1012
    StyledText closeNote;        // why a close request is refused while the worker runs
};

struct ProgressState {
    int minimum = 0;
    int maximum = 100;
    int value = 0;
    bool visible = false;
};

struct UpdatePageState {
    StyledText status;  // 1013
    WaitLineState wait;
    StyledText detail;                 // 1017
    StyledText failureNote;            // in the busy line's place: what a failure left on the coder
    std::array<StyledText, 3> stages;  // 1010, 1009, 1011
    ProgressState progress;            // 1012
    bool newVersionLabel = false;      // 1018
    StyledText newVersion;             // 1019
    bool showLogButton = false;        // 1014
    bool noLogNote = false;            // in place of 1014 when no log could be written
    StyledText closeNote;
};

struct WizardState {
    WizardPage page = WizardPage::Connect;
    ButtonsState buttons;
    InfoPageState info;
    UpdatePageState update;
};
