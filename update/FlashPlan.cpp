#include "update/FlashPlan.h"

#include <cerrno>
#include <cstring>

#include "update/FirmwareBlocks.h"
#include "update/FirmwareFileReader.h"
#include "update/PageLabels.h"
#include "update/UpdateCodes.h"

FileCheck CheckFirmwareFile(const std::string& path, uint16_t segmentBase) {
    FileCheck check;
    FirmwareFileReader file;
    if (!file.Open(path)) {
        check.problem = file.OpenError();
        return check;
    }
    check.opened = true;
    if (!file.IsRegular()) {
        check.problem = "not a regular file";
        check.logLine = "Not a regular file: " + path;
        return check;
    }
    // Read to the end: a file that fails half-way must be refused before the coder leaves its
    // firmware, not at the block where the read fails.
    uint8_t block[kFirmwareBlockSize];
    for (;;) {
        int32_t count = 0;
        const FirmwareFileReader::ReadResult read = file.ReadBlock(block, count);
        if (read == FirmwareFileReader::ReadResult::Error) {
            check.problem = "read error";
            check.logLine = "Read error in " + path;
            return check;
        }
        if (read == FirmwareFileReader::ReadResult::EndOfFile) {
            break;
        }
        check.size += static_cast<uint64_t>(count);
    }
    check.problem = SegmentSpaceError(segmentBase, check.size);
    check.logLine = check.problem;
    return check;
}

uint64_t FlashStage::Blocks() const {
    return BlockCount(check.size);
}

FlashPlan::FlashPlan(const std::string& coderFile, const std::string& samplesFile,
                     const std::string& dspFile) {
    using Kind = FlashStage::Kind;
    const FlashStage all[] = {
        {Kind::Coder, 0, coderFile, kCoderFirmwareSegment, "Start flashing Coder firmware...",
         "Failed to flash Coder firmware!", "Failed to open Coder firmware file!",
         UPD_CODER_FLASH_FAILED, UPD_CODER_FILE_OPEN_FAILED},
        {Kind::Samples, 0, samplesFile, kDspSamplesSegment, "Start flashing DSP samples...",
         "Failed to flash DSP samples!", "Failed to open DSP samples file!",
         UPD_SAMPLES_FLASH_FAILED, UPD_SAMPLES_FILE_OPEN_FAILED},
        {Kind::Dsp, 0, dspFile, kDspFirmwareSegment, "Start flashing DSP firmware...",
         "Failed to flash DSP firmware!", "Failed to open DSP firmware file!", UPD_DSP_FLASH_FAILED,
         UPD_DSP_FILE_OPEN_FAILED},
    };
    unplannedCoder_ = all[0];
    unplannedCoder_.number = 1;
    if (coderFile.empty()) {
        return;  // nothing can be flashed without the coder firmware
    }
    for (const FlashStage& stage : all) {
        if (!stage.path.empty()) {
            stages_.push_back(stage);
            stages_.back().number = static_cast<int>(stages_.size());
        }
    }
}

std::vector<int> FlashPlan::EraseRegions() const {
    if (stages_.empty()) {
        return {};
    }
    std::vector<int> regions = {0, 1};
    if (stages_.back().kind == FlashStage::Kind::Dsp) {  // the DSP firmware is always last
        regions.push_back(2);
    }
    return regions;
}

const FlashStage* FlashPlan::Stage(int number) const {
    return number >= 1 && number <= static_cast<int>(stages_.size()) ? &stages_[number - 1]
                                                                     : nullptr;
}

std::string FlashPlan::Label(int number, Language language) const {
    const FlashStage* stage = Stage(number);
    if (stage == nullptr) {
        return {};
    }
    switch (stage->kind) {
        case FlashStage::Kind::Coder:
            return PageLabelText(PageLabel::Stage1, language);
        case FlashStage::Kind::Samples:
            return PageLabelText(PageLabel::Stage2, language);
        case FlashStage::Kind::Dsp:
            break;
    }
    std::string label = PageLabelText(PageLabel::Stage3, language);
    label[0] = static_cast<char>('0' + stage->number);
    return label;
}

const FlashStage* FlashPlan::Check() {
    if (stages_.empty()) {
        unplannedCoder_.check = FileCheck{false, 0, std::strerror(ENOENT), ""};
        return &unplannedCoder_;
    }
    const FlashStage* refused = nullptr;
    for (FlashStage& stage : stages_) {
        stage.check = CheckFirmwareFile(stage.path, stage.segmentBase);
        if (refused == nullptr && !stage.check.problem.empty()) {
            refused = &stage;
        }
    }
    return refused;
}
