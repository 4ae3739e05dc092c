#pragma once

#include <string>

#include "transport/OpenFailure.h"
#include "update/ProcedureTexts.h"

// What a refused open means and what to do about it, one line each, in the front end's
// language; both empty when nothing failed. The command line and the wizard show the same.
std::string OpenFailureReason(const OpenFailure& failure, Language language);
std::string OpenFailureHint(const OpenFailure& failure, Language language);
