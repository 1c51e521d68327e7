#include "corvane/midi/midi_out_port.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace corvane::midi {
namespace {

constexpr int kMapperCommand = kFirstDeviceCommand - 1;
using platform::controller::kAllNotesOff;
using platform::controller::kAllSoundOff;

std::uint32_t delta_between(std::uint32_t earlier, std::uint32_t later) { return later >= earlier ? later - earlier : 0; }

SendResult device_result(int result) { return result == platform::kSendOk ? SendResult::sent : SendResult::refused; }

}  // namespace

std::string unsent_messages_message(std::string_view device) {
    const std::string named = device.empty() ? std::string{} : " \"" + std::string(device) + "\"";
    return "Some MIDI messages did not reach the output device" + named +
           " before it closed, so notes may still be sounding there.";
}

MidiOutPort::MidiOutPort(platform::MidiOutputSystem& devices, platform::Reporter& reporter)
    : devices_(devices), reporter_(reporter) {}

SendResult MidiOutPort::send(const SendRequest& request) noexcept {
    const bool render = rendering_.load(std::memory_order_acquire);
    const bool record = recording_.load(std::memory_order_acquire);
    if (!open_.load(std::memory_order_acquire) && !render) return SendResult::nothing_done;
    if (render && (request.record_only || request.status >= 0xF0)) return SendResult::nothing_done;

    std::lock_guard guard(lock_);
    const double t = event_time_secs();
    if (render) return render_event(request, t);  // a rendered event is written, never played
    if (record && request.status < 0xF0) write_to_file(request, t);  // system messages only play
    if (!output_ || request.record_only) return SendResult::nothing_done;
    return send_to_device(pack_short_message(request.status, request.channel, request.data1, request.data2));
}

SendResult MidiOutPort::send_sysex(std::span<const std::uint8_t> message, int channel) noexcept {
    const bool render = rendering_.load(std::memory_order_acquire);
    const bool record = recording_.load(std::memory_order_acquire);
    if (!open_.load(std::memory_order_acquire) && !render) return SendResult::nothing_done;
    if (!platform::is_sysex_message(message)) return SendResult::nothing_done;

    std::lock_guard guard(lock_);
    const double t = event_time_secs();
    if (render) {
        if (t > render_.end_secs) return SendResult::dropped;
        return write_sysex_to_file(message, channel, t) ? SendResult::written : SendResult::refused;
    }
    if (record) write_sysex_to_file(message, channel, t);
    if (!output_) return SendResult::nothing_done;
    return send_sysex_to_device(message);
}

// Under the port lock. The file ends at its end time: a note still sounding there ends
// there, and no note starts there (it would have no length).
SendResult MidiOutPort::render_event(const SendRequest& request, double t) {
    const bool note_off = platform::is_note_off(request);
    const bool note_on = (request.status & 0xF0) == kNoteOn && !note_off;
    if (t > render_.end_secs || (note_on && t >= render_.end_secs)) {
        if (!note_off) return SendResult::dropped;
        t = render_.end_secs;
    }
    return write_to_file(request, t) ? SendResult::written : SendResult::refused;
}

// Under the port lock. A device that refused a message or went away (its sends then fail)
// is not tried again.
SendResult MidiOutPort::send_to_device(std::uint32_t message) {
    if (device_failed_.load(std::memory_order_relaxed)) return SendResult::refused;
    const int result = output_->send_short(message, due_);
    if (result == platform::kSendDeviceError) device_failed_.store(true, std::memory_order_release);
    if (result == platform::kSendOk) note_what_sounds(message);
    return device_result(result);
}

// Under the port lock, as send_to_device.
SendResult MidiOutPort::send_sysex_to_device(std::span<const std::uint8_t> message) {
    if (device_failed_.load(std::memory_order_relaxed)) return SendResult::refused;
    const int result = output_->send_sysex(message, due_);
    if (result == platform::kSendDeviceError) device_failed_.store(true, std::memory_order_release);
    return device_result(result);
}

