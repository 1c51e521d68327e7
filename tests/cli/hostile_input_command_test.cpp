// corvane-cli handed files that are not what they should be, and asked to write where it
// cannot: a message on standard error that names the file, a failing exit status, never a
// crash or a wait.
#include <gtest/gtest.h>

#include "../hostile_files.h"
#include "run_cli.h"

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

bool crashed(const CliResult& r) {
    return r.status < 0 || r.err.find("Sanitizer") != std::string::npos ||
           r.err.find("runtime error") != std::string::npos;
}

// Each reader as the user runs it: IN is the file handed to it, OUT a folder it may write into.
// Convert opens as the File menu does (the files suite's HostileInput runs that on each extension).
const std::vector<std::pair<std::string, std::vector<std::string>>> kReaders{
    {"cv", {"tune", "IN", "--no-config", "-n", "2"}},
    {"lmd", {"convert", "IN", "OUT/a.lmd"}},
    {"scl", {"scale", "--scl", "IN"}},
    {"lsc", {"scales", "sort", "IN"}},
    {"lmd", {"scales", "search", "IN", "--words", "a"}},
    {"mid", {"dump", "IN", "-o", "OUT/d.hex"}},
    {"htm", {"scales", "make-mode-lists", "IN", "-o", "OUT"}},
};

class HostileInputCommand : public ::testing::Test {
protected:
    HostileInputCommand() {
        fs::create_directories(folder_ / "out");
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    }

    const TempFolder folder_;
};

// Every reader on a file of every kind: what cannot be read (or is too large to take in) is
// named with status 1, the rest is read without harm.
TEST_F(HostileInputCommand, EveryReaderNamesAFileItCannotReadAndReadsTheRestWithoutHarm) {
    for (const Hostile kind : all_hostile_kinds()) {
        for (std::size_t i = 0; i < kReaders.size(); ++i) {
            const auto& [ext, reader_args] = kReaders[i];
            SCOPED_TRACE(std::string(name_of(kind)) + " ." + ext);
            const std::string name = std::string(name_of(kind)) + std::to_string(i) + "." + ext;
            std::vector<std::string> args = reader_args;
            for (std::string& arg : args) {
                if (arg == "IN") arg = make_hostile(kind, folder_ / name).string();
                if (arg.starts_with("OUT")) arg = (folder_ / "out").string() + arg.substr(3);
            }
            const CliResult r = run_cli(args);
            EXPECT_FALSE(crashed(r)) << r.err;
            if (cannot_be_read(kind) || kind == Hostile::huge_sparse) {
                EXPECT_EQ(r.status, 1) << r.err;
                EXPECT_NE(r.err.find(name), std::string::npos) << r.err;
            } else {
                EXPECT_LE(r.status, 2) << r.err;
            }
            if (kind == Hostile::huge_sparse && (ext == "scl" || ext == "lsc")) {
                EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
            }
        }
    }
}

TEST_F(HostileInputCommand, EveryWriterOntoAFullDeviceSaysSoAndFails) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    write_bytes(folder_ / "in.cv", "Levels 3\r\nNote_heights 0 1 2 //\r\n");
    write_bytes(folder_ / "in.lsc", "1 3/2 A fifth\r\n1 5/4 A third\r\n");
    write_bytes(folder_ / "in.mid", binary_bytes());
    for (const std::string_view name : {"full.cv", "full.mid", "full.wav"}) {
        fs::create_symlink("/dev/full", folder_ / name);
    }
    const auto full = [&](std::string_view name) { return (folder_ / name).string(); };
    const std::vector<std::vector<std::string>> commands{
        {"convert", full("in.cv"), full("full.cv")},
        {"convert", full("in.cv"), full("full.mid")},
        {"save", "--no-config", "-o", full("full.wav"), "--minutes", "0", "--seconds", "1"},
        {"save", "--no-config", "-o", full("full.mid"), "--minutes", "0", "--seconds", "1"},
        {"dump", full("in.mid"), "-o", "/dev/full"},
        {"scales", "sort", full("in.lsc"), "-o", "/dev/full"},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const CliResult r = run_cli(args);
        EXPECT_FALSE(crashed(r)) << r.err;
        EXPECT_EQ(r.status, 1) << r.err;
        const bool says_full = r.err.find("not enough space available on device") != std::string::npos ||
                               r.err.find(std::generic_category().message(ENOSPC)) != std::string::npos;
        EXPECT_TRUE(says_full) << r.err;
    }
    EXPECT_TRUE(dev_full_is_intact());
}

}  // namespace
}  // namespace corvane::testing
