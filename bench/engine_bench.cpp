// Per-note cost of the engine as the player pays it on the timer thread (counter step,
// value, channel, note and bend), and the cost of laying the tune out in its array.
// The first argument of the per-note benchmarks is how many notes were played before;
// the cost must not grow with it.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "corvane/engine/channel_choice.h"
#include "corvane/engine/composition.h"
#include "corvane/engine/degree_mapping.h"
#include "corvane/engine/fractal_tune.h"
#include "corvane/engine/level_counter.h"
#include "corvane/platform/clock.h"

namespace {

using namespace corvane::engine;

std::vector<int> long_seed() {
    std::vector<int> seed(1000);
    for (int i = 0; i < 1000; ++i) seed[static_cast<std::size_t>(i)] = (i * 7) % 23 - 11;
    return seed;
}

// Four channels in play, an octave shift on one of them, and the given rule (argument 1).
Composition composition_for(std::vector<int> seed, int levels, int rule) {
    Composition c;
    c.Note_heights = std::move(seed);
    c.Levels = levels;
    c.Channels_in_Play = 4;
    c.Octave_shifts_for_channels[1] = 1;
    select_channel_rule(c, rule);
    return c;
}

void play_notes(benchmark::State& state, Composition c) {
    const int n = c.seed_length();
    LevelCounter counter = LevelCounter::after_steps(state.range(0), n, c.Levels);
    ChannelChooser chooser;
    start_channel_choice(c, chooser);
    corvane::tuning::ModeVoices voices{};
    for (auto _ : state) {
        counter.step(n, c.Levels);
        const int value = value_at_counter(counter, c.Note_heights, c.Levels);
        const auto channel = choose_channel(c, chooser, counter, value, counter.ChangedLevel);
        const auto nb = channel_shift(pitch_to_note_and_bend(value, c, voices, 0), channel.value_or(0), c);
        benchmark::DoNotOptimize(nb);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Notes_Seed4_Levels10(benchmark::State& state) {
    play_notes(state, composition_for({0, 1, 2, 1}, 10, static_cast<int>(state.range(1))));
}

void BM_Notes_Seed1000_Levels2(benchmark::State& state) {
    play_notes(state, composition_for(long_seed(), 2, static_cast<int>(state.range(1))));
}

// Notes already played x rule: 4 by level (a new composition's), 2 the formula N+H+1.
void note_ranges(benchmark::internal::Benchmark* b) {
    b->ArgNames({"after", "rule"});
    for (const int rule : {4, 2}) {
        for (const std::int64_t after : {0LL, 1000000LL, 100000000LL}) b->Args({after, rule});
    }
}
BENCHMARK(BM_Notes_Seed4_Levels10)->Apply(note_ranges);
BENCHMARK(BM_Notes_Seed1000_Levels2)->Apply(note_ranges);

void build_tune(benchmark::State& state, const std::vector<int>& seed, int levels) {
    auto tune = std::make_unique<FractalTune>();
    const corvane::platform::SteadyClock clock;
    for (auto _ : state) {
        build_fractal_tune(*tune, seed, levels, clock);
        benchmark::DoNotOptimize(tune->values.data());
    }
    state.SetItemsProcessed(state.iterations() * tune->count);
    state.counters["count"] = tune->count;
}

void BM_BuildFractalTune_Seed4_Levels6(benchmark::State& state) { build_tune(state, {0, 1, 2, 1}, 6); }
BENCHMARK(BM_BuildFractalTune_Seed4_Levels6);

void BM_BuildFractalTune_Seed1000_Levels2(benchmark::State& state) { build_tune(state, long_seed(), 2); }
BENCHMARK(BM_BuildFractalTune_Seed1000_Levels2);

}  // namespace
