#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <unistd.h>
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

// Runs corvane-cli with the arguments and collects its exit status and both streams.
inline CliResult run_cli(const std::vector<std::string>& args) {
    const auto dir = std::filesystem::temp_directory_path() / ("corvane-cli-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string command = CORVANE_CLI;
    for (const auto& a : args) command += " " + shell_quoted(a);
    command += " >" + shell_quoted((dir / "out").string()) + " 2>" + shell_quoted((dir / "err").string()) + " </dev/null";
    const int raw = std::system(command.c_str());
    CliResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = slurp(dir / "out");
    result.err = slurp(dir / "err");
    std::filesystem::remove_all(dir);
    return result;
}

inline CliResult run_cli(std::initializer_list<std::string> args) { return run_cli(std::vector<std::string>(args)); }

}  // namespace corvane::testing
