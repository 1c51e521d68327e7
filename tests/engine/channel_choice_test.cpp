#include "corvane/engine/channel_choice.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace corvane::engine {
namespace {

using ::testing::ElementsAre;

class ChannelChoiceTest : public ::testing::Test {
protected:
    ChannelChoiceTest() { counter.reset(c.Levels); }

    void use_rule(ChannelRule rule, int channels_in_play) {
        select_channel_rule(c, static_cast<int>(rule));
        c.Channels_in_Play = channels_in_play;
        start_channel_choice(c, chooser);
    }
    std::optional<int> choose(std::int64_t height, int level = 0) {
        return choose_channel(c, chooser, counter, height, level);
    }

    Composition c;
    ChannelChooser chooser;
    LevelCounter counter;
};

TEST_F(ChannelChoiceTest, ByNoteHeightTakesTheHeightInClockArithmetic) {
    use_rule(ChannelRule::by_note_height, 3);
    EXPECT_EQ(choose(-1), 2);
    EXPECT_EQ(choose(4), 1);
    EXPECT_EQ(chooser.channel_in_use, 1);
    EXPECT_EQ(c.Channel, 0);  // the composition is only read
}

TEST_F(ChannelChoiceTest, ByTimeCountsFromTheChannelNumberNotItsPosition) {
    use_rule(ChannelRule::by_time, 12);  // channels 0..8 and 10..12: channel 9 has no voice
    chooser.previous_channel = 8;
    EXPECT_EQ(choose(0), 10);
    EXPECT_EQ(choose(0), 12);  // x = 11, position 11
    EXPECT_EQ(choose(0), 1);   // x = 13, position 1
}

TEST_F(ChannelChoiceTest, ByCumulativeHeightAndByLevel) {
    use_rule(ChannelRule::by_cumulative_note_height, 4);
    EXPECT_EQ(choose(3), 3);
    EXPECT_EQ(choose(2), 1);  // 3 + 2 = 5
    use_rule(ChannelRule::by_level, 4);
    EXPECT_EQ(choose(7, 6), 2);
}

TEST_F(ChannelChoiceTest, TheFormulaReadsTheNoteAndTheCounter) {
    use_rule(ChannelRule::formula, 3);
    EXPECT_EQ(c.sz_ccbo_formula, "N+H+1");
    counter = LevelCounter::after_steps(5, 3, c.Levels);  // T = 5, Y = 3: N = 2
    EXPECT_EQ(choose(2), 2);                              // 2 + 2 + 1 = 5, position 2
}

TEST_F(ChannelChoiceTest, AFormulaOfTheLevelPlaysEachLevelOnItsOwnChannel) {
    use_rule(ChannelRule::formula, 3);
    set_formula(c, "2*L");
    c.ccbo_sym_chs = true;
    EXPECT_TRUE(plays_simultaneous_notes(c));
    std::vector<int> channels;
    for (int level = 0; level < 4; ++level) channels.push_back(*choose(0, level));
    EXPECT_THAT(channels, ElementsAre(0, 2, 1, 0));
    c.ccbo_sym_chs = false;
    EXPECT_FALSE(plays_simultaneous_notes(c));
}

TEST_F(ChannelChoiceTest, TheOldFormulaStepsOnFromThePositionOfTheLastChannel) {
    use_rule(ChannelRule::formula, 3);
    set_formula(c, "old_other");
    c.Voices_for_channels[1] = -1;  // in play: 0, 2, 3
    chooser.previous_channel = 1;   // first in play from 1 on is 2, at position 1
    EXPECT_EQ(choose(1), 0);        // 1 + 1 + 1 = 3, position 0
}

TEST_F(ChannelChoiceTest, WithOneChannelInPlayTheUserPicksIt) {
    use_rule(ChannelRule::by_note_height, 1);
    c.Channel = 5;
    c.Voices_for_channels[5] = -1;
    EXPECT_EQ(choose(3), 6);
    c.Channel = 15;
    c.Voices_for_channels[15] = -1;
    EXPECT_EQ(choose(3), 0);  // none from 15 on: the first in play
}

TEST_F(ChannelChoiceTest, WithNoChannelInPlayTheNoteIsARest) {
    use_rule(ChannelRule::formula, 4);
    c.Voices_for_channels.fill(-1);
    c.Channel = 7;
    chooser.previous_channel = 7;
    chooser.channel_in_use = 7;
    EXPECT_EQ(choose(3), std::nullopt);
    EXPECT_EQ(chooser.channel_in_use, 7);
    EXPECT_EQ(chooser.previous_channel, 7);
}

TEST_F(ChannelChoiceTest, TheFormulaRuleStartsFromItsFirstChannel) {
    c.ccbo_first_channel = 4;
    use_rule(ChannelRule::formula, 3);
    EXPECT_EQ(chooser.previous_channel, 4);
    EXPECT_EQ(chooser.channel_in_use, 0);
    use_rule(ChannelRule::by_time, 3);
    EXPECT_EQ(chooser.previous_channel, 0);
}

TEST(Formula, ReplacesTheNineLettersInEitherCase) {
    const FormulaLetters letters{.N = 1, .T = 2, .S = 3, .P = 4, .M = 5, .Y = 6, .H = -7, .L = 8, .C = 9};
    EXPECT_EQ(evaluate_formula("N*100000000+T*10000000+S*1000000+P*100000+M*10000+Y*1000+L*10+C", letters).value,
              123456089);
    EXPECT_EQ(evaluate_formula("n+t+s+p+m+y+h+l+c", letters).value, 31);
    EXPECT_EQ(evaluate_formula("C-H", letters).value, 16);
    EXPECT_EQ(evaluate_formula("H/2", letters).value, -3);  // truncated toward zero
    EXPECT_EQ(evaluate_formula("2L", letters).value, 28);   // letters become digits in place
    EXPECT_TRUE(evaluate_formula("2*l", letters).uses_level);
    EXPECT_FALSE(evaluate_formula("N+1", letters).uses_level);
}

TEST(Formula, EndsTheTextWhereAReplacementWouldOverflowIt) {
    std::string formula;
    for (int i = 0; i < 145; ++i) formula += "1+";
    const FormulaLetters letters{.H = 1000000000000000};
    EXPECT_EQ(evaluate_formula(formula + "H", letters).value, 145);  // 290 + 16 digits > 300
    EXPECT_EQ(evaluate_formula(formula.substr(0, 270) + "H", letters).value, 135 + 1000000000000000);
}

TEST(SelectRule, WritesTheFormulaOfEachRuleAndItsOptions) {
    Composition c;
    const std::string formulas[] = {"H", "N", "N+H+1", "C+H", "L", "L"};
    for (int rule = 0; rule < kChannelRuleCount; ++rule) {
        c.Choose_channels_by = 0;
        c.ccbo_sym_chs = true;
        c.ccbo_multiple_notes_in_same_channel = false;
        ASSERT_TRUE(select_channel_rule(c, rule));
        EXPECT_EQ(c.Choose_channels_by, rule);
        EXPECT_EQ(c.sz_ccbo_formula, formulas[rule]) << rule;
        EXPECT_EQ(c.ccbo_sym_chs, rule == 2 || rule == 5) << rule;
        EXPECT_EQ(c.ccbo_multiple_notes_in_same_channel, rule != 2) << rule;
    }
    select_channel_rule(c, 2);
    set_formula(c, "T");
    select_channel_rule(c, 2);
    EXPECT_EQ(c.sz_ccbo_formula, "T");  // already the formula rule: kept
    EXPECT_FALSE(select_channel_rule(c, 6));
    EXPECT_TRUE(plays_simultaneous_notes(c) == false);
    select_channel_rule(c, 5);
    EXPECT_TRUE(plays_simultaneous_notes(c));
}

TEST(Status, NamesTheChannelOrHowManyPlay) {
    Composition c;
    c.Channel = 4;
    EXPECT_EQ(channels_in_play_status(c), "In play: channel 5 (highlighted in Channels window)");
    EXPECT_EQ(channels_window_status(c), "In play: highlighted channel");
    c.Channels_in_Play = 6;
    EXPECT_EQ(channels_in_play_status(c), "In play: first 6 channels with voices");
}

}  // namespace
}  // namespace corvane::engine
