#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/files/scale_list.h"
#include "corvane/platform/reporter.h"
#include "corvane/tools/tool_protocol.h"
#include "corvane/tuning/pitch_format.h"

namespace corvane::tools {

inline constexpr std::string_view kSuperparticularCaption = "Find all superparticular scales";

// What to look for: the settings of the same names and the two step bounds.
struct SuperparticularSearch {
    int sps_nnotes = 5;          // most steps
    int sps_min_nnotes = 5;      // fewest steps
    int sps_maxscales = 1000;    // most scales to find
    double dsps_topnote = 2;     // the top note, a ratio
    double dsps_max_memory = 100;  // kilobytes for the logarithm cache
    bool sps_show_as_steps_in_description = true;
    double smallest_step = 1.0125;
    double largest_step = 1.25;  // applies only when above the smallest
};

struct SuperparticularResult {
    std::vector<files::ListEntry> scales;  // the entries made, steps from the largest
    long long smallest_step_n = 0;         // the smallest step found is (n+1)/n
    bool reached_limit = false;
    bool halted = false;
    std::size_t cache_entries = 0;   // logarithms the cache can hold
    long long largest_n_cached = 0;  // the largest n filled
};

// Every scale of superparticular steps (n+1)/n, from `sps_min_nnotes` to `sps_nnotes` of
// them, whose top note is `dsps_topnote`; each set of steps once, largest step first.
SuperparticularResult find_superparticular_scales(const SuperparticularSearch& search,
                                                  const tuning::PitchFormat& format, ToolRun& run);

// The closing message of the search.
std::string superparticular_report(const SuperparticularSearch& search, const SuperparticularResult& result,
                                   const tuning::PitchFormat& format, double seconds);

// The tool: searches, fills the list (emptied to its fixed entries when a scale is found)
// and reports.
SuperparticularResult superparticular_tool(files::ScaleList& list, const SuperparticularSearch& search,
                                           const tuning::PitchFormat& format, ToolRun& run,
                                           platform::Reporter& reporter);

}  // namespace corvane::tools
