#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "../cli/run_cli.h"
#include "corvane/files/scale_list.h"
#include "corvane/tools/scale_list_maker.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using namespace corvane::tools::testing;
using corvane::testing::run_cli;

// Each command reads its arguments, writes its list where told (standard output without -o)
// and its closing message on standard error under the tool's caption; its status says how it
// ended. What the lists hold the tools' own tests check.
TEST(ScaleToolCommands, EachCommandWritesItsListAndItsMessage) {
    TempFolder folder;
    write_bytes(folder / "a.scl", "Pentatonic\n 5\n 9/8\n 5/4\n 3/2\n 5/3\n 2/1\n");
    write_bytes(folder / "b.scl", "Steps of two sizes\n 3\n 9/8\n 81/64\n 45/32\n");
    write_bytes(folder / "c.scl", "Major triad\n 3\n 5/4\n 3/2\n 2/1\n");
    const std::string scales = folder.path().string();
    const std::string list = (folder / "made.lsc").string();
    // OUR OWN FIXTURE, from the reading rules: one section of modes.
    write_bytes(folder / "modes.htm",
                "<head></head>\n<h4>Persian modes</h4>\n<tr><td>2 2 1</td><td>Dastgah</td></tr>\n");
    const std::vector<std::string> commands[] = {
        {"make-list", scales, "-o", list},
        {"make-list", scales, "-o", list},  // asked to replace it, with no answer but no
        {"make-list", scales, "-o", list, "--yes"},
        {"search", list, "--words", "!triad"},
        {"sort", list, "--template", "-n"},
        {"sort", list, "--template", "-n?", "-o", (folder / "unsorted.lsc").string()},  // refused, nothing written
        {"rearrange", list, "--entry", "2"},
        {"superparticular", "--notes", "2", "--top", "2", "--largest", "1"},
        {"superparticular", "--top", "2"},
        {"superparticular", "--notes", "2", "--top", "2", "--memory", "-1"},
        {"rearrange", list, "--all", "--entry", "1"},
        {"rearrange", list, "--entry", "0"},
        {"make-mode-lists", (folder / "modes.htm").string(), "-o", scales},
    };
    std::string transcript;
    for (const auto& command : commands) {
        std::vector<std::string> args{"scales"};
        args.insert(args.end(), command.begin(), command.end());
        const auto r = run_cli(args);
        for (const auto& arg : args) transcript += (&arg == &args.front() ? "" : " ") + arg;
        transcript += "\nstatus " + std::to_string(r.status) + "\n" + r.out + "-- standard error:\n" + r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "unsorted.lsc"));
    // The times taken vary; the folder is written as "<folder>".
    for (auto at = transcript.find("Time taken"); at != std::string::npos; at = transcript.find("Time taken", at + 1)) {
        transcript.replace(at, transcript.find('\n', at) - at, "Time taken ...");
    }
    transcript = corvane::testing::with_stand_in(transcript, scales, "<folder>");
    // Each command line, its status, its whole standard output and its whole standard error.
    expect_output_as_kept(transcript, "tools/expected/scale_commands.txt");
}

// Whether the process has a handler of its own for SIGINT (from /proc/<pid>/status).
bool catches_sigint(pid_t pid) {
    const std::string status = slurp("/proc/" + std::to_string(pid) + "/status");
    const auto at = status.find("SigCgt:");
    return at != std::string::npos && (std::stoull(status.substr(at + 7), nullptr, 16) >> (SIGINT - 1) & 1U) != 0;
}

// Ctrl-C is the halt button: over the whole Scala archive the list stops early, is complete
// as far as it goes, and the closing message is printed.
TEST(ScaleToolCommands, CtrlCHaltsMakeListAndLeavesAValidList) {
    const std::string archive = std::string(CORVANE_SHARED_DATA) + "/scl";
    if (!std::filesystem::is_directory(archive)) GTEST_SKIP() << "no Scala archive";
    TempFolder folder;
    const std::string list = (folder / "halted.lsc").string();
    const std::string err = (folder / "err").string();
    const pid_t child = ::fork();
    if (child == 0) {
        const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null_fd = ::open("/dev/null", O_RDONLY);
        ::dup2(err_fd, 2);
        ::dup2(null_fd, 0);
        ::execl(CORVANE_CLI, CORVANE_CLI, "scales", "make-list", archive.c_str(), "-o", list.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Press Ctrl-C once the command has taken SIGINT over (before that it would simply end).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!catches_sigint(child) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ::kill(child, SIGINT);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the command was ended by the signal instead of halting";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // However far it got, the closing message gives the count and the list holds as many.
    const std::string messages = slurp(err);
    const std::string opening = "List of Scales: List of ";
    const auto at = messages.find(opening);
    ASSERT_NE(at, std::string::npos) << messages;
    const std::size_t written = std::stoul(messages.substr(at + opening.size()));
    const auto back = files::read_scale_list(slurp(list), files::ListKind::scales).list;
    EXPECT_EQ(back.entries.size(), 2 + written);
    EXPECT_LT(written, scala_files_in(archive).size());
}

}  // namespace
}  // namespace corvane::tools
