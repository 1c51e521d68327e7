#include "scales_commands.h"

#include <filesystem>
#include <iostream>
#include <memory>

#include "cli_support.h"
#include "composition_options.h"
#include "scale_tool_commands.h"
#include "corvane/files/builtin_lists.h"
#include "corvane/files/configuration_file.h"
#include "corvane/files/whole_file.h"

namespace corvane::cli {
namespace {

namespace fs = std::filesystem;

void write_file(const fs::path& path, std::string_view text) {
    if (!files::write_whole_file(path, text, terminal_reporter())) throw Failure("cannot write " + path.string());
    std::cerr << "corvane-cli: wrote " << path.string() << '\n';
}

void write_list_files(const fs::path& folder, const std::vector<files::ListFile>& lists) {
    for (const auto& file : lists) {
        files::SaveBuffer out = files::unbounded_buffer();
        files::write_scale_list(out, file.list, file.header, false);
        write_file(folder / file.file_name, out.text());
    }
}

// The reset configuration: the header and every setting at its built-in default, with no
// composition, so that a reset leaves the composition alone.
void write_reset_configuration(const fs::path& folder) {
    const files::Settings defaults;
    const engine::Composition composition;
    files::SaveBuffer out;
    files::write_settings(out, defaults, composition);
    write_file(folder / files::kResetConfigurationFileName, out.text());
}

void prepare_output_folder(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) throw Failure("cannot make the folder " + folder.string() + ": " + ec.message());
}

}  // namespace

void add_scales_commands(CLI::App& app) {
    auto* scales = app.add_subcommand("scales", "The list files of the data folder, made by the program's own code");
    scales->require_subcommand(1, 1);

    auto folder = std::make_shared<std::string>(".");
    auto* modes = scales->add_subcommand(
        "twelve-tone-modes", "Write every mode of twelve degrees (each set of semitones with 0, ending with 12) as "
                             "lists of modes grouped by number of notes, the files the twelve-tone mode menu names");
    modes->add_option("-o,--output-folder", *folder, "folder to write into (default: the current folder)");
    modes->callback([folder] {
        prepare_output_folder(*folder);
        write_list_files(*folder, files::twelve_tone_mode_files());
    });

    auto scale_modes_folder = std::make_shared<std::string>(".");
    auto* scale_modes = scales->add_subcommand(
        "scale-mode-lists", "Write the lists of modes the scales of other than twelve degrees name (each the "
                            "moment-of-symmetry modes of its scale) and Modes_for_default_scales.lmd, which opens them");
    scale_modes->add_option("-o,--output-folder", *scale_modes_folder,
                            "folder to write into (default: the current folder)");
    scale_modes->callback([scale_modes_folder] {
        prepare_output_folder(*scale_modes_folder);
        write_list_files(*scale_modes_folder, files::scale_mode_list_files());
    });

    auto reset_folder = std::make_shared<std::string>(".");
    auto* reset = scales->add_subcommand(
        "reset-files", "Write the reset files CRV_reset.ini, CRV_reset.lsc and CRV_reset.lmd (the built-in settings "
                       "and lists) and index.lsc");
    reset->add_option("-o,--output-folder", *reset_folder, "folder to write into (default: the current folder)");
    reset->callback([reset_folder] {
        prepare_output_folder(*reset_folder);
        write_reset_configuration(*reset_folder);
        write_list_files(*reset_folder, files::shipped_list_files());
    });

    add_scale_tool_commands(*scales);
}

}  // namespace corvane::cli
