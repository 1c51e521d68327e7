#pragma once

// The launch of the desktop program, in order: the start folder and file, the data
// folder, the hand-off to a running copy, the timer resolution, the main window (or the
// message that it could not be made), its initialisation and the start file.

#include <QApplication>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::ui {

inline constexpr std::string_view kCannotCreateWindowMessage = "Unable to create a new window to start the program.";
inline constexpr std::string_view kProgramCaption = "Corvane";

// The colours of the windows: the platform theme's (the default), or the Fusion style with a
// light or a dark palette, for desktops whose theme gives Qt none.
enum class ColourScheme { platform, light, dark };

// "dark" or "light" (CORVANE_COLOUR_SCHEME); anything else leaves the platform's colours.
ColourScheme colour_scheme_named(std::string_view name);

struct Launch {
    std::optional<std::string> start_file;  // as given on the command line
    bool shift_held = false;
    // The data folder to use instead of the one this process would choose.
    std::optional<std::filesystem::path> data_folder;
    ColourScheme colour_scheme = ColourScheme::platform;
};

// Runs the program until its main window closes; the process's exit code.
int run_desktop_program(QApplication& app, const Launch& launch);

}  // namespace corvane::ui
