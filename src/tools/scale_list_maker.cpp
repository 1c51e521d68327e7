#include "corvane/tools/scale_list_maker.h"

#include <algorithm>
#include <chrono>

#include "corvane/files/scala_file.h"
#include "corvane/files/scale_list.h"
#include "corvane/files/whole_file.h"
#include "corvane/tuning/number_text.h"
#include "corvane/tuning/scala.h"
#include "tool_text.h"

namespace corvane::tools {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxDefinitionText = 20480;  // and of the description

std::string no_scala_files_message(const fs::path& folder) {
    return "No SCALA scales found in folder " + folder.string() +
           "\n\nClick Browse..., find a folder with SCALA scales, and open one of the .SCL files.\n\n"
           "Then click Make List of scales...\n\n"
           "The Scala scale archive, several thousand .scl files, can be downloaded from the Scala "
           "program's pages at the Huygens-Fokker Foundation (www.huygens-fokker.org).";
}

// Step 1: a blank name may take the default.
std::optional<std::string> list_name_to_use(std::string_view given, platform::Reporter& reporter) {
    const std::string name = trimmed_copy(given);
    if (!name.empty()) return name;
    const std::string question =
        "Blank name for list of scales. Use default \"" + std::string(kDefaultScaleListName) + "\"?";
    if (reporter.ask_yes_no(question, kListOfScalesCaption) == platform::Answer::no) return std::nullopt;
    return std::string(kDefaultScaleListName);
}

bool may_replace(const fs::path& list_path, platform::Reporter& reporter) {
    std::error_code ec;
    if (!fs::exists(list_path, ec)) return true;
    const std::string question = "File " + list_path.filename().string() + " already exists in folder " +
                                 list_path.parent_path().string() + "\n\nReplace existing list of scales?";
    return reporter.ask_yes_no(question, kListOfScalesCaption) == platform::Answer::yes;
}

}  // namespace

std::vector<fs::path> scala_files_in(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(folder, ec)) {
        if (!item.is_regular_file(ec)) continue;
        if (equals_any_case(item.path().extension().string(), ".scl")) found.push_back(item.path());
    }
    std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
        return less_any_case(a.filename().string(), b.filename().string());
    });
    return found;
}

std::string scale_list_line(std::string_view scala_text, std::string_view file_name, const files::Settings& s) {
    const tuning::ScalaReading reading = tuning::read_scala_text(scala_text);
    std::string_view definition = reading.scale_text;  // "1 " and the pitches, each followed by a blank
    definition.remove_prefix(std::min<std::size_t>(2, definition.size()));
    definition = definition.substr(0, kMaxDefinitionText);
    std::string title = files::scala_scale_title(reading, file_name, s);
    if (title.size() > kMaxDefinitionText) title.resize(kMaxDefinitionText);
    std::string line = "1 ";
    line += definition;
    if (files::description_needs_hash(title)) line += " #";
    line += title;
    line += "\r\n";
    return line;
}

ScaleListResult make_scale_list_from_folder(const ScaleListJob& job, ToolRun& run, platform::Reporter& reporter) {
    ScaleListResult result;
    const auto name = list_name_to_use(job.list_name, reporter);
    if (!name) return result;
    result.list_path = fs::path(*name).is_absolute() ? fs::path(*name) : job.folder / *name;
    const std::vector<fs::path> scala_files = scala_files_in(job.folder);
    if (scala_files.empty()) {
        reporter.report(no_scala_files_message(job.folder), kListOfScalesCaption);
        return result;
    }
    if (!may_replace(result.list_path, reporter)) return result;

    std::string list_text;
    ProgressPacer pacer;
    for (std::size_t i = 0; i < scala_files.size(); ++i) {
        if (run.checkpoint()) {
            result.halted = true;
            break;
        }
        const std::string file_name = scala_files[i].filename().string();
        result.last_file = file_name;
        if (pacer.due(i, scala_files.size())) run.progress({i + 1, scala_files.size(), file_name});
        const auto text = files::read_whole_file(scala_files[i]);
        if (!text) continue;
        list_text += scale_list_line(*text, file_name, job.settings);
        ++result.scales_written;
    }
    result.written = files::write_whole_file(result.list_path, list_text, reporter);
    if (result.written && job.settings.add_lsc_files_to_index_lsc_on_save_or_open) {
        files::add_to_index(job.program_folder, result.list_path, result.list_path.stem().string(), reporter);
    }
    reporter.report("List of " + std::to_string(result.scales_written) + " scales completed\nfile name " +
                        result.list_path.string() + "\n\nTime taken " + tuning::format_duration(run.elapsed_seconds()),
                    kListOfScalesCaption);
    return result;
}

}  // namespace corvane::tools
