#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "corvane/engine/channel_voices.h"
#include "corvane/midi/midi_out_port.h"
#include "corvane/midi/play_along_settings.h"
#include "corvane/midi/smf_settings.h"
#include "corvane/midi/smf_writer.h"
#include "corvane/platform/clock.h"
#include "corvane/platform/reporter.h"

namespace corvane::midi {

inline constexpr std::string_view kRecordPlayAlongTitle = "Record Play Along";
inline constexpr std::string_view kRecordPlayAlongDialogTitle = "Record play along (MIDI format 0)";
inline constexpr std::string_view kStartRecordingButton = "&Start recording Now";
inline constexpr std::string_view kEndRecordingButton = "&End recording Now";
inline constexpr std::string_view kRecordQuestionCaption = "Record as you play along";
inline constexpr std::string_view kRecordErrorCaption = "Error writing MIDI file";
inline constexpr std::string_view kSpaceBarCaption = "Space bar to start record play along";
inline constexpr std::string_view kRecordingExitQuestion = "Record play along to MIDI in progress.\n\nExit anyway?";
inline constexpr std::string_view kRecordingRefusesFilePlay =
    "Recording to Midi in progress at present - click End recording Now first";
inline constexpr std::string_view kRecordingSaveRunningMessage =
    "You need to stop the present MIDI file save, or wait for it to finish, before you can start recording to "
    "MIDI as you play along.\n\nAlternatively, start another instance of Corvane for this";
inline constexpr std::string_view kEnableRecordingHelp =
    "Tick Enable recording first.\n\nThe setting goes back to unticked each time the program starts, so that a "
    "key pressed by chance does not start a recording.";
inline constexpr std::int64_t kStopGuardMs = 500;

// The caption of the refusal when the MIDI in control note starts a recording.
std::string control_note_caption(int note);

// Told when a recording starts or ends (titles, the start button) and when it reaches its
// size limit. Called on whichever thread made the change: a user interface posts to its own.
class RecordingListener {
public:
    virtual ~RecordingListener() = default;
    virtual void recording_changed() = 0;
    virtual void recording_limit_reached(const std::string& message) = 0;
};

// What a recording needs of the rest of the program.
struct RecorderMachine {
    MidiOutPort& port;
    engine::ChannelVoices& voices;
    const platform::Clock& clock;
    platform::Reporter& reporter;
};

// Records every message the program sends, with its real time, into a format 0 Standard
// MIDI File: replacing the file or continuing it from its end. A worker thread sets the
// file up, then only waits while the port writes the events; when asked to stop it lets the
// writer add end-of-track and patch the length. Held notes get no note-off in the file.
class PlayAlongRecorder {
public:
    PlayAlongRecorder(RecorderMachine machine, const PlayAlongSettings& settings, const SmfSettings& smf,
                      std::filesystem::path folder);
    ~PlayAlongRecorder();
    PlayAlongRecorder(const PlayAlongRecorder&) = delete;
    PlayAlongRecorder& operator=(const PlayAlongRecorder&) = delete;

    void set_listener(RecordingListener* listener) { listener_ = listener; }
    // The folder a recording file named without one is made in (the desktop program keeps it
    // beside the composition).
    void set_folder(std::filesystem::path folder);
    std::filesystem::path folder() const;

    // start_play_along_recording: nothing when one is requested already; refused (with the
    // caption) while a MIDI file is being rendered. False when no recording was started.
    bool start(std::string_view caption);
    // stop_play_along_recording: ignored in the first half second of a recording.
    void stop();
    // Waits until the worker has closed the file.
    void wait();
    // A MIDI file save asked for while a recording runs is refused with its message: true
    // when it was.
    bool refuse_save(platform::Reporter& reporter) const;

    bool requested() const { return requested_.load(); }
    bool recording_now() const { return recording_now_.load(); }
    std::filesystem::path path() const;

    // The title of a window while recording ("Record Play Along", "New Seed" ...), or the
    // window's own name when not recording.
    std::string title(std::string_view window) const;
    // The Record Play Along window's status while recording.
    std::string status_text() const;
    std::string_view button_text() const { return recording_now() ? kEndRecordingButton : kStartRecordingButton; }

private:
    void run();
    bool set_up_file(SmfWriter& writer, const std::filesystem::path& path, bool append);
    void record_track(SmfWriter& writer);
    void limit_reached(const PlayalongLimitNotice& notice);
    void notify();

    RecorderMachine machine_;
    const PlayAlongSettings& settings_;
    const SmfSettings& smf_;
    std::filesystem::path folder_;
    RecordingListener* listener_ = nullptr;

    std::atomic<bool> requested_{false};      // bRecordPlayAlong
    std::atomic<bool> recording_now_{false};  // bRecordingNow
    std::atomic<std::int64_t> start_ms_{0};   // dwRecordStartTime
    std::atomic<int> mode_in_use_{0};         // wPlayAlongModeInUse
    std::atomic<bool> new_file_{false};       // bPlayAlongNewFile
    std::atomic<bool> abort_{false};
    // The writer of the running recording; read for the status under the port lock.
    SmfWriter* writer_ = nullptr;

    mutable std::mutex wake_mutex_;
    std::condition_variable wake_;
    std::mutex worker_mutex_;  // started from MIDI in's thread or the owner's, waited for by the owner
    std::thread worker_;
};

}  // namespace corvane::midi
