#pragma once

#include <string>

#include "cli/CliReport.h"
#include "update/FlashPlan.h"

// identify's last part: what update would do with the planned files (the flash regions it
// would erase; each file with its size, blocks and segment), and whether it would refuse one
// before anything is sent, checked as the flash sequence checks them. Gives 0, or the result
// update would end with.
int ReportDryRun(FlashPlan plan, CliReport& report, Language language);

// Why a stage's file was refused, as the dry run and update say it; empty when it was not.
std::string RefusalText(const FlashStage& stage, Language language);
