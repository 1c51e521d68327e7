#include "corvane/engine/level_counter.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "corvane/engine/fractal_tune.h"

namespace corvane::engine {
namespace {

using ::testing::ElementsAre;

TEST(LevelCounter, WalksTheSameSequenceAsTheArrayOverAFullCycle) {
    const std::vector<int> seed{0, 2, -1, 1};
    const int levels = 3;  // 256 notes
    auto tune = std::make_unique<FractalTune>();
    build_fractal_tune(*tune, seed, levels, platform::ManualClock{});
    ASSERT_EQ(tune->count, 256);

    LevelCounter counter;
    counter.reset(levels);
    std::vector<int> walked{value_at_counter(counter, seed, levels)};
    int ended_at = -1;
    for (int k = 1; k <= 256; ++k) {
        if (counter.step(static_cast<int>(seed.size()), levels) && ended_at < 0) ended_at = k;
        walked.push_back(value_at_counter(counter, seed, levels));
    }
    EXPECT_EQ(ended_at, 256);
    const int lowest = *std::min_element(walked.begin(), walked.end());
    for (int k = 0; k < 256; ++k) EXPECT_EQ(walked[static_cast<std::size_t>(k)] - lowest, tune->values[static_cast<std::size_t>(k)]) << k;
    EXPECT_EQ(walked[256], walked[0]);
    EXPECT_EQ(counter.NoteStepCount, 256);
    EXPECT_EQ(counter.SeedCycleCount, 64);
}

TEST(LevelCounter, TellsWhichLevelsStartANewNote) {
    LevelCounter counter;
    counter.reset(2);
    std::vector<int> changed{counter.ChangedLevel};  // the first note starts every level
    for (int k = 0; k < 8; ++k) {
        counter.step(2, 2);
        changed.push_back(counter.ChangedLevel);
    }
    EXPECT_THAT(changed, ElementsAre(2, 0, 1, 0, 2, 0, 1, 0, 2));
    EXPECT_TRUE(counter.tune_ended);
}

TEST(LevelCounter, CountsSeedsAndThePositionInTheSeed) {
    LevelCounter counter;
    counter.reset(1);
    std::vector<std::int64_t> positions{counter.SeedPosition};
    for (int k = 0; k < 7; ++k) {
        counter.step(3, 1);
        positions.push_back(counter.SeedPosition);
    }
    EXPECT_THAT(positions, ElementsAre(0, 1, 2, 0, 1, 2, 0, 1));
    EXPECT_EQ(counter.SeedCycleCount, 2);
    EXPECT_EQ(counter.NoteStepCount, 7);
}

TEST(LevelCounter, AOneNoteSeedEndsTheTuneAtEveryStep) {
    LevelCounter counter;
    counter.reset(4);
    EXPECT_TRUE(counter.step(1, 4));
    EXPECT_TRUE(counter.step(1, 4));
    EXPECT_EQ(value_at_counter(counter, std::vector<int>{5}, 4), 25);
    EXPECT_EQ(value_at_counter(counter, std::vector<int>{}, 4), 0);
}

TEST(LevelCounter, JumpingAheadMatchesStepping) {
    for (const int n : {2, 3, 7}) {
        LevelCounter stepped;
        stepped.reset(4);
        for (std::int64_t k = 1; k <= 3000; ++k) {
            stepped.step(n, 4);
            if (k % 97 != 0 && k != n * n * n * n * n) continue;
            const LevelCounter jumped = LevelCounter::after_steps(k, n, 4);
            EXPECT_EQ(jumped.digits, stepped.digits) << n << " " << k;
            EXPECT_EQ(jumped.ChangedLevel, stepped.ChangedLevel) << n << " " << k;
            EXPECT_EQ(jumped.SeedCycleCount, stepped.SeedCycleCount);
            EXPECT_EQ(jumped.SeedPosition, stepped.SeedPosition);
            EXPECT_EQ(jumped.tune_ended, stepped.tune_ended);
        }
    }
}

TEST(LevelCounter, ValuesStayWithinThirtyTwoBits) {
    LevelCounter counter;
    counter.reset(29);
    EXPECT_EQ(value_at_counter(counter, std::vector<int>{2000000000}, 29), 2147483647);
}

}  // namespace
}  // namespace corvane::engine
