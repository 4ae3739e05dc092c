#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "update/ProcedureTexts.h"

// What an update will write, computed once from the chosen files and used by the flash
// sequence, the dry run and every front end that shows the stages: which files in which
// order, where each goes, its label, its log lines and result codes, and why a file would be
// refused before anything is sent to the coder.

// Why a file cannot be flashed whole, with what was found of it. Never blocks: a FIFO or a
// device named like a firmware file is refused without waiting for a writer.
struct FileCheck {
    bool opened = false;  // false: `problem` is the system's reason for the failed open
    uint64_t size = 0;
    std::string problem;  // empty when the file can be flashed
    // What the update log says of a refused file before its stage's own line; empty where the
    // failed open is all there is to say.
    std::string logLine;
};
FileCheck CheckFirmwareFile(const std::string& path, uint16_t segmentBase);

struct FlashStage {
    enum class Kind { Coder, Samples, Dsp };
    Kind kind = Kind::Coder;
    int number = 0;  // 1.. as the pages count them: without samples the DSP firmware is 2
    std::string path;
    uint16_t segmentBase = 0;
    const char* startLine = "";        // the log line before its first block
    const char* flashFailedLine = "";  // the log line when a block is refused
    const char* openFailedLine = "";   // the log line when the file cannot be flashed whole
    int32_t flashFailedCode = 0;
    int32_t openFailedCode = 0;
    FileCheck check;  // as FlashPlan::Check found the file

    // The blocks the file is written in, as checked.
    uint64_t Blocks() const;
};

class FlashPlan {
public:
    FlashPlan() = default;
    // Empty paths are left out; without a coder firmware nothing is planned.
    FlashPlan(const std::string& coderFile, const std::string& samplesFile,
              const std::string& dspFile);

    const std::vector<FlashStage>& Stages() const { return stages_; }
    bool Empty() const { return stages_.empty(); }
    // The flash regions the sequence erases: 0 and 1, and 2 when a DSP firmware is planned.
    std::vector<int> EraseRegions() const;
    // "1. Coder firmware", ... in the front end's language; empty for a stage not planned.
    std::string Label(int number, Language language) const;
    const FlashStage* Stage(int number) const;

    // Checks every planned file and keeps what was found in its stage. The first stage whose
    // file would be refused, or nullptr; without a coder firmware that is the coder stage,
    // refused as a file that does not open.
    const FlashStage* Check();

private:
    std::vector<FlashStage> stages_;
    FlashStage unplannedCoder_;
};