// Under the port lock.
void MidiOutPort::note_what_sounds(std::uint32_t message) {
    const auto kind = static_cast<std::uint8_t>(message & 0xF0);
    auto& keys = keys_on_device_[message & 0x0F];
    const auto key = static_cast<std::size_t>((message >> 8) & 0x7F);
    const auto velocity = (message >> 16) & 0x7F;
    if (kind == kNoteOn) keys.set(key, velocity > 0);
    if (kind == kNoteOff) keys.reset(key);
    const auto controller = (message >> 8) & 0x7F;
    if (kind == kControlChange && (controller == kAllSoundOff || controller == kAllNotesOff)) keys.reset();
}

// Under the port lock: a note-off for every key the device still sounds.
void MidiOutPort::end_keys_on_device() {
    for (std::uint8_t c = 0; c < kMidiChannels; ++c) {
        for (std::uint8_t key = 0; key < 128; ++key) {
            if (keys_on_device_[c].test(key)) send_to_device(pack_short_message(kNoteOn, c, key, 0));
        }
        keys_on_device_[c].reset();
    }
}

// A recording times each event by when it was meant to sound, when it says so.
double MidiOutPort::event_time_secs() const {
    if (recording_.load(std::memory_order_acquire) && record_.clock != nullptr) {
        const double now_ms = due_.immediate() ? static_cast<double>(record_.clock->now_ms())
                                               : static_cast<double>(due_.us) / 1000.0;
        return std::max(now_ms - static_cast<double>(record_.start_ms), 0.0) / 1000.0;
    }
    return render_.clock_secs != nullptr ? *render_.clock_secs : 0.0;
}

FileEventSink* MidiOutPort::file_sink() const {
    return recording_.load(std::memory_order_acquire) ? record_.sink : render_.sink;
}

// The track and delta of an event at `t` for `channel` in the file being made, which from
// then on counts as its track's last. Deltas count from the file's start, so a rest or a
// timing shift before the first note stays. A render first writes the vibrato up to `t`.
FilePlace MidiOutPort::place_in_file(double t, int channel) {
    const bool record = recording_.load(std::memory_order_acquire);
    const std::uint32_t tick = file_tick(t, timing_.ticks_per_second);
    if (!record && tick > timing_.last_event_tick) fill_vibrato(t, channel);
    const bool track_per_channel = !record && render_.midi_file_format > 0;
    const int track = track_per_channel ? render_.track_of_channel[static_cast<std::size_t>(channel)] : 0;
    timing_.last_event_secs = t;
    timing_.last_event_tick = tick;
    auto& last = timing_.last_tick_of_track[static_cast<std::size_t>(std::clamp(track, 0, kMidiChannels - 1))];
    const std::uint32_t delta = delta_between(last, tick);
    last = tick;
    return {delta, track};
}

// What a sink's write gave: false, and the render or recording told to stop, when it failed.
bool MidiOutPort::file_written(int result) {
    if (result >= 0) return true;
    std::atomic<bool>* abort = recording_.load(std::memory_order_acquire) ? record_.abort : render_.abort;
    if (abort != nullptr) abort->store(true);
    return false;
}

// Writes the event into the file being made; false when the write failed.
bool MidiOutPort::write_to_file(const SendRequest& request, double t) {
    const int channel = request.channel & 0x0F;
    const FilePlace place = place_in_file(t, channel);
    FileEventSink* sink = file_sink();
    if (sink == nullptr) return true;
    return file_written(sink->write_channel_event(place.delta, request.status & 0xF0,
                                                  static_cast<std::uint8_t>(channel), request.data1, request.data2,
                                                  request.data_length, place.track));
}

bool MidiOutPort::write_sysex_to_file(std::span<const std::uint8_t> message, int channel, double t) {
    const FilePlace place = place_in_file(t, channel & 0x0F);
    FileEventSink* sink = file_sink();
    if (sink == nullptr) return true;
    return file_written(sink->write_sysex_event(place.delta, message, place.track));
}

