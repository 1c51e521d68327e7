#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../temp_folder.h"

namespace corvane::testing {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string shell_quoted(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

// Runs `program` (corvane-cli unless given; from `working_folder` when given) with the
// arguments and collects its exit status and both streams.
inline CliResult run_cli(const std::vector<std::string>& args, const std::string& program = CORVANE_CLI,
                         const std::string& working_folder = "") {
    const TempFolder dir;
    std::string command = working_folder.empty() ? "" : "cd " + shell_quoted(working_folder) + " && ";
    command += shell_quoted(program);
    for (const auto& a : args) command += " " + shell_quoted(a);
    command += " >" + shell_quoted((dir / "out").string()) + " 2>" + shell_quoted((dir / "err").string());
    command += " </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "out"), slurp(dir / "err")};
}

}  // namespace corvane::testing
