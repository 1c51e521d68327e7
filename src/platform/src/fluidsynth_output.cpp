#include "corvane/platform/fluidsynth_output.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <thread>

#include "corvane/platform/file_save.h"
#include "corvane/platform/midi_message.h"
#include "corvane/platform/midi_port_output.h"
#include "corvane/platform/short_message.h"
#include "message_byte_queue.h"
#include "quiet_libraries.h"
#include "synth_core.h"

namespace corvane::platform {
namespace {

std::vector<std::string> compiled_audio_drivers(fluid_settings_t* settings) {
    std::vector<std::string> drivers;
    fluid_settings_foreach_option(settings, "audio.driver", &drivers, [](void* data, const char*, const char* option) {
        static_cast<std::vector<std::string>*>(data)->emplace_back(option);
    });
    return drivers;
}

// Sound servers first, then the sound card itself. JACK only when its server already runs:
// FluidSynth's JACK driver would otherwise try to start one.
std::vector<std::string> drivers_to_try(const SynthOptions& options, fluid_settings_t* settings) {
    if (!options.audio_driver.empty()) return {options.audio_driver};
    const auto compiled = compiled_audio_drivers(settings);
    const bool jack_runs = jack_server_running();
    std::vector<std::string> chosen;
    for (const char* name : {"pipewire", "jack", "pulseaudio", "alsa", "oss"}) {
        if (std::string_view(name) == "jack" && !jack_runs) continue;
        if (std::find(compiled.begin(), compiled.end(), name) != compiled.end()) chosen.emplace_back(name);
    }
    return chosen;
}

std::string no_audio_device_text(const std::vector<std::string>& attempts) {
    std::string text = "The built-in synthesizer found no audio device to play through";
    if (attempts.empty()) {
        text += " (this FluidSynth has no audio driver that could be tried)";
    } else {
        text += " (tried ";
        for (std::size_t i = 0; i < attempts.size(); ++i) text += (i > 0 ? "; " : "") + attempts[i];
        text += ")";
    }
    return text + ". The sound can be written to a WAV file instead.";
}

void put_u16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put_u16(out, value & 0xFFFF);
    put_u16(out, value >> 16);
}

void put_text(std::vector<std::uint8_t>& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

constexpr std::uint32_t kBytesPerSample = 2;

std::vector<std::uint8_t> wav_header(std::uint32_t data_bytes, int sample_rate, int channels) {
    const auto rate = static_cast<std::uint32_t>(sample_rate);
    const auto channel_count = static_cast<std::uint32_t>(channels);
    std::vector<std::uint8_t> header;
    put_text(header, "RIFF");
    put_u32(header, 36 + data_bytes);
    put_text(header, "WAVEfmt ");
    put_u32(header, 16);  // size of the format block
    put_u16(header, 1);   // PCM
    put_u16(header, channel_count);
    put_u32(header, rate);
    put_u32(header, rate * channel_count * kBytesPerSample);
    put_u16(header, channel_count * kBytesPerSample);
    put_u16(header, 8 * kBytesPerSample);
    put_text(header, "data");
    put_u32(header, data_bytes);
    return header;
}

// Little-endian whatever the machine, a block at a time; 0 or the errno of a failed write.
int write_samples(FileSave& file, std::span<const std::int16_t> samples) {
    std::array<std::uint8_t, 8192> block{};
    std::size_t used = 0;
    for (const std::int16_t sample : samples) {
        const auto bits = static_cast<std::uint16_t>(sample);
        block[used++] = static_cast<std::uint8_t>(bits & 0xFF);
        block[used++] = static_cast<std::uint8_t>(bits >> 8);
        if (used == block.size()) {
            if (const int error = file.write(block)) return error;
            used = 0;
        }
    }
    return file.write(std::span(block.data(), used));
}

}  // namespace

// ---- live output ----------------------------------------------------------------------

struct FluidSynthOutput::Driver {
    explicit Driver(fluid_audio_driver_t* driver_) : driver(driver_) {}
    ~Driver() { delete_fluid_audio_driver(driver); }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;
    fluid_audio_driver_t* driver;
};

// Timed messages on their way from the sender to the audio thread, and the audio thread's
// idea of when the buffer it renders sounds. Times are the steady clock's microseconds.
struct FluidSynthOutput::Timing {
    static constexpr std::size_t kQueueBytes = std::size_t{1} << 16;
    // The most audio buffers split at block boundaries; drivers have one or two.
    static constexpr int kMostBuffers = 8;

