#pragma once

// Keyboard mappings in the Scala layout (.kbm): which MIDI key plays which degree of a scale,
// and at what frequency the reference key sounds. The layout, after any "!" comment lines:
// the size of the repeating pattern, the first and last keys retuned, the middle key (where
// degree 0 sits), the reference key and its frequency, the degree that the pattern repeats
// at, then one line per key of the pattern: a degree, or "x" for a key left unmapped.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace corvane::tuning {

struct KeyboardMapping {
    int size = 0;  // keys in the repeating pattern; 0 maps each key to its own degree
    int first_key = 0;
    int last_key = 127;
    int middle_key = 60;
    int reference_key = 69;
    double reference_frequency = 440.0;
    int period_degree = 12;                     // the degree one pattern lies above the last
    std::vector<std::optional<int>> degrees;    // the pattern; a key past its end is unmapped

    bool operator==(const KeyboardMapping&) const = default;
};

// What a text that is no keyboard mapping lacks, naming the line.
struct KeyboardMappingError {
    std::string message;
};

[[nodiscard]] std::variant<KeyboardMapping, KeyboardMappingError> read_keyboard_mapping(std::string_view text);

// The scale degree key `key` plays, counted from the middle key; none where the key lies
// outside the retuned range or its place in the pattern is unmapped.
[[nodiscard]] std::optional<long> mapped_degree(const KeyboardMapping& mapping, int key);

// The frequency of `key` through `scale` (entries 0..n in increment form, entry n the
// period): the reference key sounds at the reference frequency and every other mapped key
// at its degree's ratio to the reference key's. None for an unmapped key, or for every key
// when the reference key itself is unmapped.
[[nodiscard]] std::optional<double> mapped_frequency(const KeyboardMapping& mapping, std::span<const double> scale,
                                                     int key);

}  // namespace corvane::tuning