// While rendering, writes the pitch-bend vibrato that the real-time thread would have sent
// between the last event and this one. The vibrato's own sends come back through send().
void MidiOutPort::fill_vibrato(double event_secs, int channel) {
    if (filling_vibrato_ || observer_ == nullptr || render_.clock_secs == nullptr) return;
    if (!observer_->channel_has_bend_vibrato(channel)) return;
    filling_vibrato_ = true;
    const double step = std::max(render_.vibrato_step_secs, 0.0001);
    const double saved_clock = *render_.clock_secs;
    const double span_start = timing_.last_event_secs;
    for (double clock = span_start; clock < event_secs; clock += step) {
        if (render_.abort != nullptr && render_.abort->load()) break;
        *render_.clock_secs = clock;
        observer_->vibrato_fill_step();
    }
    *render_.clock_secs = saved_clock;
    filling_vibrato_ = false;
}

bool MidiOutPort::choose_device_named(std::string_view name) {
    enumerate_devices();
    const auto found = std::find_if(out_menu_.begin(), out_menu_.end(),
                                    [name](const OutMenuItem& item) { return item.name == name; });
    if (found == out_menu_.end()) return false;
    set_device(found->command - kFirstDeviceCommand);
    return true;
}

void MidiOutPort::enumerate_devices() {
    const std::vector<std::string> names = devices_.output_names();
    const std::string built_in = devices_.built_in_name();
    out_menu_.clear();
    device_count_ = 0;
    mapper_listed_ = false;
    if (names.empty() && built_in.empty()) {
        reporter_.report("No MIDI output devices found; the \"Play Voice\" button will be disabled.", "Corvane");
    }
    if (!built_in.empty()) {
        device_names_[0] = built_in;
        out_menu_.push_back({kMapperCommand, built_in});
        mapper_listed_ = true;
        device_count_ = 1;
    } else if (device_ == platform::kBuiltInSynthDevice) {
        device_ = 0;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        device_names_[static_cast<std::size_t>(device_count_)] = names[i];
        out_menu_.push_back({kFirstDeviceCommand + static_cast<int>(i), names[i]});
        if (device_count_ < kDeviceSlots - 1) ++device_count_;
    }
}

OpenResult MidiOutPort::open() { return open_device(false); }
OpenResult MidiOutPort::open_quiet() { return open_device(true); }

void MidiOutPort::set_open_reason(OpenReason reason, bool held) {
    const auto bit = static_cast<unsigned>(reason);
    if (held) {
        open_reasons_.fetch_or(bit);
    } else {
        open_reasons_.fetch_and(~bit);
    }
}

OpenResult MidiOutPort::open_device(bool quietly) {
    if (open_.load()) return OpenResult::already_open;
    std::string error;
    opening_.store(true);
    auto output = devices_.open_output(device_, error);
    opening_.store(false);
    if (!output) {
        if (!quietly) reporter_.report(open_failure_message(), "Corvane");
        return OpenResult::failed;
    }
    {
        std::lock_guard guard(lock_);
        output_ = std::move(output);
        output_->set_latency_periods(latency_periods());
        open_.store(true, std::memory_order_release);
    }
    if (observer_ != nullptr) observer_->on_port_opened(quietly);
    return OpenResult::opened;
}

// The device table slot of the chosen device; none when it is not in the table.
std::optional<std::size_t> MidiOutPort::device_slot() const {
    const int real_devices = device_count_ - (mapper_listed_ ? 1 : 0);
    if (device_ >= real_devices || (device_ < 0 && !mapper_listed_)) return std::nullopt;
    const int slot = device_ < 0 ? 0 : device_ + (mapper_listed_ ? 1 : 0);
    return static_cast<std::size_t>(std::min(slot, kDeviceSlots - 1));
}

