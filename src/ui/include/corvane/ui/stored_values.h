#pragma once

// The per-user stored values in Qt's settings store, under a group for this version of
// the program: "SCALALocation", "MidiDevice", "MidiInDevice", "PlayOnStartUp", the six
// window-code strings named by their occasion, "RecentFiles" and the file dialogs' folders
// under "Folders/<kind>". Missing values leave the defaults; a missing Scala location is
// the "scala" program found on PATH.

#include <QSettings>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/ui/program_context.h"

namespace corvane::ui {

StoredValues read_stored_values(QSettings& store);
void write_stored_values(QSettings& store, const StoredValues& values);

inline constexpr std::size_t kRecentFileCount = 8;

// Puts `path` first in the list of recent files, once, keeping at most kRecentFileCount.
void remember_recent_file(std::vector<std::string>& recent, const std::string& path);
void forget_recent_file(std::vector<std::string>& recent, const std::string& path);

// The kinds of file whose dialogs remember their folder.
inline constexpr std::string_view kCompositionFolders = "compositions";
inline constexpr std::string_view kMidiFileFolders = "midi_files";
inline constexpr std::string_view kRecordingFolders = "recordings";
inline constexpr std::string_view kKeyboardMappingFolders = "keyboard_mappings";

// The folder a file dialog of this kind was last left in, when it still exists.
std::optional<std::string> remembered_folder(const StoredValues& values, std::string_view kind);
// Keeps the folder of the file chosen in a dialog of this kind.
void remember_folder_of(StoredValues& values, std::string_view kind, const std::string& chosen_file);

}  // namespace corvane::ui
