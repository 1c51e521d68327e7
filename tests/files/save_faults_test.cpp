// Every writer of the program meets the same faults the same way: the earlier file survives a
// save that cannot be finished, a link stays a link, a full device and a missing folder are
// reported in the writer's own words, and nothing is left beside the file.
#include <cerrno>
#include <functional>

#include <gtest/gtest.h>

#include "../hostile_files.h"
#include "corvane/engine/seed.h"
#include "corvane/files/whole_file.h"
#include "corvane/files/workspace.h"
#include "corvane/midi/hex_dump.h"
#include "corvane/midi/midi_file_save.h"
#include "corvane/platform/file_save.h"
#include "corvane/platform/fluidsynth_output.h"

namespace corvane::files {
namespace {

namespace fs = std::filesystem;
using corvane::testing::files_in;
using corvane::testing::slurp;
using corvane::testing::TempFolder;
using corvane::testing::write_bytes;
using platform::system_error_text;

struct Outcome {
    bool written = false;
    std::string said;  // every report, or the returned message, one per line
};

std::string reports_of(const platform::RecordingReporter& reporter) {
    std::string said;
    for (const auto& entry : reporter.entries()) said += entry.caption + ": " + entry.message + "\n";
    return said;
}

struct Writer {
    std::string_view name;
    std::function<Outcome(const fs::path& source_folder, const fs::path& target)> save;
    // What the writer says when `target` fails with `error`.
    std::function<std::string(const fs::path& target, int error)> says;
};

Outcome save_composition(const fs::path& folder, const fs::path& target) {
    Workspace ws;
    ws.program_folder = folder;
    platform::RecordingReporter reporter;
    const bool written = save_file(ws, target, SaveCommand::save_as, reporter);
    return {written, reports_of(reporter)};
}

std::string composition_says(const fs::path& target, int error) {
    const std::string first = error == ENOSPC ? kErrorWritingCaption.data() + std::string(": ") +
                                                    incomplete_save_message(target.string())
                                              : error_saving_caption(target.string()) + ": " + system_error_text(error);
    return first + "\n" + target.string() + ": " + std::string(kErrorWritingCaption) + "\n";
}

Outcome save_midi(const fs::path&, const fs::path& target) {
    engine::Composition composition;
    engine::set_seed(composition, engine::read_seed("0 1 2 1", engine::SeedStrictness::strict)->values);
    composition.Note_length = 0.05;
    midi::MidiSaveSettings settings;
    settings.midi_file_play_mins = 1;
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{false};
    const midi::SaveResult result =
        midi::render_midi_file(target, composition, settings, engine::PlayerSettings{}, engine::VoiceSettings{}, reporter, abort);
    return {result.written, reports_of(reporter)};
}

// A file that cannot be made is named by its path; one that fails while it is written, by its
// name and its folder.
std::string midi_says(const fs::path& target, int error) {
    const std::string named = error == ENOENT ? target.string()
                                              : target.filename().string() + "in Folder " + target.parent_path().string();
    return "Error saving to " + named + ": " + system_error_text(error) + "\n";
}

Outcome save_hex_dump(const fs::path& folder, const fs::path& target) {
    write_bytes(folder / "source.mid", std::string(2000, '\x90'));
    platform::RecordingReporter reporter;
    const std::atomic<bool> abort{false};
    const midi::HexDumpResult result = midi::hex_dump_midi_file_to(folder / "source.mid", target, reporter, abort);
    const bool written = result.status == midi::HexDumpStatus::written;
    return {written, reports_of(reporter) + (written ? "" : system_error_text(result.error) + "\n")};
}

std::string hex_dump_says(const fs::path&, int error) { return system_error_text(error) + "\n"; }

Outcome save_wav(const fs::path&, const fs::path& target) {
    const std::vector<std::int16_t> sound(20000, 1000);
    const std::string failure = platform::write_wav_file(target, sound, 44100, 2);
    return {failure.empty(), failure.empty() ? "" : failure + "\n"};
}

std::string wav_says(const fs::path& target, int error) {
    const char* verb = error == ENOENT ? "create" : "write";
    return "Could not " + std::string(verb) + " the WAV file " + target.string() + ": " + system_error_text(error) + ".\n";
}

const std::vector<Writer>& writers() {
    static const std::vector<Writer> all{
        {"composition", save_composition, composition_says},
        {"MIDI file", save_midi, midi_says},
        {"hex dump", save_hex_dump, hex_dump_says},
        {"WAV file", save_wav, wav_says},
    };
    return all;
}

// The sources a writer reads lie apart from the folder it writes into.
struct Folders {
    TempFolder sources;
    TempFolder target;
};

TEST(EveryWriter, ReplacesTheEarlierFileKeepingItsPermissionsAndALinkToIt) {
    for (const Writer& writer : writers()) {
        SCOPED_TRACE(writer.name);
        Folders folders;
        const fs::path path = folders.target / "saved";
        write_bytes(path, "earlier");
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
        fs::create_symlink(path, folders.target / "link");
        const Outcome outcome = writer.save(folders.sources.path(), folders.target / "link");
        EXPECT_TRUE(outcome.written) << outcome.said;
        EXPECT_EQ(outcome.said, "");
        EXPECT_NE(slurp(path), "earlier");
        EXPECT_TRUE(fs::is_symlink(folders.target / "link"));
        EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(files_in(folders.target.path()), 2U);
    }
}

TEST(EveryWriter, ASaveThatFillsTheDiskLeavesTheEarlierFileAsItWas) {
    for (const Writer& writer : writers()) {
        SCOPED_TRACE(writer.name);
        Folders folders;
        const fs::path path = folders.target / "saved";
        write_bytes(path, "earlier");
        Outcome outcome;
        {
            corvane::testing::FileSizeLimit limit(200);
            outcome = writer.save(folders.sources.path(), path);
        }
        EXPECT_FALSE(outcome.written);
        EXPECT_EQ(outcome.said, writer.says(path, EFBIG));
        EXPECT_EQ(slurp(path), "earlier");
        EXPECT_EQ(files_in(folders.target.path()), 1U);
    }
}

TEST(EveryWriter, AFullDeviceBehindALinkIsWrittenInPlaceAndReported) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    for (const Writer& writer : writers()) {
        SCOPED_TRACE(writer.name);
        Folders folders;
        const fs::path link = folders.target / "full";
        fs::create_symlink("/dev/full", link);
        const Outcome outcome = writer.save(folders.sources.path(), link);
        EXPECT_FALSE(outcome.written);
        EXPECT_EQ(outcome.said, writer.says(link, ENOSPC));
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(files_in(folders.target.path()), 1U);
    }
    EXPECT_TRUE(corvane::testing::dev_full_is_intact());
}

TEST(EveryWriter, AMissingFolderIsReportedAndNothingIsMade) {
    for (const Writer& writer : writers()) {
        SCOPED_TRACE(writer.name);
        Folders folders;
        const fs::path gone = folders.target / "gone" / "saved";
        const Outcome outcome = writer.save(folders.sources.path(), gone);
        EXPECT_FALSE(outcome.written);
        EXPECT_EQ(outcome.said, writer.says(gone, ENOENT));
        EXPECT_EQ(files_in(folders.target.path()), 0U);
    }
}

}  // namespace
}  // namespace corvane::files
