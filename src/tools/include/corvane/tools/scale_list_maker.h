#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/files/settings.h"
#include "corvane/platform/reporter.h"
#include "corvane/tools/tool_protocol.h"

namespace corvane::tools {

inline constexpr std::string_view kListOfScalesCaption = "List of Scales";
inline constexpr std::string_view kDefaultScaleListName = "SCALA Scales.lsc";

// Every Scala file of a folder ("*.scl", any case), in list order: by name, ignoring case.
std::vector<std::filesystem::path> scala_files_in(const std::filesystem::path& folder);

// One line of the list for a Scala file's text: "1 ", the pitches as the file writes them,
// "#" when the title part could be read as more of the definition, then the title (the
// note on the last pitch and the file name as the settings ask, and the description).
std::string scale_list_line(std::string_view scala_text, std::string_view file_name, const files::Settings& s);

struct ScaleListJob {
    std::filesystem::path folder;  // where the Scala files are
    std::string list_name;         // `szLSC`: a name in the folder, or a path
    std::filesystem::path program_folder;  // where "index.lsc" lies
    files::Settings settings;
};

struct ScaleListResult {
    bool written = false;  // the list file was written
    bool halted = false;
    int scales_written = 0;
    std::filesystem::path list_path;
    std::string last_file;  // the file reached last
};

// Makes the list of scales from every Scala file in the folder, asking before it replaces
// an existing list; halting keeps the lines made so far. Ends with the closing message.
ScaleListResult make_scale_list_from_folder(const ScaleListJob& job, ToolRun& run, platform::Reporter& reporter);

}  // namespace corvane::tools
