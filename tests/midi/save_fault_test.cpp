// MIDI file saves, hex dumps and WAV files that meet a full device, a disk that fills part
// way, or a folder removed while the file is being made; and hex dumps of files that are
// not MIDI files at all.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

#include "../hostile_files.h"
#include "corvane/engine/seed.h"
#include "corvane/midi/hex_dump.h"
#include "corvane/midi/midi_file_save.h"
#include "corvane/platform/fluidsynth_output.h"
#include "midi_test_support.h"

namespace corvane::midi {
namespace {

namespace fs = std::filesystem;
using corvane::testing::FileSizeLimit;
using corvane::testing::Hostile;

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t files_in(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

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

TEST_F(SaveFaultTest, AFullDeviceGivesTheSystemsTextOnceAndEndsTheRender) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    fs::create_symlink("/dev/full", folder / "full.mid");
    for (const fs::path& target : {fs::path("/dev/full"), folder / "full.mid"}) {
        SCOPED_TRACE(target.string());
        reporter.clear();
        abort = false;
        const SaveResult result = render(target);
        EXPECT_FALSE(result.written);
        ASSERT_EQ(reporter.entries().size(), 1U);
        EXPECT_EQ(reporter.entries()[0].message, std::generic_category().message(ENOSPC));
        EXPECT_EQ(reporter.entries()[0].caption.rfind("Error saving to full", 0), 0U);
        EXPECT_LT(result.saved_secs, 600.0);
    }
    EXPECT_TRUE(fs::is_symlink(folder / "full.mid"));
    EXPECT_TRUE(corvane::testing::dev_full_is_intact());
}

TEST_F(SaveFaultTest, AnEarlierFileSurvivesASaveThatFillsTheDisk) {
    const fs::path path = folder / "tune.mid";
    const std::string earlier = "MThd and the rest of an earlier save";
    corvane::testing::write_bytes(path, earlier);
    SaveResult result;
    {
        FileSizeLimit limit(4000);
        result = render(path);
    }
    EXPECT_FALSE(result.written);
    ASSERT_EQ(reporter.entries().size(), 1U);
    EXPECT_EQ(reporter.entries()[0].message, std::generic_category().message(EFBIG));
    EXPECT_EQ(slurp(path), earlier);
    EXPECT_EQ(files_in(folder.path()), 1U);  // no half-made file left beside it
}

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

TEST_F(SaveFaultTest, AFinishedSaveReplacesTheEarlierFileAndKeepsItsPermissions) {
    const fs::path path = folder / "tune.mid";
    corvane::testing::write_bytes(path, "earlier");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    settings.midi_file_play_mins = 0;
    settings.midi_file_play_secs = 1;
    EXPECT_TRUE(render(path).written);
    EXPECT_EQ(slurp(path).substr(0, 4), "MThd");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
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

TEST(HexDumpOfHostileFiles, ADumpOntoAFullDeviceIsAnOutputFailure) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    testing::TempFolder folder;
    corvane::testing::write_bytes(folder / "file.mid", corvane::testing::binary_bytes());
    platform::RecordingReporter reporter;
    const std::atomic<bool> abort{false};
    const HexDumpResult result = hex_dump_midi_file_to(folder / "file.mid", "/dev/full", reporter, abort);
    EXPECT_EQ(result.status, HexDumpStatus::output_failed);
    EXPECT_EQ(result.error, ENOSPC);
    EXPECT_TRUE(corvane::testing::dev_full_is_intact());
}

TEST(WavFileFaults, AFullDeviceAFullDiskAndAMissingFolderEachSayWhyAndKeepTheEarlierFile) {
    const std::vector<std::int16_t> sound(20000, 1000);
    testing::TempFolder folder;
    if (fs::exists("/dev/full")) {
        fs::create_symlink("/dev/full", folder / "full.wav");
        EXPECT_EQ(platform::write_wav_file(folder / "full.wav", sound, 44100, 2),
                  "Could not write the WAV file " + (folder / "full.wav").string() + ": " +
                      std::generic_category().message(ENOSPC) + ".");
        EXPECT_TRUE(fs::is_symlink(folder / "full.wav"));
        EXPECT_TRUE(corvane::testing::dev_full_is_intact());
    }
    const fs::path path = folder / "sound.wav";
    corvane::testing::write_bytes(path, "an earlier sound");
    std::string failure;
    {
        FileSizeLimit limit(1000);
        failure = platform::write_wav_file(path, sound, 44100, 2);
    }
    EXPECT_EQ(failure, "Could not write the WAV file " + path.string() + ": " +
                           std::generic_category().message(EFBIG) + ".");
    EXPECT_EQ(slurp(path), "an earlier sound");
    EXPECT_EQ(platform::write_wav_file(path, sound, 44100, 2), "");
    EXPECT_EQ(fs::file_size(path), 44U + 2 * sound.size());

    const fs::path gone = folder / "gone" / "sound.wav";
    EXPECT_EQ(platform::write_wav_file(gone, sound, 44100, 2),
              "Could not create the WAV file " + gone.string() + ": " + std::generic_category().message(ENOENT) + ".");
}

}  // namespace
}  // namespace corvane::midi
