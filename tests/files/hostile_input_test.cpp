// Every reader of the files library handed what is not a sensible file: folders, broken
// paths, pipes, empty, binary, one endless line and a file of several GB. Each gives its own
// failure or reads what there is; none crashes, waits or takes the huge file into memory.
#include <cerrno>
#include <functional>

#include <gtest/gtest.h>

#include "../hostile_files.h"
#include "corvane/files/scale_list.h"
#include "corvane/files/whole_file.h"
#include "corvane/files/workspace.h"
#include "files_test_support.h"

namespace corvane::files {
namespace {

namespace fs = std::filesystem;
using corvane::testing::Hostile;
using corvane::testing::make_hostile;
using platform::RecordingReporter;
using testing::slurp;
using testing::TempFolder;
using testing::write_text;

bool read_fails(Hostile kind) { return corvane::testing::cannot_be_read(kind) || kind == Hostile::huge_sparse; }

TEST(HostileInput, ReadWholeFileGivesTheSystemsReasonAndRefusesWhatIsTooLarge) {
    struct Case {
        Hostile kind;
        int error;
    };
    const Case cases[] = {{Hostile::folder, EISDIR},      {Hostile::through_file, ENOTDIR},
                          {Hostile::dangling_link, ENOENT}, {Hostile::huge_sparse, EFBIG},
                          {Hostile::fifo, 0},              {Hostile::empty, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(name_of(c.kind)));
        TempFolder folder;
        const auto read = read_whole_file_or_error(make_hostile(c.kind, folder / "file"));
        EXPECT_EQ(read.error, c.error);
        EXPECT_EQ(read.text.has_value(), c.error == 0);
        if (read.text) {
            EXPECT_EQ(*read.text, "");  // the pipe has no writer: nothing to read
        }
    }
    // A caller's capacity reads the start of a file of any size.
    TempFolder folder;
    const auto start = read_whole_file(make_hostile(Hostile::huge_sparse, folder / "huge"), 10);
    EXPECT_EQ(start, std::string(8, '\0'));
    // A device that claims to be empty but never ends.
    if (fs::exists("/dev/zero")) {
        EXPECT_EQ(read_whole_file_or_error("/dev/zero").error, EFBIG);
    }
}

// Opening from the File menu, by extension: an unreadable file is reported and changes
// nothing; anything readable is read without harm.
TEST(HostileInput, OpenReportsWhatCannotBeReadAndReadsTheRestWithinTheCapacities) {
    for (const Hostile kind : corvane::testing::all_hostile_kinds()) {
        for (const std::string_view ext : {"cv", "ini", "scl", "lsc", "lmd", "txt"}) {
            SCOPED_TRACE(std::string(name_of(kind)) + " ." + std::string(ext));
            TempFolder folder;
            const fs::path path = make_hostile(kind, folder / ("file." + std::string(ext)));
            Workspace ws;
            ws.program_folder = folder.path();
            const Workspace before = ws;
            RecordingReporter reporter;
            const OpenResult result = open_file(ws, path, reporter);
            if (read_fails(kind)) {
                EXPECT_FALSE(result.read);
                ASSERT_EQ(reporter.entries().size(), 1U);
                EXPECT_EQ(reporter.entries()[0].message, "Couldn't read from " + path.string());
                EXPECT_EQ(reporter.entries()[0].caption, "Open");
                EXPECT_EQ(ws.composition.Note_heights, before.composition.Note_heights);
                EXPECT_EQ(ws.scales, before.scales);
                continue;
            }
            EXPECT_TRUE(result.read);
            EXPECT_LE(ws.composition.Note_heights.size(), std::size_t{engine::kMaxSeedValues});
            EXPECT_LE(ws.composition.Intervals.size(), std::size_t{engine::kMaxListValues});
            EXPECT_GE(ws.composition.Intervals.size(), 1U);
            for (const auto& entry : ws.scales.entries) EXPECT_LE(entry.description.size(), 10239U);
        }
    }
}

// The readers that run without the user asking (start-up, reset, the index) fail quietly
// with false, as their callers fall back to the defaults or the built-in lists.
TEST(HostileInput, LoadersOfTheProgramFolderFailOrReadWithoutHarm) {
    using Loader = std::function<bool(Workspace&, const fs::path&)>;
    const std::pair<std::string_view, Loader> loaders[] = {
        {"Corvane.ini", [](Workspace& ws, const fs::path& p) { return load_configuration_file(ws, p, {}); }},
        {"CRV_reset.lsc", [](Workspace& ws, const fs::path& p) { return load_list_of_scales(ws, p); }},
        {"CRV_reset.lmd", [](Workspace& ws, const fs::path& p) { return load_list_of_modes(ws, p, true); }},
        {"musical seeds drop list.txt", [](Workspace& ws, const fs::path&) { return load_seeds_drop_list(ws); }},
    };
    for (const Hostile kind : corvane::testing::all_hostile_kinds()) {
        for (const auto& [name, load] : loaders) {
            SCOPED_TRACE(std::string(name_of(kind)) + " " + std::string(name));
            TempFolder folder;
            const fs::path path = make_hostile(kind, folder / name);
            Workspace ws;
            ws.program_folder = kind == Hostile::through_file ? path.parent_path() : folder.path();
            EXPECT_EQ(load(ws, path), !read_fails(kind));
            EXPECT_LE(ws.composition.Note_heights.size(), std::size_t{engine::kMaxSeedValues});
        }
    }
}

// A missing index is the link to nothing.
TEST(HostileInput, AnIndexOfScalesThatCannotBeReadIsReportedAndLeftAlone) {
    for (const Hostile kind : {Hostile::folder, Hostile::huge_sparse, Hostile::dangling_link}) {
        SCOPED_TRACE(std::string(name_of(kind)));
        TempFolder folder;
        make_hostile(kind, folder / "index.lsc");
        RecordingReporter reporter;
        EXPECT_FALSE(add_to_index(folder.path(), folder / "mine.lsc", "Mine", reporter));
        ASSERT_EQ(reporter.entries().size(), 1U);
        EXPECT_EQ(reporter.entries()[0].message, "Couldn't read from index of scales \"" +
                                                     (folder / "index.lsc").string() +
                                                     "\" to append new entry \"mine.lsc\"");
        EXPECT_EQ(reporter.entries()[0].caption, "Add list of scales to index on save");
        if (kind == Hostile::huge_sparse) {
            EXPECT_EQ(fs::file_size(folder / "index.lsc"), corvane::testing::kHugeSparseSize);
        }
    }
}

}  // namespace
}  // namespace corvane::files
