#pragma once

// Names and patterns with what a shell's directory search makes of them, case ignored and a
// leading '.' kept for a '.' in the pattern. FilePatternOracleTest holds the ASCII ones
// against the C library's fnmatch where there is one.
struct FilePatternCase {
    const char* pattern;
    const char* name;
    bool matches;
};

inline constexpr FilePatternCase kFilePatternCases[] = {
    {"*.img", "Coder_V02_15.img", true},
    {"*.img", "CODER.IMG", true},
    {"*.IMG", "coder.img", true},
    {"*.img", "coder.img.bak", false},
    {"*.img", "coderimg", false},
    {"*.img", "a.b.img", true},
    {"*.img", ".img", false},
    {"*.img", ".hidden.img", false},
    {".*.img", ".hidden.img", true},
    {"?*", ".x", false},
    {"[.]x", ".x", false},
    {"*", "", true},
    {"?", "", false},
    {"?.img", "a.img", true},
    {"?.img", "ab.img", false},
    {"[abc].img", "B.img", true},
    {"[!abc].img", "d.img", true},
    {"[!abc].img", "a.img", false},
    {"[^a].img", "A.img", false},
    {"[a-c]*", "Bx", true},
    {"[a-c]*", "dx", false},
    {"[]]x", "]x", true},
    {"[!]]x", "ax", true},
    {"[!]]x", "]x", false},
    {"[", "[", true},
    {"[a", "[a", true},
    {"\\*.img", "*.img", true},
    {"\\*.img", "a.img", false},
    {"*a*b*c", "xaxbxc", true},
    {"*a*b*c", "xaxbx", false},
    {"*a*b*c", "abcabc", true},
    {"**.img", "x.img", true},
    {"*.img*", "x.img", true},
    {"*x", "x", true},
    {"a*", "A", true},
};

// Beyond ASCII: '?' takes a whole UTF-8 character, the rest compares bytes.
inline constexpr FilePatternCase kUtf8FilePatternCases[] = {
    {"?.img", "\xC3\xB6.img", true},  // ö
    {"C?der_*.img",
     "C\xC3\xB6"
     "der_V2_3.img",
     true},                                                // Cöder
    {"*\xE2\x82\xAC.img", "Preis\xE2\x82\xAC.img", true},  // €
    {"??.img", "\xC3\xB6.img", false},
};
