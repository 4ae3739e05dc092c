#pragma once

#include <string>
#include <vector>

// Windows hands a program one command line, which its C runtime splits into argv again: the
// arguments are quoted so that the split gives them back exactly (spaces, tabs, quotes,
// backslashes before a quote, empty arguments). UTF-8 in and out: only ASCII characters take
// part in the rule.

// One argument as the runtime's split reads it back.
std::string QuotedArgument(const std::string& argument);

// The whole line: the program's name first (in quotes, which the runtime takes literally
// there, so a path with spaces stays one word), then each argument.
std::string CommandLine(const std::string& program, const std::vector<std::string>& arguments);
