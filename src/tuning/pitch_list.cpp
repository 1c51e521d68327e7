#include "corvane/tuning/pitch_list.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "text_tokens.h"

namespace corvane::tuning {
namespace {

constexpr std::size_t kMaxRereadLength = 48;
constexpr double kLargestEntry = 1e300;

double finite_entry(double x) {
    if (std::isnan(x)) return 0.0;
    return std::clamp(x, -kLargestEntry, kLargestEntry);
}

// In step notation each value is the interval from the entry before: ratios multiply
// unless the list starts away from the lowest note, in which case values add.
double accumulate_step(double step, double previous, double first) {
    if (std::fabs(first) <= 1e-5) return (step + 1.0) * (previous + 1.0) - 1.0;
    return step + previous;
}

class PitchListReader {
public:
    PitchListReader(PitchForm form, ListNotation notation, double lowest_frequency)
        : form_(form), notation_(notation), lowest_frequency_(lowest_frequency) {
        entries_.reserve(64);
    }

    PitchListReading read(std::string_view text) {
        TokenCursor cursor(text);
        std::size_t previous_start = 0;
        while (auto token = cursor.next()) {
            if (token->text.starts_with("//")) break;
            if (starts_with_any_case(token->text, "#G") || starts_with_any_case(token->text, "#H")) {
                const auto ratio_token = cursor.next();
                const double r = ratio_token ? evaluate_or_default(ratio_token->text, 1.0, PitchForm::ratio) : 1.0;
                generate_series(starts_with_any_case(token->text, "#G"), r);
                break;
            }
            if (!entries_.empty() && starts_with_any_case(token->text, "CENT")) {
                reread_previous_as_cents(text.substr(previous_start, token->start - previous_start));
                continue;
            }
            if (!entries_.empty() && (starts_with_any_case(token->text, "HZ") || starts_with_any_case(token->text, "HERZ"))) {
                reread_previous_as_hertz(text.substr(previous_start, token->start - previous_start));
                continue;
            }
            if (static_cast<int>(entries_.size()) >= kMaxListEntries) break;
            append(value_of(token->text));
            previous_start = token->start;
        }
        return finish();
    }

private:
    double value_of(std::string_view expression) const {
        double v = evaluate_or_default(expression, 0.0, form_);
        if (form_ == PitchForm::ratio) v -= 1.0;
        return v;
    }

    double placed(double v, std::size_t index) const {
        if (notation_ == ListNotation::absolute || index == 0) return v;
        return accumulate_step(v, entries_[index - 1], entries_[0]);
    }

    void append(double v) { entries_.push_back(finite_entry(placed(v, entries_.size()))); }

    void replace_last(double v) {
        const std::size_t index = entries_.size() - 1;
        entries_[index] = finite_entry(placed(v, index));
    }

    void reread_previous_as_cents(std::string_view previous) {
        std::string cents = "`";
        cents.append(previous.substr(0, kMaxRereadLength));
        replace_last(value_of(cents));
    }

    void reread_previous_as_hertz(std::string_view previous) {
        const double hertz = evaluate_or_default(previous.substr(0, kMaxRereadLength), 0.0, form_);
        if (entries_.size() == 1) {
            lowest_frequency_ = hertz;
            new_lowest_ = hertz;
            entries_[0] = 0.0;
            return;
        }
        const double base = lowest_frequency_ > 0.0 ? lowest_frequency_ : 1.0;
        replace_last(hertz / base - 1.0);
    }

    // #H: a running sum of steps that grow by the factor r (r = 1: the harmonic series);
    // #G: the same sums taken as octaves.
    void generate_series(bool geometric, double r) {
        entries_.assign(kMaxListEntries, 0.0);
        double sum = 0.0;
        double step = 1.0;
        for (double& entry : entries_) {
            entry = finite_entry(geometric ? std::exp2(std::clamp(sum, -308.0, 308.0)) - 1.0 : sum);
            sum = finite_entry(sum + step);
            step = finite_entry(step * r);
        }
    }

    PitchListReading finish() {
        PitchListReading result;
        result.count_read = static_cast<int>(entries_.size());
        if (!entries_.empty()) result.entries = std::move(entries_);
        result.lowest_frequency = new_lowest_;
        return result;
    }

    PitchForm form_;
    ListNotation notation_;
    double lowest_frequency_;
    std::optional<double> new_lowest_;
    std::vector<double> entries_;
};

}  // namespace

PitchListReading read_pitch_list(std::string_view text, PitchForm form, ListNotation notation,
                                 double lowest_frequency) {
    return PitchListReader(form, notation, lowest_frequency).read(text);
}

std::optional<std::string> first_unreadable_pitch(std::string_view text) {
    TokenCursor cursor(text);
    bool after_value = false;
    while (auto token = cursor.next()) {
        const std::string_view t = token->text;
        if (t.starts_with("//")) break;
        if (starts_with_any_case(t, "#G") || starts_with_any_case(t, "#H")) {
            const auto ratio = cursor.next();
            if (ratio && !evaluate_expression(ratio->text, PitchForm::ratio).complete) return std::string(ratio->text);
            break;
        }
        if (after_value && (starts_with_any_case(t, "CENT") || starts_with_any_case(t, "HZ") ||
                            starts_with_any_case(t, "HERZ"))) {
            after_value = false;
            continue;
        }
        if (!evaluate_expression(t, PitchForm::ratio).complete) return std::string(t);
        after_value = true;
    }
    return std::nullopt;
}

std::string write_pitch_list(std::span<const double> entries, const PitchFormat& format, const PitchListWriting& how) {
    std::string out;
    const double offset = how.form == PitchForm::ratio ? 1.0 : 0.0;
    const bool multiply_steps = !entries.empty() && std::fabs(entries[0]) <= 1e-5;
    const FormatRequest request{.cents_word = true};
    for (std::size_t i = 0; i < entries.size() && i < static_cast<std::size_t>(kMaxListEntries); ++i) {
        if (how.hertz) {
            out += format_general((entries[i] + 1.0) * how.lowest_frequency, format.iCentsSigFigs);
            out += " Hz ";
            continue;
        }
        double v = entries[i];
        if (how.notation == ListNotation::steps && i > 0) {
            v = multiply_steps ? (entries[i] + 1.0) / (entries[i - 1] + 1.0) - 1.0 : entries[i] - entries[i - 1];
        }
        out += format_pitch_value(v + offset, how.form, format, request);
        out += ' ';
    }
    return out;
}

}  // namespace corvane::tuning
