#include "corvane/tuning/temperament.h"

#include <array>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

namespace corvane::tuning {
namespace {

double cents(double increment) { return 1200.0 * std::log2(increment + 1.0); }

TEST(EqualTemperament, StepsTakenIntoOneTo999) {
    const GeneratedScale scale = make_equal_temperament(12);
    ASSERT_EQ(scale.entries.size(), 13u);
    EXPECT_EQ(scale.entries[0], 0.0);
    EXPECT_NEAR(scale.entries[7], std::exp2(7.0 / 12.0) - 1.0, 1e-15);
    EXPECT_NEAR(scale.entries[12], 1.0, 1e-15);
    EXPECT_EQ(scale.title, "12-tone equal temperament");
    EXPECT_EQ(make_equal_temperament(5000).entries.size(), 1000u);
    EXPECT_EQ(make_equal_temperament(5000).title, "999-tone equal temperament");
    const GeneratedScale one = make_equal_temperament(0);
    ASSERT_EQ(one.entries.size(), 2u);
    EXPECT_NEAR(one.entries[1], 1.0, 1e-15);
    EXPECT_EQ(one.title, "1-tone equal temperament");
}

TEST(MeanTone, PythagoreanFifthsWithTheWolfOnGSharp) {
    const GeneratedScale scale = make_mean_tone(0.0, 8, {});
    ASSERT_EQ(scale.entries.size(), 13u);
    EXPECT_DOUBLE_EQ(scale.entries[7], 0.5);         // G 3/2
    EXPECT_DOUBLE_EQ(scale.entries[2], 1.0 / 8);     // D 9/8
    EXPECT_DOUBLE_EQ(scale.entries[5], 1.0 / 3);     // F 4/3, down the chain
    EXPECT_DOUBLE_EQ(scale.entries[3], 32.0 / 27 - 1);  // E flat, the end of the wolf
    EXPECT_DOUBLE_EQ(scale.entries[8], 6561.0 / 4096 - 1);  // G sharp, the start of the wolf
    EXPECT_EQ(scale.entries[12], 1.0);
    EXPECT_EQ(scale.title, "0 comma Mean-tone");
}

TEST(MeanTone, QuarterCommaMatchesTheBuiltInTableWhereverTheWolfNoteIsWritten) {
    const GeneratedScale scale = make_mean_tone(0.25, 8, {});
    EXPECT_NEAR(scale.entries[4], 0.25, 1e-12);  // a pure 5/4
    EXPECT_NEAR(scale.entries[8], 25.0 / 16 - 1, 1e-12);
    EXPECT_EQ(scale.title, "1/4 comma Mean-tone");
    const std::array<double, 12> builtin_cents{0,       76.049,  193.157, 310.265, 386.314, 503.422,
                                               579.471, 696.578, 772.627, 889.735, 1006.84, 1082.89};
    for (std::size_t i = 0; i < builtin_cents.size(); ++i) {
        EXPECT_NEAR(cents(scale.entries[i]), builtin_cents[i], i < 10 ? 0.001 : 0.01) << "entry " << i;
    }
    // The wolf note is taken into the octave.
    EXPECT_EQ(make_mean_tone(0.25, 8 + 12, {}).entries, scale.entries);
    EXPECT_EQ(make_mean_tone(0.25, 8 - 12, {}).entries, scale.entries);
}

TEST(MeanTone, WolfFifthLiesBetweenTheWolfNoteAndTheFifthAboveIt) {
    const GeneratedScale scale = make_mean_tone(0.25, 1, {});  // wolf from C sharp to G sharp
    const auto fifth_cents = [&](int from) {
        const double up = cents(scale.entries[static_cast<std::size_t>((from + 7) % 12)]);
        const double lower = cents(scale.entries[static_cast<std::size_t>(from)]);
        return std::fmod(up - lower + 1200.0, 1200.0);
    };
    const double tempered = 1200.0 * std::log2(1.5 / std::pow(81.0 / 80.0, 0.25));
    for (int note = 0; note < 12; ++note) {
        if (note == 1) {
            EXPECT_GT(std::fabs(fifth_cents(note) - tempered), 30.0);
        } else {
            EXPECT_NEAR(fifth_cents(note), tempered, 1e-9) << "fifth from " << note;
        }
    }
}

BeatsSettings beats_settings(int max_harmonic, int max_beats, int sig_figs = 5) {
    BeatsSettings settings;
    settings.beats_max_harmonic = max_harmonic;
    settings.beats_max_beats = max_beats;
    settings.beats_sig_figs = sig_figs;
    return settings;
}

constexpr const char* kKeyLines =
    "Key:\r\nbeats  harmonic  (harmonic of upper note)  freq of harmonic  freq of upper note harmonic.\r\n";

// The text and the lines kept for the window.
TEST(Beats, FifthAt440HzBeatsOnlyAtTheThirdHarmonic) {
    const BeatsReport report = show_beats(1.0, 1.5, 440.0, beats_settings(3, 10), {});
    EXPECT_EQ(report.text, std::string("Frequencies 440 Hz, 660 Hz.\r\n"
                                       "Difference tone 220 Hz, ratio from lowest note 1/2\r\n"
                                       "Beats for all harmonics up to 3 and up to 10 beats per sec.\r\n"
                                       "0\t3rd\t(2nd)\t1320 Hz\t1320 Hz\r\n") +
                               kKeyLines);
    ASSERT_TRUE(report.first_rate.has_value());
    EXPECT_EQ(*report.first_rate, 0.0);
    ASSERT_EQ(report.lines.size(), 1u);
    EXPECT_EQ(report.lines[0].harmonic, 3);
    EXPECT_EQ(report.lines[0].upper_harmonic, 2);
    EXPECT_EQ(report.lines[0].rate, 0.0);
    EXPECT_DOUBLE_EQ(report.lines[0].harmonic_frequency, 1320.0);
    EXPECT_DOUBLE_EQ(report.lines[0].upper_frequency, 1320.0);
}

TEST(Beats, WideLimitListsEveryHarmonicWithItsNearestUpperHarmonic) {
    const BeatsReport report = show_beats(1.0, 1.5, 440.0, beats_settings(2, 300), {});
    EXPECT_NE(report.text.find("220\t1st\t(1st)\t440 Hz\t660 Hz\r\n"), std::string::npos) << report.text;
    // 880 lies 220 from both 660 and 1320: the lower harmonic of the upper note is kept.
    EXPECT_NE(report.text.find("220\t2nd\t(1st)\t880 Hz\t660 Hz\r\n"), std::string::npos) << report.text;
    EXPECT_EQ(*report.first_rate, 220.0);
}

TEST(Beats, SlightlyMistunedUnisonShowsSignificantFigures) {
    // 440 and 441 Hz: the nth harmonics beat n times a second.
    const BeatsReport report = show_beats(1.0, 441.0 / 440.0, 440.0, beats_settings(3, 2, 3), {});
    EXPECT_EQ(report.text, std::string("Frequencies 440 Hz, 441 Hz.\r\n"
                                       "Difference tone 1 Hz, ratio from lowest note 1/440\r\n"
                                       "Beats for all harmonics up to 3 and up to 2 beats per sec.\r\n"
                                       "1\t1st\t(1st)\t440 Hz\t441 Hz\r\n"
                                       "2\t2nd\t(2nd)\t880 Hz\t882 Hz\r\n") +
                               kKeyLines);
    EXPECT_NEAR(*report.first_rate, 1.0, 1e-9);
}

// With no harmonics the text is the header and the key; the window says so. A difference ratio
// written in cents says "cents" in the window, and the text of the scale window keeps the bare number.
TEST(Beats, NoHarmonicsGivesOnlyTheHeader) {
    const BeatsReport report = show_beats(1.0, 1.5, 440.0, beats_settings(0, 10), {});
    EXPECT_EQ(report.text,
              std::string("Frequencies 440 Hz, 660 Hz.\r\n"
                          "Difference tone 220 Hz, ratio from lowest note 1/2\r\n"
                          "Beats for all harmonics up to 0 and up to 10 beats per sec.\r\n") +
                  kKeyLines);
    EXPECT_FALSE(report.first_rate.has_value());
    EXPECT_EQ(beats_window_text(1.0, 1.5, 440.0, beats_settings(0, 10), {}, true),
              "Frequencies 440 Hz, 660 Hz.\n"
              "Difference tone 220 Hz, ratio from lowest note 1/2\n"
              "Beats for all harmonics up to 0 and up to 10 beats per sec.\n"
              "\n"
              "No harmonics beat within these limits.\n");
    PitchFormat in_cents;
    in_cents.show_cents = true;
    in_cents.show_cents_or_small_ratios = false;
    const std::string text = beats_window_text(1.0, 1.5, 440.0, beats_settings(0, 10), in_cents, true);
    EXPECT_NE(text.find("Difference tone 220 Hz, ratio from lowest note -1200 cents\n"), std::string::npos) << text;
    EXPECT_NE(show_beats(1.0, 1.5, 440.0, beats_settings(0, 10), in_cents).text.find("lowest note -1200\r\n"),
              std::string::npos);
}

TEST(BeatsWindow, AJustFifthBeatsNowhereAndEveryNumberHasItsUnit) {
    EXPECT_EQ(beats_window_text(1.0, 1.5, 261.6, beats_settings(6, 20), {}, true),
              "Frequencies 261.6 Hz, 392.4 Hz.\n"
              "Difference tone 130.8 Hz, ratio from lowest note 1/2\n"
              "Beats for all harmonics up to 6 and up to 20 beats per sec.\n"
              "\n"
              "    Beats  Harmonic  (upper's)  Harmonic at  Upper's at    Apart\n"
              "0 beats/s       3rd      (2nd)     784.8 Hz    784.8 Hz  0 cents\n"
              "0 beats/s       6th      (4th)    1569.6 Hz   1569.6 Hz  0 cents\n");
}

TEST(BeatsWindow, AnEqualTemperedFifthBeatsInColumnsWithoutTheDifferenceTone) {
    EXPECT_EQ(beats_window_text(1.0, std::exp2(7.0 / 12), 261.6, beats_settings(6, 20), {}, false),
              "Frequencies 261.6 Hz, 391.96 Hz.\n"
              "Beats for all harmonics up to 6 and up to 20 beats per sec.\n"
              "\n"
              "          Beats  Harmonic  (upper's)  Harmonic at   Upper's at        Apart\n"
              "0.88574 beats/s       3rd      (2nd)     784.8 Hz  783.9143 Hz  1.955 cents\n"
              " 1.7715 beats/s       6th      (4th)    1569.6 Hz  1567.829 Hz  1.955 cents\n");
}

TEST(Ordinal, EnglishSuffixes) {
    std::string written;
    for (const int n : {1, 2, 3, 4, 11, 12, 13, 21, 22, 23, 101, 111, 112, 113}) written += ordinal(n) + " ";
    EXPECT_EQ(written, "1st 2nd 3rd 4th 11th 12th 13th 21st 22nd 23rd 101st 111th 112th 113th ");
}

}  // namespace
}  // namespace corvane::tuning
