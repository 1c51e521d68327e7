// CPU time per note on the player's path: a full tick (counter step, value, channel, pitch,
// voices and the messages through a sender) driven by a simulated clock.
#include <benchmark/benchmark.h>

#include "corvane/engine/player.h"
#include "corvane/engine/seed.h"
#include "corvane/platform/manual_timer_service.h"

namespace {

using namespace corvane;

struct CountingSender final : platform::MessageSender {
    platform::SendResult send(const platform::SendRequest&) noexcept override {
        ++sent;
        return platform::SendResult::sent;
    }
    long sent = 0;
};

void play_notes(benchmark::State& state, int rule, int channels, double sustain) {
    engine::Composition composition;
    composition.Note_length = 0.001;  // one note a millisecond of simulated time
    engine::set_seed(composition, engine::read_seed("0 2 -1 1", engine::SeedStrictness::lenient)->values);
    composition.Levels = 10;
    composition.Sustain = sustain;
    composition.Channels_in_Play = channels;
    engine::select_channel_rule(composition, rule);
    engine::PlayerSettings settings;
    settings.uTimerRes = 0;
    engine::VoiceSettings voice_settings;
    platform::ManualClock clock(0);
    platform::ManualTimerService timers(clock);
    CountingSender sender;
    platform::NoKeysHeld keys;
    engine::ChannelVoices voices(composition, voice_settings, sender, clock);
    engine::Player player(composition, settings, voices, timers, clock, keys);
    player.start();
    std::int64_t now = 0;
    std::int64_t before = 0;
    for (auto _ : state) {
        now += 1000;  // a thousand notes a round
        timers.advance_to(now);
    }
    before = player.notes_stepped();
    state.SetItemsProcessed(before);
    state.counters["messages_per_note"] = static_cast<double>(sender.sent) / static_cast<double>(std::max<std::int64_t>(before, 1));
}

void BM_PlayerTick_OneChannel(benchmark::State& state) { play_notes(state, 4, 1, 1); }
BENCHMARK(BM_PlayerTick_OneChannel);
void BM_PlayerTick_ThreeChannelsSimultaneous(benchmark::State& state) { play_notes(state, 5, 3, 1); }
BENCHMARK(BM_PlayerTick_ThreeChannelsSimultaneous);
void BM_PlayerTick_SustainRing(benchmark::State& state) { play_notes(state, 1, 4, 3.5); }
BENCHMARK(BM_PlayerTick_SustainRing);

}  // namespace
