#pragma once

#include <filesystem>
#include <optional>

#include "corvane/midi/midi_in_play.h"
#include "corvane/midi/midi_in_port.h"
#include "corvane/midi/pc_keyboard.h"
#include "corvane/midi/play_along_recorder.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/midi_input.h"

namespace corvane::midi {

struct PlayAlongMachine {
    platform::MidiInputSystem& inputs;
    const platform::Clock& clock;
    platform::Reporter& reporter;
};

// Playing along with the tune: MIDI in, the computer keyboard and the recording of what is
// played, wired to the playback they sound through.
class PlayAlong {
public:
    PlayAlong(Playback& playback, engine::Composition& composition, PlayAlongSettings& settings, const SmfSettings& smf,
              PlayAlongMachine machine, std::filesystem::path folder);

    MidiInPort& midi_in() { return port_; }
    MidiInPlay& midi_in_play() { return play_; }
    PcKeyboard& keyboard() { return keyboard_; }
    PlayAlongRecorder& recorder() { return recorder_; }

    // midi_in_select: silences the output first when it is open.
    void select_input(int command);

    // MIDI in and the computer keyboard play through the mapping (read beforehand, from the
    // file midi_in_keyboard_mapping names); none: through the note assignments and degrees.
    void set_keyboard_mapping(const std::optional<tuning::KeyboardMapping>& mapping);

private:
    Playback& playback_;
    PlayAlongRecorder recorder_;
    MidiInPlay play_;
    MidiInPort port_;
    PcKeyboard keyboard_;
};

}  // namespace corvane::midi
