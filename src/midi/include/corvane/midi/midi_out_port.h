#pragma once

#include <algorithm>
#include <array>
#include <bitset>
#include <chrono>
#include <string_view>
#include <cmath>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "corvane/platform/clock.h"
#include "corvane/platform/midi_message.h"
#include "corvane/platform/midi_output.h"
#include "corvane/platform/reporter.h"

namespace corvane::midi {

using platform::kControlChange;
using platform::kMidiChannels;
using platform::kNoteOff;
using platform::kNoteOn;
using platform::kPitchBend;
using platform::kProgramChange;
using platform::pack_short_message;
using platform::SendRequest;
using platform::SendResult;

// Where events go while a MIDI file is being made (a render or a recording). Deltas count
// from the track's last event of either kind, so a sink that has no use for an event still
// counts its delta.
class FileEventSink {
public:
    virtual ~FileEventSink() = default;
    // Writes one channel event; a negative result means the file failed.
    virtual int write_channel_event(std::uint32_t delta, std::uint8_t status, std::uint8_t channel,
                                    std::uint8_t data1, std::uint8_t data2, int length, int track) = 0;
    // Writes one whole system exclusive message, F0 to F7; a negative result means the file failed.
    virtual int write_sysex_event(std::uint32_t delta, std::span<const std::uint8_t> message, int track) = 0;
};

// Told when the port opens or closes, so channel state can be reset; and asked, while a
// file is rendered, to write the pitch-bend vibrato that real time would have sent between
// two events.
class PortObserver {
public:
    virtual ~PortObserver() = default;
    virtual void on_port_opened(bool quietly) = 0;
    virtual void on_port_closed() = 0;
    // Stops every sounding note and resets the channels (before a device change).
    virtual void silence_all() = 0;
    // Stops every sounding note and forgets it, the channels left as they are (before all
    // sound off).
    virtual void end_all_notes() = 0;
    // True when the voice of `channel` has pitch-bend vibrato of some depth.
    virtual bool channel_has_bend_vibrato(int channel) const = 0;
    // Sends the vibrato of all channels as it stands `elapsed` seconds into the span.
    virtual void vibrato_fill_step() = 0;
};

// The tick of a time in a file: whole ticks, rounded down. A time that sums many note
// lengths may fall a hair short of a whole tick it stands for; it still gets that tick.
inline std::uint32_t file_tick(double secs, double ticks_per_second) {
    return static_cast<std::uint32_t>(std::clamp(std::floor(ticks_per_second * secs + 1e-6), 0.0, 4294967295.0));
}

// The record of when the last event went into a file, from which deltas are made.
struct FileTiming {
    double last_event_secs = 0;
    std::uint32_t last_event_tick = 0;
    std::array<std::uint32_t, kMidiChannels> last_tick_of_track{};
    double ticks_per_second = 1000;
};

// Which music track each MIDI channel's events go into, in a file with a track per channel.
using TrackOfChannel = std::array<int, kMidiChannels>;

// Where an event goes in the file being made: its track, and its delta from the track's last.
struct FilePlace {
    std::uint32_t delta = 0;
    int track = 0;
};

// A render of the tune into a MIDI file, as the send operation sees it.
struct RenderTarget {
    FileEventSink* sink = nullptr;
    double* clock_secs = nullptr;          // the player's time position, advanced by simulation
    double end_secs = 0;                   // the file ends here: later note-offs are written here, the rest dropped
    std::atomic<bool>* abort = nullptr;    // set when a write fails
    int midi_file_format = 0;              // above 0: the tracks of track_of_channel
    TrackOfChannel track_of_channel{};     // used when midi_file_format is above 0
    double vibrato_step_secs = 0.01;       // dtime_step_for_pitch_bend_vibrato, in seconds
    double ticks_per_second = 1000;        // division over the tempo's seconds per quarter note
};

// A play-along recording, timed by the real clock from its start.
struct RecordingTarget {
    FileEventSink* sink = nullptr;
    const platform::Clock* clock = nullptr;
    std::int64_t start_ms = 0;
    std::atomic<bool>* abort = nullptr;
    double ticks_per_second = 1000;
};

// An item of the Out menu: the command that selects it and its name.
struct OutMenuItem {
    int command = 0;
    std::string name;
};

inline constexpr int kDeviceSlots = 30;
// The most periods an output may hold messages back.
inline constexpr int kMostLatencyPeriods = 3;
// How long closing waits for what was sent to leave for the device.
inline constexpr std::chrono::milliseconds kFinishSendingWait{1000};
// Said when that wait ran out.
std::string unsent_messages_message(std::string_view device);
inline constexpr int kFirstDeviceCommand = 0x3200;  // device id d is command 0x3200 + d
inline constexpr int kOpenNowCommand = 1259;

enum class OpenResult { failed = 0, opened = 1, already_open = 2 };

// Why the port is held open, besides playing: each is a bit of one state.
enum class OpenReason : unsigned {
    kept_open = 1,   // the user asked for it ("&Open MIDI out now")
    midi_in = 2,     // opened for notes arriving from MIDI in
    live_notes = 4,  // opened for keys of the computer keyboard
};

// The MIDI out port: the single send operation through which every message passes, the
// output device list and choice, and opening and closing. Every device send and every
// write into a file being made takes the port lock.
class MidiOutPort final : public platform::MessageSender {
public:
    MidiOutPort(platform::MidiOutputSystem& devices, platform::Reporter& reporter);
    ~MidiOutPort() override;
    MidiOutPort(const MidiOutPort&) = delete;
    MidiOutPort& operator=(const MidiOutPort&) = delete;

    void set_observer(PortObserver* observer) { observer_ = observer; }

