// Runs a program to its end and keeps what it printed on each stream, for tests of programs.
#pragma once

#include <string>
#include <vector>

namespace kestrom::test {

struct ProgramRun {
    bool started = false;  // false: the program could not be started (not found)
    int exitCode = -1;     // 128 + signal when a signal ended it
    std::string out;
    std::string err;
};

// args[0] is looked up on PATH unless it holds a "/".
ProgramRun runProgram(const std::vector<std::string>& args);

}  // namespace kestrom::test
