#pragma once

// The playback machine of the display and editor tests: a simulated clock with manual
// timers, a recording output device, no MIDI keyboard, files in a temporary folder.

#include <cstdint>
#include <vector>

#include "corvane/files/workspace.h"
#include "corvane/midi/play_along.h"
#include "corvane/platform/injected_input.h"
#include "corvane/platform/manual_timer_service.h"
#include "corvane/platform/recording_output.h"
#include "corvane/ui/tune_graph_window.h"
#include "midi/midi_test_support.h"

namespace corvane::ui::testing {

struct Sent {
    int kind = 0;  // status without the channel; a note-on of velocity 0 counts as 0x80
    int channel = 0;
    int data1 = 0;
    int data2 = 0;
    bool operator==(const Sent&) const = default;
};

struct DisplayMachine {
    platform::ManualClock clock{1000};
    platform::ManualTimerService timers{clock};
    platform::RecordingOutputSystem devices{clock};
    platform::InjectedInputSystem inputs;
    platform::NoKeysHeld keys;
    platform::RecordingReporter reporter;
    corvane::testing::TempFolder folder;
    files::Workspace ws;
    midi::Playback playback{ws.composition, ws.settings.player, ws.settings.voices,
                            midi::PlaybackMachine{devices, timers, clock, keys, reporter}};
    midi::PlayAlong play_along{playback,      ws.composition, ws.settings.play_along, ws.settings.smf,
                               midi::PlayAlongMachine{inputs, clock, reporter}, folder.path()};

    DisplaySources sources() { return {ws, playback, play_along, clock}; }

    std::size_t mark() const { return devices.recording()->size(); }
    std::vector<Sent> sent_since(std::size_t first, int kind) const {
        std::vector<Sent> out;
        const auto all = devices.recording()->messages();
        for (std::size_t i = first; i < all.size(); ++i) {
            const std::uint32_t m = all[i].message;
            Sent s{static_cast<int>(m & 0xF0), static_cast<int>(m & 0x0F), static_cast<int>((m >> 8) & 0x7F),
                   static_cast<int>((m >> 16) & 0x7F)};
            if (s.kind == 0x90 && s.data2 == 0) s.kind = 0x80;
            if (s.kind == kind) out.push_back(s);
        }
        return out;
    }
    std::vector<int> notes_since(std::size_t first, int kind) const {
        std::vector<int> notes;
        for (const Sent& s : sent_since(first, kind)) notes.push_back(s.data1);
        return notes;
    }
};

}  // namespace corvane::ui::testing