    // midi_out_send: callable from any thread; allocates nothing. While a file is rendered
    // nothing is played: events are written, and those after the file's end are dropped,
    // except note-offs, which are written at the end so that no note is left hanging.
    SendResult send(const SendRequest& request) noexcept override;
    // The same for a system exclusive message, F0 to F7 (anything else does nothing). In a
    // file with a track per channel it goes into the track of `channel`, beside its notes.
    SendResult send_sysex(std::span<const std::uint8_t> message, int channel) noexcept override;
    void begin_group() override { lock_.lock(); }
    void end_group() override { lock_.unlock(); }
    // Under the port lock (a group): the time the group's sends are meant for.
    platform::DueTime exchange_due_time(platform::DueTime due) override { return std::exchange(due_, due); }
    // How many periods of its own clock an output that places messages in time holds them
    // back (0 sends at once); kept across device changes. Callable from any thread.
    void set_latency_periods(int periods);
    int latency_periods() const { return latency_periods_.load(std::memory_order_relaxed); }
    // What that gives the open device, in microseconds (0 when closed or sending at once).
    std::int64_t latency_us() const;
    // Messages the open device got too late to place at their time.
    std::uint64_t late_messages() const;
    // Set by the first send the open device refuses or the first after it went away (a JACK
    // server that stopped, a device unplugged); later sends skip the device. Cleared by close().
    bool device_failed() const override { return device_failed_.load(std::memory_order_acquire); }
    // The name of the chosen device, as the Out menu shows it.
    std::string device_name() const;

    // Reads the device list: the built-in synthesizer first (as the mapper), then the
    // devices, sharing the last of the 30 slots beyond. Reports when there is no device.
    void enumerate_devices();
    const std::vector<OutMenuItem>& out_menu() const { return out_menu_; }
    int device() const { return device_; }
    void set_device(int device) { device_ = device; }
    // Reads the device list and chooses the device of that name; false when none has it.
    bool choose_device_named(std::string_view name);

    OpenResult open();        // midi_out_open: reports a failure
    OpenResult open_quiet();  // midi_out_open_quiet: no message
    // midi_out_close: every key the device still sounds is switched off, and what was sent
    // leaves for the device (reported when it cannot), before the device closes.
    void close();
    void select(int command); // midi_out_select: the Out menu command
    void set_kept_open(bool kept) { set_open_reason(OpenReason::kept_open, kept); }
    bool kept_open() const { return has_open_reason(OpenReason::kept_open); }
    void set_open_reason(OpenReason reason, bool held);
    bool has_open_reason(OpenReason reason) const { return (open_reasons_.load() & static_cast<unsigned>(reason)) != 0; }
    bool held_open() const { return open_reasons_.load() != 0; }
    bool held_only_for(OpenReason reason) const { return open_reasons_.load() == static_cast<unsigned>(reason); }
    bool is_open() const { return open_.load(); }
    // True while an open is under way (MIDI in then leaves the port alone).
    bool opening() const { return opening_.load(); }

    // A note-off for every key the device still sounds, then control change 120 (all sound
    // off) on every channel.
    void all_sound_off();

    // While a render or recording runs, events go into its file too.
    void begin_render(const RenderTarget& target);
    void end_render();
    bool rendering() const { return rendering_.load(); }
    void begin_recording(const RecordingTarget& target);
    void end_recording();
    bool recording() const { return recording_.load(); }
    FileTiming& file_timing() { return timing_; }

    // Holds the port lock across several sends, so no other thread's message falls between
    // them; sends from the holding thread do not lock again.
    std::unique_lock<std::recursive_mutex> hold_group() { return std::unique_lock(lock_); }
    // The same for sends meant for `due` (input played along: the time it arrived).
    platform::SendGroup hold_group(platform::DueTime due) { return platform::SendGroup(*this, due); }

private:
    OpenResult open_device(bool quietly);
    std::optional<std::size_t> device_slot() const;
    std::string open_failure_message() const;
    SendResult send_to_device(std::uint32_t message);
    SendResult send_sysex_to_device(std::span<const std::uint8_t> message);
    void note_what_sounds(std::uint32_t message);
    void end_keys_on_device();
    double event_time_secs() const;
    void fill_vibrato(double event_secs, int channel);
    FileEventSink* file_sink() const;
    FilePlace place_in_file(double event_secs, int channel);
    bool file_written(int result);
    bool write_to_file(const SendRequest& request, double event_secs);
    bool write_sysex_to_file(std::span<const std::uint8_t> message, int channel, double event_secs);
    SendResult render_event(const SendRequest& request, double event_secs);

    platform::MidiOutputSystem& devices_;
    platform::Reporter& reporter_;
    PortObserver* observer_ = nullptr;

    mutable std::recursive_mutex lock_;
    platform::DueTime due_{};      // of the group under way, under the lock
    std::atomic<int> latency_periods_{0};
    std::unique_ptr<platform::MidiOutput> output_;
    std::atomic<bool> open_{false};
    std::atomic<bool> opening_{false};
    std::atomic<bool> device_failed_{false};
    std::atomic<unsigned> open_reasons_{0};
    int device_ = platform::kBuiltInSynthDevice;
    std::array<std::string, kDeviceSlots> device_names_{};
    int device_count_ = 0;
    bool mapper_listed_ = false;
    std::vector<OutMenuItem> out_menu_;

    // The keys the device was sent a note-on for and no note-off since, by channel: whatever
    // sent them (the tune, MIDI in, the keyboard, an editor), closing switches them off.
    std::array<std::bitset<128>, kMidiChannels> keys_on_device_{};

    std::atomic<bool> rendering_{false};
    std::atomic<bool> recording_{false};
    RenderTarget render_{};
    RecordingTarget record_{};
    FileTiming timing_{};
    bool filling_vibrato_ = false;
};

}  // namespace corvane::midi
