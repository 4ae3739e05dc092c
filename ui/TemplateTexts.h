#pragma once

#include <QString>

#include "update/ProcedureTexts.h"
#include "wizard/TemplateTexts.h"

// The controls' own captions (wizard/TemplateTexts.h) as QStrings.
QString TemplateString(TemplateText text, Language language);

// A numbered procedure text as a QString.
QString Text(int number, Language language);
