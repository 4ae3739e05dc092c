#pragma once

#include <string>
#include <vector>

// The arguments this program was started with, after its own name, in UTF-8. On Windows they
// are read from the wide command line: `argv` holds them in the ANSI code page, where a name
// outside it is lost.
std::vector<std::string> ProgramArguments(int argc, char** argv);
