#pragma once
// Running a helper program of the host system (the desktop database tools) and reading what
// it prints, without a shell in between.

#include <optional>
#include <string>
#include <vector>

namespace tessarind {

// Runs argv[0], looked up on PATH, waits for it and returns its standard output; none when it
// could not be started or did not exit with 0. Its standard error is discarded.
std::optional<std::string> RunHostProgram(const std::vector<std::string>& argv);

// Whether a program of this name is found on PATH.
bool HostProgramExists(const std::string& name);

} // namespace tessarind
