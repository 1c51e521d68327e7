#include "corvane/midi/smf_writer.h"

#include <gtest/gtest.h>

#include "../expected_output.h"
#include "corvane/platform/midi_message.h"
#include "midi_test_support.h"
#include "smf_reader.h"

namespace corvane::midi {
namespace {

using namespace corvane::testing;

// One channel event as the send operation passes it on.
struct Sent {
    int track = 0;
    std::uint32_t delta = 0;
    std::uint8_t status = 0x90;
    int channel = 0;
    Bytes data;
};

// A stand-in for the player: each pass sends the whole tune; the writer keeps what belongs
// to the pass's track.
struct Render {
    SmfWriter& writer;
    std::vector<Sent> tune;
    std::vector<int> passes{};
    std::vector<int> results{};

    void operator()(int track) {
        passes.push_back(track);
        for (const auto& e : tune) results.push_back(writer.write_channel_event(e.delta, e.status, e.channel, e.data, e.track));
    }
};

class SmfWriterTest : public ::testing::Test {
protected:
    // Creates `name`, writes the tune with the settings, closes; returns the file's bytes.
    Bytes write(const std::string& name, int format, int tracks, std::vector<Sent> tune, const SmfSettings& settings = {}) {
        SmfWriter writer(reporter, abort, settings);
        Render render{writer, std::move(tune)};
        EXPECT_TRUE(writer.create(folder / name));
        EXPECT_TRUE(writer.write_file(format, tracks, settings.midi_ticks_per_quarter_note, std::ref(render)));
        EXPECT_TRUE(writer.close());
        passes = render.passes;
        results = render.results;
        return file_bytes(folder / name);
    }

    TempFolder folder;
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{false};
    std::vector<int> passes, results;
};

// ---- layout of each format ----------------------------------------------------------

TEST_F(SmfWriterTest, FormatOneHasATempoTrackThenOneTrackPerChannelAndFormatTwoOnlyTheChannels) {
    SmfSettings settings;
    settings.mf_add_time_signature = true;
    const Bytes file = write("f1.mid", 1, 2,
                             {{0, 0, 0x90, 0, {60, 100}}, {1, 0, 0x90, 1, {64, 90}},
                              {0, 10, 0x80, 0, {60, 0}}, {1, 20, 0x80, 1, {64, 0}}},
                             settings);
    // The tempo track (tempo, time signature), then a track of each channel, each with its key.
    expect_output_as_kept(as_text(file), "midi/expected/format_1.mid");
    // One pass a track, each writing its own track's events (2 bytes each) and skipping the rest.
    EXPECT_EQ(passes, (std::vector<int>{0, 1}));
    EXPECT_EQ(results, (std::vector<int>{2, 0, 2, 0, 0, 2, 0, 2}));

    // Format 2 has music tracks only: a track of each channel, each with its key.
    const Bytes f2 = write("f2.mid", 2, 2, {{0, 0, 0xE0, 0, {0, 64}}, {1, 5, 0xB0, 1, {7, 100}}});
    expect_output_as_kept(as_text(f2), "midi/expected/format_2.mid");
    // The tempo track has no time signature by default.

    const auto f1 = read_smf(std::span<const std::uint8_t>(write("f1.mid", 1, 1, {})));
    EXPECT_EQ(f1.tracks[0].events, (std::vector<SmfEvent>{{0, {0xFF, 0x51, 0x07, 0xA1, 0x20}}, {0, {0xFF, 0x2F}}}));
}

// ---- delta times ----------------------------------------------------------------------

// The key signature follows the settings (three flats, minor), and delta times are variable
// length quantities capped at four bytes.
TEST_F(SmfWriterTest, TheKeyFollowsTheSettingsAndDeltaTimesAreCappedAtFourBytes) {
    SmfSettings settings;
    settings.mf_sharps_or_flats = true;
    settings.mf_use_minor_key = true;
    const Bytes file = write("vlq.mid", 0, 1,
                             {{0, 0, 0x90, 0, {1, 1}}, {0, 127, 0x90, 0, {2, 1}}, {0, 128, 0x90, 0, {3, 1}},
                              {0, 0x3FFF, 0x90, 0, {4, 1}}, {0, 0x4000, 0x90, 0, {5, 1}},
                              {0, 0x0FFFFFFF, 0x90, 0, {6, 1}}, {0, 0xFFFFFFFF, 0x90, 0, {7, 1}}},
                             settings);
    // Key ff 59 02 fd 01; deltas 0, 7f, 81 00, ff 7f, 81 80 00, then ff ff ff 7f twice (capped).
    expect_output_as_kept(as_text(file), "midi/expected/delta_times.mid");
}

// ---- appending (play-along recordings) -----------------------------------------------

// Appending to a missing file creates it; appending twice continues its one track.
TEST_F(SmfWriterTest, AppendingTwiceContinuesTheOneTrackWithOneEndOfTrack) {
    const auto path = folder / "play along.mid";
    const auto record = [&](bool appending, std::uint8_t note) {
        SmfWriter writer(reporter, abort);
        ASSERT_TRUE(writer.open_to_append(path));
        EXPECT_EQ(writer.appending(), appending);
        Render render{writer, {{0, 0, 0x90, 0, {note, 100}}, {0, 100, 0x80, 0, {note, 0}}}};
        ASSERT_TRUE(writer.write_file(0, 1, 250, std::ref(render)));
        ASSERT_TRUE(writer.close());
    };
    record(false, 60);
    const auto first_size = std::filesystem::file_size(path);
    record(true, 62);
    record(true, 64);

    // One track: the key, then notes 60, 62 and 64 of 100 ticks each, and one end of track.
    expect_output_as_kept(slurp(path), "midi/expected/appended_twice.mid");
    // Each continuation adds its two notes (4 bytes each) and nothing else.
    EXPECT_EQ(std::filesystem::file_size(path), first_size + 2 * 8);
    EXPECT_TRUE(reporter.entries().empty());
}

TEST_F(SmfWriterTest, AppendingToAnotherFormatIsRefused) {
    write("format1.mid", 1, 1, {});
    SmfWriter writer(reporter, abort);
    const auto before = file_bytes(folder / "format1.mid");
    EXPECT_FALSE(writer.open_to_append(folder / "format1.mid"));
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].caption, "Error writing MIDI file");
    EXPECT_TRUE(abort.load());
    EXPECT_EQ(file_bytes(folder / "format1.mid"), before);
}

