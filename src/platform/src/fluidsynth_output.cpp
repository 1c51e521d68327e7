#include "corvane/platform/fluidsynth_output.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>

#include "corvane/platform/rtmidi_output.h"
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

void put_u16(std::ostream& out, std::uint32_t value) {
    const std::array<char, 2> bytes{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
    out.write(bytes.data(), bytes.size());
}

void put_u32(std::ostream& out, std::uint32_t value) {
    put_u16(out, value & 0xFFFF);
    put_u16(out, value >> 16);
}

// Little-endian whatever the machine, a block at a time.
void write_samples(std::ostream& out, std::span<const std::int16_t> samples) {
    std::array<char, 8192> block{};
    std::size_t used = 0;
    for (const std::int16_t sample : samples) {
        const auto bits = static_cast<std::uint16_t>(sample);
        block[used++] = static_cast<char>(bits & 0xFF);
        block[used++] = static_cast<char>(bits >> 8);
        if (used == block.size()) {
            out.write(block.data(), static_cast<std::streamsize>(used));
            used = 0;
        }
    }
    out.write(block.data(), static_cast<std::streamsize>(used));
}

// A regular file or one not there yet; not a device (such as /dev/full), a pipe or a link.
bool replaceable_by_rename(const std::filesystem::path& path) {
    std::error_code ec;
    const auto type = std::filesystem::symlink_status(path, ec).type();
    return type == std::filesystem::file_type::regular || type == std::filesystem::file_type::not_found;
}

std::filesystem::path temporary_beside(const std::filesystem::path& path) {
    return path.parent_path() / ("." + path.filename().string() + ".saving-" + std::to_string(::getpid()));
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

int FluidSynthOutput::send_short(std::uint32_t message) { return core_->play(message); }

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

int FluidSynthRenderer::send_short(std::uint32_t message) {
    if (clock_ == nullptr) return core_->play(message);
    return send_at(clock_->now_ms() - clock_origin_ms_, message);
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
    constexpr std::uint32_t kBytesPerSample = 2;
    const std::uint64_t data_bytes = interleaved.size() * kBytesPerSample;
    if (data_bytes > std::numeric_limits<std::uint32_t>::max() - 36) {
        return "The sound is too long for a WAV file (over 4 GB): " + path.string();
    }
    // A regular file is written beside the old one and renamed over it, so that a write that
    // fails (a full disk) leaves the old file as it was; a device is written in place.
    const std::filesystem::path written = replaceable_by_rename(path) ? temporary_beside(path) : path;
    errno = 0;
    std::ofstream out(written, std::ios::binary | std::ios::trunc);
    if (!out) return "Could not create the WAV file " + path.string() + ": " + std::strerror(errno) + ".";
    const auto rate = static_cast<std::uint32_t>(sample_rate);
    const auto channel_count = static_cast<std::uint32_t>(channels);
    out.write("RIFF", 4);
    put_u32(out, static_cast<std::uint32_t>(36 + data_bytes));
    out.write("WAVEfmt ", 8);
    put_u32(out, 16);  // size of the format block
    put_u16(out, 1);   // PCM
    put_u16(out, channel_count);
    put_u32(out, rate);
    put_u32(out, rate * channel_count * kBytesPerSample);
    put_u16(out, channel_count * kBytesPerSample);
    put_u16(out, 8 * kBytesPerSample);
    out.write("data", 4);
    put_u32(out, static_cast<std::uint32_t>(data_bytes));
    write_samples(out, interleaved);
    out.close();
    std::error_code ec;
    if (out.fail()) ec.assign(errno != 0 ? errno : EIO, std::generic_category());
    if (!ec && written != path) std::filesystem::rename(written, path, ec);
    if (ec) {
        if (written != path) std::filesystem::remove(written);
        return "Could not write the WAV file " + path.string() + ": " + ec.message() + ".";
    }
    return {};
}

namespace {

// What the port opens: every message straight on to the renderer, which outlives it.
class RendererForward final : public MidiOutput {
public:
    explicit RendererForward(FluidSynthRenderer& renderer) : renderer_(renderer) {}
    int send_short(std::uint32_t message) override { return renderer_.send_short(message); }

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
