#pragma once

#include <string>
#include <vector>

#include "transport/OpenFailure.h"
#include "update/ProcedureTexts.h"

// What a refused open means and what to do about it, one line each, in the front end's
// language; both empty when nothing failed. The command line and the wizard show the same.
std::string OpenFailureReason(const OpenFailure& failure, Language language);
std::string OpenFailureHint(const OpenFailure& failure, Language language);

// The Connect page's word on the serial ports that are present but not usable now: how many,
// each one's reason, then each hint once. Empty when `refused` is.
std::string UnusablePortsNote(const std::vector<OpenFailure>& refused, Language language);
