// What a listener hears from a saved tune, for compositions that once came out wrong: each
// test is a reported fault or a counterexample the property tests shrank.

#include <gtest/gtest.h>

#include "composition_recipes.h"
#include "corvane/midi/midi_out_port.h"
#include "corvane/platform/reporter.h"
#include "midi_test_support.h"
#include "music_audit.h"

namespace corvane::testing {
namespace {

using Tweak = std::function<void(engine::Composition&, SaveSetup&)>;

struct Saved {
    SmfFile file;
    NoteAudit audit;
    std::string faults() const { return joined(audit.faults); }
    // Channel, key, start and end of each note, in the order they began.
    std::vector<std::array<std::uint64_t, 4>> notes() const {
        std::vector<std::array<std::uint64_t, 4>> out;
        for (const HeardNote& n : audit.notes) {
            out.push_back({static_cast<std::uint64_t>(n.channel), static_cast<std::uint64_t>(n.key), n.on, n.off});
        }
        return out;
    }
};

class EveryNote : public ::testing::Test {
protected:
    Saved save(const Recipe& recipe, const Tweak& tweak = {}) {
        engine::Composition composition = composition_of(recipe);
        SaveSetup setup = save_setup_of(recipe);
        if (tweak) tweak(composition, setup);
        std::atomic<bool> abort{false};
        const auto path = folder / "tune.mid";
        EXPECT_TRUE(midi::render_midi_file(path, composition, setup.save, setup.player, setup.voices, reporter, abort)
                        .written);
        Saved saved{read_smf(path), {}};
        saved.audit = audit_notes(channel_events(saved.file));
        return saved;
    }

    static Recipe recipe(std::vector<int> seed, int levels, double sustain = 1) {
        Recipe r;
        r.seed = std::move(seed);
        r.levels = levels;
        r.sustain = sustain;
        r.voices[9] = -1;
        r.note_length_128ths = 16;  // 0.125 s: 62.5 ticks
        r.seconds = 4;
        return r;
    }

