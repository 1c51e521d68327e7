#include "corvane/engine/channel_choice.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "corvane/engine/degree_mapping.h"
#include "corvane/tuning/step_list.h"

namespace corvane::engine {
namespace {

using tuning::NoteAndBend;

class DegreeMappingTest : public ::testing::Test {
protected:
    ValuePitch pitch(long value) { return pitch_of_value(value, c, voices, 0); }
    // The note shifted as channel 2 is.
    NoteAndBend shifted(ShiftMode mode, int shift, NoteAndBend nb = {60, 9000}) {
        c.shift_by_octave_or_arpeggio = static_cast<int>(mode);
        c.Octave_shifts_for_channels[2] = shift;
        return channel_shift(nb, 2, c);
    }
    static double pitch_of(NoteAndBend nb) { return tuning::midi_pitch_of(nb); }

    Composition c;  // pentatonic over the equal-tempered semitone, lowest note middle C
    tuning::ModeVoices voices{};
};

// Values walk the pentatonic arpeggio into other octaves; following the scale, or with an
// arpeggio of one entry, a value is its degree.
TEST_F(DegreeMappingTest, PentatonicValuesWalkTheArpeggioAndFollowingTheScaleValuesAreDegrees) {
    c.Frequency_of_lowest_note = 261.63;
    const struct {
        long value;
        long degree;
        int note;
    } cases[] = {{0, 0, 60}, {5, 12, 72}, {-1, -3, 57}, {7, 16, 76}, {-5, -12, 48}, {-6, -15, 45}};
    for (const auto& [value, degree, note] : cases) {
        const ValuePitch p = pitch(value);
        EXPECT_EQ(p.degree, degree) << value;
        EXPECT_EQ(p.note_and_bend.note, note) << value;
        EXPECT_NEAR(p.note_and_bend.bend, 8192, 2) << value;
        EXPECT_EQ(pitch_to_note_and_bend(value, c, voices, 0).note, note);
    }
    c.Use_ratios = true;
    EXPECT_EQ(pitch(7).degree, 7);
    EXPECT_EQ(pitch(7).note_and_bend.note, 67);
    c.Use_ratios = false;
    c.Arpeggio = tuning::read_step_list("", tuning::ListNotation::absolute);
    EXPECT_EQ(pitch(-4).degree, -4);
}

// Octaves and arpeggio degrees keep the bend; nothing moves without a shift or on another
// channel. Modulation moves by the ratio of a scale or arpeggio degree, kept within MIDI; an
// arpeggio shift moves by whole arpeggios, or scale periods when the arpeggio follows the scale.
TEST_F(DegreeMappingTest, ChannelsShiftByOctavesArpeggiosOrModulation) {
    const auto note_and_bend = [](NoteAndBend nb) { return std::pair(nb.note, nb.bend); };
    EXPECT_EQ(note_and_bend(shifted(ShiftMode::octave, -1)), std::pair(48, 9000));
    EXPECT_EQ(note_and_bend(shifted(ShiftMode::arpeggio_degree, 7)), std::pair(67, 9000));
    EXPECT_EQ(shifted(ShiftMode::octave, 0).note, 60);
    c.Octave_shifts_for_channels[2] = 3;
    EXPECT_EQ(channel_shift({60, 9000}, 1, c).note, 60);
    EXPECT_EQ(channel_shift({60, 9000}, 16, c).note, 60);

    EXPECT_NEAR(pitch_of(shifted(ShiftMode::modulate_by_degree, 7, {60, 8192})), 67, 1e-3);
    EXPECT_EQ(shifted(ShiftMode::modulate_by_degree, 7, {125, 8192}).note, 127);
    // Degree 2 of the pentatonic arpeggio is scale degree 4; the whole table is one cycle.
    EXPECT_NEAR(pitch_of(shifted(ShiftMode::modulate_by_arpeggio_degree, 2, {60, 8192})), 64, 1e-3);
    EXPECT_NEAR(pitch_of(shifted(ShiftMode::modulate_by_arpeggio_degree, 6, {60, 8192})), 74, 1e-3);

    EXPECT_NEAR(pitch_of(shifted(ShiftMode::arpeggio, 1, {60, 8192})), 72, 1e-3);
    c.Arpeggio = tuning::read_step_list("0 2 4 7", tuning::ListNotation::absolute);
    EXPECT_NEAR(pitch_of(shifted(ShiftMode::arpeggio, 2, {60, 8192})), 74, 1e-3);
    c.Use_ratios = true;
    c.Intervals = {0.0, 0.5};  // period 3/2
    EXPECT_NEAR(pitch_of(shifted(ShiftMode::arpeggio, 1, {60, 8192})), 60 + 12 * std::log2(1.5), 1e-3);
}

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

// The formula rule starts from its first channel; the channel in use is the composition's
// Channel with one channel in play. With no channel in play a note is a rest.
TEST(ChooseChannel, PlayStartsFromTheFormulasFirstChannelAndWithoutChannelsInPlayNotesAreRests) {
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
    c.Voices_for_channels[6] = 0;  // program 0, a piano, is a voice like any other
    EXPECT_EQ(choose_channel(c, chooser, LevelCounter{}, 3, 0), 6);

    select_channel_rule(c, static_cast<int>(ChannelRule::formula));
    c.Channels_in_Play = 4;
    c.Voices_for_channels.fill(-1);
    chooser = ChannelChooser{7, 7};
    EXPECT_EQ(choose_channel(c, chooser, LevelCounter{}, 3, 0), std::nullopt);
    EXPECT_EQ(chooser.channel_in_use, 7);
    EXPECT_EQ(chooser.previous_channel, 7);
}

// Letters become digits in place, in either case; a replacement that would overflow the text
// of 300 characters ends it there.
TEST(Formula, ReplacesTheNineLettersInEitherCase) {
    const FormulaLetters letters{.N = 1, .T = 2, .S = 3, .P = 4, .M = 5, .Y = 6, .H = -7, .L = 8, .C = 9};
    EXPECT_EQ(evaluate_formula("N*100000000+T*10000000+S*1000000+P*100000+M*10000+Y*1000+L*10+C", letters).value,
              123456089);
    EXPECT_EQ(evaluate_formula("n+t+s+p+m+y+h+l+c", letters).value, 31);
    EXPECT_EQ(evaluate_formula("C-H", letters).value, 16);
    EXPECT_EQ(evaluate_formula("H/2", letters).value, -3);  // truncated toward zero
    EXPECT_EQ(evaluate_formula("2L", letters).value, 28);
    EXPECT_TRUE(evaluate_formula("2*l", letters).uses_level);
    EXPECT_FALSE(evaluate_formula("N+1", letters).uses_level);
    std::string formula;
    for (int i = 0; i < 145; ++i) formula += "1+";
    const FormulaLetters huge{.H = 1000000000000000};
    EXPECT_EQ(evaluate_formula(formula + "H", huge).value, 145);  // 290 + 16 digits > 300
    EXPECT_EQ(evaluate_formula(formula.substr(0, 270) + "H", huge).value, 135 + 1000000000000000);
}

// Selecting the formula rule again keeps its formula. Rule 5 plays the levels together, as does
// a formula of the level with one note per channel. The status names the channel, or how many.
TEST(SelectRule, WritesTheFormulaOfEachRuleAndItsOptions) {
    Composition c;
    const std::string formulas[] = {"H", "N", "N+H+1", "C+H", "L", "L"};
    for (int rule = 0; rule < kChannelRuleCount; ++rule) {
        c.ccbo_sym_chs = true;
        c.ccbo_multiple_notes_in_same_channel = false;
        ASSERT_TRUE(select_channel_rule(c, rule));
        EXPECT_EQ(c.Choose_channels_by, rule);
        EXPECT_EQ(c.sz_ccbo_formula, formulas[rule]) << rule;
        EXPECT_EQ(c.ccbo_sym_chs, rule == 2 || rule == 5) << rule;
        EXPECT_EQ(c.ccbo_multiple_notes_in_same_channel, rule != 2) << rule;
        EXPECT_EQ(plays_simultaneous_notes(c), rule == 5) << rule;
    }
    EXPECT_FALSE(select_channel_rule(c, 6));
    select_channel_rule(c, 2);
    set_formula(c, "2*L");
    select_channel_rule(c, 2);
    EXPECT_EQ(c.sz_ccbo_formula, "2*L");
    EXPECT_TRUE(plays_simultaneous_notes(c));  // ccbo_sym_chs stays on from rule 5
    c.ccbo_sym_chs = false;
    EXPECT_FALSE(plays_simultaneous_notes(c));
    c.Channel = 4;
    c.Channels_in_Play = 1;
    EXPECT_EQ(channels_in_play_status(c), "In play: channel 5 (highlighted in Channels window)");
    EXPECT_EQ(channels_window_status(c), "In play: highlighted channel");
    c.Channels_in_Play = 6;
    EXPECT_EQ(channels_in_play_status(c), "In play: first 6 channels with voices");
}

}  // namespace
}  // namespace corvane::engine
