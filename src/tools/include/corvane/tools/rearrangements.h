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

struct RearrangementsResult {
    std::vector<files::ListEntry> scales;  // the new entries, description the steps
    int original_scales = 0;               // scales whose steps were re-arranged
    int most_for_one_scale = 0;            // most new scales made from a single entry
    int duplicates = 0;                    // orderings whose scale was made before
    int most_duplicates_for_one_scale = 0;
    bool halted = false;
};

// Every distinct ordering of the steps of each given scale (equal steps, within 1e-12, are
// one class, so no ordering comes twice), as new scales; a scale made before is counted as
// a duplicate and skipped.
RearrangementsResult find_rearrangements(const std::vector<files::ListEntry>& scales,
                                         const tuning::PitchFormat& format, ToolRun& run);

// The closing message, for the selected scale or for all scales.
std::string rearrangements_report(const RearrangementsResult& result, bool all_scales);

// The tool: for the entry at `selected`, or for every scale of the list when it is
// nothing, replaces the list by the re-arrangements found (kept as it was when none are)
// and reports.
RearrangementsResult rearrangements_tool(files::ScaleList& list, std::optional<std::size_t> selected,
                                         const tuning::PitchFormat& format, ToolRun& run,
                                         platform::Reporter& reporter);

}  // namespace corvane::tools
