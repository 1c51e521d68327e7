#include "corvane/platform/fluidsynth_output.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>

#include "corvane/platform/file_save.h"
#include "corvane/platform/midi_port_output.h"
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
        if (fluid_audio_driver_t* driver = new_fluid_audio_driver(core->settings(), core->synth())) {
            opened.output.reset(new FluidSynthOutput(std::move(core), std::make_unique<Driver>(driver), name));
            opened.error.clear();
            return opened;
        }
        const std::string reason = capture.take();
        attempts.push_back(reason.empty() ? name : name + ": " + reason);
    }
    opened.failure = SynthFailure::audio_device;
    opened.error = no_audio_device_text(attempts);
    return opened;
}

FluidSynthOutput::FluidSynthOutput(std::unique_ptr<detail::SynthCore> core, std::unique_ptr<Driver> driver,
                                   std::string driver_name)
    : core_(std::move(core)), driver_(std::move(driver)), driver_name_(std::move(driver_name)) {}

// The driver goes first: it calls into the synthesizer until it is deleted.
FluidSynthOutput::~FluidSynthOutput() { driver_.reset(); }

int FluidSynthOutput::send_short(std::uint32_t message) noexcept { return core_->play(message); }

int FluidSynthOutput::send_sysex(std::span<const std::uint8_t> message) noexcept {
    return core_->play_sysex(message);
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
    if (clock_ != nullptr) clock_origin_ms_ = clock_->now_ms();
}

FluidSynthRenderer::~FluidSynthRenderer() = default;

std::int64_t FluidSynthRenderer::frame_at(std::int64_t time_ms) const { return time_ms * sample_rate_ / 1000; }

std::int64_t FluidSynthRenderer::rendered_ms() const {
    const auto frames = static_cast<std::int64_t>(samples_.size() / kChannels);
    return frames * 1000 / sample_rate_;
}

void FluidSynthRenderer::render_until(std::int64_t time_ms) {
    constexpr std::int64_t kChunkFrames = 1 << 16;
    std::int64_t have = static_cast<std::int64_t>(samples_.size() / kChannels);
    const std::int64_t want = frame_at(time_ms);
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

int FluidSynthRenderer::send_short(std::uint32_t message) noexcept {
    render_to_clock();
    return core_->play(message);
}

int FluidSynthRenderer::send_sysex(std::span<const std::uint8_t> message) noexcept {
    render_to_clock();
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
    int send_short(std::uint32_t message) noexcept override { return renderer_.send_short(message); }
    int send_sysex(std::span<const std::uint8_t> message) noexcept override { return renderer_.send_sysex(message); }

private:
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
