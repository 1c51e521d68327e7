#include "corvane/ui/play_along_events.h"

namespace corvane::ui {

void PlayAlongEvents::listen_to(midi::PlayAlong& play_along) {
    play_along.midi_in_play().set_listener(this);
    play_along.recorder().set_listener(this);
    play_along.midi_in().set_observer(this);
    play_along.keyboard().set_listener(this);
}

}  // namespace corvane::ui