std::string MidiOutPort::device_name() const {
    const auto slot = device_slot();
    return slot ? device_names_[*slot] : std::string{};
}

std::string MidiOutPort::open_failure_message() const {
    const auto slot = device_slot();
    if (!slot) {
        return "Cannot open MIDI device for playback.\n\nIf there are any others to try, they will be listed in the "
               "Out menu.";
    }
    return "Cannot open MIDI device \"" + device_names_[*slot] +
           "\" for playback. It may not be available, or in use by another application\n\n.If there are any "
           "others to try, they will be listed in the Out menu.";
}

MidiOutPort::~MidiOutPort() { close(); }

void MidiOutPort::set_latency_periods(int periods) {
    std::lock_guard guard(lock_);
    latency_periods_.store(std::clamp(periods, 0, kMostLatencyPeriods), std::memory_order_relaxed);
    if (output_) output_->set_latency_periods(latency_periods());
}

std::int64_t MidiOutPort::latency_us() const {
    std::lock_guard guard(lock_);
    return output_ ? output_->latency_us() : 0;
}

std::uint64_t MidiOutPort::late_messages() const {
    std::lock_guard guard(lock_);
    return output_ ? output_->late_messages() : 0;
}

// What was sent goes out before the device closes, so the last note-offs are not lost.
void MidiOutPort::close() {
    if (!open_.load()) return;
    {
        std::lock_guard guard(lock_);
        if (output_) end_keys_on_device();
    }
    if (output_ && !device_failed_.load() && !output_->finish_sending(kFinishSendingWait)) {
        reporter_.report(unsent_messages_message(device_name()), "Corvane");
    }
    {
        std::lock_guard guard(lock_);
        output_.reset();
        open_.store(false, std::memory_order_release);
        device_failed_.store(false, std::memory_order_release);
    }
    for (int c = 0; c < kMidiChannels; ++c) send(platform::control_change(c, platform::controller::kExpression, 127));
    open_reasons_.store(0);
    if (observer_ != nullptr) observer_->on_port_closed();
}

// The voices end what they know to sound (and forget it, so nothing is ended twice), then
// every key sent straight to the port, then controller 120 on every channel.
void MidiOutPort::all_sound_off() {
    std::lock_guard guard(lock_);
    if (observer_ != nullptr) observer_->end_all_notes();
    if (output_ && open_.load()) end_keys_on_device();  // a receiver deaf to 120 still hears these
    for (int c = 0; c < kMidiChannels; ++c) send(platform::all_sound_off(c));
}

// Before the device changes, silence, and a moment for the device to take it in; nothing new
// starts meanwhile, as the port's group is held.
void MidiOutPort::select(int command) {
    const auto silence = [this] {
        if (!open_.load()) return;
        std::lock_guard guard(lock_);
        if (observer_ != nullptr) observer_->silence_all();
        all_sound_off();
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    };
    silence();
    device_ = command - kFirstDeviceCommand;
    if (!kept_open()) return;
    silence();
    close();
    if (open() == OpenResult::opened) set_kept_open(true);
}

void MidiOutPort::begin_render(const RenderTarget& target) {
    std::lock_guard guard(lock_);
    render_ = target;
    timing_ = FileTiming{.ticks_per_second = target.ticks_per_second};
    rendering_.store(true, std::memory_order_release);
}

void MidiOutPort::end_render() {
    std::lock_guard guard(lock_);
    rendering_.store(false, std::memory_order_release);
    render_ = {};
}

void MidiOutPort::begin_recording(const RecordingTarget& target) {
    std::lock_guard guard(lock_);
    record_ = target;
    timing_ = FileTiming{.ticks_per_second = target.ticks_per_second};
    recording_.store(true, std::memory_order_release);
}

void MidiOutPort::end_recording() {
    std::lock_guard guard(lock_);
    recording_.store(false, std::memory_order_release);
    record_ = {};
}

}  // namespace corvane::midi
