#include "corvane/tuning/scala.h"

#include <algorithm>
#include <cmath>

#include "corvane/tuning/text_lines.h"
#include "text_tokens.h"

namespace corvane::tuning {
namespace {

bool is_comment(std::string_view line) {
    for (char c : line) {
        if (!is_blank(c)) return c == '!';
    }
    return false;
}

bool is_empty_line(std::string_view line) {
    for (char c : line) {
        if (!is_blank(c)) return false;
    }
    return true;
}

double scala_pitch(std::string_view value, bool cents) {
    if (cents) {
        std::string text = "`";
        text.append(value);
        return evaluate_or_default(text, 1.0, PitchForm::ratio) - 1.0;
    }
    return evaluate_or_default(value, 1.0, PitchForm::ratio) - 1.0;
}

std::string notes_mismatch_text(int read, int expected) {
    return " (" + std::to_string(read) + " notes - expected " + std::to_string(expected) + ") ";
}

}  // namespace

bool ScalaReading::is_octave_scale() const { return std::fabs(entries.back() - 1.0) <= 1e-5; }

ScalaReading read_scala_text(std::string_view text, ListNotation notation) {
    ScalaReading result;
    result.scale_text = "1 ";
    TextLines lines(text);
    bool have_description = false;
    bool have_count = false;
    while (auto line = lines.next()) {
        if (is_comment(*line)) continue;
        if (!have_description) {
            result.description = std::string(*line);
            have_description = true;
            continue;
        }
        if (is_empty_line(*line)) continue;
        TokenCursor tokens(*line);
        const auto value = tokens.next();
        if (!have_count) {
            // A count no int can hold is kept at the int's limit rather than overflowing.
            const double count = evaluate_or_default(value->text, 0.0, PitchForm::ratio);
            result.expected_notes = static_cast<int>(std::clamp(count, -2147483648.0, 2147483647.0));
            have_count = true;
            continue;
        }
        if (result.last_index() >= kMaxListEntries - 1) break;
        const auto word = tokens.next();
        const bool has_point = value->text.find('.') != std::string_view::npos;
        const bool cents_word = word && starts_with_any_case(word->text, "CENT");
        double pitch = scala_pitch(value->text, has_point || cents_word);
        if (notation == ListNotation::steps) pitch = (pitch + 1.0) * (result.entries.back() + 1.0) - 1.0;
        result.entries.push_back(pitch);
        result.scale_text.append(value->text);
        result.scale_text += ' ';
        if (cents_word || has_point) result.scale_text += "cents ";
    }
    result.notes_read = result.last_index();
    if (!result.is_octave_scale()) result.title_note = "~";
    if (result.notes_read != result.expected_notes) {
        result.title_note += notes_mismatch_text(result.notes_read, result.expected_notes);
    }
    return result;
}

std::string cycle_round_entries_arpeggio(int last_index) {
    std::string out;
    for (int i = 0; i <= last_index; ++i) out += std::to_string(i) + ' ';
    out += '0';
    return out;
}

std::string cycle_round_entries_message(int last_index) {
    return "Cycle round entries 0 to " + std::to_string(last_index);
}

}  // namespace corvane::tuning
