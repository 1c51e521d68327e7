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

TEST(ScaleToolCommands, EverySubcommandHasHelp) {
    for (const char* name : {"make-list", "make-mode-lists", "search", "sort", "superparticular", "rearrange"}) {
        const auto result = run_cli({"scales", name, "--help"});
        EXPECT_EQ(result.status, 0) << name;
        EXPECT_NE(result.out.find("Ctrl-C"), std::string::npos) << name;
    }
    EXPECT_EQ(run_cli({"scales", "superparticular", "--top", "2"}).status, 2);
    EXPECT_EQ(run_cli({"scales", "rearrange", "x.lsc", "--all", "--entry", "1"}).status, 2);
}

TEST(ScaleToolCommands, MakeListSearchSortAndRearrangeThroughFiles) {
    TempFolder folder;
    write_text(folder / "a.scl", "Pentatonic\n 5\n 9/8\n 5/4\n 3/2\n 5/3\n 2/1\n");
    write_text(folder / "b.scl", "Steps of two sizes\n 3\n 9/8\n 81/64\n 45/32\n");
    write_text(folder / "c.scl", "Major triad\n 3\n 5/4\n 3/2\n 2/1\n");
    const std::string list = (folder / "made.lsc").string();
    auto made = run_cli({"scales", "make-list", folder.path().string(), "-o", list});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.err.find("List of Scales: List of 3 scales completed"), std::string::npos) << made.err;
    EXPECT_EQ(run_cli({"scales", "make-list", folder.path().string(), "-o", list}).status, 1);  // not replaced
    EXPECT_EQ(run_cli({"scales", "make-list", folder.path().string(), "-o", list, "--yes"}).status, 0);

    const auto found = run_cli({"scales", "search", list, "--words", "!triad"});
    ASSERT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(found.out, " !\r\n+1 9/8 5/4 3/2 5/3 2/1 Pentatonic\r\n1 9/8 81/64 45/32 Steps of two sizes\r\n");
    EXPECT_NE(found.err.find("Matching entries found: 2"), std::string::npos);

    const std::string sorted = (folder / "sorted.lsc").string();
    const auto sort = run_cli({"scales", "sort", list, "--template", "-n", "-o", sorted});
    ASSERT_EQ(sort.status, 0) << sort.err;
    const auto back = files::read_scale_list(slurp(sorted), files::ListKind::scales).list;
    ASSERT_EQ(back.entries.size(), 5U);
    EXPECT_EQ(back.entries[2].description, "Pentatonic");
    EXPECT_EQ(back.entries[4].description, "Major triad");

    const auto again = run_cli({"scales", "rearrange", list, "--entry", "2"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.err.find("List of 3 re-arrangements of selected scale's intervals completed"), std::string::npos);
}

TEST(ScaleToolCommands, SuperparticularAndModeListsFromOurOwnFixture) {
    const auto two = run_cli({"scales", "superparticular", "--notes", "2", "--top", "2", "--largest", "1"});
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_NE(two.out.find("+1 3/2 2  *:* #3/2 4/3 \r\n"), std::string::npos) << two.out;

    TempFolder folder;
    // OUR OWN FIXTURE, from the reading rules: one section of a built-in heading.
    write_text(folder / "modes.htm",
               "<head></head>\n<h4>Persian modes</h4>\n<tr><td>2 2 1</td><td>Dastgah</td></tr>\n");
    const auto made = run_cli({"scales", "make-mode-lists", (folder / "modes.htm").string(), "-o",
                               (folder / "out").string()});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(slurp(folder / "out" / "Persian_modes.lmd").starts_with("1 256/243 27/25 9/8"));
    EXPECT_NE(slurp(folder / "out" / "SCALA Modes.lsc").find("*Persian_modes.lmd* Persian 17 note scale (M)"),
              std::string::npos);
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
    const std::string archive = testing::shared_scala_folder();
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
