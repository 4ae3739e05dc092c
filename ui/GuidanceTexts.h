#pragma once

#include <QString>

#include "update/ProcedureTexts.h"
#include "wizard/GuidanceTexts.h"

// What the wizard says beyond its string table (wizard/GuidanceTexts.h) as QStrings, "%1"
// ready for QString::arg.
QString GuidanceString(GuidanceText text, Language language);
