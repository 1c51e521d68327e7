#include "corvane/midi/play_along.h"

#include <chrono>
#include <thread>

namespace corvane::midi {

PlayAlong::PlayAlong(Playback& playback, engine::Composition& composition, PlayAlongSettings& settings,
                     const SmfSettings& smf, PlayAlongMachine machine, std::filesystem::path folder)
    : playback_(playback),
      recorder_({playback.port(), playback.voices(), machine.clock, machine.reporter}, settings, smf, std::move(folder)),
      play_(playback, composition, settings, recorder_, machine.clock),
      port_(machine.inputs, machine.reporter, play_),
      keyboard_(playback, composition, settings, recorder_, machine.clock) {}

void PlayAlong::select_input(int command) {
    if (playback_.port().is_open()) {
        playback_.silence_all();
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        playback_.port().all_sound_off();
    }
    port_.select(command);
}

void PlayAlong::set_keyboard_mapping(const std::optional<tuning::KeyboardMapping>& mapping) {
    play_.set_keyboard_mapping(mapping);
    keyboard_.set_keyboard_mapping(mapping);
}

}  // namespace corvane::midi
