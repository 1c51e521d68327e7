#include "corvane/tools/rearrangements.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "entry_notes.h"
#include "ratio_text.h"

namespace corvane::tools {
namespace {

constexpr double kSameStep = 1e-12;

// The steps of a scale sorted, as a multiset: the distinct sizes and a class per step.
struct StepMultiset {
    std::vector<double> sizes;
    std::vector<std::string> size_texts;
    std::vector<int> classes;  // ascending; next_permutation walks the distinct orderings
};

StepMultiset step_multiset(std::vector<double> steps, const tuning::PitchFormat& format) {
    std::sort(steps.begin(), steps.end());
    StepMultiset set;
    for (const double step : steps) {
        if (set.sizes.empty() || std::fabs(step - set.sizes.back()) > kSameStep) {
            set.sizes.push_back(step);
            set.size_texts.push_back(ratio_text(step, format));
        }
        set.classes.push_back(static_cast<int>(set.sizes.size()) - 1);
    }
    return set;
}

files::ListEntry scale_of_ordering(const StepMultiset& set, const tuning::PitchFormat& format) {
    files::ListEntry entry;
    entry.definition = "1 ";
    double pitch = 1.0;
    for (const int c : set.classes) {
        pitch *= set.sizes[static_cast<std::size_t>(c)];
        entry.definition += ratio_text(pitch, format) + ' ';
        entry.description += set.size_texts[static_cast<std::size_t>(c)] + ' ';
    }
    entry.modes_file = ":";
    return entry;
}

}  // namespace

RearrangementsResult find_rearrangements(const std::vector<files::ListEntry>& scales,
                                         const tuning::PitchFormat& format, ToolRun& run) {
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
            files::ListEntry entry = scale_of_ordering(set, format);
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
        if (result.halted) break;
    }
    return result;
}

std::string rearrangements_report(const RearrangementsResult& r, bool all_scales) {
    std::string text = "List of " + std::to_string(r.scales.size());
    if (all_scales) {
        text += " re-arrangements of ALL scale's intervals completed.\n\n" + std::to_string(r.original_scales) +
                " scales in original list, max of " + std::to_string(r.most_for_one_scale) +
                " new scales for a single entry in original list";
    } else {
        text += " re-arrangements of selected scale's intervals completed";
    }
    if (r.duplicates > 0) {
        text += "\n\nDuplicate scales found and skipped: " + std::to_string(r.duplicates) +
                "\n\nMax duplicates of prev. scales skipped for single scale " +
                std::to_string(r.most_duplicates_for_one_scale);
    }
    return text;
}

RearrangementsResult rearrangements_tool(files::ScaleList& list, std::optional<std::size_t> selected,
                                         const tuning::PitchFormat& format, ToolRun& run,
                                         platform::Reporter& reporter) {
    std::vector<files::ListEntry> scales;
    if (selected) {
        if (*selected < list.entries.size()) scales.push_back(list.entries[*selected]);
    } else {
        std::copy_if(list.entries.begin(), list.entries.end(), std::back_inserter(scales),
                     [](const files::ListEntry& e) { return !files::is_fixed_entry(e); });
    }
    RearrangementsResult result = find_rearrangements(scales, format, run);
    if (!result.scales.empty()) {
        list.entries = files::fixed_first_entries(list.kind);
        list.selected = list.entries.size();
        list.entries.insert(list.entries.end(), result.scales.begin(), result.scales.end());
    }
    reporter.report(rearrangements_report(result, !selected.has_value()), kRearrangementsCaption);
    return result;
}

}  // namespace corvane::tools
