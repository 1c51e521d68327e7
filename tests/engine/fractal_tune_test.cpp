#include "corvane/engine/fractal_tune.h"

#include <memory>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace corvane::engine {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

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

TEST_F(FractalTuneTest, EachNoteIsReplacedByTheSeedMovedToIt) {
    EXPECT_THAT(build({0, 1, 2, 1}, 0).notes(), ElementsAre(0, 1, 2, 1));
    EXPECT_THAT(build({0, 1, 2, 1}, 1).notes(),
                ElementsAre(0, 1, 2, 1, 1, 2, 3, 2, 2, 3, 4, 3, 1, 2, 3, 2));
    EXPECT_FALSE(tune_->tune_full || tune_->tune_truncated || tune_->tune_timed_out);
}

// Shifted up so that the lowest value is 0, never down; an empty seed still gives one note.
TEST_F(FractalTuneTest, IsShiftedSoThatItsLowestValueIsZero) {
    EXPECT_THAT(build({0, -1}, 1).notes(), ElementsAre(2, 1, 1, 0));
    EXPECT_THAT(build({2, 3}, 0).notes(), ElementsAre(2, 3));
    EXPECT_THAT(build({5}, 3).notes(), ElementsAre(20));
    EXPECT_THAT(build({}, 5).notes(), ElementsAre(0));
    EXPECT_FALSE(tune_->tune_full);
}

TEST_F(FractalTuneTest, ALongTuneFillsTheArrayAndSetsBothFullFlags) {
    const auto& tune = build({0, 1, 2, 1}, 6);  // 4^7 = 16384 notes
    EXPECT_EQ(tune.count, MaxTuneNotes);
    EXPECT_TRUE(tune.tune_full);
    EXPECT_TRUE(tune.tune_truncated);
    EXPECT_FALSE(tune.tune_timed_out);
    build({0, 1}, 29);  // 2^30 notes: stops at once all the same
    EXPECT_EQ(tune_->count, MaxTuneNotes);
}

TEST_F(FractalTuneTest, GivesUpAfterMoreThanASecondReadingTheClockEveryHundredNotes) {
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

TEST_F(FractalTuneTest, TheTuneLineEndsAtTheCurrentNotePlusTheLookAhead) {
    build({0, 1, 2, 1}, 1);  // 0 1 2 1 1 2 3 2 2 3 4 3 1 2 3 2
    const std::string line = tune_line_text(*tune_, 5, 2);
    EXPECT_TRUE(line.starts_with("Fractal tune:"));
    EXPECT_TRUE(line.ends_with("2 3 4 3 1 2 3 2 0 1 2 1 1 2 3 2 "));
    EXPECT_LE(line.size(), kTuneLineWidth);
    EXPECT_GT(line.size() + 2, kTuneLineWidth);  // no room for one more value
    EXPECT_EQ(tune_line_text(*tune_, 16 * 1000 + 5, 2), line);
}

TEST_F(FractalTuneTest, TheTuneLineWritesWideValuesWhole) {
    build({0, 12345}, 0);
    EXPECT_EQ(tune_line_text(*tune_, 1, 0), "Fractal tune:0 12345 0 12345 0 12345 0 12345 0 12345 0 12345 0 12345 ");
}

}  // namespace
}  // namespace corvane::engine
