#include "corvane/ui/play_along_events.h"

namespace corvane::ui {

PlayAlongEvents::PlayAlongEvents(midi::PlayAlong& play_along) {
    play_along.midi_in_play().set_listener(this);
    play_along.recorder().set_listener(this);
    play_along.midi_in().set_observer(this);
}

}  // namespace corvane::ui
