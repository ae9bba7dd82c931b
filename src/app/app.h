// A whole run of the ruvello command.
#pragma once

#include <span>

namespace ruvello {

// Runs the command with the arguments after the program name and returns the
// exit status: 0 on success, 2 after a bad command line, 1 when a file cannot
// be opened, read or written.
int run_command(std::span<const char* const> args);

}  // namespace ruvello
