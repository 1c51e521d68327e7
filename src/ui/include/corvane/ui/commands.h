#pragma once

// The commands of the main window's menus and buttons, and which of them may run while a
// MIDI file is being saved.

namespace corvane::ui {

enum class CommandGroup {
    opens_window,    // a dialog or window of its own
    help,            // help and about
    exit,
    hand_off,        // a file handed over by a second launch
    device,          // the Out (and In) menus
    options,         // the option flags of the File menu
    edit,            // anything that changes the composition, files or play
};

// While a save runs the program accepts only commands that open windows, help, about,
// exit, the hand-off and the device and options menus; the others only refresh the display.
constexpr bool allowed_while_midi_save(CommandGroup group) { return group != CommandGroup::edit; }

}  // namespace corvane::ui
