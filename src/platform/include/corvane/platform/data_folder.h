#pragma once

// The program's own folder for its configuration file, reset files and lists. A copy of
// the program in a folder it may write to (a build tree, a portable copy on a stick) keeps
// its data beside the executable; an installed copy (whose installed data lies in
// <prefix>/share/corvane beside its bin folder) and one in a folder it cannot write to keep
// it per user, in $XDG_CONFIG_HOME/corvane (or ~/.config/corvane). The folder is created
// when first needed and any data file it lacks is copied in from the installed data.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvane::platform {

struct DataFolderPlaces {
    std::filesystem::path executable_folder;
    std::filesystem::path xdg_config_home;  // empty when not set
    std::filesystem::path home;             // empty when not set
    // Where the installed data may lie, most specific first; the first that exists is used.
    std::vector<std::filesystem::path> installed_data_candidates;
};

enum class DataFolderKind { beside_executable, per_user };

struct DataFolder {
    std::filesystem::path folder;
    DataFolderKind kind = DataFolderKind::per_user;
};

// The places of this process: its executable's folder, the environment, and the installed
// data folders (<executable>/../share/corvane, the install prefix's, the source tree's).
DataFolderPlaces places_of_this_process();

// The installed data folder among the candidates, if any exists.
std::optional<std::filesystem::path> installed_data_folder(const DataFolderPlaces& places);

// Beside the executable when that folder can be written to and is not an installed bin
// folder; otherwise the per-user folder. Nothing when neither can be named.
std::optional<DataFolder> choose_data_folder(const DataFolderPlaces& places);

// Creates the folder if needed and copies in each file of `installed` that it lacks.
// Returns an empty text, or what went wrong.
std::string prepare_data_folder(const std::filesystem::path& folder,
                                const std::optional<std::filesystem::path>& installed);

// All of the above for this process. Nothing, with the reason in `error`, when no folder
// could be prepared.
std::optional<DataFolder> open_data_folder(std::string& error);

// True when a file can be created in the folder (tried, not guessed from permissions).
bool folder_is_writable(const std::filesystem::path& folder);

}  // namespace corvane::platform
