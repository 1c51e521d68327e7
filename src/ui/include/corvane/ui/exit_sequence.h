#pragma once

// What happens when the user exits: notes off, a question for each piece of running
// work, the stop flag and a wait, then the configuration save. Kept apart from the
// windows so that the order can be tested on its own.

#include <string_view>

#include "corvane/platform/reporter.h"

namespace corvane::ui {

inline constexpr std::string_view kScaleSearchQuestion =
    "Search of scales in drop down list in progress.\n\nClose dialog anyway?";
inline constexpr std::string_view kScaleListSaveQuestion = "Save of list of scales in progress.\n\nClose dialog anyway?";
inline constexpr std::string_view kScalesOptionsCaption = "Scales options for Corvane";
inline constexpr std::string_view kRecordingQuestion = "Record play along to MIDI in progress.\n\nExit anyway?";
inline constexpr std::string_view kExitCaption = "Exit";

// The work that may still run when the user exits.
enum class Work { scale_search, scale_list_save, play_along_recording, midi_file_save };

// The parts of the program the exit goes through, in the order they are called.
class ExitParticipants {
public:
    virtual ~ExitParticipants() = default;
    // Stops play and sends All Sound Off on every channel when MIDI out is open.
    virtual void silence() = 0;
    virtual bool running(Work work) const = 0;
    virtual void stop(Work work) = 0;
    virtual void set_stop_flag() = 0;
    virtual void wait_ms(int ms) = 0;
    // Saves the configuration when auto-save is on; false when the user chose to stay.
    virtual bool save_configuration() = 0;
    virtual void restore_priority() = 0;
};

// Runs the exit in order; false when the user cancelled it (nothing after the cancelled
// question has happened).
bool run_exit_sequence(ExitParticipants& program, platform::Reporter& reporter);

}  // namespace corvane::ui
