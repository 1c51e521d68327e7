#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/files/settings.h"
#include "corvane/platform/reporter.h"
#include "corvane/tools/tool_protocol.h"

namespace corvane::tools {

inline constexpr std::string_view kModeListsCaption = "Make LMD files from SCALA modes list";
inline constexpr std::string_view kHaltingModeListsCaption = "Halting construction of LMD files";
inline constexpr int kKnownModeNamesFormat = 1;
inline constexpr std::string_view kProgramVersion = "1.082";

// One mode of a section: its degrees (from 0, cumulative) and its name. A row without
// degrees is a comment.
struct ModeRow {
    std::string degrees;
    std::string name;
};

// A scale a section gives, or takes from the built-in table; its definition starts "1 ".
struct SectionScale {
    std::string description;
    std::string definition;
};

// One heading of the mode names file and what follows it up to the next.
struct ModeSection {
    std::string heading;
    std::vector<SectionScale> scales;  // as the file gives them
    std::vector<ModeRow> rows;
};

struct ModeNames {
    int format = kKnownModeNamesFormat;
    std::optional<int> declared_names;  // "Number of names:"
    std::vector<ModeSection> sections;
};

// Reads the mode names file: HTML with "<SCALA_MODENAMES_FORMAT", "Number of names:",
// "<H4>" headings, "<SCALA_SCALE_DESCR" and "<SCALA_SCALE_DEF" lines and table rows of a
// mode's steps (or degrees) and name. Tags in any case, with attributes; entities decoded.
// In plain mode every line ending with ":" is a heading and every other line a row.
ModeNames read_mode_names(std::string_view text, bool plain_mode);

// True when the text begins as a mode names file should ("<HEAD>" or "!"; an HTML or
// DOCTYPE opening is taken too).
bool looks_like_mode_names(std::string_view text);

// The list-of-modes file for a heading: its leading number padded with "_" to three
// characters, ".lmd", characters that cannot stand in a file name replaced, blanks as "_".
std::string lmd_file_name(std::string_view heading);

// The scales that head a section's list of modes: the section's own, a built-in one for a
// known heading, or an equal temperament for "N ... equal ..." headings. Empty when none.
struct SectionScales {
    std::vector<SectionScale> scales;
    std::optional<int> equal_divisions;
    bool from_table = false;
};
SectionScales scales_for_section(const ModeSection& section);

// The list of modes of a section (the first scale's line, then the modes, "+" on the
// first) and its lines in the list of scales for the modes.
std::string mode_list_text(const ModeSection& section, const SectionScales& scales, std::span<const ModeRow> rows);
std::string scale_list_lines(const ModeSection& section, const SectionScales& scales, std::string_view lmd_name);

// The mode names file named by `ScalaModesListFile`: itself when it has a drive or is
// absolute, otherwise in the Scala program's folder (the folder part of `ScalaLocation`).
std::filesystem::path scala_modes_file_path(const files::Settings& settings);

struct ModeListsJob {
    std::filesystem::path modes_file;
    std::filesystem::path output_folder;  // the program's folder
    files::Settings settings;             // ScalaModesLSC, auto sort and its template
};

struct ModeListsResult {
    int files_written = 0;
    int files_failed = 0;  // sections whose file could not be written (each said), the rest made
    int names_read = 0;
    std::optional<int> names_expected;
    bool halted = false;
    bool failed = false;
    std::vector<std::filesystem::path> lmd_files;
    std::filesystem::path lsc_path;
};

// The tool: one list of modes per section and the list of scales that ties them together,
// asking before replacing files; halting keeps the files written so far and the list of
// scales for them. Ends with the closing message.
ModeListsResult make_mode_lists_from_scala(const ModeListsJob& job, ToolRun& run, platform::Reporter& reporter);

}  // namespace corvane::tools
