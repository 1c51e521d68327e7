#include "corvane/engine/channel_choice.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace corvane::engine {
namespace {

using ::testing::ElementsAre;

// One play of a rule from the state the row sets, and the channels it chooses in turn.
struct Play {
    const char* what;
    ChannelRule rule;
    int channels_in_play;
    std::vector<int> choices;  // height, level and the channel chosen, for each note
    std::string formula = "";  // empty: the rule's own
    int previous_channel = -1;  // -1: as the start of play left it
    std::vector<int> without_voice = {};
    int channel = 0;  // the composition's, which the player only reads
    std::int64_t steps = 0;
};

TEST(ChooseChannel, EachRuleTakesItsValueInClockArithmeticOverTheChannelsInPlay) {
    const Play plays[] = {
        {"height", ChannelRule::by_note_height, 3, {-1, 0, 2, 4, 0, 1}},
        // Channel 9 has no voice; counting goes from the channel number, not its position.
        {"time", ChannelRule::by_time, 12, {0, 0, 10, 0, 0, 12, 0, 0, 1}, "", 8},
        {"cumulative height", ChannelRule::by_cumulative_note_height, 4, {3, 0, 3, 2, 0, 1}},
        {"level", ChannelRule::by_level, 4, {7, 6, 2}},
        {"formula N+H+1 at T = 5, Y = 3", ChannelRule::formula, 3, {2, 0, 2}, "", -1, {}, 0, 5},
        {"formula of the level", ChannelRule::formula, 3, {0, 0, 0, 0, 1, 2, 0, 2, 1, 0, 3, 0}, "2*L"},
        // Channels 0, 2 and 3 in play: from 1 on, 2 is at position 1; 1 + 1 + 1 is position 0.
        {"old formula", ChannelRule::formula, 3, {1, 0, 0}, "old_other", 1, {1}},
        // One channel in play: the first with a voice from the composition's Channel on.
        {"one channel", ChannelRule::by_note_height, 1, {3, 0, 6}, "", -1, {5}, 5},
        {"one channel, none from it on", ChannelRule::by_note_height, 1, {3, 0, 0}, "", -1, {15}, 15},
    };
    for (const Play& play : plays) {
        SCOPED_TRACE(play.what);
        Composition c;
        select_channel_rule(c, static_cast<int>(play.rule));
        if (!play.formula.empty()) set_formula(c, play.formula);
        c.Channels_in_Play = play.channels_in_play;
        c.Channel = play.channel;
        for (const int silent : play.without_voice) c.Voices_for_channels[static_cast<std::size_t>(silent)] = -1;
        const Composition before = c;
        ChannelChooser chooser;
        start_channel_choice(c, chooser);
        if (play.previous_channel >= 0) chooser.previous_channel = play.previous_channel;
        const LevelCounter counter = LevelCounter::after_steps(play.steps, 3, c.Levels);
        for (std::size_t i = 0; i + 2 < play.choices.size(); i += 3) {
            EXPECT_EQ(choose_channel(c, chooser, counter, play.choices[i], play.choices[i + 1]), play.choices[i + 2]);
            EXPECT_EQ(chooser.channel_in_use, play.choices[i + 2]);
        }
        EXPECT_TRUE(c == before);
    }
}

TEST(ChooseChannel, WithNoChannelInPlayTheNoteIsARest) {
    Composition c;
    select_channel_rule(c, static_cast<int>(ChannelRule::formula));
    c.Channels_in_Play = 4;
    c.Voices_for_channels.fill(-1);
    ChannelChooser chooser{7, 7};
    EXPECT_EQ(choose_channel(c, chooser, LevelCounter{}, 3, 0), std::nullopt);
    EXPECT_EQ(chooser.channel_in_use, 7);
    EXPECT_EQ(chooser.previous_channel, 7);
}

// The formula rule starts from its first channel; the channel in use is the composition's
// Channel with one channel in play.
TEST(ChooseChannel, PlayStartsFromTheFormulasFirstChannel) {
    Composition c;
    c.ccbo_first_channel = 4;
    c.Channel = 6;
    select_channel_rule(c, static_cast<int>(ChannelRule::formula));
    c.Channels_in_Play = 3;
    ChannelChooser chooser;
    start_channel_choice(c, chooser);
    EXPECT_EQ(chooser.previous_channel, 4);
    EXPECT_EQ(chooser.channel_in_use, 0);
    select_channel_rule(c, static_cast<int>(ChannelRule::by_time));
    c.Channels_in_Play = 1;
    start_channel_choice(c, chooser);
    EXPECT_EQ(chooser.previous_channel, 0);
    EXPECT_EQ(chooser.channel_in_use, 6);
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
    select_channel_rule(c, 2);
    set_formula(c, "2*L");
    EXPECT_TRUE(plays_simultaneous_notes(c));  // ccbo_sym_chs stays on from rule 5
    c.ccbo_sym_chs = false;
    EXPECT_FALSE(plays_simultaneous_notes(c));
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
