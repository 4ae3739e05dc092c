#pragma once

#include <cstdio>
#include <string>

// What a signal watcher may still do while the main thread is blocked anywhere, holding any
// lock: write past the C streams and their buffers, and end the process without running exit
// handlers or destructors.

// All of `bytes`, unbuffered, to `stream` (stdout or stderr); what cannot be written is
// dropped.
void WriteNow(std::FILE* stream, const std::string& bytes);

// Ends this process at once with `status`.
[[noreturn]] void EndProcessNow(int status);
