#include "corvane/engine/seed.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

#include "corvane/engine/composition.h"
#include "corvane/tuning/expression.h"
#include "text_words.h"

namespace corvane::engine {
namespace {

constexpr std::array<std::string_view, 10> kBuiltinSeeds{
    "0 1", "0 2 1", "0 2 -1 1", "0 1 2 1", "0 2 4 1", "2 -1 1 0 3", "0 2 4 3 1", "0 3 2 3 1", "0 1 2 1 3 2 3 1",
    "0 1 2 1 -1 2 3 1",
};

bool ends_seed(std::string_view word) {
    return word.starts_with(';') || starts_with_any_case(word, "DURATIONS") || starts_with_any_case(word, "V") ||
           starts_with_any_case(word, "#R") || starts_with_any_case(word, "#S");
}

int truncated_to_int(double value) {
    return static_cast<int>(std::clamp(std::trunc(value), static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
}

const std::string_view kOpenTheFileYourself =
    "To edit the seeds drop list, use a text editor such as Notepad to open the file \"musical seeds drop "
    "list.txt\" in the folder \"";

}  // namespace

std::optional<SeedReading> read_seed(std::string_view text, SeedStrictness strictness) {
    SeedReading reading;
    reading.contains_test = contains_any_case(text, "TEST");
    BlankSeparatedWords words(text);
    for (auto word = words.next(); !word.empty() && reading.values.size() < kMaxSeedValues; word = words.next()) {
        if (starts_with_any_case(word, "TEST")) continue;
        if (ends_seed(word)) break;
        const auto value = tuning::evaluate_expression(word, tuning::PitchForm::ratio);
        if (!value.number_read && strictness == SeedStrictness::strict) return std::nullopt;
        reading.values.push_back(truncated_to_int(value.value));
    }
    return reading;
}

std::span<const std::string_view> builtin_seeds() { return kBuiltinSeeds; }

std::vector<std::string> seeds_drop_list_lines(std::string_view file_text) {
    std::vector<std::string> lines;
    while (!file_text.empty()) {
        const auto end = file_text.find('\n');
        std::string_view line = file_text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        file_text.remove_prefix(end + 1);
    }
    return lines;
}

std::string no_text_editor_message(std::string_view program_folder) {
    std::string message = "Couldn't find the application associated with text files.\n\n";
    message += kOpenTheFileYourself;
    message += program_folder;
    message += '"';
    return message;
}

std::string text_editor_failed_message(std::string_view reason, std::string_view program_folder) {
    std::string message = "Unable to spawn process for the application associated with text files.\n\nDetails:\n";
    message += reason;
    message += '\n';
    message += kOpenTheFileYourself;
    message += program_folder;
    message += '"';
    return message;
}

}  // namespace corvane::engine
