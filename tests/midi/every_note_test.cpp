// What a listener hears from a saved tune, for compositions that once came out wrong: each
// example is a reported fault or a counterexample the property tests shrank.

#include <gtest/gtest.h>

#include "composition_recipes.h"
#include "corvane/midi/midi_out_port.h"
#include "midi_test_support.h"
#include "music_audit.h"

namespace corvane::testing {
namespace {

using Tweak = std::function<void(engine::Composition&, SaveSetup&)>;

// Channel, key, start and end of a note, in ticks (500 a second).
using Note = std::array<std::uint64_t, 4>;

struct Saved {
    SmfFile file;
    NoteAudit audit;
    std::string faults() const { return joined(audit.faults); }
    // Channel, key, start and end of each note, in the order they began.
    std::vector<Note> notes() const {
        std::vector<Note> out;
        for (const HeardNote& n : audit.notes) {
            out.push_back({static_cast<std::uint64_t>(n.channel), static_cast<std::uint64_t>(n.key), n.on, n.off});
        }
        return out;
    }
};

class EveryNote : public ::testing::Test {
protected:
    Saved save(const Recipe& recipe, const Tweak& tweak = {}) {
        const auto path = folder / "tune.mid";
        EXPECT_TRUE(save_recipe(recipe, path, tweak));
        Saved saved{read_smf(path), {}};
        saved.audit = audit_notes(channel_events(saved.file));
        return saved;
    }

    TempFolder folder;
};

// The voices of an example: the recipe's, with the drums out of play, and the changes.
std::vector<int> voices_with(std::initializer_list<std::pair<int, int>> changes) {
    std::vector<int> voices = Recipe{}.voices;
    voices[9] = -1;
    for (const auto& [channel, program] : changes) voices[static_cast<std::size_t>(channel)] = program;
    return voices;
}

// A composition and what must be heard from its file: besides no fault of the audit and (for
// a tune that cycles) the end of the file at its length, some notes exactly, how many there are, and how long every
// note lasts (on an even step, on an odd one: a step is 62.5 ticks).
struct Example {
    std::string_view what;
    Recipe recipe;
    std::vector<std::pair<int, Note>> notes;  // by place in the order they began; -1 is the last
    std::size_t count = 0;
    std::optional<std::array<std::uint64_t, 2>> lengths{};
    double seconds = 0;  // the file's length where it is not whole seconds
};

const std::string kJust = "1 9/8 5/4 4/3 3/2 5/3 15/8 2";

const std::vector<Example>& examples() {
    static const std::vector<Example> all{
        {"levels sounding together last their level's length: four steps, two, one",
         {.seed = {0, 1}, .levels = 2, .channels_in_play = 3, .rule = 5, .seconds = 1},
         {{0, {2, 60, 0, 250}}, {1, {1, 60, 0, 125}}, {2, {0, 60, 0, 62}}, {3, {0, 62, 62, 125}}}},
        {"a fractional sustain ends the last note at the end of the file",
         {.seed = {0, 2, -1, 1}, .levels = 2, .scale = kJust, .arpeggio = "0 1 2 3 4 5 6 7", .sustain = 1.5,
          .seconds = 4},
         {{-1, {0, 67, 1937, 2000}}}},
        {"notes held by sustain until their key comes again, three steps on, across the cycles",
         {.seed = {0, 1, 3}, .levels = 0, .scale = "1 n(1/19)", .arpeggio = "Use_ratios", .sustain = 4},
         {{2, {2, 62, 125, 312}}, {8, {2, 62, 500, 625}}}, 10, {}, 1.25},
        {"a file keeps its lead-in of rests",
         {.seed = {0, 1}, .levels = 0, .channels_in_play = 2, .voices = voices_with({{1, 128}}), .rule = 1,
          .sustain = 0, .seconds = 6},
         {{0, {0, 62, 62, 64}}}},
        {"with no sustain a note ends two timer periods (4 ms) after it began",
         {.seed = {0, 2, -1, 1}, .levels = 2, .sustain = 0, .seconds = 4},
         {}, 0, {{2, 2}}},
        {"no note starts at the end of the file: steps of 15.625 ms, one falls on 1 s",
         {.seed = {-4}, .levels = 0, .sustain = 0, .note_length_128ths = 4, .seconds = 1},
         {{-1, {0, 50, 484, 486}}}},
    };
    return all;
}

TEST_F(EveryNote, EachExampleSoundsAsItShould) {
    for (const Example& example : examples()) {
        SCOPED_TRACE(example.what);
        Recipe r = example.recipe;
        if (r.voices == Recipe{}.voices) r.voices = voices_with({});
        const double seconds = example.seconds > 0 ? example.seconds : r.seconds;
        const Saved saved = save(r, [&](engine::Composition&, SaveSetup& s) { s.save.midi_file_play_secs = seconds; });
        EXPECT_EQ(saved.faults(), "");
        if (r.cycle) {
            EXPECT_EQ(saved.file.tracks[0].events.back().tick, static_cast<std::uint64_t>(seconds * 500));
        }
        const auto notes = saved.notes();
        for (const auto& [place, note] : example.notes) {
            const auto at = static_cast<std::size_t>(place < 0 ? static_cast<int>(notes.size()) + place : place);
            ASSERT_LT(at, notes.size()) << "note " << place;
            EXPECT_EQ(notes[at], note) << "note " << place;
        }
        if (example.count > 0) {
            EXPECT_EQ(notes.size(), example.count);
        }
        if (!example.lengths) continue;
        for (const HeardNote& n : saved.audit.notes) {
            EXPECT_EQ(n.off - n.on, (*example.lengths)[n.on % 125 == 0 ? 0 : 1]) << n.on;
        }
    }
}

TEST_F(EveryNote, TicksAgreeWithTheTempoWritten) {
    const Recipe r{.seed = {0, 1}, .levels = 0, .voices = voices_with({}), .seconds = 3};
    for (const int format : {0, 1}) {
        const Saved saved = save(r, [format](engine::Composition&, SaveSetup& s) {
            s.save.smf.mf_time_duration_of_beat = 600000;  // 100 beats a minute
            s.save.midi_file_format = format;
        });
        const SmfEvent& tempo = saved.file.tracks[0].events[0];
        EXPECT_EQ(tempo.bytes, (std::vector<std::uint8_t>{0xFF, 0x51, 0x09, 0x27, 0xC0})) << "format " << format;
        // 250 ticks a quarter note of 0.6 s: 3 s is 1250 ticks, a step of 0.125 s 52 ticks.
        EXPECT_EQ(saved.file.tracks.back().events.back().tick, 1250u);
        EXPECT_EQ(saved.audit.notes[1].on, 52u);
    }
}

}  // namespace
}  // namespace corvane::testing
