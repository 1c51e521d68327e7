#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/files/scale_list.h"
#include "corvane/platform/reporter.h"
#include "corvane/tools/tool_protocol.h"
#include "corvane/tuning/pitch_format.h"

namespace corvane::tools {

inline constexpr std::string_view kRearrangementsCaption = "Find all re-arrangements";
inline constexpr std::string_view kModesNotRearrangedMessage =
    "Re-arrangements are made of the steps of scales: this is a list of modes.\n\nChoose a list of scales first.";
// The most re-arrangements a run makes unless the user raises it: a 16-note scale has over a
// million, which takes a gigabyte.
inline constexpr std::size_t kDefaultMaxRearrangements = 100000;

struct RearrangementsResult {
    std::vector<files::ListEntry> scales;  // the new entries, description the steps
    int original_scales = 0;               // scales whose steps were re-arranged
    int most_for_one_scale = 0;            // most new scales made from a single entry
    int duplicates = 0;                    // orderings whose scale was made before
    int most_duplicates_for_one_scale = 0;
    bool halted = false;
    bool reached_limit = false;  // stopped at the most to make
};

// How many orderings the steps of the scales have in all.
double count_rearrangements(const std::vector<files::ListEntry>& scales, const tuning::PitchFormat& format);

// Every distinct ordering of the steps of each given scale (steps within 1e-4 cents of each
// other are one size, so no ordering comes twice), as new scales whose definitions read back
// as the same pitches, at most `max_scales`; a scale made before is counted as a duplicate
// and skipped.
RearrangementsResult find_rearrangements(const std::vector<files::ListEntry>& scales,
                                         const tuning::PitchFormat& format, ToolRun& run,
                                         std::size_t max_scales = kDefaultMaxRearrangements);

// The question before a run that would make more than `max_scales`.
std::string too_many_rearrangements_question(double orderings, std::size_t max_scales);

// The closing message, for the selected scale or for all scales.
std::string rearrangements_report(const RearrangementsResult& result, bool all_scales);

// The tool: for the entry at `selected`, or for every scale of the list when it is
// nothing, replaces the list by the re-arrangements found (kept as it was when none are)
// and reports. A list of modes is refused; a run of more than `max_scales` asks first and
// then makes that many.
RearrangementsResult rearrangements_tool(files::ScaleList& list, std::optional<std::size_t> selected,
                                         const tuning::PitchFormat& format, ToolRun& run, platform::Reporter& reporter,
                                         std::size_t max_scales = kDefaultMaxRearrangements);

}  // namespace corvane::tools
