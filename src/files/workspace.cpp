#include "corvane/files/workspace.h"

#include <array>
#include <new>

#include "corvane/files/scala_file.h"
#include "corvane/files/whole_file.h"
#include "corvane/tuning/pitch_format.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/scala.h"
#include "text_scan.h"

namespace corvane::files {
namespace {

namespace fs = std::filesystem;
using detail::equals_any_case;

constexpr std::array<std::string_view, 8> kOpenFilters{
    "Corvane Files (*.CV;*.CMP)",
    "Lists of modes (*.LMD)",
    "Lists of scales (*.LSC)",
    "Scales (*.SCL)",
    "Text as m.s. drop list (*.TXT)",
    "Configuration settings (*.INI)",
    "All types recognised (*.CV;*.CMP;*.INI;*.LMD;*.LSC;*.SCL;*.TXT)",
    "All Files (*.*)",
};

constexpr std::array<std::string_view, 6> kSaveFilters{
    "Corvane Files (*.CV)",   "MIDI files(*.MID)", "Lists of modes (*.LMD)", "Lists of scales(*.LSC)",
    "Scales (*.SCL)",         "Configuration settings (*.INI)",
};
constexpr std::array<std::string_view, 6> kSaveFilterExtensions{"cv", "mid", "lmd", "lsc", "scl", "ini"};

// The extension in capitals, without its point; empty when there is none.
std::string extension_of(std::string_view name) {
    const auto slash = name.find_last_of("/\\");
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    std::string ext(name.substr(dot + 1));
    for (char& ch : ext) ch = detail::ascii_upper(ch);
    return ext;
}
std::string extension_of(const fs::path& path) { return extension_of(std::string_view(path.native())); }

bool is_composition_extension(std::string_view ext) { return ext == "CV" || ext == "CMP"; }

std::string folder_text(const fs::path& folder) {
    std::string text = folder.string();
    if (!text.empty() && text.back() != '/') text += '/';
    return text;
}

std::string file_name_of(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string scale_text(const engine::Composition& c) {
    tuning::PitchListWriting how;
    return std::string(detail::trimmed(tuning::write_pitch_list(c.Intervals, tuning::PitchFormat::full_precision(), how)));
}

void set_scale_from_header(Workspace& ws, const HeaderScale& scale) {
    const auto reading = tuning::read_pitch_list(scale.definition, tuning::PitchForm::ratio,
                                                 tuning::ListNotation::absolute,
                                                 ws.composition.Frequency_of_lowest_note);
    engine::set_intervals(ws.composition, reading.entries);
    if (reading.lowest_frequency) ws.composition.Frequency_of_lowest_note = *reading.lowest_frequency;
    ws.composition.Intervals_Title = scale.title;
}

void apply_list_of_modes(Workspace& ws, std::string_view text, bool set_scale) {
    auto reading = read_scale_list(text, ListKind::modes);
    if (set_scale && reading.header_scale) set_scale_from_header(ws, *reading.header_scale);
    ws.modes = std::move(reading.list);
}

void remember_composition_file(Workspace& ws, const fs::path& path) {
    ws.settings.File = path.string();
    ws.settings.Directory = path.parent_path().string();
    ws.settings.needs_save = false;
}

void after_composition_read(Workspace& ws, const CompositionReading& reading) {
    if (!reading.list_of_modes_directory.empty()) ws.settings.ListOfModesDirectory = reading.list_of_modes_directory;
    synchronise_modes_after_reading(ws, reading);
}

std::string list_description(const ScaleList& list, const fs::path& path) {
    if (!list.header.empty()) return list.header;
    std::string name = path.stem().string();
    std::replace(name.begin(), name.end(), '_', ' ');
    return name;
}

void open_list_of_scales(Workspace& ws, const fs::path& path, std::string_view text, platform::Reporter& reporter) {
    ws.scales = read_scale_list(text, ListKind::scales).list;
    ws.settings.ListOfScalesFile = path_for_lists(ws.program_folder, path);
    ws.settings.ListOfScalesDirectory.clear();
    if (ws.settings.add_lsc_files_to_index_lsc_on_save_or_open) {
        add_to_index(ws.program_folder, path, list_description(ws.scales, path), reporter);
    }
}

void open_scala_scale(Workspace& ws, const fs::path& path, std::string_view text) {
    const auto reading = tuning::read_scala_text(text);
    engine::set_intervals(ws.composition, reading.entries);
    ws.composition.Intervals_Title = scala_scale_title(reading, path.filename().string(), ws.settings);
    ws.settings.needs_save = true;
}

// The list of modes after a configuration read: the one that goes with the composition's
// scale, or the one the configuration names.
void load_lists_of_configuration(Workspace& ws, const ConfigurationReading& reading) {
    if (!ws.settings.ListOfScalesFile.empty()) {
        load_list_of_scales(ws, resolve_list_path(ws.program_folder, ws.settings.ListOfScalesFile,
                                                  ws.settings.ListOfScalesDirectory));
    }
    if (reading.composition_read) ws.settings.ListOfModesDirectory = reading.composition.list_of_modes_directory;
    const bool builtin = reading.composition_read && ws.settings.synchronise_modes &&
                         !reading.composition.builtin_scale_modes.empty();
    if (builtin) {
        synchronise_modes_after_reading(ws, reading.composition);
    } else if (!ws.composition.ListOfModesFile.empty()) {
        load_list_of_modes(ws, resolve_list_path(ws.program_folder, ws.composition.ListOfModesFile,
                                                 ws.settings.ListOfModesDirectory),
                           false);
    }
}

// The text of a save by extension; nothing when memory runs out (reported).
std::optional<std::string> formatted_for_save(const Workspace& ws, const fs::path& path, std::string_view ext,
                                              platform::Reporter& reporter) {
    try {
        if (ext == "LSC" || ext == "LMD") {
            SaveBuffer out = unbounded_buffer();
            if (ext == "LSC") {
                const std::string header = ws.scales.header.empty() ? ws.composition.Intervals_Title : ws.scales.header;
                write_scale_list(out, ws.scales, header, ws.settings.add_lsc_files_to_index_lsc_on_save_or_open);
            } else {
                const std::string header = ws.modes.header.empty()
                                               ? ws.composition.Intervals_Title + " " + scale_text(ws.composition)
                                               : ws.modes.header;
                write_scale_list(out, ws.modes, header, false);
            }
            return out.take();
        }
        SaveBuffer out;
        if (ext == "BTH") {
            write_composition(out, ws.composition);
            write_colours(out, ws.colours);
        } else if (ext == "CLR") {
            write_colours(out, ws.colours);
        } else if (ext == "INI") {
            write_configuration(out, ws.settings, ws.composition, ws.colours);
        } else if (ext == "SCL") {
            write_scl(out, path.filename().string(), ws.composition.Intervals_Title, ws.composition.Intervals);
        } else {
            write_composition(out, ws.composition);
        }
        return out.take();
    } catch (const std::bad_alloc&) {
        reporter.report(kShortOfMemoryMessage, kSaveFileCaption);
        return std::nullopt;
    }
}

bool asks_to_replace(const Workspace& ws, const fs::path& path, SaveCommand command, bool midi) {
    std::error_code ec;
    return command == SaveCommand::save && fs::exists(path, ec) && ws.settings.replace_old_warning &&
           !(midi && ws.settings.mf_add_to_gallery);
}

}  // namespace

bool opening_replaces_composition(const fs::path& path) {
    const std::string ext = extension_of(path);
    return ext.empty() || is_composition_extension(ext);
}

OpenResult open_file(Workspace& ws, const fs::path& path, platform::Reporter& reporter) {
    OpenResult result;
    const auto text = read_whole_file(path);
    if (!text) {
        reporter.report("Couldn't read from " + path.string(), kOpenCaption);
        return result;
    }
    result.read = true;
    const std::string ext = extension_of(path);
    if (ext.empty() || is_composition_extension(ext)) {
        if (!ext.empty()) reset_channel_choice(ws.composition);
        result.kind = OpenedKind::composition;
        result.composition = read_composition(*text, ws.composition, ws.colours);
        if (!ext.empty()) remember_composition_file(ws, path);
        ws.settings.needs_save = false;
        after_composition_read(ws, result.composition);
    } else if (ext == "TXT") {
        result.kind = OpenedKind::seeds;
        ws.seeds = read_drop_list(*text);
    } else if (ext == "INI") {
        // Opened on purpose from the File menu: applied even if saved with auto-save off.
        result.kind = OpenedKind::configuration;
        result.configuration =
            read_configuration(*text, {.explicit_read = true}, ws.settings, ws.composition, ws.colours);
        load_lists_of_configuration(ws, result.configuration);
    } else if (ext == "SCL") {
        result.kind = OpenedKind::scale;
        open_scala_scale(ws, path, *text);
    } else if (ext == "LMD") {
        result.kind = OpenedKind::list_of_modes;
        apply_list_of_modes(ws, *text, ws.settings.synchronise_modes);
        ws.composition.ListOfModesFile = path_for_lists(ws.program_folder, path);
        ws.settings.ListOfModesDirectory.clear();
    } else if (ext == "LSC") {
        result.kind = OpenedKind::list_of_scales;
        open_list_of_scales(ws, path, *text, reporter);
    }
    return result;
}

bool save_file(Workspace& ws, const fs::path& path, SaveCommand command, platform::Reporter& reporter,
               const MidiFileSave& save_midi) {
    const std::string ext = extension_of(path);
    const bool midi = ext == "MID";
    if (asks_to_replace(ws, path, command, midi)) {
        const auto question = replace_question(path.filename().string(), folder_text(path.parent_path()));
        if (reporter.ask_yes_no(question, kReplaceCaption) == platform::Answer::no) return false;
    }
    if (midi) {
        if (save_midi) return save_midi(path);
        reporter.report(kNoMidiFileSaveMessage, kSaveFileCaption);
        return false;
    }
    const auto text = formatted_for_save(ws, path, ext, reporter);
    if (!text) return false;
    if (!write_whole_file(path, *text, reporter)) {
        reporter.report(kErrorWritingCaption, path.string());
        return false;
    }
    if (ext == "LSC" && ws.settings.add_lsc_files_to_index_lsc_on_save_or_open) {
        add_to_index(ws.program_folder, path, list_description(ws.scales, path), reporter);
    }
    if (is_composition_extension(ext)) remember_composition_file(ws, path);
    return true;
}

std::string replace_question(std::string_view file_name, std::string_view folder) {
    std::string question = "Replace old version of \"";
    question += file_name;
    question += "\"?\n\nFolder \"";
    question += folder;
    question += "\"\n\n(untick \"Replace old warning\" in File menu if you don't want to see these warnings)";
    return question;
}

std::string composition_name(const Settings& s) {
    if (s.File.empty()) return "first tune (new file)";
    std::string name = file_name_of(s.File);
    for (const std::string_view ext : {".cv", ".cmp"}) {
        if (detail::ends_with_any_case(name, ext)) {
            name.resize(name.size() - ext.size());
            break;
        }
    }
    return name;
}

std::string window_title(const Settings& s) {
    const std::string_view unsaved = s.needs_save ? "*" : "";
    if (s.File.empty()) return "Corvane - " + composition_name(s) + std::string(unsaved);
    return composition_name(s) + std::string(unsaved) + " - Corvane";
}

std::span<const std::string_view> open_dialog_filters() { return kOpenFilters; }

int open_dialog_filter_for(std::string_view current_name) {
    const std::string ext = extension_of(current_name);
    if (ext == "LMD") return 2;
    if (ext == "LSC") return 3;
    if (ext == "SCL") return 4;
    if (ext == "TXT") return 5;
    if (ext == "INI") return 6;
    return 1;
}

std::string name_offered_to_open(std::string_view current_name) {
    std::string name(current_name);
    if (detail::ends_with_any_case(name, ".mid")) name.replace(name.size() - 4, 4, ".cv");
    return name;
}

std::span<const std::string_view> save_dialog_filters() { return kSaveFilters; }

int save_dialog_filter_for(std::string_view current_name) {
    const std::string ext = extension_of(current_name);
    if (ext == "MID") return 2;
    if (ext == "LMD") return 3;
    if (ext == "LSC") return 4;
    if (ext == "SCL") return 5;
    if (ext == "INI") return 6;
    return 1;
}

std::string name_for_save_filter(std::string_view typed_name, int filter) {
    if (filter < 1 || filter > static_cast<int>(kSaveFilterExtensions.size())) return std::string(typed_name);
    std::string name(typed_name);
    const auto slash = name.find_last_of("/\\");
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.resize(dot);
    return name + "." + std::string(kSaveFilterExtensions[static_cast<std::size_t>(filter - 1)]);
}

bool save_dialog_asks_before_overwriting(std::string_view name, const Settings& s) {
    return !(extension_of(name) == "MID" && s.mf_add_to_gallery);
}

fs::path folder_for_outputs(std::string_view composition_file, const fs::path& home) {
    std::error_code error;
    if (!composition_file.empty()) {
        const fs::path file = fs::absolute(fs::path(composition_file), error);
        if (!error) return file.parent_path();
    }
    const fs::path music = home / "Music";
    return fs::is_directory(music, error) ? music : home;
}

bool load_list_of_modes(Workspace& ws, const fs::path& path, bool set_scale) {
    const auto text = read_whole_file(path);
    if (!text) return false;
    apply_list_of_modes(ws, *text, set_scale);
    return true;
}

bool load_list_of_scales(Workspace& ws, const fs::path& path) {
    const auto text = read_whole_file(path);
    if (!text) return false;
    ws.scales = read_scale_list(*text, ListKind::scales).list;
    return true;
}

void synchronise_modes_after_reading(Workspace& ws, const CompositionReading& reading) {
    if (!ws.settings.synchronise_modes) return;
    const std::string& modes = reading.builtin_scale_modes;
    if (modes == tuning::kTwelveToneModesCode || modes == tuning::kNoModesCode) {
        ws.modes = builtin_mode_list(modes);
    } else if (!modes.empty()) {
        load_list_of_modes(ws, ws.program_folder / modes, false);
    } else if (!ws.composition.ListOfModesFile.empty()) {
        load_list_of_modes(ws, resolve_list_path(ws.program_folder, ws.composition.ListOfModesFile,
                                                 ws.settings.ListOfModesDirectory),
                           false);
    }
}

bool load_seeds_drop_list(Workspace& ws) {
    const auto text = read_whole_file(ws.program_folder / kSeedsDropListFileName);
    if (!text) return false;
    ws.seeds = read_drop_list(*text);
    return true;
}

fs::path configuration_path(const Workspace& ws) { return ws.program_folder / kConfigurationFileName; }

bool load_configuration_file(Workspace& ws, const fs::path& path, const ConfigurationReadOptions& options,
                             ConfigurationReading* reading) {
    const auto text = read_whole_file(path);
    if (!text) return false;
    if (path == configuration_path(ws)) ws.configuration_seen = *text;
    const ConfigurationReading result = read_configuration(*text, options, ws.settings, ws.composition, ws.colours);
    if (!result.stopped_by_auto_save_off && !options.reset_file) load_lists_of_configuration(ws, result);
    if (reading != nullptr) *reading = result;
    return true;
}

bool start_up(Workspace& ws) {
    ws.composition = engine::new_composition();
    ws.settings.Auto_save_to_Corvane_ini_on_exit = true;
    set_default_configuration(ws.settings, ws.composition);
    const bool read = load_configuration_file(ws, configuration_path(ws), {});
    if (!read) ws.settings.Auto_save_to_Corvane_ini_on_exit = true;
    load_seeds_drop_list(ws);
    return read;
}

std::string read_now_failed_message(std::string_view file_name, std::string_view folder) {
    std::string message = "Couldn't read configuration settings from file ";
    message += file_name;
    message += " in folder:\n";
    message += folder;
    message += "\n\nTo make this file in this folder when you exit from Corvane, tick:\n\"Save to Corvane.ini on "
               "Exit\" (File menu).";
    return message;
}

bool read_configuration_now(Workspace& ws, platform::Reporter& reporter) {
    if (load_configuration_file(ws, configuration_path(ws), {.explicit_read = true})) return true;
    reporter.report(read_now_failed_message(kConfigurationFileName, folder_text(ws.program_folder)), kReadNowCaption);
    return false;
}

bool save_configuration_file(Workspace& ws, platform::Reporter& reporter) {
    SaveBuffer out;
    write_configuration(out, ws.settings, ws.composition, ws.colours);
    if (!write_whole_file(configuration_path(ws), out.text(), reporter)) return false;
    ws.configuration_seen = std::string(out.text());
    return true;
}

bool configuration_changed_elsewhere(const Workspace& ws) {
    const auto now = read_whole_file(configuration_path(ws));
    return now && now != ws.configuration_seen;
}

std::string configuration_changed_elsewhere_question(std::string_view file_name, std::string_view folder) {
    return std::string(file_name) + " in folder " + std::string(folder) +
           " was saved by another copy of Corvane after this copy read it.\n\nSave this copy's settings and "
           "fractal melody over it? (No keeps what the other copy saved.)";
}

std::string exit_save_failed_question(std::string_view file_name, std::string_view folder) {
    std::string question = "Couldn't save to ";
    question += file_name;
    question += " in folder ";
    question += folder;
    question += ".\n\nThis is the file used to auto save the configuration settings and fractal melody for the start "
                "of the next session.\n\nExit anyway?";
    return question;
}

bool save_configuration_at_exit(Workspace& ws, platform::Reporter& reporter) {
    if (!ws.settings.Auto_save_to_Corvane_ini_on_exit) return true;
    if (configuration_changed_elsewhere(ws)) {
        const auto question =
            configuration_changed_elsewhere_question(kConfigurationFileName, folder_text(ws.program_folder));
        if (reporter.ask_yes_no(question, kConfigurationFileName) == platform::Answer::no) return true;
    }
    if (save_configuration_file(ws, reporter)) return true;
    const auto question = exit_save_failed_question(kConfigurationFileName, folder_text(ws.program_folder));
    return reporter.ask_yes_no(question, kErrorWritingCaption) == platform::Answer::yes;
}

bool toggle_auto_save(Workspace& ws, platform::Reporter& reporter) {
    ws.settings.Auto_save_to_Corvane_ini_on_exit = !ws.settings.Auto_save_to_Corvane_ini_on_exit;
    return save_configuration_file(ws, reporter);
}

void reset_settings(Workspace& ws) {
    const ConfigurationReadOptions reset{.explicit_read = true, .reset_file = true};
    if (!load_configuration_file(ws, ws.program_folder / kResetConfigurationFileName, reset)) {
        // As with the reset file, the names of the files in use stay.
        const Settings before = ws.settings;
        const std::string modes_file = ws.composition.ListOfModesFile;
        set_default_configuration(ws.settings, ws.composition);
        ws.settings.File = before.File;
        ws.settings.ListOfScalesFile = before.ListOfScalesFile;
        ws.composition.ListOfModesFile = modes_file;
    }
    if (!load_list_of_scales(ws, ws.program_folder / kResetScalesFileName)) ws.scales = builtin_scale_list();
    if (!load_list_of_modes(ws, ws.program_folder / kResetModesFileName, false)) {
        ws.modes = builtin_mode_list(tuning::kTwelveToneModesCode);
    }
}

}  // namespace corvane::files