    TempFolder folder;
    platform::RecordingReporter reporter;
};

TEST_F(EveryNote, SimultaneousLevelsSoundForTheLengthOfTheirLevel) {
    Recipe r = recipe({0, 1}, 2);
    r.channels_in_play = 3;
    r.rule = 5;
    r.seconds = 1;
    const Saved saved = save(r);
    EXPECT_EQ(saved.faults(), "");
    const auto notes = saved.notes();
    ASSERT_GE(notes.size(), 4u);
    EXPECT_EQ(notes[0], (std::array<std::uint64_t, 4>{2, 60, 0, 250}));  // level 2: four steps
    EXPECT_EQ(notes[1], (std::array<std::uint64_t, 4>{1, 60, 0, 125}));  // level 1: two steps
    EXPECT_EQ(notes[2], (std::array<std::uint64_t, 4>{0, 60, 0, 62}));   // level 0: one step
    EXPECT_EQ(notes[3], (std::array<std::uint64_t, 4>{0, 62, 62, 125}));
}

TEST_F(EveryNote, AFractionalSustainEndsTheLastNoteAtTheEndOfTheFile) {
    Recipe r = recipe({0, 2, -1, 1}, 2, 1.5);
    r.scale = "1 9/8 5/4 4/3 3/2 5/3 15/8 2";
    r.arpeggio = "0 1 2 3 4 5 6 7";
    const Saved saved = save(r);
    EXPECT_EQ(saved.faults(), "");
    EXPECT_EQ(saved.audit.notes.back().off, 2000u);
}

TEST_F(EveryNote, NotesHeldBySustainLastIntoTheNextCycle) {
    Recipe r = recipe({0, 1, 3}, 0, 4);
    r.scale = "1 n(1/19)";
    r.arpeggio = "Use_ratios";
    const Saved saved = save(r, [](engine::Composition&, SaveSetup& s) { s.save.midi_file_play_secs = 1.25; });
    EXPECT_EQ(saved.faults(), "");
    // Each note holds until its key comes again on its channel, three steps on, across the
    // cycles; the last ones end with the file.
    const auto notes = saved.notes();
    ASSERT_EQ(notes.size(), 10u);
    EXPECT_EQ(notes[2], (std::array<std::uint64_t, 4>{2, 62, 125, 312}));
    EXPECT_EQ(notes[8], (std::array<std::uint64_t, 4>{2, 62, 500, 625}));
}

TEST_F(EveryNote, TheFormulaRuleWithSymmetricChannelsEndsEveryNote) {
    Recipe r = recipe({0, 1, 2}, 2);
    r.channels_in_play = 3;
    r.voices[0] = 0;
    r.voices[1] = 40;
    r.rule = 2;
    r.formula = "2*L";
    r.sym_chs = true;
    const Saved saved = save(r);
    EXPECT_EQ(saved.faults(), "");
    // Each note sounds until the next note comes to its channel: level 2's first note
    // (channel 1) until the level-2 note of step 9 at tick 562.
    EXPECT_EQ(saved.notes()[0], (std::array<std::uint64_t, 4>{1, 60, 0, 562}));
}

TEST_F(EveryNote, ABendWaitsForAChannelWithNothingSounding) {
    Recipe r = recipe({0, 19, 1, 2, 3, 5}, 1, 4);
    r.scale = "1 n(1/19)";
    r.arpeggio = "Use_ratios";
    r.frequency = 270;
    const Saved saved = save(r);
    EXPECT_EQ(saved.faults(), "");
    for (const HeardNote& n : saved.audit.notes) {
        if (n.on == 250) {
            EXPECT_NE(n.channel, 0);  // channel 0 still holds key 73 until tick 312
        }
    }
}

TEST_F(EveryNote, TheRangeComesBeforeTheShift) {
    Recipe r = recipe({0, 10}, 0);
    r.lowest[0] = 48;
    r.highest[0] = 83;
    r.shifts[0] = -1;
    r.seconds = 1;
    const Saved rebound = save(r);
    ASSERT_GE(rebound.audit.notes.size(), 2u);
    EXPECT_EQ(rebound.audit.notes[0].key, 48);  // 60, shifted an octave down
    EXPECT_EQ(rebound.audit.notes[1].key, 48);  // 84 rebounds to 60, then is shifted
    r.actions[0] = 0;                           // Silent: above the range is silent, shift or not
    const Saved silent = save(r);
    for (const HeardNote& n : silent.audit.notes) EXPECT_EQ(n.key, 48);
}

TEST_F(EveryNote, ANoteBeyondMidiGoesThroughTheRangeLikeAnyOther) {
    Recipe r = recipe({0, 6}, 0);
    r.frequency = 8000;
    r.seconds = 1;
    const Saved saved = save(r);
    ASSERT_GE(saved.audit.notes.size(), 2u);
    EXPECT_EQ(saved.audit.notes[0].key, 119);
    EXPECT_EQ(saved.audit.notes[1].key, 109);  // 133 rebounds two octaves
}

TEST_F(EveryNote, ARestTakesItsTurnInTheSustain) {
    Recipe r = recipe({0, 2, -1, 1}, 2, 3);
    r.channels_in_play = 2;
    r.voices[1] = 128;
    r.voices[0] = 0;
    r.rule = 1;
    r.seconds = 2;
    const Saved saved = save(r);
    EXPECT_EQ(saved.faults(), "");
    // By time, channel 1 (rests) comes first; the first note sounds for three steps.
    EXPECT_EQ(saved.notes()[0], (std::array<std::uint64_t, 4>{0, 64, 62, 250}));
}

TEST_F(EveryNote, SustainZeroEndsEachNoteTwoTimerPeriodsAfterItBegan) {
    const Saved saved = save(recipe({0, 2, -1, 1}, 2, 0));
    EXPECT_EQ(saved.faults(), "");
    for (const HeardNote& n : saved.audit.notes) EXPECT_EQ(n.off - n.on, 2u) << n.on;  // 4 ms, 2 ticks
}

TEST_F(EveryNote, FormatsOneAndTwoKeepTheNotesMovedToSpareChannels) {
    Recipe r = recipe({0, 3, 1, 2}, 2, 6);
    r.scale = "e31";
    r.arpeggio = "0 5 10 13 18 23 28 31";
    r.channels_in_play = 2;
    r.rule = 1;
    r.seconds = 5;
    const auto format0 = event_multiset(save(r).file);
    for (const int format : {1, 2}) {
        const Saved saved = save(r, [format](engine::Composition&, SaveSetup& s) { s.save.midi_file_format = format; });
        EXPECT_EQ(event_multiset(saved.file), format0) << "format " << format;
        EXPECT_EQ(saved.audit.notes.size(), 40u);
        EXPECT_GT(saved.file.tracks.size(), 3u);  // the tempo track, two channels, and spares
    }
}

TEST_F(EveryNote, AFileKeepsItsLeadInAndLastsToItsEnd) {
    Recipe r = recipe({0, 1}, 0);
    r.channels_in_play = 2;
    r.voices[1] = 128;  // by time, the rests come first: the first note is at the second step
    r.rule = 1;
    r.sustain = 0;
    r.seconds = 6;
    const Saved saved = save(r);
    EXPECT_EQ(saved.audit.notes.front().on, 62u);
    EXPECT_EQ(saved.file.tracks[0].events.back().tick, 3000u);  // end-of-track at 6 s
}

TEST_F(EveryNote, TicksAgreeWithTheTempoWritten) {
    Recipe r = recipe({0, 1}, 0);
    r.seconds = 3;
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

// ---- counterexamples the property tests shrank ------------------------------------------

TEST_F(EveryNote, TwoLevelsOnOneChannelSoundOnceNotAsANoteOfNoLength) {
    Recipe r = recipe({-3, -4, -4}, 2, 0);
    r.scale = "e5";
    r.arpeggio = "0";
    r.frequency = 20;
    r.channels_in_play = 2;
    r.rule = 2;
    r.formula = "2*L";  // every level on position 0
    r.sym_chs = true;
    r.cycle = false;
    const Saved saved = save(r);
    EXPECT_EQ(saved.faults(), "");
    EXPECT_EQ(saved.audit.notes.front().off, 62u);
}

TEST_F(EveryNote, AVoiceOfRestsDoesNotEndTheNoteOfAVoiceOnItsChannel) {
    Recipe r = recipe({-3, -4}, 1, 0);
    r.scale = "1 n(1/19)";
    r.arpeggio = "0 | 0";
    r.frequency = 1000;
    r.channels_in_play = 2;
    r.voices = {128, 0, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, -1, -1, 0, 0};
    r.rule = 5;
    r.cycle = false;
    const Saved saved = save(r);
    EXPECT_EQ(saved.faults(), "");
    // Level 1 borrows channel 0 for its second bend and keeps it for its two steps.
    EXPECT_EQ(saved.notes()[1], (std::array<std::uint64_t, 4>{0, 79, 125, 250}));
}

TEST_F(EveryNote, AVoiceHeldAcrossACycleEndsThereWhenTheNextNoteComes) {
    Recipe r = recipe({-3, -4}, 0, 1.25);
    r.scale = "1 9/8 5/4 4/3 3/2 5/3 15/8 2";
    r.arpeggio = "Use_ratios";
    r.frequency = 270;
    r.voices[0] = 0;
    r.shifts = std::vector<int>(16, -2);
    r.rule = 5;
    r.seconds = 1;
    const Saved saved = save(r);
    EXPECT_EQ(saved.faults(), "");
    for (const HeardNote& n : saved.audit.notes) EXPECT_EQ(n.off - n.on, n.on % 125 == 0 ? 62u : 63u) << n.on;
}

TEST_F(EveryNote, ADrumUnderTheLevelRuleEndsWithItsStep) {
    Recipe r = recipe({-4, -3}, 0, 1.25);
    r.voices[0] = 128 + 35;
    r.rule = 5;
    r.seconds = 1;
    const Saved saved = save(r);
    EXPECT_EQ(saved.faults(), "");
    for (const HeardNote& n : saved.audit.notes) EXPECT_EQ(n.channel, 9);
    for (const HeardNote& n : saved.audit.notes) EXPECT_LE(n.off - n.on, 63u);
}

TEST_F(EveryNote, NoNoteStartsAtTheEndOfTheFile) {
    Recipe r = recipe({-4}, 0, 0);
    r.note_length_128ths = 4;  // steps of 15.625 ms: one falls on the end at 1 s
    r.seconds = 1;
    const Saved saved = save(r);
    EXPECT_EQ(saved.faults(), "");
    EXPECT_LT(saved.audit.notes.back().on, 500u);
}

}  // namespace
}  // namespace corvane::testing
