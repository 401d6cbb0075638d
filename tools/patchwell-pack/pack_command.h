// The patchwell-pack command line: create, list and verify.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace pack {

constexpr int kExitOk = 0;
constexpr int kExitFault = 1;
constexpr int kExitUsage = 2;

// Runs the command with its arguments (without the program name); output
// and errors go to out and err.
int RunPackCommand(const std::vector<std::string>& args, std::FILE* out = stdout, std::FILE* err = stderr);

}  // namespace pack
