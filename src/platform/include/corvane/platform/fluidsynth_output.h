#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/platform/clock.h"
#include "corvane/platform/midi_output.h"

namespace corvane::platform {

namespace detail {
class SynthCore;
}

// Debian's General MIDI soundfont (an alternatives link to whichever GM font is installed).
inline constexpr std::string_view kDefaultSoundfont = "/usr/share/sounds/sf2/default-GM.sf2";

struct SynthOptions {
    std::string soundfont = std::string(kDefaultSoundfont);
    double sample_rate = 44100.0;
    double gain = 0.5;
    // FluidSynth's audio driver by name ("pulseaudio", "alsa", "jack", ...); empty tries the
    // usual ones in turn.
    std::string audio_driver;
};

// What went wrong when the built-in synthesizer could not be opened.
enum class SynthFailure {
    none,
    soundfont,     // the soundfont is missing or does not load
    synthesizer,   // FluidSynth itself could not start
    audio_device,  // the synthesizer works but no audio device opens: render to WAV instead
};

// The built-in synthesizer playing live through one of FluidSynth's audio drivers: device -1.
class FluidSynthOutput final : public MidiOutput {
public:
    struct Opened {
        std::unique_ptr<FluidSynthOutput> output;  // null on failure
        SynthFailure failure = SynthFailure::none;
        std::string error;  // plain English, naming what failed
    };

    static Opened open(const SynthOptions& options);
    ~FluidSynthOutput() override;
    FluidSynthOutput(const FluidSynthOutput&) = delete;
    FluidSynthOutput& operator=(const FluidSynthOutput&) = delete;

    const std::string& audio_driver() const { return driver_name_; }
    // With a latency, timed messages wait in a queue for the audio buffer that plays their
    // due time plus the latency, and start at the synthesizer block nearest it.
    void set_latency_periods(int periods) override;
    std::int64_t latency_us() const override;
    std::uint64_t late_messages() const override;
    // Waits for the audio thread to take every timed message.
    bool finish_sending(std::chrono::milliseconds timeout) override;

private:
    // Safe from any thread: FluidSynth locks its own state.
    int deliver_short(std::uint32_t message, DueTime due) noexcept override;
    int deliver_sysex(std::span<const std::uint8_t> message, DueTime due) noexcept override;
    struct Driver;
    struct Timing;
    FluidSynthOutput(std::unique_ptr<detail::SynthCore> core, std::unique_ptr<Timing> timing);
    // The audio driver's thread, once per buffer.
    static int render_buffer(void* output, int len, int nfx, float* fx[], int nout, float* out[]);

    std::unique_ptr<detail::SynthCore> core_;
    std::unique_ptr<Timing> timing_;
    std::unique_ptr<Driver> driver_;  // last made, first gone: it calls into the rest
    std::string driver_name_;
};

// A short message with the time it is played, in milliseconds from the start of a render.
struct TimedMessage {
    std::int64_t time_ms = 0;
    std::uint32_t message = 0;
};

// The built-in synthesizer rendering into memory instead of a sound card: interleaved 16-bit
// stereo at the options' sample rate. Messages are played at their time; the sound up to
// that time is rendered first. Not thread-safe: one sender at a time.
class FluidSynthRenderer final : public MidiOutput {
public:
    static constexpr int kChannels = 2;

    // With a clock, send_short plays at the clock's time (counted from when the renderer was
    // made), or, given a latency, at the message's due time on that clock; without one, at the
    // end of what has been rendered so far. Null with `error` when the soundfont or FluidSynth
    // fails.
    static std::unique_ptr<FluidSynthRenderer> create(const SynthOptions& options, std::string& error,
                                                      const Clock* clock = nullptr);
    ~FluidSynthRenderer() override;
    FluidSynthRenderer(const FluidSynthRenderer&) = delete;
    FluidSynthRenderer& operator=(const FluidSynthRenderer&) = delete;

    // A time before the end of what has been rendered plays at that end.
    int send_at(std::int64_t time_ms, std::uint32_t message);
    // Plays the messages, which must be in time order, and renders on to `end_ms`.
    void render_messages(std::span<const TimedMessage> messages, std::int64_t end_ms);
    void render_until(std::int64_t time_ms);

    std::int64_t rendered_ms() const;
    // Any latency makes messages play at their due time, to the nearest of the synthesizer's
    // blocks, rather than when they arrive (one without a time plays where the sound has got
    // to); 0 plays them when they arrive.
    void set_latency_periods(int periods) override { timed_ = periods > 0; }
    // Messages due before what had already been rendered: they played late.
    std::uint64_t late_messages() const override { return late_; }
    int sample_rate() const { return sample_rate_; }
    std::span<const std::int16_t> samples() const { return samples_; }
    // Empty text on success, else what failed.
    std::string write_wav(const std::filesystem::path& path) const;

private:
    FluidSynthRenderer(std::unique_ptr<detail::SynthCore> core, int sample_rate, const Clock* clock);
    int deliver_short(std::uint32_t message, DueTime due) noexcept override;
    // At the same time as a short message would play, after those sent before it.
    int deliver_sysex(std::span<const std::uint8_t> message, DueTime due) noexcept override;
    std::int64_t frame_at(std::int64_t time_ms) const;
    // With a clock, renders up to the clock's time, where the next message plays.
    void render_to_clock();
    // With a clock and a latency: renders up to the synthesizer block nearest `due`.
    void render_to_due_time(DueTime due);
    // Renders what comes before a message due at `due`.
    void render_for(DueTime due);
    void render_frames_until(std::int64_t frame);

    std::unique_ptr<detail::SynthCore> core_;
    int sample_rate_;
    const Clock* clock_;
    std::int64_t clock_origin_ms_ = 0;
    std::int64_t clock_origin_us_ = 0;
    bool timed_ = false;
    std::uint64_t late_ = 0;
    std::vector<std::int16_t> samples_;
};

// A renderer offered as the built-in synthesizer (device -1), so that a tune can be played
// into memory through the usual MIDI out port.
class RendererOutputSystem final : public MidiOutputSystem {
public:
    explicit RendererOutputSystem(FluidSynthRenderer& renderer) : renderer_(renderer) {}
    std::vector<std::string> output_names() override { return {}; }
    std::string built_in_name() override { return "Built-in synthesizer (to a file)"; }
    std::unique_ptr<MidiOutput> open_output(int device, std::string& error) override;

private:
    FluidSynthRenderer& renderer_;
};

// Writes 16-bit PCM as a WAV file. Empty text on success, else what failed.
std::string write_wav_file(const std::filesystem::path& path, std::span<const std::int16_t> interleaved,
                           int sample_rate, int channels);

}  // namespace corvane::platform
