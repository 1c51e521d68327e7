#include "corvane/tuning/keyboard_mapping.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "corvane/tuning/pitch_mapping.h"
#include "corvane/tuning/text_lines.h"

namespace corvane::tuning {
namespace {

constexpr int kHighestKey = 127;
constexpr int kLargestPattern = 1024;

// A value line's value: its first word (the rest of the line is a comment).
std::string_view first_word(std::string_view line) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) return {};
    const std::size_t end = line.find_first_of(" \t", start);
    return line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

bool is_comment_or_blank(std::string_view line) {
    const std::string_view word = first_word(line);
    return word.empty() || word.front() == '!';
}

std::optional<int> whole_number(std::string_view word) {
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc{} || end != word.data() + word.size()) return std::nullopt;
    return value;
}

std::optional<double> positive_number(std::string_view word) {
    double value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc{} || end != word.data() + word.size() || !std::isfinite(value) || value <= 0) {
        return std::nullopt;
    }
    return value;
}

long floor_div(long a, long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

// The value lines of a text, each with its line number.
struct ValueLine {
    int number = 0;
    std::string_view word;
};

std::vector<ValueLine> value_lines(std::string_view text) {
    std::vector<ValueLine> lines;
    TextLines reader(text);
    int number = 0;
    while (const auto line = reader.next()) {
        ++number;
        if (!is_comment_or_blank(*line)) lines.push_back({number, first_word(*line)});
    }
    return lines;
}

// The seven lines before the pattern, in order; the sixth is the frequency.
struct HeaderField {
    std::string_view name;
    int lowest;
    int highest;
    std::string_view range;  // said after "a whole number" when the value is out of it
};
const std::array<HeaderField, 7> kHeader{{
    {"the size of the pattern", 0, kLargestPattern, " from 0 to 1024"},
    {"the first key retuned", 0, kHighestKey, " from 0 to 127"},
    {"the last key retuned", 0, kHighestKey, " from 0 to 127"},
    {"the middle key", 0, kHighestKey, " from 0 to 127"},
    {"the reference key", 0, kHighestKey, " from 0 to 127"},
    {"the reference frequency", 0, 0, ""},
    {"the degree of the period", std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), ""},
}};
constexpr std::size_t kFrequencyLine = 5;

KeyboardMappingError error_at(const ValueLine& line, std::string_view what) {
    return {"line " + std::to_string(line.number) + ": \"" + std::string(line.word) + "\" is not " + std::string(what)};
}

}  // namespace

std::variant<KeyboardMapping, KeyboardMappingError> read_keyboard_mapping(std::string_view text) {
    const std::vector<ValueLine> lines = value_lines(text);
    if (lines.size() < kHeader.size()) {
        return KeyboardMappingError{"the mapping ends before " + std::string(kHeader[lines.size()].name)};
    }
    std::array<int, kHeader.size()> numbers{};
    for (std::size_t i = 0; i < kHeader.size(); ++i) {
        if (i == kFrequencyLine) continue;
        const HeaderField& field = kHeader[i];
        const auto value = whole_number(lines[i].word);
        if (!value || *value < field.lowest || *value > field.highest) {
            return error_at(lines[i], "a whole number" + std::string(field.range) + " for " + std::string(field.name));
        }
        numbers[i] = *value;
    }
    const auto frequency = positive_number(lines[kFrequencyLine].word);
    if (!frequency) return error_at(lines[kFrequencyLine], "a frequency above 0 Hz for the reference frequency");

    KeyboardMapping mapping;
    mapping.size = numbers[0];
    mapping.first_key = numbers[1];
    mapping.last_key = numbers[2];
    mapping.middle_key = numbers[3];
    mapping.reference_key = numbers[4];
    mapping.reference_frequency = *frequency;
    mapping.period_degree = numbers[6];
    if (mapping.first_key > mapping.last_key) {
        return KeyboardMappingError{"line " + std::to_string(lines[2].number) +
                                    ": the last key retuned lies below the first"};
    }
    for (std::size_t i = kHeader.size(); i < lines.size() && std::ssize(mapping.degrees) < mapping.size; ++i) {
        if (lines[i].word == "x" || lines[i].word == "X") {
            mapping.degrees.emplace_back();
            continue;
        }
        const auto degree = whole_number(lines[i].word);
        if (!degree) return error_at(lines[i], "a scale degree or \"x\"");
        mapping.degrees.emplace_back(*degree);
    }
    return mapping;
}

std::optional<long> mapped_degree(const KeyboardMapping& mapping, int key) {
    if (key < mapping.first_key || key > mapping.last_key) return std::nullopt;
    const long offset = key - mapping.middle_key;
    if (mapping.size == 0) return offset;
    const long cycles = floor_div(offset, mapping.size);
    const auto index = static_cast<std::size_t>(offset - cycles * mapping.size);
    if (index >= mapping.degrees.size() || !mapping.degrees[index]) return std::nullopt;
    return cycles * mapping.period_degree + *mapping.degrees[index];
}

std::optional<double> mapped_frequency(const KeyboardMapping& mapping, std::span<const double> scale, int key) {
    // The reference key is placed by the pattern even outside the retuned range.
    KeyboardMapping whole_range = mapping;
    whole_range.first_key = 0;
    whole_range.last_key = kHighestKey;
    const auto reference = mapped_degree(whole_range, mapping.reference_key);
    const auto degree = mapped_degree(mapping, key);
    if (!reference || !degree) return std::nullopt;
    return mapping.reference_frequency * degree_ratio(scale, *degree) / degree_ratio(scale, *reference);
}

}  // namespace corvane::tuning
