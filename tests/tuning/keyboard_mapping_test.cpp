// Keyboard mappings read from the Scala layout, and the keys they tune through a scale.
#include "corvane/tuning/keyboard_mapping.h"

#include <cmath>

#include <gtest/gtest.h>

#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/pitch_mapping.h"

namespace corvane::tuning {
namespace {

KeyboardMapping mapping_of(std::string_view text) {
    auto read = read_keyboard_mapping(text);
    EXPECT_TRUE(std::holds_alternative<KeyboardMapping>(read)) << std::get<KeyboardMappingError>(read).message;
    return std::holds_alternative<KeyboardMapping>(read) ? std::get<KeyboardMapping>(read) : KeyboardMapping{};
}

std::string error_of(std::string_view text) {
    const auto read = read_keyboard_mapping(text);
    return std::holds_alternative<KeyboardMappingError>(read) ? std::get<KeyboardMappingError>(read).message : "read";
}

std::vector<double> scale_of(std::string_view ratios) {
    return read_pitch_list(ratios, PitchForm::ratio, ListNotation::absolute, kMiddleCFrequency).entries;
}

// A white-key mapping of a 7-note scale, as the Scala archive writes them: comments, a value
// and its comment on one line, "x" for the black keys, CR LF line ends.
constexpr std::string_view kWhiteKeys =
    "! whitekeys.kbm\r\n! Map size:\r\n12\r\n! First and last key:\r\n0\r\n127\r\n! Middle note:\r\n60\r\n"
    "! Reference note and frequency:\r\n69\r\n440.0 ! A above middle C\r\n! Formal octave:\r\n7\r\n! Mapping:\r\n"
    "0\r\nx\r\n1\r\nx\r\n2\r\n3\r\nx\r\n4\r\nx\r\n5\r\nx\r\n6\r\n";

TEST(KeyboardMapping, ReadsTheHeaderAndThePatternWithUnmappedKeys) {
    const KeyboardMapping m = mapping_of(kWhiteKeys);
    // Size, first and last key, middle key, reference key and frequency, period, pattern.
    EXPECT_EQ(m, (KeyboardMapping{12, 0, 127, 60, 69, 440.0, 7, {0, {}, 1, {}, 2, 3, {}, 4, {}, 5, {}, 6}}));
    // White keys walk the degrees, a pattern higher by the period; black keys play nothing. The B
    // below middle C is degree 6 of the pattern below.
    const std::pair<int, std::optional<int>> keys_and_degrees[] = {
        {60, 0}, {62, 1}, {61, std::nullopt}, {72, 7}, {59, -1}, {48, -7}};
    for (const auto& [key, degree] : keys_and_degrees) EXPECT_EQ(mapped_degree(m, key), degree) << key;
}

// The reference key sounds at its frequency; the others at their degree's ratio to it.
TEST(KeyboardMapping, KeysSoundAtTheirDegreesRatioToTheReferenceKey) {
    const auto major = scale_of("1 9/8 5/4 4/3 3/2 5/3 15/8 2");
    const KeyboardMapping m = mapping_of(kWhiteKeys);
    EXPECT_DOUBLE_EQ(*mapped_frequency(m, major, 69), 440.0);
    EXPECT_DOUBLE_EQ(*mapped_frequency(m, major, 60), 440.0 * 3 / 5);
    EXPECT_DOUBLE_EQ(*mapped_frequency(m, major, 64), 440.0 * 3 / 5 * 5 / 4);
    EXPECT_DOUBLE_EQ(*mapped_frequency(m, major, 81), 880.0);
    EXPECT_DOUBLE_EQ(*mapped_frequency(m, major, 47), 440.0 * 3 / 5 * 15 / 8 / 4);
    EXPECT_EQ(mapped_frequency(m, major, 61), std::nullopt);

    // Size 0: every key its own degree, here of 19 equal steps, within the retuned range.
    const KeyboardMapping linear = mapping_of("0\n21\n108\n60\n60\n261.6255653\n19\n");
    const auto nineteen = scale_of("1 n(1/19)");
    EXPECT_NEAR(*mapped_frequency(linear, nineteen, 79), 261.6255653 * 2, 1e-9);
    EXPECT_NEAR(*mapped_frequency(linear, nineteen, 61), 261.6255653 * std::exp2(1.0 / 19), 1e-9);
    EXPECT_EQ(mapped_frequency(linear, nineteen, 20), std::nullopt);
    EXPECT_EQ(mapped_frequency(linear, nineteen, 109), std::nullopt);
}

// Fewer mapping lines than the size leave the rest unmapped; an unmapped reference key
// tunes nothing; lines past the pattern are not read.
TEST(KeyboardMapping, AShortPatternLeavesKeysUnmappedAndAnUnmappedReferenceTunesNothing) {
    const KeyboardMapping short_pattern = mapping_of("4\n0\n127\n60\n60\n100\n3\n0\n2\n");
    EXPECT_EQ(short_pattern.degrees, (std::vector<std::optional<int>>{0, 2}));
    EXPECT_EQ(mapped_degree(short_pattern, 65), 5);
    EXPECT_EQ(mapped_degree(short_pattern, 62), std::nullopt);
    const KeyboardMapping unmapped_reference = mapping_of("2\n0\n127\n60\n61\n440\n1\n0\nx\nnot read\n");
    EXPECT_EQ(mapped_degree(unmapped_reference, 60), 0);
    EXPECT_EQ(mapped_frequency(unmapped_reference, scale_of("1 2"), 60), std::nullopt);
}

TEST(KeyboardMapping, ATextThatIsNoMappingSaysWhatItLacksAndWhere) {
    EXPECT_EQ(error_of(""), "the mapping ends before the size of the pattern");
    EXPECT_EQ(error_of("12\n0\n127\n60\n69\n"), "the mapping ends before the reference frequency");
    EXPECT_EQ(error_of("! c\n12\n0\n128\n60\n69\n440\n12\n"),
              "line 4: \"128\" is not a whole number from 0 to 127 for the last key retuned");
    EXPECT_EQ(error_of("twelve\n0\n127\n60\n69\n440\n12\n"),
              "line 1: \"twelve\" is not a whole number from 0 to 1024 for the size of the pattern");
    EXPECT_EQ(error_of("12\n0\n127\n60\n69\n-440\n12\n"),
              "line 6: \"-440\" is not a frequency above 0 Hz for the reference frequency");
    EXPECT_EQ(error_of("12\n0\n127\n60\n69\n440\n1.5\n"),
              "line 7: \"1.5\" is not a whole number for the degree of the period");
    EXPECT_EQ(error_of("12\n100\n20\n60\n69\n440\n12\n"), "line 3: the last key retuned lies below the first");
    EXPECT_EQ(error_of("2\n0\n127\n60\n69\n440\n12\n0\ny\n"), "line 9: \"y\" is not a scale degree or \"x\"");
}

}  // namespace
}  // namespace corvane::tuning
