#include "corvane/engine/player.h"

#include <gtest/gtest.h>

#include "corvane/engine/seed.h"
#include "corvane/platform/manual_timer_service.h"
#include "recording_sender.h"

namespace corvane::engine {
namespace {

using testing::Message;
using testing::off;
using testing::on;

struct Listener final : PlayerListener {
    void play_display_update() override { ++updates; }
    void priority_reset() override { ++priority_resets; }
    void play_stopped() override { ++stopped; }
    int updates = 0;
    int priority_resets = 0;
    int stopped = 0;
};

class PlayerTest : public ::testing::Test {
protected:
    PlayerTest() {
        composition.Note_length = 0.1;
        set_seed_text("0 1");
        composition.Levels = 0;
        settings.cycle_melody = false;
    }

    void set_seed_text(std::string_view text) {
        const auto seed = read_seed(text, SeedStrictness::lenient);
        set_seed(composition, seed->values);
    }

    Composition composition;
    VoiceSettings voice_settings;
    PlayerSettings settings;
    platform::ManualClock clock{1000};
    platform::ManualTimerService timers{clock};
    testing::RecordingSender sender{clock};
    platform::SettableKeyState keys;
    Listener listener;
    ChannelVoices voices{composition, voice_settings, sender, clock};
    Player player{composition, settings, voices, timers, clock, keys, &listener};
};

// Sustain 1 ends each note as the next begins, 0.5 half-way; without cycling play stops.
TEST_F(PlayerTest, SustainEndsEachNoteAtItsFractionOfTheStep) {
    for (const auto& [sustain, end] : {std::pair{1.0, 100}, std::pair{0.5, 50}}) {
        composition.Sustain = sustain;
        sender.sent.clear();
        player.start();
        timers.advance_to(clock.now_ms() + 1000);
        const std::int64_t first = clock.now_ms() - 998;
        const std::vector<Message> expected{on(first, 0, 60), off(first + end, 0, 60), on(first + 100, 0, 62),
                                            off(first + 100 + end, 0, 62)};
        EXPECT_EQ(sender.notes(), expected) << sustain;
        EXPECT_FALSE(player.playing());
        EXPECT_EQ(timers.pending(), 0u);
    }
    EXPECT_EQ(listener.stopped, 2);
}

// Play starts one timer resolution after Play, the channel's program and bend before its
// first note; a channel at volume 0 sounds nothing (a note-on of velocity 0 would be a
// note-off), nor is it given a program or a bend.
TEST_F(PlayerTest, PlayStartsAfterOneTimerResolutionAndSilentChannelsSoundNothing) {
    settings.uTimerRes = 1;
    player.start();
    timers.advance_to(1001);
    std::vector<Message> first;
    for (const auto& m : sender.sent) {
        if (m.ms == 1001) first.push_back(m);
    }
    const std::vector<Message> expected{{1001, 0xC0, 0, 73, 0}, {1001, 0xE0, 0, 0x00, 0x40}, on(1001, 0, 60)};
    EXPECT_EQ(first, expected);
    player.stop();
    timers.advance_to(2000);
    sender.sent.clear();
    composition.Volumes_for_channels[0] = 0;
    player.start();
    timers.advance_to(2300);
    for (const Message& m : sender.sent) EXPECT_EQ(m.status, 0xB0) << m;
}

TEST_F(PlayerTest, LookAheadSoundsEachNoteTwoComputedNotesLater) {
    settings.iLookAhead = 3;
    set_seed_text("0 1 2 3 4");
    player.start();
    timers.advance_to(1000 + 5 * 100 + 10);
    // The first two computed notes sound nothing; then each sounds the one two before it.
    const std::vector<Message> expected{on(1202, 0, 60), off(1302, 0, 60), on(1302, 0, 62), off(1402, 0, 62),
                                        on(1402, 0, 64), off(1502, 0, 64)};
    EXPECT_EQ(sender.notes(), expected);
}

TEST_F(PlayerTest, CyclingStartsAgainAndCountsCycles) {
    settings.cycle_melody = true;
    player.start();
    timers.advance_to(1000 + 450);
    EXPECT_TRUE(player.playing());
    EXPECT_EQ(player.cycles(), 2);
    EXPECT_EQ(player.cycle_text(), "Cycle 3");
    const auto notes = sender.notes();
    ASSERT_GE(notes.size(), 6u);
    EXPECT_EQ(notes[4], on(1202, 0, 60));  // the new cycle keeps time: no pause at the restart
}

// Hold ends the notes at once and stops time until released; Stop switches every note off
// at once, and nothing sounds after it.
TEST_F(PlayerTest, HoldStopsTimeAndSoundAndStopEndsPlay) {
    settings.cycle_melody = true;
    player.start();
    timers.advance_to(1050);
    player.hold();
    timers.advance_to(1500);
    EXPECT_EQ(sender.notes().back(), off(1050, 0, 60));
    player.release();
    timers.advance_to(1550);
    EXPECT_EQ(sender.notes().back(), on(1522, 0, 62));  // the second note, only after the release
    EXPECT_TRUE(player.playing());
    player.stop();
    timers.advance_to(1551);
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(listener.stopped, 1);
    EXPECT_EQ(sender.notes().back(), off(1550, 0, 62));
    timers.advance_to(2000);
    EXPECT_EQ(sender.notes().back(), off(1550, 0, 62));
}

TEST_F(PlayerTest, RuleFiveSoundsOneNotePerChangedLevel) {
    set_seed_text("0 1");
    composition.Levels = 2;
    composition.Channels_in_Play = 3;
    select_channel_rule(composition, 5);
    player.start();
    timers.advance_to(1000 + 350);
    EXPECT_EQ(sender.note_ons(1002), 3);  // levels 2, 1 and 0 start together
    EXPECT_EQ(sender.note_ons(1102), 1);
    EXPECT_EQ(sender.note_ons(1202), 2);
    EXPECT_EQ(sender.note_ons(1302), 1);
}

// The channel in use is the player's: the composition it plays is never written, and the Voice
// menu follows the last note while playing and the composition's Channel once stopped.
TEST_F(PlayerTest, TheChannelInUseFollowsTheNotesAndTheCompositionStaysAsItWas) {
    set_seed_text("0 1 2");
    composition.Levels = 1;
    composition.Channels_in_Play = 3;
    composition.Channel = 5;
    select_channel_rule(composition, static_cast<int>(ChannelRule::by_note_height));
    const Composition before = composition;
    player.start();
    for (const std::int64_t ms : {1002, 1102, 1202, 1302}) {
        timers.advance_to(ms);
        const auto& notes = sender.notes();
        ASSERT_FALSE(notes.empty());
        EXPECT_EQ(player.channel_in_use(), notes.back().channel) << ms;
    }
    player.stop();
    timers.advance_to(3000);
    EXPECT_EQ(player.channel_in_use(), 5);
    EXPECT_TRUE(composition == before);
}

TEST_F(PlayerTest, SkippingCatchesUpAfterAStall) {
    settings.ok_to_skip_fast_notes = true;
    settings.cycle_melody = true;
    set_seed_text("0 1 2 3");
    composition.Levels = 5;
    player.start();
    timers.advance_to(1002);
    clock.advance(2000);  // the machine stalls for two seconds
    timers.advance_to(clock.now_ms());
    EXPECT_NE(player.note_text().find("skipped)"), std::string::npos) << player.note_text();
    // Back on schedule: the note sounding now is the one due now, give or take a note.
    const auto steps = player.notes_stepped();
    EXPECT_GE(steps, 19);
    EXPECT_LE(steps, 21);
    timers.advance_to(clock.now_ms() + 100);
    EXPECT_EQ(player.note_text(), "Note " + std::to_string(player.notes_stepped()));
}

// Without skipping: events a little late keep the schedule (the steps they held up go at once,
// then play is back on time), while a long stall starts the schedule again from the present:
// play slows down rather than rush through the notes it missed.
TEST_F(PlayerTest, LateEventsKeepTheScheduleAndAStallMovesIt) {
    settings.cycle_melody = true;
    composition.Note_length = 0.005;
    set_seed_text("0 1 2 3");
    composition.Levels = 5;
    player.start();
    timers.advance_to(1002);  // the first note; then one every 5 ms
    const auto times_from = [&](std::size_t first) {
        std::vector<std::int64_t> times;
        const auto notes = sender.notes();
        for (std::size_t i = first; i < notes.size(); ++i) {
            if (notes[i].data2 > 0) times.push_back(notes[i].ms);
        }
        return times;
    };
    std::size_t first = sender.notes().size();
    clock.set(1007 + 12);  // the step due at 1007 runs 12 ms late
    timers.advance_to(1022);
    EXPECT_EQ(times_from(first), (std::vector<std::int64_t>{1019, 1019, 1019, 1022}));
    EXPECT_EQ(player.schedule_moved_ms(), 0);

    first = sender.notes().size();
    clock.set(1027 + 500);  // a stall of half a second
    timers.advance_to(1537);
    EXPECT_EQ(times_from(first), (std::vector<std::int64_t>{1527, 1527, 1532, 1537}));
    EXPECT_EQ(player.schedule_moved_ms(), 495);  // the step due at 1032 went at 1527
}

// Shift+Escape drops a raised priority to idle and play goes on; Escape alone stops play only
// when its option is on.
TEST_F(PlayerTest, ShiftEscapeDropsARaisedPriorityAndEscapeStopsPlayWhenItsOptionIsOn) {
    settings.set_high_priority_for_crv = 2;
    settings.cycle_melody = true;
    player.start();
    timers.advance_to(1050);
    EXPECT_EQ(player.priority_level(), 2);
    keys.set_shift(true);
    keys.set_escape(true);
    timers.advance_to(1150);
    EXPECT_EQ(player.priority_level(), 0);
    EXPECT_EQ(listener.priority_resets, 1);
    EXPECT_TRUE(player.playing());
    EXPECT_EQ(priority_status_text(0, false), "Idle time priority. SHIFT + ESCAPE = reset");
    EXPECT_EQ(priority_status_text(1, true), "....Hold ESCAPE key down to interrupt...");
    keys.set_shift(false);
    settings.escape_interrupts = true;
    timers.advance_to(1300);
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(listener.stopped, 1);
}

TEST_F(PlayerTest, BendRangeTestAlternatesLowAndHighForms) {
    composition.seed_has_test = true;
    set_seed_text("60 64");
    player.start();
    timers.advance_to(1250);
    std::vector<std::pair<int, int>> played;  // note and the bend sent before it
    int bend = -1;
    for (const auto& m : sender.sent) {
        if (m.status == 0xE0) bend = m.data1 | m.data2 << 7;
        if (m.status == 0x90 && m.data2 > 0) played.emplace_back(m.data1, bend);
    }
    const std::vector<std::pair<int, int>> expected{{58, 16383}, {66, 0}};
    EXPECT_EQ(played, expected);
}

TEST_F(PlayerTest, RenderRunsWithoutTimersOnTheTuneClock) {
    set_seed_text("0 1 2");
    composition.Levels = 1;
    std::atomic<bool> cancel{false};
    player.render(0.45, cancel);
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(timers.pending(), 0u);
    EXPECT_GE(sender.note_ons(), 4);
    EXPECT_LE(sender.note_ons(), 6);
}

// Rendering with skipping passes over notes shorter than the file's time resolution (0.4 ms
// steps, 1 ms resolution). Where the levels sound together (the formula of the level) a step
// that starts a longer note of a level with a channel in play counts that note and is kept;
// level 2 has no channel (two in play), so its start counts only the step.
TEST_F(PlayerTest, RenderingSkipsWhatTheFileCannotHoldButNotTheStartOfALongerNote) {
    settings.ok_to_skip_fast_notes = true;
    composition.Note_length = 0.0004;
    composition.Levels = 2;
    composition.Channels_in_Play = 2;
    select_channel_rule(composition, static_cast<int>(ChannelRule::formula));
    set_formula(composition, "L");
    std::atomic<bool> cancel{false};
    player.render(1, cancel);
    std::vector<std::pair<int, int>> played;  // channel and note
    for (const Message& m : sender.sent) {
        if (m.status == 0x90 && m.data2 > 0) played.emplace_back(m.channel, m.data1);
    }
    const std::vector<std::pair<int, int>> expected{{0, 60}, {1, 62}, {0, 64}, {1, 64}};
    EXPECT_EQ(played, expected);
}

}  // namespace
}  // namespace corvane::engine
