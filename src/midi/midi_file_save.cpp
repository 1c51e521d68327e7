#include "corvane/midi/midi_file_save.h"

#include <algorithm>
#include <cmath>

#include "corvane/midi/hex_dump.h"
#include "corvane/midi/midi_out_port.h"
#include "corvane/midi/smf_writer_sink.h"
#include "corvane/platform/manual_timer_service.h"
#include "corvane/tuning/note_names.h"
#include "corvane/tuning/pitch_format.h"

namespace corvane::midi {
namespace {

constexpr int kMaxTracks = 16;
using platform::kMidiChannels;

// No devices: during a render nothing is played.
class NoDevices final : public platform::MidiOutputSystem {
public:
    std::vector<std::string> output_names() override { return {}; }
    std::string built_in_name() override { return {}; }
    std::unique_ptr<platform::MidiOutput> open_output(int, std::string& error) override {
        error = "no device while saving";
        return nullptr;
    }
};

// The render clock seen as a millisecond clock, for the voices' vibrato phases.
class RenderClock final : public platform::Clock {
public:
    void bind(const double* seconds) { seconds_ = seconds; }
    std::int64_t now_ms() const override {
        return seconds_ == nullptr ? 0 : static_cast<std::int64_t>(std::llround(*seconds_ * 1000.0));
    }
    void sleep_ms(std::int64_t) const override {}

private:
    const double* seconds_ = nullptr;
};

// Fills in the pitch-bend vibrato between rendered events.
class VibratoFill final : public PortObserver {
public:
    explicit VibratoFill(engine::ChannelVoices& voices) : voices_(voices) {}
    void on_port_opened(bool) override {}
    void on_port_closed() override {}
    void silence_all() override {}
    void end_all_notes() override {}
    bool channel_has_bend_vibrato(int channel) const override { return voices_.channel_has_bend_vibrato(channel); }
    void vibrato_fill_step() override { voices_.pitch_bend_vibrato_step(); }

private:
    engine::ChannelVoices& voices_;
};

class ProgressForwarder final : public engine::PlayerListener {
public:
    ProgressForwarder(const SaveProgressListener& listener, SaveProgress& progress, const engine::Player*& player,
                      const SmfWriter& writer)
        : listener_(listener), progress_(progress), player_(player), writer_(writer) {}
    void play_display_update() override {
        if (!listener_ || player_ == nullptr) return;
        progress_.saved_secs = player_->time_position();
        progress_.file_bytes = writer_.file_bytes();
        progress_.notes = player_->notes_stepped();
        listener_(progress_);
    }
    void priority_reset() override {}
    void play_stopped() override {}

private:
    const SaveProgressListener& listener_;
    SaveProgress& progress_;
    const engine::Player*& player_;
    const SmfWriter& writer_;
};

// Which channels a render sounds notes on: a pass that writes nothing down.
class ChannelSurvey final : public FileEventSink {
public:
    int write_channel_event(std::uint32_t, std::uint8_t status, std::uint8_t channel, std::uint8_t,
                            std::uint8_t data2, int length, int) override {
        if (status == kNoteOn && data2 > 0) channels_with_notes |= static_cast<std::uint16_t>(1u << (channel & 15));
        return length;
    }
    int write_sysex_event(std::uint32_t, std::span<const std::uint8_t> message, int) override {
        return static_cast<int>(message.size());
    }
    std::uint16_t channels_with_notes = 0;
};

// A track for every channel that sounds a note, in channel order; what the other channels
// carry (their set-up) goes into the first track, so nothing is lost.
struct TrackLayout {
    int tracks = 1;
    TrackOfChannel track_of_channel{};
};

TrackLayout layout_tracks(std::uint16_t channels_with_notes) {
    TrackLayout layout;
    int next = 0;
    for (int c = 0; c < kMidiChannels; ++c) {
        const bool sounds = (channels_with_notes & (1u << c)) != 0;
        layout.track_of_channel[static_cast<std::size_t>(c)] = sounds ? next++ : 0;
    }
    layout.tracks = std::max(next, 1);
    return layout;
}

// Where a pass got to: the time reached, and each track's last tick.
struct PassEnd {
    double reached_secs = 0;
    std::array<std::uint32_t, kMidiChannels> last_tick_of_track{};
};

// One pass of the player over the whole tune, every message into `sink`.
PassEnd render_pass(const engine::Composition& composition, const MidiSaveSettings& settings,
                   const engine::PlayerSettings& player_settings, const engine::VoiceSettings& voice_settings,
                   platform::Reporter& reporter, std::atomic<bool>& abort, FileEventSink& sink,
                   const TrackOfChannel& track_of_channel, engine::PlayerListener* listener,
                   const engine::Player** current_player) {
    const engine::Composition& c = composition;
    NoDevices devices;
    MidiOutPort port(devices, reporter);
    RenderClock render_clock;
    engine::ChannelVoices voices(c, voice_settings, port, render_clock);
    voices.set_rendering(true);
    VibratoFill fill(voices);
    port.set_observer(&fill);
    platform::ManualClock no_time;
    platform::ManualTimerService no_timers(no_time);
    platform::SteadyClock real_clock;
    platform::NoKeysHeld keys;
    engine::Player player(c, player_settings, voices, no_timers, real_clock, keys, listener);
    if (current_player != nullptr) *current_player = &player;
    render_clock.bind(player.render_clock());
    const double end = settings.end_secs();
    voices.set_render_fade({player.render_clock(), end});
    port.begin_render({.sink = &sink,
                       .clock_secs = player.render_clock(),
                       .end_secs = end,
                       .abort = &abort,
                       .midi_file_format = settings.midi_file_format,
                       .track_of_channel = track_of_channel,
                       .vibrato_step_secs = voice_settings.dtime_step_for_pitch_bend_vibrato / 1000.0,
                       .ticks_per_second = ticks_per_second(settings.smf)});
    player.render(end, abort);
    const PassEnd pass_end{player.time_position(), port.file_timing().last_tick_of_track};
    port.end_render();
    if (current_player != nullptr) *current_player = nullptr;
    return pass_end;
}

void choose_key_for_file(const engine::Composition& c, SmfSettings& smf) {
    const tuning::KeySignature key = automatic_key_signature(c);
    smf.mf_n_sharps_or_flats = key.accidentals;
    smf.mf_sharps_or_flats = key.kind == tuning::Accidentals::flats;
}


}  // namespace

SaveResult render_midi_file(const std::filesystem::path& path, const engine::Composition& composition,
                            MidiSaveSettings settings, const engine::PlayerSettings& player_settings,
                            const engine::VoiceSettings& voice_settings, platform::Reporter& reporter,
                            std::atomic<bool>& abort, const SaveProgressListener& progress) {
    if (settings.mf_auto_generate_key_signatures) choose_key_for_file(composition, settings.smf);
    const int format = std::clamp(settings.midi_file_format, 0, 2);
    settings.midi_file_format = format;
    TrackLayout layout;
    if (format > 0) {  // a first pass finds the channels that sound
        ChannelSurvey survey;
        std::atomic<bool> survey_abort{false};
        render_pass(composition, settings, player_settings, voice_settings, reporter, survey_abort, survey, {},
                    nullptr, nullptr);
        layout = layout_tracks(survey.channels_with_notes);
    }
    const int tracks = layout.tracks;
    const bool single_pass = format > 0 && settings.smf.mf_single_pass_recording;

    SmfWriter writer(reporter, abort, settings.smf, kDefaultBlockSize);
    SaveResult result;
    if (!writer.create(path)) return result;

    SaveProgress state{.tracks = tracks};
    const engine::Player* current_player = nullptr;
    ProgressForwarder forwarder(progress, state, current_player, writer);
    const bool stopped_before = abort.load();
    writer.write_file(format, tracks, settings.smf.midi_ticks_per_quarter_note, [&](int track) {
        if (track > kMaxTracks || (single_pass && track > 0) || writer.write_error() || abort.load()) return;
        state.track = track;
        SmfWriterSink sink(writer);
        const PassEnd pass = render_pass(composition, settings, player_settings, voice_settings, reporter, abort, sink,
                                         layout.track_of_channel, &forwarder, &current_player);
        result.saved_secs = std::max(result.saved_secs, pass.reached_secs);
        // Every track lasts to the end of the music: a rest or a fade at the end stays too.
        const std::uint32_t end_tick = file_tick(pass.reached_secs, ticks_per_second(settings.smf));
        for (int t = 0; t < tracks; ++t) {
            const std::uint32_t last = pass.last_tick_of_track[static_cast<std::size_t>(t)];
            writer.set_end_of_track_delta(t, end_tick > last ? end_tick - last : 0);
        }
    });
    const bool stopped = abort.load() && !writer.write_error() && !stopped_before;
    result.written = writer.close() && !writer.write_error();
    result.stopped = stopped;
    result.file_bytes = writer.file_bytes();
    if (result.written && settings.hex_dump) {
        std::atomic<bool> no_abort{false};
        hex_dump_midi_file(path, reporter, no_abort, ticks_per_second(settings.smf));
    }
    return result;
}

double render_events(const engine::Composition& composition, const MidiSaveSettings& settings,
                     const engine::PlayerSettings& player_settings, const engine::VoiceSettings& voice_settings,
                     platform::Reporter& reporter, std::atomic<bool>& abort, FileEventSink& sink) {
    MidiSaveSettings one_track = settings;
    one_track.midi_file_format = 0;
    return render_pass(composition, one_track, player_settings, voice_settings, reporter, abort, sink, {}, nullptr,
                       nullptr)
        .reached_secs;
}

tuning::KeySignature automatic_key_signature(const engine::Composition& composition) {
    tuning::KeySignatureInput input;
    input.scale = composition.Intervals;
    input.arpeggio = &composition.Arpeggio;
    input.follow_scale = composition.Use_ratios;
    input.lowest_frequency = composition.Frequency_of_lowest_note;
    return tuning::choose_key_signature(input);
}

std::string saving_title(int track, bool format_has_tracks, std::string_view composition_name, bool needs_save) {
    std::string text = "Saving Midi file ";
    if (format_has_tracks) text += ": track " + std::to_string(track + 1) + " ";
    text += "(click Stop to interrrupt) - ";
    text += composition_name;
    if (needs_save) text += "*";
    text += " - Corvane";
    return text;
}

std::string saved_time_text(double seconds) { return "Saved time " + tuning::format_duration(seconds); }

std::string file_size_text(std::uint64_t bytes) {
    return "File size: " + tuning::format_size(bytes);
}

std::string recording_in_progress_message(std::string_view play_along_file) {
    return "There is a recording to MIDI in progress, saving as you play along, to file \"" +
           std::string(play_along_file) +
           "\".\n\nTo save in MIDI format with this instance of Corvane, you need to stop this recording to a MIDI "
           "file first.\n\nStart another instance of CRV if you want to save to a MIDI file in the background while "
           "continuing to record play along to MIDI.";
}

MidiSaveWorker::~MidiSaveWorker() {
    stop();
    if (thread_.joinable()) thread_.join();
}

bool MidiSaveWorker::start(std::function<SaveResult(std::atomic<bool>& abort)> save) {
    if (running_.exchange(true)) return false;
    if (thread_.joinable()) thread_.join();
    abort_.store(false);
    thread_ = std::thread([this, save = std::move(save)] {
        result_ = save(abort_);
        running_.store(false);
    });
    return true;
}

SaveResult MidiSaveWorker::wait() {
    if (thread_.joinable()) thread_.join();
    return result_;
}

}  // namespace corvane::midi
