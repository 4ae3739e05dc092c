#pragma once

#include "update/ProcedureTexts.h"

// The lines that tarvelin-cli writes on standard error around a reason, in both languages: the
// line that names the log and the label in front of a hint. The command line writes them; its
// fleet passes over them when it looks for why a child failed.
struct StderrLabel {
    const char* english;
    const char* german;

    const char* In(Language language) const {
        return language == Language::German ? german : english;
    }
};

inline constexpr StderrLabel kLogLineLabel{"Log: %s", "Protokoll: %s"};  // %s the log's path
inline constexpr StderrLabel kHintLabel{"hint: ", "Tipp: "};