// ---- single pass ----------------------------------------------------------------------

TEST_F(SmfWriterTest, SinglePassOverflowFailsTheEventAndEveryLaterOneButKeepsTheFileWhole) {
    SmfSettings settings;
    settings.mf_single_pass_recording = true;
    std::vector<Sent> tune;
    for (int i = 0; i < 40; ++i) tune.push_back({0, 0, 0x90, 0, {static_cast<std::uint8_t>(i), 64}});
    tune.push_back({1, 0, 0x90, 1, {1, 64}});
    SmfWriter writer(reporter, abort, settings, 200);  // 99 bytes for each of 2 tracks
    Render render{writer, tune};
    ASSERT_TRUE(writer.create(folder / "overflow.mid"));
    writer.write_file(1, 2, 250, std::ref(render));
    ASSERT_TRUE(writer.close());

    EXPECT_TRUE(writer.overflow());
    // 99 bytes, less the 10-byte margin and the key signature: 20 notes of 4 bytes fit.
    const auto first_failure = std::find(render.results.begin(), render.results.end(), -1) - render.results.begin();
    EXPECT_EQ(first_failure, 20);
    EXPECT_TRUE(std::all_of(render.results.begin() + first_failure, render.results.end(), [](int r) { return r == -1; }));
    const auto file = read_smf(folder / "overflow.mid");
    EXPECT_EQ(file.tracks[1].events.size(), 22u);  // key signature, 20 notes, end of track
    EXPECT_EQ(file.tracks[2].events.size(), 2u);   // the later event on track 1 failed too
}

// A bulk tuning dump, longer than a small block: written whole in several flushes by a
// multi-pass writer; a single-pass one cannot hold it in a track's share and fails it.
TEST_F(SmfWriterTest, ASystemExclusiveEventLongerThanTheBlockIsWrittenWholeOrNotAtAll) {
    std::array<platform::TuningBytes, platform::kMidiKeys> keys{};
    const auto dump = platform::bulk_tuning_dump(0, "Equal", keys);
    const Bytes dump_bytes(dump.begin(), dump.end());
    SmfSettings single_pass;
    single_pass.mf_single_pass_recording = true;
    for (const int format : {0, 1}) {
        SCOPED_TRACE(format);
        SmfWriter writer(reporter, abort, single_pass, 200);  // format 1: 99 bytes for each of 2 tracks
        int result = 0;
        ASSERT_TRUE(writer.create(folder / "dump.mid"));
        writer.write_file(format, format + 1, 96, [&](int track) { result = writer.write_sysex_event(5, dump, track); });
        ASSERT_TRUE(writer.close());
        const auto file = read_smf(folder / "dump.mid");
        const auto& events = file.tracks[static_cast<std::size_t>(format)].events;
        if (format == 0) {
            EXPECT_EQ(result, 408);
            ASSERT_EQ(events.size(), 3u);  // the key signature, the dump, end of track
            EXPECT_EQ(events[1], (SmfEvent{5, dump_bytes}));
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_TRUE(writer.overflow());
            EXPECT_EQ(events.size(), 2u);  // the key signature, end of track
        }
    }
}

