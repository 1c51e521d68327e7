#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "corvane/engine/channel_voices.h"
#include "corvane/engine/composition.h"
#include "corvane/engine/player.h"
#include "corvane/midi/smf_settings.h"
#include "corvane/platform/reporter.h"
#include "corvane/tuning/note_names.h"

namespace corvane::midi {

// The settings of a MIDI file save (configuration keys) besides those of the writer.
struct MidiSaveSettings {
    double midi_file_play_mins = 1;
    double midi_file_play_secs = 0;
    int midi_file_format = 0;
    bool hex_dump = false;
    bool mf_auto_generate_key_signatures = true;
    SmfSettings smf;

    double end_secs() const { return midi_file_play_mins * 60.0 + midi_file_play_secs; }
};

// Where a save has got to, for the title and the status lines.
struct SaveProgress {
    int track = 0;           // the pass being rendered, from 0
    int tracks = 1;
    double saved_secs = 0;   // the render clock
    std::uint64_t file_bytes = 0;
    std::int64_t notes = 0;
};

struct SaveResult {
    bool written = false;  // the file was made and closed without a write error
    bool stopped = false;  // Stop ended it early: the file is valid, only shorter
    double saved_secs = 0;
    std::uint64_t file_bytes = 0;
};

using SaveProgressListener = std::function<void(const SaveProgress&)>;

// Renders the composition into a Standard MIDI File: the player runs on a render clock
// instead of timers, once per track (or once in all in single-pass mode), and everything it
// sends is written instead of played. Formats 1 and 2 get a track for every channel that
// sounds a note (a first pass finds them), so notes moved to spare channels for their bends
// keep a track; a format 0 and a format 1 file hold the same events at the same ticks. Stop (`abort`) ends the pass early and still closes
// the file properly. Runs on the caller's thread; MidiSaveWorker runs it on one of its own.
SaveResult render_midi_file(const std::filesystem::path& path, const engine::Composition& composition,
                            MidiSaveSettings settings, const engine::PlayerSettings& player_settings,
                            const engine::VoiceSettings& voice_settings, platform::Reporter& reporter,
                            std::atomic<bool>& abort, const SaveProgressListener& progress = {});

class FileEventSink;

// One render of the tune as a format 0 save makes it, every message the port writes passed
// to `sink` (on track 0, deltas in ticks of ticks_per_second(settings.smf)): for readers that
// want the music as events rather than as a file. Gives the time the render reached.
double render_events(const engine::Composition& composition, const MidiSaveSettings& settings,
                     const engine::PlayerSettings& player_settings, const engine::VoiceSettings& voice_settings,
                     platform::Reporter& reporter, std::atomic<bool>& abort, FileEventSink& sink);

// The key signature a save chooses by itself for the composition's mode.
tuning::KeySignature automatic_key_signature(const engine::Composition& composition);


// The main window's title while saving, and the two status lines.
std::string saving_title(int track, bool format_has_tracks, std::string_view composition_name, bool needs_save);
std::string saved_time_text(double seconds);
std::string file_size_text(std::uint64_t bytes);

// The refusal while a play-along recording runs.
std::string recording_in_progress_message(std::string_view play_along_file);
inline constexpr std::string_view kSaveMidiFileCaption = "Save MIDI file";
inline constexpr std::string_view kSaveInProgressQuestion = "Midi file save in progress.\n\nExit anyway?";

// Runs one save on a worker thread; stop() asks it to end early.
class MidiSaveWorker {
public:
    MidiSaveWorker() = default;
    ~MidiSaveWorker();
    MidiSaveWorker(const MidiSaveWorker&) = delete;
    MidiSaveWorker& operator=(const MidiSaveWorker&) = delete;

    // False when a save is already running.
    bool start(std::function<SaveResult(std::atomic<bool>& abort)> save);
    void stop() { abort_.store(true); }
    bool running() const { return running_.load(); }
    // Waits for the save to end and gives its result.
    SaveResult wait();

private:
    std::thread thread_;
    std::atomic<bool> abort_{false};
    std::atomic<bool> running_{false};
    SaveResult result_{};
};

}  // namespace corvane::midi
