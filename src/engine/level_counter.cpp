#include "corvane/engine/level_counter.h"

#include <algorithm>
#include <climits>

namespace corvane::engine {
namespace {

int top_level(int levels) { return std::clamp(levels, 0, kMaxLevels); }

}  // namespace

void LevelCounter::reset(int levels) { *this = LevelCounter{.ChangedLevel = top_level(levels)}; }

bool LevelCounter::step(int seed_length, int levels) {
    const int top = top_level(levels);
    bool carried_past_top = true;
    for (int i = 0; i <= top; ++i) {
        int& digit = digits[static_cast<std::size_t>(i)];
        if (++digit < seed_length) {
            ChangedLevel = i;
            carried_past_top = false;
            break;
        }
        digit = 0;
        if (i == 0) {
            ++SeedCycleCount;
            SeedPosition = -1;
        }
    }
    if (carried_past_top) ChangedLevel = top;  // every level starts again
    ++NoteStepCount;
    ++SeedPosition;
    // Digits above the top level are normally 0; they only differ after Levels was lowered in play.
    tune_ended = carried_past_top && std::all_of(digits.begin() + top + 1, digits.end(), [](int d) { return d == 0; });
    return tune_ended;
}

LevelCounter LevelCounter::after_steps(std::int64_t steps, int seed_length, int levels) {
    const int top = top_level(levels);
    LevelCounter counter;
    counter.reset(levels);
    if (steps <= 0) return counter;
    counter.NoteStepCount = steps;
    if (seed_length <= 1) {
        counter.SeedCycleCount = steps;
        counter.tune_ended = true;
        return counter;
    }
    counter.SeedCycleCount = steps / seed_length;
    counter.SeedPosition = steps % seed_length;
    std::int64_t rest = steps;
    int lowest_nonzero = -1;
    for (int i = 0; i <= top; ++i) {
        const int digit = static_cast<int>(rest % seed_length);
        counter.digits[static_cast<std::size_t>(i)] = digit;
        if (digit != 0 && lowest_nonzero < 0) lowest_nonzero = i;
        rest /= seed_length;
    }
    counter.tune_ended = lowest_nonzero < 0;
    counter.ChangedLevel = counter.tune_ended ? top : lowest_nonzero;
    return counter;
}

int value_at_counter(const LevelCounter& counter, std::span<const int> seed, int levels) {
    const int top = top_level(levels);
    std::int64_t sum = 0;
    for (int i = 0; i <= top; ++i) {
        const auto digit = static_cast<std::size_t>(counter.digits[static_cast<std::size_t>(i)]);
        if (digit < seed.size()) sum += seed[digit];  // a digit beyond a seed shortened in play counts 0
    }
    return static_cast<int>(std::clamp<std::int64_t>(sum, INT_MIN, INT_MAX));
}

}  // namespace corvane::engine
