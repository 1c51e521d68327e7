// Whole files: the bounded save buffer; every reader of the files library handed what is not a
// sensible file (folders, broken paths, pipes, empty, binary, one endless line, a file of several
// GB), each giving its own failure or reading what there is, none crashing, waiting or taking
// the huge file into memory; and every writer of the program meeting the same faults the same
// way: the earlier file survives a save that cannot be finished, a link stays a link, a full
// device and a missing folder are reported in the writer's own words, and nothing is left
// beside the file.
#include <cerrno>
#include <functional>
#include <optional>

#include <gtest/gtest.h>

#include "../expected_output.h"
#include "../hostile_files.h"
#include "corvane/engine/seed.h"
#include "corvane/files/save_buffer.h"
#include "corvane/files/scale_list.h"
#include "corvane/files/whole_file.h"
#include "corvane/files/workspace.h"
#include "corvane/midi/hex_dump.h"
#include "corvane/midi/midi_file_save.h"
#include "corvane/platform/file_save.h"
#include "corvane/platform/fluidsynth_output.h"
#include "../temp_folder.h"

namespace corvane::files {
namespace {

namespace fs = std::filesystem;
using corvane::testing::files_in;
using corvane::testing::Hostile;
using corvane::testing::make_hostile;
using corvane::testing::slurp;
using corvane::testing::TempFolder;
using corvane::testing::write_bytes;
using platform::RecordingReporter;
using platform::system_error_text;

bool read_fails(Hostile kind) { return corvane::testing::cannot_be_read(kind) || kind == Hostile::huge_sparse; }

TEST(SaveBuffer, TakesAnItemOnlyWhileItLeavesRoomForTheEnd) {
    SaveBuffer out(10);
    EXPECT_EQ(out.append("12345"), 5U);
    EXPECT_EQ(out.append("6789X"), 0U);  // 5 + 5 would fill the buffer
    EXPECT_EQ(out.append("6789"), 4U);   // 9 < 10
    EXPECT_EQ(out.append("X"), 0U);
    EXPECT_EQ(out.text(), "123456789");
    // A formatted item goes in whole or not at all.
    SaveBuffer formatted(12);
    EXPECT_EQ(append_formatted(formatted, {"Levels ", "10", "\r\n"}), 11U);
    EXPECT_EQ(append_formatted(formatted, {"Channel ", "0", "\r\n"}), 0U);
    EXPECT_EQ(formatted.text(), "Levels 10\r\n");
}

TEST(WriteWholeFile, TheCaptionIsCutAt260Characters) {
    const std::string long_path = "/" + std::string(400, 'x') + "/tune.cv";
    EXPECT_EQ(error_saving_caption(long_path).size(), 260U);
    EXPECT_EQ(error_saving_caption("/a.cv"), "Error saving to /a.cv");
}

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

// ---- Writers meeting faults

struct Outcome {
    bool written = false;
    std::string said;  // every report, or the returned message, one per line
};

std::string reports_of(const RecordingReporter& reporter) {
    std::string said;
    for (const auto& entry : reporter.entries()) said += entry.caption + ": " + entry.message + "\n";
    return said;
}

struct Writer {
    std::string_view name;
    std::function<Outcome(const fs::path& source_folder, const fs::path& target)> save;
};

Outcome save_composition(const fs::path& folder, const fs::path& target) {
    Workspace ws;
    ws.program_folder = folder;
    RecordingReporter reporter;
    const bool written = save_file(ws, target, SaveCommand::save_as, reporter);
    return {written, reports_of(reporter)};
}

Outcome save_midi(const fs::path&, const fs::path& target) {
    engine::Composition composition;
    engine::set_seed(composition, engine::read_seed("0 1 2 1", engine::SeedStrictness::strict)->values);
    composition.Note_length = 0.05;
    midi::MidiSaveSettings settings;
    settings.midi_file_play_mins = 1;
    RecordingReporter reporter;
    std::atomic<bool> abort{false};
    const midi::SaveResult result =
        midi::render_midi_file(target, composition, settings, engine::PlayerSettings{}, engine::VoiceSettings{},
                               reporter, abort);
    return {result.written, reports_of(reporter)};
}

Outcome save_hex_dump(const fs::path& folder, const fs::path& target) {
    write_bytes(folder / "source.mid", std::string(2000, '\x90'));
    RecordingReporter reporter;
    const std::atomic<bool> abort{false};
    const midi::HexDumpResult result = midi::hex_dump_midi_file_to(folder / "source.mid", target, reporter, abort);
    const bool written = result.status == midi::HexDumpStatus::written;
    return {written, reports_of(reporter) + (written ? "" : system_error_text(result.error) + "\n")};
}

Outcome save_wav(const fs::path&, const fs::path& target) {
    const std::vector<std::int16_t> sound(20000, 1000);
    const std::string failure = platform::write_wav_file(target, sound, 44100, 2);
    return {failure.empty(), failure.empty() ? "" : failure + "\n"};
}

const std::vector<Writer>& writers() {
    static const std::vector<Writer> all{
        {"composition", save_composition},
        {"MIDI file", save_midi},
        {"hex dump", save_hex_dump},
        {"WAV file", save_wav},
    };
    return all;
}

// Each fault makes what it needs in the target folder and gives the path to save to. An earlier
// file is "saved", readable and writable by its owner only; `error` 0 means the save goes through.
struct Fault {
    std::string_view name;
    std::function<fs::path(const fs::path& folder)> target;
    int error = 0;
    std::size_t files_after = 1;
    bool fills_the_disk = false;
};

fs::path earlier_file(const fs::path& folder) {
    write_bytes(folder / "saved", "earlier");
    fs::permissions(folder / "saved", fs::perms::owner_read | fs::perms::owner_write);
    return folder / "saved";
}

// A writer's words with the target, its folder and the system's reason for `error` named in
// general, so that they read the same in any temporary folder and any language.
std::string in_general_words(std::string text, const fs::path& target, int error) {
    using corvane::testing::with_stand_in;
    text = with_stand_in(text, target.string(), "<target>");
    text = with_stand_in(text, target.parent_path().string(), "<folder>");
    return error != 0 ? with_stand_in(text, system_error_text(error), "<reason>") : text;
}

// A save through a link replaces the file behind it, keeping its permissions; a save that cannot
// be finished leaves the earlier file as it was and is reported; nothing is left beside the file.
TEST(EveryWriter, MeetsEachFaultTheSameWay) {
    std::vector<Fault> faults{
        {"a link to an earlier file",
         [](const fs::path& folder) {
             fs::create_symlink(earlier_file(folder), folder / "link");
             return folder / "link";
         },
         0, 2},
        {"a save that fills the disk", earlier_file, EFBIG, 1, true},
        {"a missing folder", [](const fs::path& folder) { return folder / "gone" / "saved"; }, ENOENT, 0},
    };
    if (fs::exists("/dev/full")) {
        faults.push_back({"a full device behind a link",
                          [](const fs::path& folder) {
                              fs::create_symlink("/dev/full", folder / "full");
                              return folder / "full";
                          },
                          ENOSPC});
    }
    std::string said;
    for (const Fault& fault : faults) {
        for (const Writer& writer : writers()) {
            SCOPED_TRACE(std::string(writer.name) + ", " + std::string(fault.name));
            TempFolder sources;  // what a writer reads lies apart from the folder it writes into
            TempFolder folder;
            const fs::path target = fault.target(folder.path());
            const bool was_link = fs::is_symlink(target);
            Outcome outcome;
            {
                std::optional<corvane::testing::FileSizeLimit> limit;
                if (fault.fills_the_disk) limit.emplace(200);
                outcome = writer.save(sources.path(), target);
            }
            EXPECT_EQ(outcome.written, fault.error == 0);
            said += "== " + std::string(writer.name) + ", " + std::string(fault.name) + "\n" +
                    in_general_words(outcome.said, target, fault.error);
            EXPECT_EQ(fs::is_symlink(target), was_link);
            if (fs::exists(folder / "saved")) {
                EXPECT_EQ(slurp(folder / "saved") == "earlier", fault.error != 0);
                EXPECT_EQ(fs::status(folder / "saved").permissions() & fs::perms::all,
                          fs::perms::owner_read | fs::perms::owner_write);
            }
            EXPECT_EQ(files_in(folder.path()), fault.files_after);
        }
    }
    // writers_meeting_faults.txt: what each writer says of each fault (nothing when it saves).
    corvane::testing::expect_output_as_kept(said, "files/expected/writers_meeting_faults.txt");
    EXPECT_TRUE(corvane::testing::dev_full_is_intact());
}

}  // namespace
}  // namespace corvane::files
