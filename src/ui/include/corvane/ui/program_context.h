#pragma once

// Everything the desktop program runs on, in one plain object passed to the windows:
// the workspace (composition, settings, lists), the clock, the timers, the keys, the
// playback chain and the MIDI file save worker. The windows own none of it.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/engine/fractal_tune.h"
#include "corvane/files/workspace.h"
#include "corvane/midi/midi_file_save.h"
#include "corvane/midi/play_along.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/clock.h"
#include "corvane/platform/key_state.h"
#include "corvane/platform/midi_input.h"
#include "corvane/platform/midi_output.h"
#include "corvane/platform/reporter.h"
#include "corvane/platform/steady_timer_service.h"
#include "corvane/ui/launch.h"
#include "corvane/ui/play_along_events.h"
#include "corvane/ui/scale_tool_runner.h"

namespace corvane::ui {

// The keys as the windows see them, readable from any thread.
class WatchedKeys final : public platform::KeyState {
public:
    bool escape_down() const override { return escape_.load(); }
    bool shift_down() const override { return shift_.load(); }
    void set_escape(bool down) { escape_.store(down); }
    void set_shift(bool down) { shift_.store(down); }

private:
    std::atomic<bool> escape_{false};
    std::atomic<bool> shift_{false};
};

// What the player reports, kept in flags that the window looks at while play runs. The
// player's thread only sets a flag: no allocation, no call into the window toolkit.
class PlayerNotices final : public engine::PlayerListener {
public:
    struct Taken {
        bool display = false;
        bool priority_reset = false;
        bool stopped = false;
    };

    Taken take();

    void play_display_update() override { display_.store(true); }
    void priority_reset() override { priority_reset_.store(true); }
    void play_stopped() override { stopped_.store(true); }

private:
    std::atomic<bool> display_{false};
    std::atomic<bool> priority_reset_{false};
    std::atomic<bool> stopped_{false};
};

// The values kept per user in the platform's settings store.
struct StoredValues {
    std::string ScalaLocation;  // "scala" on PATH when the store names none
    std::optional<int> MidiDevice;
    std::optional<int> MidiInDevice;
    PlayOnStartUp play_on_start_up;
    WindowCodeTable window_codes;
    // Files opened or compositions saved, newest first.
    std::vector<std::string> recent_files;
    // The folder each kind of file dialog was last left in, by kind ("compositions", ...).
    std::map<std::string, std::string, std::less<>> dialog_folders;
};

// The caption of what is said about a keyboard mapping that does not read.
inline constexpr std::string_view kKeyboardMappingCaption = "Keyboard mapping";

class ProgramContext {
public:
    ProgramContext(std::filesystem::path program_folder, platform::MidiOutputSystem& outputs,
                   platform::MidiInputSystem& inputs, platform::Reporter& reporter);
    ~ProgramContext();
    ProgramContext(const ProgramContext&) = delete;
    ProgramContext& operator=(const ProgramContext&) = delete;

    files::Workspace& workspace() { return workspace_; }
    engine::Composition& composition() { return workspace_.composition; }
    // A copy taken under the MIDI out port's lock: MIDI in's thread changes the composition
    // (volumes, vibrato, the lowest frequency) while it plays.
    engine::Composition composition_copy();
    files::Settings& settings() { return workspace_.settings; }
    platform::Reporter& reporter() { return reporter_; }
    midi::Playback& playback() { return *playback_; }
    // MIDI in, the computer keyboard and the play-along recording.
    midi::PlayAlong& play_along() { return *play_along_; }
    // What MIDI in and the recorder report, as signals on the window thread.
    PlayAlongEvents& play_along_events() { return *play_along_events_; }
    // The scale library tools, one at a time.
    ScaleToolRunner& scale_tools() { return *scale_tools_; }
    midi::MidiSaveWorker& midi_save() { return midi_save_; }
    WatchedKeys& keys() { return keys_; }
    PlayerNotices& notices() { return notices_; }
    const platform::Clock& clock() const { return clock_; }
    StoredValues& stored() { return stored_; }
    const engine::FractalTune& tune() const { return *tune_; }

    // Stops play and waits until no player event runs any more, so that nothing the
    // player reports can arrive after this returns.
    void stop_play_and_wait();

    // The timer resolution the platform allows, used unless the configuration set one.
    std::uint32_t timer_resolution() const { return timer_resolution_; }
    // After every configuration read: the resolution rule, unless the file set it, and the
    // output latency.
    void apply_configured_devices();

    // Plays MIDI in and the computer keyboard through the keyboard mapping in `path`, read
    // now, and keeps the path in the settings; an empty path goes back to the note
    // assignments. A file that does not read changes nothing: its reason is returned.
    [[nodiscard]] std::optional<std::string> choose_keyboard_mapping(const std::string& path);
    // After every configuration read: the mapping the settings name, read when it is another
    // than the one in use; one that does not read is reported, and none is used.
    void apply_keyboard_mapping();

    // Rebuilds the tune line's copy of the fractal tune after the seed or levels changed.
    void rebuild_tune();

    // Holds the player still around modal work; the count goes back down when the guard
    // ends.
    class PlayHold {
    public:
        explicit PlayHold(ProgramContext& context);
        ~PlayHold();
        PlayHold(const PlayHold&) = delete;
        PlayHold& operator=(const PlayHold&) = delete;

    private:
        ProgramContext& context_;
    };
    PlayHold hold_play() { return PlayHold(*this); }

    // Where a MIDI file save has got to, written by the worker.
    struct SaveWatch {
        std::atomic<int> track{0};
        std::atomic<double> saved_secs{0};
        std::atomic<std::uint64_t> file_bytes{0};
    };
    const SaveWatch& save_watch() const { return save_watch_; }
    // Starts saving the composition as it stands now into a MIDI file on the worker
    // thread. False when a save is already running.
    bool start_midi_save(const std::filesystem::path& path);

    // The global stop flag of the exit: workers poll it.
    std::atomic<bool>& stop_flag() { return stop_flag_; }

private:
    files::Workspace workspace_;
    platform::Reporter& reporter_;
    platform::SteadyClock clock_;
    platform::SteadyTimerService timers_;
    WatchedKeys keys_;
    PlayerNotices notices_;
    std::uint32_t timer_resolution_;
    std::string keyboard_mapping_in_use_;  // the path the mapping in use was read from
    std::unique_ptr<engine::FractalTune> tune_ = std::make_unique<engine::FractalTune>();
    std::unique_ptr<midi::Playback> playback_;
    std::unique_ptr<PlayAlongEvents> play_along_events_;  // outlives the play-along's threads
    std::unique_ptr<midi::PlayAlong> play_along_;
    midi::MidiSaveWorker midi_save_;
    SaveWatch save_watch_;
    StoredValues stored_;
    std::atomic<bool> stop_flag_{false};
    std::unique_ptr<ScaleToolRunner> scale_tools_;
};

}  // namespace corvane::ui
