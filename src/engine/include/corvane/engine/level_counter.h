#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "corvane/engine/composition.h"

namespace corvane::engine {

// Where the player is in the fractal tune: one digit per level, digit 0 fastest, read as a
// number in base n (the seed length) that counts the notes of one cycle. Fixed size and
// allocation-free: stepped on the real-time path for every note.
struct LevelCounter {
    std::array<int, kLevelCount> digits{};
    int ChangedLevel = 0;            // levels 0..ChangedLevel start a new note at this step
    std::int64_t NoteStepCount = 0;  // notes stepped in this play, skipped ones included
    std::int64_t SeedCycleCount = 0; // seeds completed at level 0
    std::int64_t SeedPosition = 0;   // position in the current seed
    bool tune_ended = false;         // the last step came back to the first note

    // All digits 0, counts 0: the first note of a play, on which every level starts.
    void reset(int levels);

    // Moves to the next note of a seed of `seed_length` values over levels 0..`levels`.
    // Returns true when this step completed the cycle (every digit back to 0).
    bool step(int seed_length, int levels);

    // The counter as it stands after `steps` steps from a reset (for seeking and tests).
    static LevelCounter after_steps(std::int64_t steps, int seed_length, int levels);
};

// The tune value of the note at the counter: the sum of the seed values its digits pick.
// Unshifted, so it may be negative.
int value_at_counter(const LevelCounter& counter, std::span<const int> seed, int levels);

}  // namespace corvane::engine
