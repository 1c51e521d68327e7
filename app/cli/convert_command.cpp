#include "convert_command.h"

#include <atomic>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <string>

#include "cli_support.h"
#include "composition_options.h"
#include "corvane/files/workspace.h"
#include "corvane/midi/midi_file_save.h"

namespace corvane::cli {
namespace {

namespace fs = std::filesystem;
using files::OpenedKind;

std::string upper_extension(const fs::path& path) {
    std::string ext = path.extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    for (char& ch : ext) {
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    }
    return ext;
}

// The extensions that can carry what a file of each kind brings.
const std::set<std::string>& outputs_for(OpenedKind kind) {
    static const std::set<std::string> composition{"CV", "CMP", "BTH", "CLR", "INI", "SCL", "MID"};
    static const std::set<std::string> scale{"CV", "CMP", "BTH", "INI", "SCL", "MID"};
    static const std::set<std::string> scales{"LSC"};
    static const std::set<std::string> modes{"LMD"};
    static const std::set<std::string> none;
    switch (kind) {
        case OpenedKind::composition:
        case OpenedKind::configuration: return composition;
        case OpenedKind::scale: return scale;
        case OpenedKind::list_of_scales: return scales;
        case OpenedKind::list_of_modes: return modes;
        case OpenedKind::seeds:
        case OpenedKind::nothing: break;
    }
    return none;
}

std::string_view kind_name(OpenedKind kind) {
    switch (kind) {
        case OpenedKind::composition: return "a composition";
        case OpenedKind::configuration: return "a configuration";
        case OpenedKind::scale: return "a scale";
        case OpenedKind::list_of_scales: return "a list of scales";
        case OpenedKind::list_of_modes: return "a list of modes";
        case OpenedKind::seeds: return "a seeds drop list";
        case OpenedKind::nothing: break;
    }
    return "nothing the program reads";
}

struct ConvertCommand {
    std::string input;
    std::string output;

    void run() const {
        files::Workspace ws;
        ws.program_folder = fs::absolute(fs::path(input)).parent_path();
        const auto opened = files::open_file(ws, input, terminal_reporter());
        if (!opened.read) throw Failure("cannot read " + input);
        const std::string ext = upper_extension(output);
        if (!outputs_for(opened.kind).contains(ext)) {
            throw UsageError(input + " holds " + std::string(kind_name(opened.kind)) + ", which cannot be saved as ." +
                             (ext.empty() ? std::string("(no extension)") : ext));
        }
        const auto save_midi = [&ws](const fs::path& path) { return render_midi(ws, path); };
        if (!files::save_file(ws, output, files::SaveCommand::save_as, terminal_reporter(), save_midi)) {
            throw Failure("cannot save " + output);
        }
        std::cerr << "corvane-cli: wrote " << output << '\n';
    }

    static bool render_midi(const files::Workspace& ws, const fs::path& path) {
        std::atomic<bool> abort{false};
        const auto result =
            midi::render_midi_file(path, ws.composition, files::midi_save_settings(ws.settings), ws.settings.player,
                                   ws.settings.voices, terminal_reporter(), abort);
        return result.written;
    }
};

}  // namespace

void add_convert_command(CLI::App& app) {
    auto command = std::make_shared<ConvertCommand>();
    auto* sub = app.add_subcommand(
        "convert", "Open a file as the program does and save what it holds under the output's extension: a Scala "
                   "scale (.scl) as a composition (.cv) with that scale, a composition as .ini, .scl, .bth, .clr or "
                   ".mid (one minute), a list of scales (.lsc) or modes (.lmd) written back in the program's form");
    sub->add_option("input", command->input, "the file to open")->required();
    sub->add_option("output", command->output, "the file to write; its extension says what is written")->required();
    sub->callback([command] { command->run(); });
}

}  // namespace corvane::cli
