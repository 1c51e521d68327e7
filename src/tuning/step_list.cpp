#include "corvane/tuning/step_list.h"

#include <algorithm>
#include <cmath>

#include "corvane/tuning/pitch_format.h"
#include "text_tokens.h"

namespace corvane::tuning {
namespace {

class StepListReader {
public:
    StepListReader(ListNotation notation, PitchForm form) : notation_(notation), form_(form) { entries_.reserve(32); }

    StepList read(std::string_view text) {
        TokenCursor cursor(text);
        while (auto token = cursor.next()) {
            if (full()) break;
            read_token(token->text);
        }
        return finish();
    }

private:
    bool full() const { return static_cast<int>(entries_.size()) >= kMaxListEntries; }

    // A token may carry the "|" on either side of a number, or be the "|" alone.
    void read_token(std::string_view token) {
        while (!token.empty()) {
            const auto bar = token.find('|');
            const std::string_view value = token.substr(0, bar);
            if (!value.empty() && !full()) append(evaluate_or_default(value, 0.0, form_));
            if (bar == std::string_view::npos) return;
            mark_descending_start();
            token.remove_prefix(bar + 1);
        }
    }

    void append(double v) {
        const std::size_t part_start = descending_start_ ? *descending_start_ : 0;
        if (notation_ == ListNotation::steps && entries_.size() > part_start) v += entries_.back();
        entries_.push_back(v);
    }

    void mark_descending_start() {
        if (!descending_start_) descending_start_ = entries_.size();
    }

    StepList finish() {
        StepList list;
        if (!entries_.empty()) list.entries = std::move(entries_);
        const int last = list.last_index();
        list.ascending_last = descending_start_ ? std::clamp(static_cast<int>(*descending_start_) - 1, 0, last) : last;
        return list;
    }

    ListNotation notation_;
    PitchForm form_;
    std::vector<double> entries_;
    std::optional<std::size_t> descending_start_;
};

void append_steps(std::string& out, std::span<const double> part, ListNotation notation) {
    for (std::size_t i = 0; i < part.size(); ++i) {
        const double v = notation == ListNotation::steps && i > 0 ? part[i] - part[i - 1] : part[i];
        out += format_general(v, 6);
        out += ' ';
    }
}

long floor_div(long a, long b) {
    long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

}  // namespace

StepList read_step_list(std::string_view text, ListNotation notation, PitchForm form) {
    return StepListReader(notation, form).read(text);
}

std::vector<int> truncated_steps(const StepList& list) {
    std::vector<int> out;
    out.reserve(list.entries.size());
    for (double v : list.entries) out.push_back(static_cast<int>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0)));
    return out;
}

std::string write_step_list(const StepList& list, ListNotation notation) {
    std::string out;
    constexpr std::size_t kMaxWritten = kMaxListEntries + 1;
    const auto ascending = list.ascending().first(std::min(list.ascending().size(), kMaxWritten));
    append_steps(out, ascending, notation);
    if (list.has_descending_part()) {
        out += "| ";
        const auto descending = list.descending();
        append_steps(out, descending.first(std::min(descending.size(), kMaxWritten - ascending.size())), notation);
    }
    return out;
}

std::optional<std::string> first_unreadable_step(std::string_view text) {
    TokenCursor cursor(text);
    while (auto token = cursor.next()) {
        std::string_view rest = token->text;
        while (!rest.empty()) {
            const auto bar = rest.find('|');
            const std::string_view value = rest.substr(0, bar);
            if (!value.empty() && !evaluate_expression(value, PitchForm::ratio).complete) return std::string(value);
            if (bar == std::string_view::npos) break;
            rest.remove_prefix(bar + 1);
        }
    }
    return std::nullopt;
}

bool is_follow_scale_text(std::string_view text) {
    TokenCursor tokens(text);
    const auto first = tokens.next();
    if (!first) return false;
    const auto is = [&](std::string_view word) { return first->text.size() == word.size() && starts_with_any_case(first->text, word); };
    if (is("Use_ratios") || is("Use_intervals") || is("FOLLOW_SCALE") || is("FOLLOW_WAVE_SCALE")) return true;
    const auto second = tokens.next();
    return is("Use") && second && second->text.size() == 6 && starts_with_any_case(second->text, "ratios");
}

double wrap_step(long degree, int last_index, std::span<const double> list) {
    if (list.empty()) return static_cast<double>(degree);
    const int n = std::clamp(last_index, 0, std::min(kMaxListEntries - 1, static_cast<int>(list.size()) - 1));
    if (n == 0) return static_cast<double>(degree);
    const long k = floor_div(degree, n);
    const long r = degree - k * n;
    return list[static_cast<std::size_t>(r)] + static_cast<double>(k) * (list[static_cast<std::size_t>(n)] - list[0]);
}

double choose_mode_form(long degree, const StepList& list, ModeVoices& voices, int voice) {
    const auto ascending = list.ascending();
    const double up = wrap_step(degree, static_cast<int>(ascending.size()) - 1, ascending);
    if (!list.has_descending_part()) return up;
    const auto descending = list.descending();
    const double down = wrap_step(degree, static_cast<int>(descending.size()) - 1, descending);

    ModeDirection& state = voices[static_cast<std::size_t>(std::clamp(voice, 0, kModeVoiceSlots - 1))];
    bool choose_up = false;
    if (state.force == 1) {
        choose_up = true;
    } else if (state.force != 0) {
        choose_up = false;
    } else if (state.previous_ascending == state.previous_descending) {
        choose_up = state.previous_degree < up;  // rising from a note both forms share
    } else {
        choose_up = state.chose_ascending;
    }
    const double chosen = choose_up ? up : down;
    state.previous_degree = chosen;
    state.previous_ascending = up;
    state.previous_descending = down;
    state.chose_ascending = chosen == up;
    state.force = 0;
    return chosen;
}

}  // namespace corvane::tuning
