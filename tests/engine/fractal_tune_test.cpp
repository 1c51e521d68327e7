#include "corvane/engine/fractal_tune.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include "corvane/engine/level_counter.h"

namespace corvane::engine {
namespace {

using ::testing::ElementsAre;

// Gives the start time at the first reading and `later_ms` at every reading after it.
class JumpingClock final : public platform::Clock {
public:
    explicit JumpingClock(std::int64_t later_ms) : later_ms_(later_ms) {}
    std::int64_t now_ms() const override { return readings_++ == 0 ? 0 : later_ms_; }
    int readings() const { return readings_; }

private:
    std::int64_t later_ms_;
    mutable int readings_ = 0;
};

class FractalTuneTest : public ::testing::Test {
protected:
    const FractalTune& build(std::vector<int> seed, int levels) {
        const platform::ManualClock clock;
        build_fractal_tune(*tune_, seed, levels, clock);
        return *tune_;
    }

    std::unique_ptr<FractalTune> tune_ = std::make_unique<FractalTune>();
};

// Each note is replaced by the seed moved to it, the tune shifted up to a lowest value of 0 (the
// level counter's property checks this for many seeds); an empty seed still gives one note.
TEST_F(FractalTuneTest, EachNoteIsReplacedByTheSeedMovedToItAndTheLowestValueIsZero) {
    EXPECT_THAT(build({0, -1}, 1).notes(), ElementsAre(2, 1, 1, 0));
    EXPECT_FALSE(tune_->tune_full || tune_->tune_truncated || tune_->tune_timed_out);
    EXPECT_THAT(build({2, 3}, 0).notes(), ElementsAre(2, 3));
    EXPECT_THAT(build({5}, 3).notes(), ElementsAre(20));
    EXPECT_THAT(build({}, 5).notes(), ElementsAre(0));
}

// A long tune fills the array; building gives up after more than a second, reading the clock
// every hundred notes.
TEST_F(FractalTuneTest, ALongTuneFillsTheArrayAndALongBuildGivesUp) {
    const auto& tune = build({0, 1, 2, 1}, 6);  // 4^7 = 16384 notes
    EXPECT_EQ(tune.count, MaxTuneNotes);
    EXPECT_TRUE(tune.tune_full);
    EXPECT_TRUE(tune.tune_truncated);
    EXPECT_FALSE(tune.tune_timed_out);
    build({0, 1}, 29);  // 2^30 notes: stops at once all the same
    EXPECT_EQ(tune_->count, MaxTuneNotes);

    JumpingClock slow(1001);
    build_fractal_tune(*tune_, std::vector<int>{0, 1, 2, 1}, 6, slow);
    EXPECT_TRUE(tune_->tune_timed_out);
    EXPECT_EQ(tune_->count, 100);
    EXPECT_FALSE(tune_->tune_full);

    JumpingClock on_time(1000);
    build_fractal_tune(*tune_, std::vector<int>{0, 1, 2, 1}, 4, on_time);  // 1024 notes
    EXPECT_FALSE(tune_->tune_timed_out);
    EXPECT_EQ(tune_->count, 1024);
    EXPECT_EQ(on_time.readings(), 1 + 10);
}

// The line ends at the current note plus the look-ahead, writes wide values whole and is
// filled up to its width.
TEST_F(FractalTuneTest, TheTuneLineEndsAtTheCurrentNotePlusTheLookAhead) {
    build({0, 1, 2, 1}, 1);  // 0 1 2 1 1 2 3 2 2 3 4 3 1 2 3 2
    const std::string line = tune_line_text(*tune_, 5, 2);
    EXPECT_TRUE(line.starts_with("Fractal tune:"));
    EXPECT_TRUE(line.ends_with("2 3 4 3 1 2 3 2 0 1 2 1 1 2 3 2 "));
    EXPECT_LE(line.size(), kTuneLineWidth);
    EXPECT_GT(line.size() + 2, kTuneLineWidth);  // no room for one more value
    EXPECT_EQ(tune_line_text(*tune_, 16 * 1000 + 5, 2), line);
    build({0, 12345}, 0);
    EXPECT_EQ(tune_line_text(*tune_, 1, 0), "Fractal tune:0 12345 0 12345 0 12345 0 12345 0 12345 0 12345 0 12345 ");
    build({0, 10}, 0);  // values that fill the line to exactly its width all fit
    const std::string full = tune_line_text(*tune_, 2, 0);
    EXPECT_EQ(full, "Fractal tune:0 10 0 10 0 10 0 10 0 10 0 10 0 10 0 10 0 10 0 10 0 10 0 ");
    EXPECT_EQ(full.size(), kTuneLineWidth);
}

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

// A digit beyond the seed (an empty seed) counts 0; values stay within 32 bits.
TEST(LevelCounter, ValuesOfAnEmptySeedAreZeroAndLargeOnesAreHeldWithinAnInt) {
    LevelCounter counter;
    counter.reset(29);
    EXPECT_EQ(value_at_counter(counter, std::vector<int>{}, 29), 0);
    EXPECT_EQ(value_at_counter(counter, std::vector<int>{2000000000}, 29), 2147483647);
}

}  // namespace
}  // namespace corvane::engine
