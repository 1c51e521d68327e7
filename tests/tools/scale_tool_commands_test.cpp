#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "../cli/run_cli.h"
#include "corvane/files/scale_list.h"
#include "corvane/tools/scale_list_maker.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using corvane::testing::run_cli;
using testing::slurp;
using testing::TempFolder;
using testing::write_text;

// Each command reads its arguments, writes its list where told (standard output without -o)
// and its closing message on standard error under the tool's caption; its status says how it
// ended. What the lists hold the tools' own tests check.
TEST(ScaleToolCommands, EachCommandWritesItsListAndItsMessage) {
    TempFolder folder;
    write_text(folder / "a.scl", "Pentatonic\n 5\n 9/8\n 5/4\n 3/2\n 5/3\n 2/1\n");
    write_text(folder / "b.scl", "Steps of two sizes\n 3\n 9/8\n 81/64\n 45/32\n");
    write_text(folder / "c.scl", "Major triad\n 3\n 5/4\n 3/2\n 2/1\n");
    const std::string scales = folder.path().string();
    const std::string list = (folder / "made.lsc").string();
    // OUR OWN FIXTURE, from the reading rules: one section of modes.
    write_text(folder / "modes.htm",
               "<head></head>\n<h4>Persian modes</h4>\n<tr><td>2 2 1</td><td>Dastgah</td></tr>\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;  // the whole of standard output
        std::string err_part;
    };
    const std::string modes_made = "1 LMD files constructed from \"modes.htm\" in folder \"" + scales +
                                   "\" and saved in program's location folder \"" + scales + "\"";
    const Case cases[] = {
        {{"make-list", scales, "-o", list}, 0, "", "List of Scales: List of 3 scales completed\nfile name " + list},
        {{"make-list", scales, "-o", list}, 1, "", "(no)\ncorvane-cli: no list of scales was written\n"},
        {{"make-list", scales, "-o", list, "--yes"}, 0, "", "(yes)\nList of Scales: List of 3 scales completed"},
        {{"search", list, "--words", "!triad"}, 0,
         " !\r\n+1 9/8 5/4 3/2 5/3 2/1 Pentatonic\r\n1 9/8 81/64 45/32 Steps of two sizes\r\n",
         "Search now: Searched scale descriptions in " + list + " for any of these:\n!triad\n"},
        {{"sort", list, "--template", "-n"}, 0,
         " !\r\n+1 9/8 5/4 3/2 5/3 2/1 Pentatonic\r\n1 9/8 81/64 45/32 Steps of two sizes\r\n"
         "1 5/4 3/2 2/1 Major triad\r\n",
         "corvane-cli: sorted 3 entries\n"},
        {{"rearrange", list, "--entry", "2"}, 0,
         " !\r\n+1 10/9 5/4 45/32  *:* #10/9 9/8 9/8 \r\n1 9/8 5/4 45/32  *:* #9/8 10/9 9/8 \r\n"
         "1 9/8 81/64 45/32  *:* #9/8 9/8 10/9 \r\n",
         "Find all re-arrangements: List of 3 re-arrangements of selected scale's intervals completed\n"},
        {{"superparticular", "--notes", "2", "--top", "2", "--largest", "1"}, 0,
         " !Superparticular scales of 2 notes, top note 2\r\n+1 3/2 2  *:* #3/2 4/3 \r\n",
         "Find all superparticular scales: List of 1 superparticular scales completed\n"},
        {{"superparticular", "--top", "2"}, 2, "", "--notes is required\n"},
        {{"rearrange", list, "--all", "--entry", "1"}, 2, "", "--entry excludes --all\n"},
        {{"make-mode-lists", (folder / "modes.htm").string(), "-o", scales}, 0, "", modes_made},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"scales"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = run_cli(args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_NE(r.err.find(c.err_part), std::string::npos) << c.args[0] << ": " << r.err;
    }
}

// Whether the process has a handler of its own for SIGINT (from /proc/<pid>/status).
bool catches_sigint(pid_t pid) {
    std::istringstream status(slurp("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (!line.starts_with("SigCgt:")) continue;
        const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
        return (caught >> (SIGINT - 1) & 1U) != 0;
    }
    return false;
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
