#include "corvane/tools/rearrangements.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "entry_notes.h"
#include "corvane/tuning/pitch_format.h"
#include "ratio_text.h"

namespace corvane::tools {
namespace {

// Steps within a ten-thousandth of a cent are one size: lists keep cents to five decimals,
// and a step worked out from two rounded pitches carries their rounding.
constexpr double kSameStepCents = 1e-4;

double cents_between(double a, double b) { return 1200.0 * std::log2(std::max(a, 1e-300) / std::max(b, 1e-300)); }

// How many distinct orderings the steps have: n! over the factorial of each size's count.
double orderings_of(const std::vector<int>& classes) {
    std::vector<int> counts;
    for (const int c : classes) {
        if (static_cast<std::size_t>(c) >= counts.size()) counts.resize(static_cast<std::size_t>(c) + 1, 0);
        ++counts[static_cast<std::size_t>(c)];
    }
    double log_orderings = std::lgamma(static_cast<double>(classes.size()) + 1.0);
    for (const int k : counts) log_orderings -= std::lgamma(static_cast<double>(k) + 1.0);
    return std::round(std::exp(log_orderings));
}

// The steps of a scale sorted, as a multiset: the distinct sizes and a class per step.
struct StepMultiset {
    std::vector<std::vector<double>> sizes;  // the steps of each size as the scale has them, smallest first
    std::vector<std::string> size_texts;
    std::vector<int> classes;  // ascending; next_permutation walks the distinct orderings
};

StepMultiset step_multiset(std::vector<double> steps, const tuning::PitchFormat& format) {
    std::sort(steps.begin(), steps.end());
    StepMultiset set;
    for (const double step : steps) {
        if (set.sizes.empty() || std::fabs(cents_between(step, set.sizes.back().front())) > kSameStepCents) {
            set.sizes.emplace_back();
            set.size_texts.push_back(ratio_text(step, format));
        }
        set.sizes.back().push_back(step);
        set.classes.push_back(static_cast<int>(set.sizes.size()) - 1);
    }
    return set;
}

// The scale of one ordering: its definition in pitch texts that read back as the same
// pitches (never a bare number of cents, which would read as a ratio); its description the
// steps as the user's settings write them. Each place takes the next step of its size as the
// scale has it, not the size itself, so that steps rounded apart still add up to the scale's
// own period.
files::ListEntry scale_of_ordering(const StepMultiset& set) {
    files::ListEntry entry;
    entry.definition = "1 ";
    double pitch = 1.0;
    std::vector<std::size_t> taken(set.sizes.size(), 0);
    for (const int c : set.classes) {
        const auto size = static_cast<std::size_t>(c);
        pitch *= set.sizes[size][taken[size]++];
        entry.definition += tuning::exact_pitch_text(pitch) + ' ';
        entry.description += set.size_texts[size] + ' ';
    }
    entry.modes_file = ":";
    return entry;
}

}  // namespace

double count_rearrangements(const std::vector<files::ListEntry>& scales, const tuning::PitchFormat& format) {
    double total = 0;
    for (const auto& scale : scales) {
        const EntryNotes notes(scale, files::ListKind::scales);
        if (notes.has_notes()) total += orderings_of(step_multiset(notes.steps(), format).classes);
    }
    return total;
}

RearrangementsResult find_rearrangements(const std::vector<files::ListEntry>& scales,
                                         const tuning::PitchFormat& format, ToolRun& run, std::size_t max_scales) {
    RearrangementsResult result;
    std::set<std::string> made;
    for (const auto& scale : scales) {
        const EntryNotes notes(scale, files::ListKind::scales);
        if (!notes.has_notes()) continue;
        ++result.original_scales;
        StepMultiset set = step_multiset(notes.steps(), format);
        int made_here = 0;
        int duplicates_here = 0;
        do {
            if (run.checkpoint()) {
                result.halted = true;
                break;
            }
            if (result.scales.size() >= max_scales) {
                result.reached_limit = true;
                break;
            }
            files::ListEntry entry = scale_of_ordering(set);
            if (!made.insert(entry.definition).second) {
                ++duplicates_here;
                continue;
            }
            result.scales.push_back(std::move(entry));
            ++made_here;
        } while (std::next_permutation(set.classes.begin(), set.classes.end()));
        result.duplicates += duplicates_here;
        result.most_for_one_scale = std::max(result.most_for_one_scale, made_here);
        result.most_duplicates_for_one_scale = std::max(result.most_duplicates_for_one_scale, duplicates_here);
        run.progress({static_cast<std::size_t>(result.original_scales), scales.size(), scale.description});
        if (result.halted || result.reached_limit) break;
    }
    return result;
}

std::string rearrangements_report(const RearrangementsResult& r, bool all_scales) {
    const std::string ended = r.halted ? "halted" : r.reached_limit ? "stopped at the limit" : "completed";
    std::string text = "List of " + std::to_string(r.scales.size());
    if (all_scales) {
        text += " re-arrangements of ALL scale's intervals " + ended + ".\n\n" + std::to_string(r.original_scales) +
                " scales in original list, max of " + std::to_string(r.most_for_one_scale) +
                " new scales for a single entry in original list";
    } else {
        text += " re-arrangements of selected scale's intervals " + ended;
    }
    if (r.duplicates > 0) {
        text += "\n\nDuplicate scales found and skipped: " + std::to_string(r.duplicates) +
                "\n\nMax duplicates of prev. scales skipped for single scale " +
                std::to_string(r.most_duplicates_for_one_scale);
    }
    return text;
}

std::string too_many_rearrangements_question(double orderings, std::size_t max_scales) {
    return "The steps can be arranged in " + tuning::format_general(orderings, 6) +
           " orders, more than the " + std::to_string(max_scales) +
           " re-arrangements set as the most to make.\n\nMake the first " + std::to_string(max_scales) + " anyway?";
}

RearrangementsResult rearrangements_tool(files::ScaleList& list, std::optional<std::size_t> selected,
                                         const tuning::PitchFormat& format, ToolRun& run, platform::Reporter& reporter,
                                         std::size_t max_scales) {
    if (list.kind == files::ListKind::modes) {
        reporter.report(std::string(kModesNotRearrangedMessage), kRearrangementsCaption);
        return {};
    }
    std::vector<files::ListEntry> scales;
    if (selected) {
        if (*selected < list.entries.size()) scales.push_back(list.entries[*selected]);
    } else {
        std::copy_if(list.entries.begin(), list.entries.end(), std::back_inserter(scales),
                     [](const files::ListEntry& e) { return !files::is_fixed_entry(e); });
    }
    const double orderings = count_rearrangements(scales, format);
    if (orderings > static_cast<double>(max_scales) &&
        reporter.ask_yes_no(too_many_rearrangements_question(orderings, max_scales), kRearrangementsCaption) ==
            platform::Answer::no) {
        return {};
    }
    RearrangementsResult result = find_rearrangements(scales, format, run, max_scales);
    if (!result.scales.empty()) {
        list.entries = files::fixed_first_entries(list.kind);
        list.selected = list.entries.size();
        list.entries.insert(list.entries.end(), result.scales.begin(), result.scales.end());
    }
    reporter.report(rearrangements_report(result, !selected.has_value()), kRearrangementsCaption);
    return result;
}

}  // namespace corvane::tools
