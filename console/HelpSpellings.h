#pragma once

// What the command-line programs' help spells the way the system does: the examples' paths, a
// long example's line break, and what asks a run to stop.
struct HelpSpellings {
    const char* downloadFolder;  // an example firmware folder
    const char* serialDevice;    // an example device path for --serial
    const char* lineBreak;       // ends an example's line that goes on below, with its spaces
    // The stop statuses, after "130     ": the help's two-column exit-status lines.
    const char* stopStatuses;
};

const HelpSpellings& SystemHelpSpellings();