    explicit Timing(double rate) : sample_rate(rate) {}

    // When a message due at `due` is to sound; 0 when it goes at once.
    std::uint64_t time_for(DueTime due) const {
        const int periods = latency_periods.load(std::memory_order_relaxed);
        if (periods <= 0) return 0;
        const std::int64_t latency = periods * period_us.load(std::memory_order_relaxed);
        return static_cast<std::uint64_t>(sound_time_us(due, SteadyClock::steady_now_us(), latency));
    }

    // The audio thread: when this buffer of `frames` begins, smoothed over the driver's
    // wake-ups, which wander; a jump of more than a buffer (a stall) starts afresh.
    void begin_buffer(int frames) {
        const std::int64_t now = SteadyClock::steady_now_us();
        const auto length_us = static_cast<std::int64_t>(frames * 1e6 / sample_rate);
        period_us.store(length_us, std::memory_order_relaxed);
        const std::int64_t expected = buffer_start_us + last_length_us;
        buffer_start_us = std::abs(now - expected) > length_us ? now : expected + (now - expected) / 16;
        last_length_us = length_us;
    }

    double sample_rate;
    detail::MessageByteQueue<kQueueBytes> queue;
    std::atomic<int> latency_periods{0};
    std::atomic<std::int64_t> period_us{0};  // of the last audio buffer
    std::atomic<std::uint64_t> late{0};
    std::int64_t buffer_start_us = 0;  // the audio thread's
    std::int64_t last_length_us = 0;
    std::vector<std::uint8_t> sysex_bytes = std::vector<std::uint8_t>(kQueueBytes);  // the audio thread's
};

FluidSynthOutput::Opened FluidSynthOutput::open(const SynthOptions& options) {
    Opened opened;
    auto core = detail::SynthCore::create(options, opened.error, opened.failure);
    if (!core) return opened;
    fluid_settings_setint(core->settings(), "audio.jack.autoconnect", 1);
    fluid_settings_setstr(core->settings(), "audio.jack.id", "Corvane");

    std::vector<std::string> attempts;
    for (const auto& name : drivers_to_try(options, core->settings())) {
        detail::FluidErrorCapture capture;
        const detail::QuietAlsa quiet_alsa;
        const detail::QuietJack quiet_jack;
        fluid_settings_setstr(core->settings(), "audio.driver", name.c_str());
        double rate = 44100;
        fluid_settings_getnum(core->settings(), "synth.sample-rate", &rate);
        auto output = std::unique_ptr<FluidSynthOutput>(new FluidSynthOutput(std::move(core), std::make_unique<Timing>(rate)));
        if (fluid_audio_driver_t* driver =
                new_fluid_audio_driver2(output->core_->settings(), &FluidSynthOutput::render_buffer, output.get())) {
            output->driver_ = std::make_unique<Driver>(driver);
            output->driver_name_ = name;
            opened.output = std::move(output);
            opened.error.clear();
            return opened;
        }
        core = std::move(output->core_);
        const std::string reason = capture.take();
        attempts.push_back(reason.empty() ? name : name + ": " + reason);
    }
    opened.failure = SynthFailure::audio_device;
    opened.error = no_audio_device_text(attempts);
    return opened;
}

FluidSynthOutput::FluidSynthOutput(std::unique_ptr<detail::SynthCore> core, std::unique_ptr<Timing> timing)
    : core_(std::move(core)), timing_(std::move(timing)) {}

// The driver goes first: it calls into the synthesizer until it is deleted.
FluidSynthOutput::~FluidSynthOutput() { driver_.reset(); }

void FluidSynthOutput::set_latency_periods(int periods) {
    timing_->latency_periods.store(periods, std::memory_order_relaxed);
}

std::int64_t FluidSynthOutput::latency_us() const {
    return timing_->latency_periods.load(std::memory_order_relaxed) * timing_->period_us.load(std::memory_order_relaxed);
}

std::uint64_t FluidSynthOutput::late_messages() const { return timing_->late.load(std::memory_order_relaxed); }

bool FluidSynthOutput::finish_sending(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!timing_->queue.empty()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Untimed, straight to the synthesizer; timed, to the audio thread. A queue that stays full
// means the audio thread has stopped taking: the device is not working.
int FluidSynthOutput::deliver_short(std::uint32_t message, DueTime due) noexcept {
    const std::uint64_t at = timing_->time_for(due);
    if (at == 0) return core_->play(message);
    const auto bytes = short_message_bytes(message);
    if (!bytes) return kSendInvalidMessage;
    return timing_->queue.push(bytes->view(), at) ? kSendOk : kSendDeviceError;
}

int FluidSynthOutput::deliver_sysex(std::span<const std::uint8_t> message, DueTime due) noexcept {
    const std::uint64_t at = timing_->time_for(due);
    if (at == 0) return core_->play_sysex(message);
    if (!is_sysex_message(message)) return kSendInvalidMessage;
    return timing_->queue.push(message, at) ? kSendOk : kSendDeviceError;
}

// Renders the buffer a synthesizer block at a time; before each, the messages due by its
// middle are played, so that each starts at the block boundary nearest its time. One that
// should have started in an earlier buffer starts at this one's first block, counted late.
int FluidSynthOutput::render_buffer(void* output, int len, int nfx, float* fx[], int nout, float* out[]) {
    auto& self = *static_cast<FluidSynthOutput*>(output);
    Timing& timing = *self.timing_;
    fluid_synth_t* synth = self.core_->synth();
    timing.begin_buffer(len);
    const bool split = nfx <= Timing::kMostBuffers && nout <= Timing::kMostBuffers;
    const int block = split ? self.core_->block_frames() : len;
    std::array<float*, Timing::kMostBuffers> fx_at{};
    std::array<float*, Timing::kMostBuffers> out_at{};
    std::array<std::uint8_t, 3> short_bytes{};
    for (int done = 0; done < len; done += block) {
        const int frames = std::min(block, len - done);
        const double middle_us = static_cast<double>(timing.buffer_start_us) + (done + frames / 2.0) * 1e6 / timing.sample_rate;
        while (const std::size_t size = timing.queue.front_size()) {
            const auto at = static_cast<double>(timing.queue.front_time());
            if (at > middle_us) break;
            if (done == 0 && at < middle_us - 1e6 * frames / timing.sample_rate) timing.late.fetch_add(1, std::memory_order_relaxed);
            if (size <= short_bytes.size()) {
                timing.queue.copy_front(std::span(short_bytes.data(), size));
                self.core_->play(pack_short_message(short_bytes[0] & 0xF0, short_bytes[0] & 0x0F,
                                                    size > 1 ? short_bytes[1] : 0, size > 2 ? short_bytes[2] : 0));
            } else {
                const std::span sysex(timing.sysex_bytes.data(), size);
                timing.queue.copy_front(sysex);
                self.core_->play_sysex(sysex);
            }
            timing.queue.pop();
        }
        if (!split) return fluid_synth_process(synth, len, nfx, fx, nout, out);
        for (int i = 0; i < nfx; ++i) fx_at[static_cast<std::size_t>(i)] = fx[i] + done;
        for (int i = 0; i < nout; ++i) out_at[static_cast<std::size_t>(i)] = out[i] + done;
        fluid_synth_process(synth, frames, nfx, fx_at.data(), nout, out_at.data());
    }
    return FLUID_OK;
}

// ---- rendering into memory ------------------------------------------------------------

std::unique_ptr<FluidSynthRenderer> FluidSynthRenderer::create(const SynthOptions& options, std::string& error,
                                                               const Clock* clock) {
    SynthFailure failure = SynthFailure::none;
    auto core = detail::SynthCore::create(options, error, failure);
    if (!core) return nullptr;
    const int rate = static_cast<int>(options.sample_rate);
    return std::unique_ptr<FluidSynthRenderer>(new FluidSynthRenderer(std::move(core), rate, clock));
}

FluidSynthRenderer::FluidSynthRenderer(std::unique_ptr<detail::SynthCore> core, int sample_rate, const Clock* clock)
    : core_(std::move(core)), sample_rate_(sample_rate), clock_(clock) {
    if (clock_ == nullptr) return;
    clock_origin_us_ = clock_->now_us();
    clock_origin_ms_ = clock_origin_us_ / 1000;
}

FluidSynthRenderer::~FluidSynthRenderer() = default;

std::int64_t FluidSynthRenderer::frame_at(std::int64_t time_ms) const { return time_ms * sample_rate_ / 1000; }

std::int64_t FluidSynthRenderer::rendered_ms() const {
    const auto frames = static_cast<std::int64_t>(samples_.size() / kChannels);
    return frames * 1000 / sample_rate_;
}

void FluidSynthRenderer::render_until(std::int64_t time_ms) { render_frames_until(frame_at(time_ms)); }

void FluidSynthRenderer::render_frames_until(std::int64_t want) {
    constexpr std::int64_t kChunkFrames = 1 << 16;
    std::int64_t have = static_cast<std::int64_t>(samples_.size() / kChannels);
    while (have < want) {
        const std::int64_t frames = std::min(want - have, kChunkFrames);
        samples_.resize(static_cast<std::size_t>((have + frames) * kChannels));
        std::int16_t* out = samples_.data() + have * kChannels;
        fluid_synth_write_s16(core_->synth(), static_cast<int>(frames), out, 0, kChannels, out, 1, kChannels);
        have += frames;
    }
}

int FluidSynthRenderer::send_at(std::int64_t time_ms, std::uint32_t message) {
    render_until(time_ms);
    return core_->play(message);
}

void FluidSynthRenderer::render_to_clock() {
    if (clock_ != nullptr) render_until(clock_->now_ms() - clock_origin_ms_);
}

// FluidSynth starts what it is sent at its next block: rendering up to the block boundary
// nearest the due time puts the note within half a block of it.
void FluidSynthRenderer::render_to_due_time(DueTime due) {
    const double exact = static_cast<double>(due.us - clock_origin_us_) * sample_rate_ / 1e6;
    const int block_frames = core_->block_frames();
    const auto block = static_cast<std::int64_t>(std::llround(exact / block_frames)) * block_frames;
    const auto have = static_cast<std::int64_t>(samples_.size() / kChannels);
    if (block < have) ++late_;
    render_frames_until(block);
}

// Timed, the sound runs by the messages' times: one without a time plays where the sound
// has got to. Untimed, by the clock: each plays at the clock's time.
void FluidSynthRenderer::render_for(DueTime due) {
    if (clock_ == nullptr) return;
    if (!timed_) render_to_clock();
    else if (!due.immediate()) render_to_due_time(due);
}

int FluidSynthRenderer::deliver_short(std::uint32_t message, DueTime due) noexcept {
    render_for(due);
    return core_->play(message);
}

int FluidSynthRenderer::deliver_sysex(std::span<const std::uint8_t> message, DueTime due) noexcept {
    render_for(due);
    return core_->play_sysex(message);
}

void FluidSynthRenderer::render_messages(std::span<const TimedMessage> messages, std::int64_t end_ms) {
    for (const TimedMessage& timed : messages) send_at(timed.time_ms, timed.message);
    render_until(end_ms);
}

std::string FluidSynthRenderer::write_wav(const std::filesystem::path& path) const {
    return write_wav_file(path, samples_, sample_rate_, kChannels);
}

std::string write_wav_file(const std::filesystem::path& path, std::span<const std::int16_t> interleaved,
                           int sample_rate, int channels) {
    const std::uint64_t data_bytes = interleaved.size() * kBytesPerSample;
    if (data_bytes > std::numeric_limits<std::uint32_t>::max() - 36) {
        return "The sound is too long for a WAV file (over 4 GB): " + path.string();
    }
    FileSave file;
    if (const int error = file.open(path)) {
        return "Could not create the WAV file " + path.string() + ": " + system_error_text(error) + ".";
    }
    int error = file.write(wav_header(static_cast<std::uint32_t>(data_bytes), sample_rate, channels));
    if (error == 0) error = write_samples(file, interleaved);
    if (error == 0) error = file.commit();
    if (error != 0) return "Could not write the WAV file " + path.string() + ": " + system_error_text(error) + ".";
    return {};
}

namespace {

// What the port opens: every message straight on to the renderer, which outlives it.
class RendererForward final : public MidiOutput {
public:
    explicit RendererForward(FluidSynthRenderer& renderer) : renderer_(renderer) {}
    void set_latency_periods(int periods) override { renderer_.set_latency_periods(periods); }
    std::uint64_t late_messages() const override { return renderer_.late_messages(); }

private:
    int deliver_short(std::uint32_t message, DueTime due) noexcept override { return renderer_.send_short(message, due); }
    int deliver_sysex(std::span<const std::uint8_t> message, DueTime due) noexcept override {
        return renderer_.send_sysex(message, due);
    }

    FluidSynthRenderer& renderer_;
};

}  // namespace

std::unique_ptr<MidiOutput> RendererOutputSystem::open_output(int device, std::string& error) {
    if (device != kBuiltInSynthDevice) {
        error = "Only the built-in synthesizer renders into memory.";
        return nullptr;
    }
    return std::make_unique<RendererForward>(renderer_);
}

}  // namespace corvane::platform
