#include "entry_notes.h"

#include <algorithm>
#include <charconv>

#include "corvane/tuning/pitch_format.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/pitch_mapping.h"
#include "corvane/tuning/step_list.h"
#include "tool_text.h"

namespace corvane::tools {
namespace {

constexpr long long kNoRatioComplexity = 100000;
constexpr double kLowestPitch = 1e-10;  // increment form -0.9999999999

bool has_number(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The denominator of the ratio the pitch formatter finds for `ratio`; 1 for whole numbers.
long long ratio_complexity(double ratio) {
    tuning::FormatRequest request;
    request.ratio_only = true;
    const std::string text =
        tuning::format_pitch_value(ratio, tuning::PitchForm::ratio, tuning::PitchFormat::configuration_defaults(), request);
    const auto slash = text.find('/');
    if (slash == std::string::npos) {
        return text.find_first_not_of("0123456789") == std::string::npos ? 1 : kNoRatioComplexity;
    }
    long long q = kNoRatioComplexity;
    std::from_chars(text.data() + slash + 1, text.data() + text.size(), q);
    return std::min(q, kNoRatioComplexity);
}

}  // namespace

double step_between(double lower, double upper) { return lower <= kLowestPitch ? 1.0 : upper / lower; }

EntryNotes::EntryNotes(const files::ListEntry& entry, files::ListKind kind) : kind_(kind) {
    if (!entry.link.empty() || !has_number(entry.definition)) return;
    if (kind == files::ListKind::modes) {
        const auto list = tuning::read_step_list(entry.definition, tuning::ListNotation::absolute);
        values_.assign(list.entries.begin(), list.entries.end());
        return;
    }
    const auto reading = tuning::read_pitch_list(entry.definition, tuning::PitchForm::ratio,
                                                 tuning::ListNotation::absolute, tuning::kMiddleCFrequency);
    if (reading.count_read == 0) return;
    values_.reserve(reading.entries.size());
    for (const double e : reading.entries) values_.push_back(e + 1.0);
}

std::vector<double> EntryNotes::steps() const {
    std::vector<double> out;
    for (std::size_t i = 1; i < values_.size(); ++i) {
        out.push_back(kind_ == files::ListKind::modes ? values_[i] - values_[i - 1]
                                                      : step_between(values_[i - 1], values_[i]));
    }
    return out;
}

long long EntryNotes::largest_complexity() const {
    long long largest = 0;
    for (const double v : values_) largest = std::max(largest, ratio_complexity(v));
    return largest;
}

}  // namespace corvane::tools
