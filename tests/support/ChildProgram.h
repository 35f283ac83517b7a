#pragma once

#include <spawn.h>
#include <string>
#include <vector>

extern char** environ;

namespace Halvo::TestSupport {

// Starts `program` with `arguments` in this process's environment; the child's id, or -1.
inline pid_t Spawn(const std::string& program, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

} // namespace Halvo::TestSupport
