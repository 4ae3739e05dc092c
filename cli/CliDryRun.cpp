#include "cli/CliDryRun.h"

#include <cstdio>

#include "cli/CliTexts.h"
#include "update/ProcedureVerdicts.h"

std::string RefusalText(const FlashStage& stage, Language language) {
    if (stage.check.problem.empty()) {
        return "";
    }
    return FormatString(CliTextFormat(CliText::FileCannotBeRead, language),
                        {stage.path, stage.check.problem});
}

int ReportDryRun(FlashPlan plan, CliReport& report, Language language) {
    const FlashStage* refused = plan.Check();
    std::string regionText;
    nlohmann::ordered_json erase = nlohmann::ordered_json::array();
    for (const int region : plan.EraseRegions()) {
        regionText += (regionText.empty() ? "" : ", ") + std::to_string(region);
        erase.push_back(region);
    }
    report.Info(FormatString(CliTextFormat(CliText::WouldErase, language), {regionText}));
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const FlashStage& stage : plan.Stages()) {
        const FileCheck& check = stage.check;
        char segment[8];
        std::snprintf(segment, sizeof segment, "%04X", stage.segmentBase);
        report.Info(FormatString(
            CliTextFormat(CliText::FileToFlash, language),
            {plan.Label(stage.number, language), stage.path, static_cast<int64_t>(check.size),
             static_cast<int64_t>(stage.Blocks()), std::string(segment)}));
        files.push_back(
            {{"stage", stage.number},
             {"path", stage.path},
             {"size", check.size},
             {"blocks", stage.Blocks()},
             {"segment", segment},
             {"problem", check.problem.empty() ? nlohmann::ordered_json(nullptr)
                                               : nlohmann::ordered_json(check.problem)}});
        if (!check.problem.empty()) {
            report.Problem(RefusalText(stage, language));
        }
    }
    report.Json().Add("plan", nlohmann::ordered_json{{"eraseRegions", erase}, {"files", files}});
    if (refused == nullptr) {
        return 0;
    }
    report.Problem(UpdateResultText(refused->openFailedCode, 0, language));
    return refused->openFailedCode;
}
