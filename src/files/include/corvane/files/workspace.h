#pragma once

// Everything the files of the program carry, and the File-menu flows over them: open and
// save by extension, the window title, and the configuration file's start-up, exit,
// "Read from Corvane.ini now", auto-save and reset flows. The desktop program holds one
// Workspace; the command line builds one per run.

#include <filesystem>
#include <optional>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "corvane/engine/composition.h"
#include "corvane/files/builtin_lists.h"
#include "corvane/files/colours.h"
#include "corvane/files/composition_file.h"
#include "corvane/files/configuration_file.h"
#include "corvane/files/scale_list.h"
#include "corvane/files/seeds_drop_list.h"
#include "corvane/files/settings.h"
#include "corvane/platform/reporter.h"
#include "corvane/tuning/builtin_tables.h"

namespace corvane::files {

struct Workspace {
    std::filesystem::path program_folder;  // the data folder: Corvane.ini, reset files, lists
    engine::Composition composition;
    Settings settings;  // settings.File is the composition file, settings.needs_save its state
    Colours colours = default_colours();
    ScaleList scales = builtin_scale_list();
    ScaleList modes = builtin_mode_list(tuning::kTwelveToneModesCode);
    SeedsDropList seeds;
    // Corvane.ini as this copy last read or wrote it (nothing when there was none), so that an
    // exit does not write over what another copy on the same data folder saved meanwhile.
    std::optional<std::string> configuration_seen;
};

// ---------------------------------------------------------------------------------------
// Open and save

enum class OpenedKind { composition, configuration, scale, list_of_modes, list_of_scales, seeds, nothing };

struct OpenResult {
    bool read = false;  // false: the file could not be read (reported)
    OpenedKind kind = OpenedKind::nothing;
    CompositionReading composition;
    ConfigurationReading configuration;
    // A composition or configuration was read: playing may start if the open asked for it.
    bool may_start_playing() const {
        return read && (kind == OpenedKind::composition || kind == OpenedKind::configuration);
    }
};

// Reads a file and applies it by its extension: none, CV and CMP a composition (CV and
// CMP first reset the channel choice and become the composition file), INI a whole
// configuration, SCL a Scala scale, LMD and LSC lists of modes and of scales, TXT the
// seeds drop list; anything else reads nothing. "Couldn't read from <path>" (caption
// "Open") when the file cannot be read.
// Opening this file puts another composition in place of the one being worked on.
bool opening_replaces_composition(const std::filesystem::path& path);
OpenResult open_file(Workspace& ws, const std::filesystem::path& path, platform::Reporter& reporter);

// The program's MIDI file save: renders the tune into a Standard MIDI File at the path and
// returns whether it did (refusals and failures are its own to report).
using MidiFileSave = std::function<bool(const std::filesystem::path&)>;

enum class SaveCommand { save, save_as };

// Writes what the extension asks for: the composition (CV, CMP and any other), the
// composition and the Colours (BTH), the Colours only (CLR), the configuration (INI), the
// scale as a Scala file (SCL), the list of scales (LSC) or of modes (LMD), a MIDI file
// (MID, through `save_midi`). "&Save" onto an existing file first asks the replace
// question when replace_old_warning is on. After a composition save the path becomes the
// composition file and needs_save is cleared.
bool save_file(Workspace& ws, const std::filesystem::path& path, SaveCommand command, platform::Reporter& reporter,
               const MidiFileSave& save_midi = {});

std::string replace_question(std::string_view file_name, std::string_view folder);
inline constexpr std::string_view kReplaceCaption = "Replace Old Version";
inline constexpr std::string_view kOpenCaption = "Open";
inline constexpr std::string_view kShortOfMemoryMessage = "Very short of memory - can't save file - 10\tKB needed";
inline constexpr std::string_view kSaveFileCaption = "Save File";
inline constexpr std::string_view kNoMidiFileSaveMessage = "Saving MIDI files is not available in this program";

// The composition's file name without its folder and ".cv" or ".cmp"; "first tune (new file)"
// before it has one.
std::string composition_name(const Settings& s);
// "Corvane - first tune (new file)" or "<name> - Corvane", with "*" while needs_save is set.
std::string window_title(const Settings& s);

// The file dialogs: filters in order, and the filter (counted from 1) preselected for the
// current file name.
std::span<const std::string_view> open_dialog_filters();
int open_dialog_filter_for(std::string_view current_name);
// A current name ending in ".mid" is offered with ".cv" instead.
std::string name_offered_to_open(std::string_view current_name);
std::span<const std::string_view> save_dialog_filters();
int save_dialog_filter_for(std::string_view current_name);
inline constexpr std::string_view kFirstSaveName = "first tune.cv";
// The typed name with its extension replaced by that of the chosen filter (counted from 1).
std::string name_for_save_filter(std::string_view typed_name, int filter);
// The save dialog asks before overwriting, except for a MIDI file added to the gallery.
bool save_dialog_asks_before_overwriting(std::string_view name, const Settings& s);
// Where MIDI files and play-along recordings go unless the user chose a folder: beside the
// composition file, else in `home`/Music when it exists, else in `home`.
std::filesystem::path folder_for_outputs(std::string_view composition_file, const std::filesystem::path& home);

// ---------------------------------------------------------------------------------------
// Lists

// Loads a list of modes or scales from a file into the workspace. A list of modes with a
// header scale sets the scale when `set_scale` is on. False when the file cannot be read
// (the lists stay as they were).
bool load_list_of_modes(Workspace& ws, const std::filesystem::path& path, bool set_scale);
bool load_list_of_scales(Workspace& ws, const std::filesystem::path& path);
// The modes that go with the scale after a composition was read, when synchronise_modes
// is on: the built-in scale's modes, or the list named by ListOfModesFile.
void synchronise_modes_after_reading(Workspace& ws, const CompositionReading& reading);
// The seeds drop list of the program folder; false when it cannot be read.
bool load_seeds_drop_list(Workspace& ws);

// ---------------------------------------------------------------------------------------
// The configuration file

std::filesystem::path configuration_path(const Workspace& ws);

// The start of the program: a new composition, the built-in defaults with auto-save on,
// "Corvane.ini" from the program folder (a file saved with auto-save off is not applied),
// then the lists it names and the seeds drop list. False when Corvane.ini could not be
// read; auto-save then stays on so that the file is made at exit.
bool start_up(Workspace& ws);

// Reads a configuration file into the workspace and loads the lists it names.
bool load_configuration_file(Workspace& ws, const std::filesystem::path& path, const ConfigurationReadOptions& options,
                             ConfigurationReading* reading = nullptr);

// "Read from Corvane.ini now": applied even when saved with auto-save off; a failure is
// reported with its message.
bool read_configuration_now(Workspace& ws, platform::Reporter& reporter);
std::string read_now_failed_message(std::string_view file_name, std::string_view folder);
inline constexpr std::string_view kReadNowCaption = "Read from Corvane.ini now";

// Writes "Corvane.ini" in the program folder.
bool save_configuration_file(Workspace& ws, platform::Reporter& reporter);

// Corvane.ini differs from what this copy last read or wrote: another copy saved it.
bool configuration_changed_elsewhere(const Workspace& ws);

// At exit: saves when auto-save is on, asking first when another copy saved the file since
// (No keeps the other copy's file); when the save fails, asks whether to exit anyway.
// Returns whether the exit may go on.
bool save_configuration_at_exit(Workspace& ws, platform::Reporter& reporter);
std::string exit_save_failed_question(std::string_view file_name, std::string_view folder);

// "Auto save Config.": flips auto-save and writes the file at once, so that a file with
// auto-save off records that state.
bool toggle_auto_save(Workspace& ws, platform::Reporter& reporter);

// "Reset": the settings from "CRV_reset.ini" (file names kept) or, without it, the
// built-in defaults; the lists from "CRV_reset.lsc" and "CRV_reset.lmd" or the built-in ones.
void reset_settings(Workspace& ws);

}  // namespace corvane::files
