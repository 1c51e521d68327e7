// The player computes every note on the real-time timer thread, where nothing may be
// allocated. This suite counts every global allocation while the per-note path runs.
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "../allocation_counter.h"

#include "corvane/engine/channel_choice.h"
#include "corvane/engine/degree_mapping.h"
#include "corvane/engine/level_counter.h"

namespace corvane::engine {
namespace {

struct NoteTotals {
    long long values = 0;
    long long channels = 0;
    long long notes = 0;
};

// Counter step, value, channel, pitch and channel shift, as the player runs them per note.
NoteTotals play_notes(Composition& c, int notes) {
    LevelCounter counter;
    counter.reset(c.Levels);
    ChannelChooser chooser;
    start_channel_choice(c, chooser);
    tuning::ModeVoices voices{};
    NoteTotals totals;
    for (int k = 0; k < notes; ++k) {
        counter.step(c.seed_length(), c.Levels);
        const int value = value_at_counter(counter, c.Note_heights, c.Levels);
        const auto channel = choose_channel(c, chooser, counter, value, counter.ChangedLevel);
        const auto nb = channel_shift(pitch_to_note_and_bend(value, c, voices, 0), channel.value_or(0), c);
        totals.values += value;
        totals.channels += channel.value_or(-1);
        totals.notes += nb.note + nb.bend;
    }
    return totals;
}

long allocations_while(const auto& work) {
    const long before = testing::allocations_on_this_thread();
    work();
    return testing::allocations_on_this_thread() - before;
}

TEST(PerNotePath, AllocatesNothingWithAFormula) {
    Composition c;
    c.Note_heights = {0, 2, -1, 1, 3};
    c.Levels = 8;
    c.Arpeggio = tuning::read_step_list("0 2 4 5 7 9 11 12 | 0 1 3 5 7 8 10 12", tuning::ListNotation::absolute);
    select_channel_rule(c, static_cast<int>(ChannelRule::formula));
    set_formula(c, "(N+H+1)*2-L+S+P+M+Y+C+T/3");
    c.Channels_in_Play = 5;
    c.shift_by_octave_or_arpeggio = static_cast<int>(ShiftMode::arpeggio);
    c.Octave_shifts_for_channels[2] = -1;
    NoteTotals totals;
    EXPECT_EQ(allocations_while([&] { totals = play_notes(c, 20000); }), 0);
    EXPECT_GT(totals.notes, 0);
}

TEST(PerNotePath, AllocatesNothingWithALongSeedAndEveryOtherRule) {
    Composition c;
    c.Note_heights.assign(1000, 0);
    for (int i = 0; i < 1000; ++i) c.Note_heights[static_cast<std::size_t>(i)] = (i * 7) % 23 - 11;
    c.Levels = 2;
    c.Channels_in_Play = 16;
    c.shift_by_octave_or_arpeggio = static_cast<int>(ShiftMode::modulate_by_arpeggio_degree);
    c.Octave_shifts_for_channels.fill(3);
    for (int rule : {0, 1, 3, 4, 5}) {
        select_channel_rule(c, rule);
        EXPECT_EQ(allocations_while([&] { play_notes(c, 5000); }), 0) << rule;
    }
}

TEST(PerNotePath, TheCounterReallyCounts) {
    EXPECT_EQ(allocations_while([] { ::operator delete(::operator new(16)); }), 1);
}

}  // namespace
}  // namespace corvane::engine
