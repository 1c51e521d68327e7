#include "corvane/ui/exit_sequence.h"

#include "corvane/midi/midi_file_save.h"

namespace corvane::ui {
namespace {

using platform::Answer;

// Asks about one piece of work; Yes stops it. Returns false when the exit is cancelled.
bool ask_to_stop(ExitParticipants& program, platform::Reporter& reporter, Work work, std::string_view question,
                 std::string_view caption, bool& asked) {
    if (reporter.ask_yes_no(question, caption) == Answer::no) return false;
    program.stop(work);
    asked = true;
    return true;
}

}  // namespace

bool run_exit_sequence(ExitParticipants& program, platform::Reporter& reporter) {
    program.silence();
    bool asked_to_stop = false;
    if (program.running(Work::scale_search) &&
        !ask_to_stop(program, reporter, Work::scale_search, kScaleSearchQuestion, kScalesOptionsCaption, asked_to_stop)) {
        return false;
    }
    if (program.running(Work::scale_list_save) &&
        !ask_to_stop(program, reporter, Work::scale_list_save, kScaleListSaveQuestion, kScalesOptionsCaption,
                     asked_to_stop)) {
        return false;
    }
    // One question for the MIDI file workers, the recording's text when both run.
    const bool recording = program.running(Work::play_along_recording);
    const bool saving = program.running(Work::midi_file_save);
    if (recording || saving) {
        const auto question = recording ? kRecordingQuestion : midi::kSaveInProgressQuestion;
        if (reporter.ask_yes_no(question, kExitCaption) == Answer::no) return false;
        if (recording) program.stop(Work::play_along_recording);
        if (saving) program.stop(Work::midi_file_save);
        asked_to_stop = true;
    }
    program.set_stop_flag();
    program.wait_ms(asked_to_stop ? 200 : 20);
    if (!program.save_configuration()) return false;
    program.restore_priority();
    return true;
}

}  // namespace corvane::ui