// ---- size limits ----------------------------------------------------------------------

// Only a play-along recording tells of its limit (once); a gallery clip stops silently at its
// own, and a save has none. Events past the limit are dropped; end-of-track still closes.
TEST_F(SmfWriterTest, SizeLimitsOfEachTarget) {
    struct Case {
        SmfTarget target;
        bool reached;
        std::size_t events;  // with the key signature and end of track
        std::size_t notices;
    };
    SmfSettings settings;
    settings.max_midi_file_size_for_playalong = 0.1;  // 102 bytes
    settings.max_midi_file_size_for_gallery = 0.05;   // 51 bytes
    const std::vector<Sent> tune(40, Sent{0, 1, 0x90, 0, {60, 64}});
    for (const Case& c : {Case{SmfTarget::playalong, true, 21, 1}, Case{SmfTarget::gallery_clip, true, 8, 0},
                          Case{SmfTarget::save, false, 42, 0}}) {
        std::vector<PlayalongLimitNotice> notices;
        SmfWriter writer(reporter, abort, settings);
        writer.set_limit_listener([&](const PlayalongLimitNotice& n) { notices.push_back(n); });
        Render render{writer, tune};
        ASSERT_TRUE(writer.create(folder / "limit.mid", c.target));
        ASSERT_TRUE(writer.write_file(0, 1, 250, std::ref(render)));
        ASSERT_TRUE(writer.close());
        EXPECT_EQ(writer.size_limit_reached(), c.reached);
        EXPECT_EQ(read_smf(folder / "limit.mid").tracks[0].events.size(), c.events);
        ASSERT_EQ(notices.size(), c.notices);
        if (c.notices == 0) continue;
        EXPECT_EQ(notices[0].path, folder / "limit.mid");
        EXPECT_DOUBLE_EQ(notices[0].limit_kb, 0.1);
        // 28 bytes of header, chunk header and key signature, then 4-byte notes: the 19th
        // crosses 102 bytes and is the last.
        EXPECT_EQ(std::filesystem::file_size(folder / "limit.mid"), 28u + 19 * 4 + 4);
    }
    EXPECT_FALSE(abort.load());
    EXPECT_EQ(playalong_limit_message({"Play along.mid", 0.105469, 0.1}),
              "File size for:\nPlay along.mid\n\n0.105469 kB\n\nExceeds max set of 0.1 kB.\n\nStopping recording."
              "\n\nYou can change the max. file size from In | Options | Record Play Along");
}

// ---- failures -------------------------------------------------------------------------

// A channel above 15 is reported; a channel event with three data bytes is left out silently.
TEST_F(SmfWriterTest, AChannelAbove15IsReportedAndTheEventLeftOut) {
    SmfSettings settings;
    settings.mf_add_key_signature = false;
    const Bytes file = write("channel.mid", 0, 1,
                             {{0, 0, 0x90, 16, {60, 100}}, {0, 0, 0x90, 0, {60, 100, 1}}, {0, 0, 0x90, 15, {60, 100}}},
                             settings);
    EXPECT_EQ(file, cat({smf_header(0, 1, 250), track_chunk(cat({{0x00, 0x9F, 60, 100}, kEndOfTrack}))}));
    EXPECT_EQ(results, (std::vector<int>{-1, -1, 2}));
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message, "error: MIDI channel greater than 16\r\n");
    EXPECT_EQ(reporter.entries()[0].caption, "Error writing MIDI file");
    EXPECT_TRUE(abort.load());
}

TEST_F(SmfWriterTest, ArgumentsThatMakeNoFileAreRefused) {
    SmfWriter writer(reporter, abort);
    ASSERT_TRUE(writer.create(folder / "bad.mid"));
    EXPECT_FALSE(writer.write_file(0, 2, 250, [](int) {}));  // format 0 has one track
    EXPECT_FALSE(writer.write_file(3, 1, 250, [](int) {}));
    EXPECT_FALSE(writer.write_file(1, 1, 0x8000, [](int) {}));
    EXPECT_EQ(writer.write_channel_event(0, 0x90, 0, Bytes{60, 100}, 0), 0);  // no track is being written
    EXPECT_TRUE(writer.close());
    EXPECT_EQ(std::filesystem::file_size(folder / "bad.mid"), 0u);
}

}  // namespace
}  // namespace corvane::midi
