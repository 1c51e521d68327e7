#pragma once

#include <atomic>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "../expected_output.h"
#include "../temp_folder.h"
#include "corvane/files/save_buffer.h"
#include "corvane/files/scale_list.h"
#include "corvane/tools/mode_lists.h"
#include "corvane/tools/tool_protocol.h"
#include "corvane/tuning/pitch_format.h"
#include "corvane/tuning/pitch_list.h"

namespace corvane::tools::testing {

using corvane::testing::expect_output_as_kept;
using corvane::testing::slurp;
using corvane::testing::TempFolder;
using corvane::testing::write_bytes;

// A tool run on the test's own thread. Its halt button is pressed at checkpoint `halt_at`
// (from 1; 0 never), as a user would half-way.
struct DirectRun final : PriorityChecks {
    std::atomic<bool> halt{false};
    std::atomic<bool> exit{false};
    int halt_at;
    int seen = 0;
    ToolRun run;

    explicit DirectRun(int at = 0) : halt_at(at), run(halt, exit, *this) {}
    void in_worker() override {
        if (++seen == halt_at) halt = true;
    }
};

// Every file in the folder but the "modename.htm" read, in name order, each under a line
// "== <name> ==": the whole of what a tool wrote there, to compare with a kept file.
inline std::string files_written(const TempFolder& folder) {
    const std::set<std::filesystem::path> paths(std::filesystem::directory_iterator(folder.path()), {});
    std::string out;
    for (const auto& p : paths) {
        if (p.filename() != "modename.htm") out += "== " + p.filename().string() + " ==\n" + slurp(p);
    }
    return out;
}

// The reporter's messages in turn, each under its caption and followed by a line "----", with
// `folder` (when given) written as "<folder>" so that the text is the same on every run.
// A question's caption begins with "? ".
inline std::string messages_text(const platform::RecordingReporter& reporter,
                                 const std::filesystem::path& folder = {}) {
    std::string out;
    for (const auto& e : reporter.entries()) {
        out += (e.was_question ? "? " : "") + e.caption + "\n" + e.message + "\n----\n";
    }
    return corvane::testing::with_stand_in(out, folder.string(), "<folder>");
}

// Lists of modes made from "modename.htm" in the folder, into the folder.
inline ModeListsJob mode_lists_job(const TempFolder& folder) { return {folder / "modename.htm", folder.path(), {}}; }

// Lists of modes made into the folder from `modes_file`, written there as "modename.htm".
inline ModeListsResult mode_lists_from(const TempFolder& folder, std::string_view modes_file,
                                       platform::Reporter& reporter) {
    write_bytes(folder / "modename.htm", modes_file);
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

// The list as its file would hold it, after the header line " !".
inline std::string list_text(const files::ScaleList& list) {
    files::SaveBuffer out;
    files::write_scale_list(out, list, "", false);
    return out.take();
}

// Pitches as ratios (1 first) from a definition, as the program reads it back.
inline std::vector<double> ratios_of(const std::string& definition) {
    const auto read =
        tuning::read_pitch_list(definition, tuning::PitchForm::ratio, tuning::ListNotation::absolute, 261.63);
    std::vector<double> ratios;
    for (const double increment : read.entries) ratios.push_back(increment + 1.0);
    return ratios;
}

}  // namespace corvane::tools::testing
