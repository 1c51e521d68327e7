// corvane-cli handed files that are not what they should be, and asked to write where it
// cannot: a message on standard error that names the file, a failing exit status, never a
// crash or a wait.
#include <gtest/gtest.h>

#include <functional>

#include "../hostile_files.h"
#include "run_cli.h"

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

bool crashed(const CliResult& r) {
    return r.status < 0 || r.err.find("Sanitizer") != std::string::npos ||
           r.err.find("runtime error") != std::string::npos;
}

struct Reader {
    std::string_view ext;
    std::function<CliResult(const std::string& file, const std::string& out)> run;
};

const std::vector<Reader>& readers() {
    static const std::vector<Reader> all{
        {"cv", [](const std::string& f, const std::string&) { return run_cli({"tune", f, "--no-config", "-n", "2"}); }},
        {"ini", [](const std::string& f, const std::string& o) { return run_cli({"convert", f, o + "/a.cv"}); }},
        {"txt", [](const std::string& f, const std::string& o) { return run_cli({"convert", f, o + "/a.cv"}); }},
        {"lmd", [](const std::string& f, const std::string& o) { return run_cli({"convert", f, o + "/a.lmd"}); }},
        {"scl", [](const std::string& f, const std::string&) { return run_cli({"scale", "--scl", f}); }},
        {"lsc", [](const std::string& f, const std::string&) { return run_cli({"scales", "sort", f}); }},
        {"lmd", [](const std::string& f, const std::string&) { return run_cli({"scales", "search", f, "--words", "a"}); }},
        {"mid", [](const std::string& f, const std::string& o) { return run_cli({"dump", f, "-o", o + "/d.hex"}); }},
        {"htm", [](const std::string& f, const std::string& o) {
             return run_cli({"scales", "make-mode-lists", f, "-o", o});
         }},
    };
    return all;
}

class HostileInputCommand : public ::testing::Test {
protected:
    HostileInputCommand() : folder_(fs::temp_directory_path() / ("corvane-hostile-" + std::to_string(::getpid()))) {
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "out");
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    }
    ~HostileInputCommand() override { fs::remove_all(folder_); }

    fs::path file_for(Hostile kind, std::size_t reader, std::string_view ext) const {
        return folder_ / (std::string(name_of(kind)) + std::to_string(reader) + "." + std::string(ext));
    }

    // Runs every reader on a file of each kind; none may crash, `check` judges the rest.
    void for_each_reader(std::initializer_list<Hostile> kinds,
                         const std::function<void(Hostile, std::string_view, const fs::path&, const CliResult&)>& check) {
        for (const Hostile kind : kinds) {
            for (std::size_t i = 0; i < readers().size(); ++i) {
                const Reader& reader = readers()[i];
                SCOPED_TRACE(std::string(name_of(kind)) + " ." + std::string(reader.ext));
                const fs::path path = make_hostile(kind, file_for(kind, i, reader.ext));
                const CliResult r = reader.run(path.string(), (folder_ / "out").string());
                EXPECT_FALSE(crashed(r)) << r.err;
                check(kind, reader.ext, path, r);
            }
        }
    }

    fs::path folder_;
};

TEST_F(HostileInputCommand, EveryReaderNamesAFileItCannotReadAndFails) {
    for_each_reader({Hostile::folder, Hostile::through_file, Hostile::dangling_link, Hostile::huge_sparse},
                    [](Hostile kind, std::string_view ext, const fs::path& path, const CliResult& r) {
                        EXPECT_EQ(r.status, 1) << r.err;
                        EXPECT_NE(r.err.find(path.filename().string()), std::string::npos) << r.err;
                        if (kind == Hostile::huge_sparse && (ext == "scl" || ext == "lsc")) {
                            EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
                        }
                    });
    const auto huge_modes = make_hostile(Hostile::huge_sparse, folder_ / "modename.htm");
    const CliResult r = run_cli({"scales", "make-mode-lists", huge_modes.string(), "-o", (folder_ / "out").string()});
    EXPECT_NE(r.err.find("Couldn't read file into memory\n\nInsufficient memory available"), std::string::npos) << r.err;
}

TEST_F(HostileInputCommand, EmptyBinaryAndEndlessLinesAreReadWithoutHarm) {
    for_each_reader({Hostile::empty, Hostile::binary, Hostile::fifo, Hostile::long_line},
                    [](Hostile, std::string_view, const fs::path&, const CliResult& r) {
                        EXPECT_GE(r.status, 0);
                        EXPECT_LE(r.status, 2);
                    });
}

// Scala files of every sort in one folder: the unreadable ones are left out, an endless
// description is cut at the length a list entry keeps.
TEST_F(HostileInputCommand, AListOfScalesFromAFolderOfBadScalaFilesTakesWhatReads) {
    const fs::path scl = folder_ / "scl";
    fs::create_directory(scl);
    for (const Hostile kind : all_hostile_kinds()) make_hostile(kind, scl / (std::string(name_of(kind)) + ".scl"));
    write_bytes(scl / "good.scl", "! good.scl\r\nA fifth\r\n 1\r\n 3/2\r\n");
    const CliResult r = run_cli({"scales", "make-list", scl.string(), "-o", (folder_ / "list.lsc").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string list = slurp(folder_ / "list.lsc");
    EXPECT_NE(list.find("1 3/2 A fifth\r\n"), std::string::npos);
    std::size_t longest = 0;
    for (std::size_t start = 0, end = 0; (end = list.find('\n', start)) != std::string::npos; start = end + 1) {
        longest = std::max(longest, end - start);
    }
    EXPECT_LE(longest, 2 * 20480U + 4);
}

TEST_F(HostileInputCommand, EveryWriterOntoAFullDeviceSaysSoAndFails) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    const std::string out = (folder_ / "out").string();
    write_bytes(folder_ / "in.cv", "Levels 3\r\nNote_heights 0 1 2 //\r\n");
    write_bytes(folder_ / "in.lsc", "1 3/2 A fifth\r\n1 5/4 A third\r\n");
    write_bytes(folder_ / "in.mid", binary_bytes());
    for (const std::string_view name : {"full.cv", "full.ini", "full.scl", "full.mid", "full.lsc", "full.wav"}) {
        fs::create_symlink("/dev/full", folder_ / name);
    }
    const auto full = [&](std::string_view name) { return (folder_ / name).string(); };
    const std::vector<std::vector<std::string>> commands{
        {"convert", full("in.cv"), full("full.cv")},
        {"convert", full("in.cv"), full("full.ini")},
        {"convert", full("in.cv"), full("full.scl")},
        {"convert", full("in.cv"), full("full.mid")},
        {"convert", full("in.lsc"), full("full.lsc")},
        {"save", "--no-config", "-o", full("full.wav"), "--minutes", "0", "--seconds", "1"},
        {"save", "--no-config", "-o", full("full.mid"), "--minutes", "0", "--seconds", "1"},
        {"dump", full("in.mid"), "-o", "/dev/full"},
        {"scales", "sort", full("in.lsc"), "-o", "/dev/full"},
        {"scales", "superparticular", "--notes", "2", "--top", "3/2", "-o", "/dev/full"},
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
