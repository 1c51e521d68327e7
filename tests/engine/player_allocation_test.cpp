// Every tick of the player runs on the timer thread, where nothing may be allocated: this
// suite counts global allocations while a player plays on a simulated clock.
#include <atomic>
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#include "../allocation_counter.h"

#include "corvane/engine/player.h"
#include "corvane/engine/seed.h"
#include "corvane/platform/manual_timer_service.h"

namespace corvane::engine {
namespace {

struct CountingSender final : platform::MessageSender {
    platform::SendResult send(const platform::SendRequest&) noexcept override {
        ++sent;
        return platform::SendResult::sent;
    }
    long sent = 0;
};

struct QuietListener final : PlayerListener {
    void play_display_update() override {}
    void priority_reset() override {}
    void play_stopped() override {}
};

struct Setup {
    std::string_view seed = "0 2 -1 1";
    int channels = 1;
    int rule = 4;
    std::string_view formula = "N+H+1";
    double sustain = 1;
    bool skip = false;
    int look_ahead = 0;
};

long allocations_while_playing(const Setup& setup) {
    Composition composition;
    composition.Note_length = 0.01;
    set_seed(composition, read_seed(setup.seed, SeedStrictness::lenient)->values);
    composition.Levels = 6;
    composition.Sustain = setup.sustain;
    composition.Channels_in_Play = setup.channels;
    select_channel_rule(composition, setup.rule);
    set_formula(composition, setup.formula);
    composition.Octave_shifts_for_channels[1] = 1;
    VoiceSettings voice_settings;
    PlayerSettings settings;
    settings.ok_to_skip_fast_notes = setup.skip;
    settings.iLookAhead = setup.look_ahead;
    platform::ManualClock clock(0);
    platform::ManualTimerService timers(clock);
    CountingSender sender;
    platform::NoKeysHeld keys;
    QuietListener listener;
    ChannelVoices voices(composition, voice_settings, sender, clock);
    Player player(composition, settings, voices, timers, clock, keys, &listener);
    player.start();
    timers.advance_to(50);  // past the start
    const long before = testing::allocations_on_this_thread();
    timers.advance_to(60'000);
    const long during = testing::allocations_on_this_thread() - before;
    EXPECT_GT(sender.sent, 1000);
    EXPECT_TRUE(player.playing());
    return during;
}

TEST(PlayerAllocation, TicksAllocateNothing) {
    EXPECT_EQ(allocations_while_playing({}), 0);
    EXPECT_EQ(allocations_while_playing({.channels = 3, .rule = 5}), 0);
    EXPECT_EQ(allocations_while_playing({.channels = 4, .rule = 2, .formula = "N+H*2+C"}), 0);
    EXPECT_EQ(allocations_while_playing({.channels = 3, .rule = 2, .formula = "L*2"}), 0);
    EXPECT_EQ(allocations_while_playing({.sustain = 2.5, .skip = true}), 0);
    EXPECT_EQ(allocations_while_playing({.channels = 2, .rule = 1, .sustain = 0.5, .look_ahead = 4}), 0);
}

}  // namespace
}  // namespace corvane::engine
