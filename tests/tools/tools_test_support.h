#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "../files/files_test_support.h"
#include "corvane/files/scale_list.h"
#include "corvane/tools/mode_lists.h"
#include "corvane/tools/superparticular.h"
#include "corvane/tools/tool_protocol.h"
#include "corvane/tuning/pitch_format.h"
#include "corvane/tuning/pitch_list.h"

namespace corvane::tools::testing {

using files::testing::slurp;
using files::testing::TempFolder;
using files::testing::write_text;

// A tool run on the test's own thread. Its halt button is pressed at checkpoint `halt_at`
// (from 1; 0 never), as a user would half-way, or by the test setting `halt` (also from the
// progress listener).
struct DirectRun final : PriorityChecks {
    std::atomic<bool> halt{false};
    std::atomic<bool> exit{false};
    int halt_at;
    int seen = 0;
    ToolRun run;

    explicit DirectRun(int at = 0, ProgressListener progress = {}) : halt_at(at), run(halt, exit, *this, progress) {}
    void in_worker() override {
        if (++seen == halt_at) halt = true;
    }
};

// Lists of modes made from "modename.htm" in the folder, into the folder.
inline ModeListsJob mode_lists_job(const TempFolder& folder) {
    ModeListsJob job;
    job.modes_file = folder / "modename.htm";
    job.output_folder = folder.path();
    return job;
}

// Lists of modes made into the folder from `modes_file`, written there as "modename.htm".
inline ModeListsResult mode_lists_from(const TempFolder& folder, std::string_view modes_file,
                                       platform::Reporter& reporter) {
    write_text(folder / "modename.htm", modes_file);
    DirectRun direct;
    return make_mode_lists_from_scala(mode_lists_job(folder), direct.run, reporter);
}

// The pitch format the tools write with unless told otherwise.
inline const tuning::PitchFormat kFormat = tuning::PitchFormat::configuration_defaults();

// A list of `kind` holding its fixed first entries, then `entries`.
inline files::ScaleList list_of(files::ListKind kind, const std::vector<files::ListEntry>& entries) {
    files::ScaleList list;
    list.kind = kind;
    list.entries = files::fixed_first_entries(kind);
    list.entries.insert(list.entries.end(), entries.begin(), entries.end());
    return list;
}

// The descriptions of the entries after the fixed ones, in order.
inline std::vector<std::string> descriptions(const files::ScaleList& list) {
    std::vector<std::string> out;
    for (const auto& e : list.entries) {
        if (!files::is_fixed_entry(e)) out.push_back(e.description);
    }
    return out;
}

// Pitches as ratios (1 first) from a definition, as the program reads it back.
inline std::vector<double> ratios_of(const std::string& definition) {
    const auto read =
        tuning::read_pitch_list(definition, tuning::PitchForm::ratio, tuning::ListNotation::absolute, 261.63);
    std::vector<double> ratios;
    for (const double increment : read.entries) ratios.push_back(increment + 1.0);
    return ratios;
}

// A search for scales of exactly `notes` steps up to `top`.
inline SuperparticularSearch superparticular_search(int notes, double top) {
    SuperparticularSearch search;
    search.sps_nnotes = notes;
    search.sps_min_nnotes = notes;
    search.dsps_topnote = top;
    return search;
}

}  // namespace corvane::tools::testing
