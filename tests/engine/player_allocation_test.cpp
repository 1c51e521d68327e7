// Every tick of the player runs on the timer thread, where nothing may be allocated: this
// suite counts global allocations while a player plays on a simulated clock, under every
// channel rule, a formula of every letter, shifted channels, a seed of 1000 values and every
// tuning output.
#include <new>
#include <span>
#include <vector>

#include <gtest/gtest.h>

#include "../allocation_counter.h"

#include "corvane/engine/degree_mapping.h"
#include "corvane/engine/player.h"
#include "corvane/platform/manual_timer_service.h"

namespace corvane::engine {
namespace {

struct CountingSender final : platform::MessageSender {
    platform::SendResult send(const platform::SendRequest&) noexcept override {
        ++sent;
        return platform::SendResult::sent;
    }
    platform::SendResult send_sysex(std::span<const std::uint8_t>, int) noexcept override {
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
    std::vector<int> seed = {0, 2, -1, 1};
    int channels = 1;
    int rule = 4;
    std::string_view formula = "N+H+1";
    double sustain = 1;
    bool skip = false;
    int look_ahead = 0;
    ShiftMode shift = ShiftMode::octave;
    TuningOutput tuning_output = TuningOutput::bend;
};

long allocations_while(const auto& work) {
    const long before = testing::allocations_on_this_thread();
    work();
    return testing::allocations_on_this_thread() - before;
}

long allocations_while_playing(const Setup& setup) {
    Composition composition;
    composition.Note_length = 0.01;
    set_seed(composition, setup.seed);
    composition.shift_by_octave_or_arpeggio = static_cast<int>(setup.shift);
    composition.Arpeggio =
        tuning::read_step_list("0 2 4 5 7 9 11 12 | 0 1 3 5 7 8 10 12", tuning::ListNotation::absolute);
    composition.Levels = 6;
    composition.Sustain = setup.sustain;
    composition.Channels_in_Play = setup.channels;
    select_channel_rule(composition, setup.rule);
    set_formula(composition, setup.formula);
    composition.Octave_shifts_for_channels[1] = 1;
    VoiceSettings voice_settings;
    voice_settings.tuning_output = setup.tuning_output;
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
    const long during = allocations_while([&] { timers.advance_to(60'000); });
    EXPECT_GT(sender.sent, 1000);
    EXPECT_TRUE(player.playing());
    return during;
}

TEST(PlayerAllocation, TicksAllocateNothing) {
    EXPECT_EQ(allocations_while([] { ::operator delete(::operator new(16)); }), 1);  // the counter counts
    EXPECT_EQ(allocations_while_playing({.channels = 5, .rule = 2, .formula = "(N+H+1)*2-L+S+P+M+Y+C+T/3",
                                         .shift = ShiftMode::arpeggio}),
              0);
    std::vector<int> long_seed;
    for (int i = 0; i < 1000; ++i) long_seed.push_back((i * 7) % 23 - 11);
    for (const int rule : {0, 1, 3, 4, 5}) {
        EXPECT_EQ(allocations_while_playing({.seed = long_seed, .channels = 16, .rule = rule,
                                             .shift = ShiftMode::modulate_by_arpeggio_degree}),
                  0)
            << rule;
    }
    EXPECT_EQ(allocations_while_playing({.channels = 2, .rule = 1, .sustain = 2.5, .skip = true, .look_ahead = 4}), 0);
    for (const auto output : {TuningOutput::mts, TuningOutput::mpe}) {
        EXPECT_EQ(allocations_while_playing({.channels = 3, .sustain = 4, .tuning_output = output}), 0)
            << tuning_output_word(output);
    }
}

}  // namespace
}  // namespace corvane::engine
