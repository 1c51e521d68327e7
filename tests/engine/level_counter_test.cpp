#include "corvane/engine/level_counter.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include "corvane/engine/fractal_tune.h"

namespace corvane::engine {
namespace {

using ::testing::ElementsAre;

// For any seed and number of levels: stepping walks the fractal tune (before its shift up to
// 0) and ends each cycle on its last step, and a jump to any step, in the first cycle or a
// later one, lands where stepping does.
RC_GTEST_PROP(LevelCounter, WalksTheTuneAndJumpsWhereSteppingGoes, ()) {
    const auto values = rc::gen::container<std::vector<int>>(rc::gen::inRange(-9, 10));
    const auto seed = *rc::gen::resize(5, rc::gen::nonEmpty(values));
    const int levels = *rc::gen::inRange(0, 4);
    auto tune = std::make_unique<FractalTune>();
    build_fractal_tune(*tune, seed, levels, platform::ManualClock{});
    const int n = static_cast<int>(seed.size());
    const std::int64_t cycle = tune->count;
    const std::int64_t jump_to = *rc::gen::inRange<std::int64_t>(1, 3 * cycle + 1);
    LevelCounter counter;
    counter.reset(levels);
    std::vector<int> walked{value_at_counter(counter, seed, levels)};
    for (std::int64_t k = 1; k <= 3 * cycle; ++k) {
        RC_ASSERT(counter.step(n, levels) == (k % cycle == 0));
        if (k < cycle) walked.push_back(value_at_counter(counter, seed, levels));
        if (k != jump_to) continue;
        const LevelCounter jumped = LevelCounter::after_steps(k, n, levels);
        RC_ASSERT(jumped.digits == counter.digits);
        RC_ASSERT(jumped.ChangedLevel == counter.ChangedLevel);
        RC_ASSERT(jumped.SeedCycleCount == counter.SeedCycleCount);
        RC_ASSERT(jumped.SeedPosition == counter.SeedPosition);
        RC_ASSERT(jumped.tune_ended == counter.tune_ended);
    }
    const int shift = std::min(0, *std::min_element(walked.begin(), walked.end()));
    for (int& value : walked) value -= shift;
    RC_ASSERT(walked == std::vector<int>(tune->values.begin(), tune->values.begin() + cycle));
    RC_ASSERT(counter.NoteStepCount == 3 * cycle);
    RC_ASSERT(counter.SeedCycleCount == 3 * cycle / n);
}

// The first note starts every level; each step after it tells the highest level that moved
// on, the position in the seed and how many seeds have passed.
TEST(LevelCounter, TellsWhichLevelsStartANewNoteAndWhereInTheSeedItIs) {
    LevelCounter counter;
    counter.reset(2);
    std::vector<int> changed{counter.ChangedLevel};
    std::vector<std::int64_t> positions{counter.SeedPosition};
    for (int k = 0; k < 8; ++k) {
        counter.step(2, 2);
        changed.push_back(counter.ChangedLevel);
        positions.push_back(counter.SeedPosition);
    }
    EXPECT_THAT(changed, ElementsAre(2, 0, 1, 0, 2, 0, 1, 0, 2));
    EXPECT_THAT(positions, ElementsAre(0, 1, 0, 1, 0, 1, 0, 1, 0));
    EXPECT_TRUE(counter.tune_ended);
    counter.reset(1);
    for (int k = 0; k < 7; ++k) counter.step(3, 1);
    EXPECT_EQ(counter.SeedPosition, 1);
    EXPECT_EQ(counter.SeedCycleCount, 2);
    EXPECT_EQ(counter.NoteStepCount, 7);
}

// A one-note seed ends the tune at every step; values stay within 32 bits.
TEST(LevelCounter, AOneNoteSeedEndsTheTuneAtEveryStep) {
    LevelCounter counter;
    counter.reset(4);
    EXPECT_TRUE(counter.step(1, 4));
    EXPECT_TRUE(counter.step(1, 4));
    EXPECT_EQ(value_at_counter(counter, std::vector<int>{5}, 4), 25);
    EXPECT_EQ(value_at_counter(counter, std::vector<int>{}, 4), 0);
    counter.reset(29);
    EXPECT_EQ(value_at_counter(counter, std::vector<int>{2000000000}, 29), 2147483647);
}

}  // namespace
}  // namespace corvane::engine
