// What only the MIDI file save does with a fault (what every writer does is tested over all
// of them in files' save_faults_test): with no earlier file it keeps what it wrote, and a
// folder removed while it renders is reported; and hex dumps of files that are not MIDI files.
#include <gtest/gtest.h>

#include <cerrno>
#include <system_error>

#include "../hostile_files.h"
#include "corvane/engine/seed.h"
#include "corvane/midi/hex_dump.h"
#include "corvane/midi/midi_file_save.h"
#include "midi_test_support.h"

namespace corvane::midi {
namespace {

namespace fs = std::filesystem;
using corvane::testing::FileSizeLimit;
using corvane::testing::Hostile;

using corvane::testing::files_in;
using corvane::testing::slurp;

class SaveFaultTest : public ::testing::Test {
protected:
    SaveFaultTest() {
        engine::set_seed(composition, engine::read_seed("0 1 2 1", engine::SeedStrictness::strict)->values);
        composition.Note_length = 0.05;
        settings.midi_file_play_mins = 10;  // long enough to be caught half-way
        settings.mf_auto_generate_key_signatures = false;
        voices.midi_fade_secs = 0;
    }

    SaveResult render(const fs::path& path, const SaveProgressListener& progress = {}) {
        return render_midi_file(path, composition, settings, player, voices, reporter, abort, progress);
    }

    testing::TempFolder folder;
    engine::Composition composition;
    engine::PlayerSettings player;
    engine::VoiceSettings voices;
    MidiSaveSettings settings;
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{false};
};

// With no earlier file to keep, a save that fills the disk leaves what it wrote, as far as it
// got.
TEST_F(SaveFaultTest, ASaveThatFillsTheDiskWithNoEarlierFileKeepsWhatItWrote) {
    const fs::path path = folder / "tune.mid";
    {
        FileSizeLimit limit(4000);
        EXPECT_FALSE(render(path).written);
    }
    EXPECT_EQ(reporter.entries().size(), 1U);
    const std::string written = slurp(path);
    EXPECT_EQ(written.substr(0, 4), "MThd");
    EXPECT_GT(written.size(), 14U);
    EXPECT_LE(written.size(), 4000U);
    EXPECT_EQ(files_in(folder.path()), 1U);
}

// The folder goes while the worker renders: the save cannot end as a file, and says so.
TEST_F(SaveFaultTest, AFolderRemovedHalfWayIsReportedWhenTheSaveEnds) {
    const fs::path inner = folder / "songs";
    fs::create_directory(inner);
    bool removed = false;
    MidiSaveWorker worker;
    ASSERT_TRUE(worker.start([&](std::atomic<bool>& stop) {
        return render_midi_file(inner / "tune.mid", composition, settings, player, voices, reporter, stop,
                                [&](const SaveProgress& progress) {
                                    if (removed || progress.saved_secs < 1.0) return;
                                    std::error_code ignored;
                                    fs::remove_all(inner, ignored);
                                    removed = true;
                                });
    }));
    const SaveResult result = worker.wait();
    ASSERT_TRUE(removed);
    EXPECT_FALSE(result.written);
    ASSERT_FALSE(reporter.entries().empty());
    EXPECT_EQ(reporter.entries()[0].message, std::generic_category().message(ENOENT));
    EXPECT_EQ(reporter.entries()[0].caption.rfind("Error saving to tune.mid", 0), 0U);
    EXPECT_FALSE(fs::exists(inner));
}

TEST(HexDumpOfHostileFiles, WhatCannotBeReadOrIsTooLargeIsReportedAndNothingHangs) {
    struct Case {
        Hostile kind;
        HexDumpStatus status;
        std::string caption;
    };
    const std::vector<Case> cases{
        {Hostile::folder, HexDumpStatus::read_failed, "Error reading from "},
        {Hostile::through_file, HexDumpStatus::read_failed, "Error reading from "},
        {Hostile::dangling_link, HexDumpStatus::read_failed, "Error reading from "},
        {Hostile::huge_sparse, HexDumpStatus::no_memory, "Hex dump"},
        {Hostile::fifo, HexDumpStatus::written, ""},
        {Hostile::empty, HexDumpStatus::written, ""},
        {Hostile::binary, HexDumpStatus::written, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(name_of(c.kind)));
        testing::TempFolder folder;
        const fs::path path = corvane::testing::make_hostile(c.kind, folder / "file.mid");
        platform::RecordingReporter reporter;
        const std::atomic<bool> abort{false};
        const HexDumpResult result = hex_dump_midi_file_to(path, folder / "dump.hex", reporter, abort);
        EXPECT_EQ(result.status, c.status);
        if (c.caption.empty()) {
            EXPECT_TRUE(reporter.entries().empty());
            EXPECT_EQ(slurp(folder / "dump.hex").rfind(";", 0), 0U);  // the banner at least
            continue;
        }
        ASSERT_EQ(reporter.entries().size(), 1U);
        EXPECT_EQ(reporter.entries()[0].caption.rfind(c.caption, 0), 0U);
        if (c.kind == Hostile::huge_sparse) {
            EXPECT_EQ(reporter.entries()[0].message,
                      "Couldn't read midi file into memory in preparation for Hex dump\n\nInsufficient memory available");
        }
        EXPECT_FALSE(fs::exists(folder / "dump.hex"));
    }
}

}  // namespace
}  // namespace corvane::midi
