#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <span>

#include "../temp_folder.h"
#include "corvane/platform/clock.h"
#include "corvane/platform/fluidsynth_output.h"
#include "corvane/platform/midi_message.h"

namespace corvane::platform {
namespace {

constexpr std::uint32_t note_on(int note, int velocity) {
    return pack_short_message(kNoteOn, 0, static_cast<std::uint8_t>(note), static_cast<std::uint8_t>(velocity));
}
constexpr std::uint32_t note_off(int note) { return pack_short_message(kNoteOff, 0, static_cast<std::uint8_t>(note), 64); }
constexpr std::uint32_t program(int number) { return pack_short_message(kProgramChange, 0, static_cast<std::uint8_t>(number), 0); }

// Root mean square of the left channel between two times.
double loudness(const FluidSynthRenderer& renderer, std::int64_t from_ms, std::int64_t to_ms) {
    const auto samples = renderer.samples();
    const auto frame = [&](std::int64_t ms) { return static_cast<std::size_t>(ms * renderer.sample_rate() / 1000); };
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t f = frame(from_ms); f < frame(to_ms) && 2 * f < samples.size(); ++f, ++count) {
        sum += static_cast<double>(samples[2 * f]) * samples[2 * f];
    }
    return count == 0 ? 0.0 : std::sqrt(sum / static_cast<double>(count));
}

// Sent at the times of a clock, the way the player's sends arrive; then written as a WAV file.
TEST(FluidSynthRenderer, APianoNoteSoundsOnlyWhileItIsOnAndIsWrittenAsAWavFile) {
    ManualClock clock(7000);
    std::string error;
    auto renderer = FluidSynthRenderer::create(SynthOptions{}, error, &clock);
    ASSERT_NE(renderer, nullptr) << error;
    renderer->send_short(program(0));
    clock.advance(500);
    renderer->send_short(note_on(60, 100));
    clock.advance(500);
    renderer->send_short(note_off(60));
    renderer->render_until(1500);

    EXPECT_EQ(renderer->rendered_ms(), 1500);
    EXPECT_EQ(renderer->samples().size(), 2u * 44100 * 1500 / 1000);
    EXPECT_LT(loudness(*renderer, 0, 500), 2.0);
    EXPECT_GT(loudness(*renderer, 520, 1000), 500.0);
    EXPECT_LT(loudness(*renderer, 1400, 1500), loudness(*renderer, 520, 1000) / 4);

    const corvane::testing::TempFolder folder;
    ASSERT_EQ(renderer->write_wav(folder / "render.wav"), "");
    const std::string bytes = corvane::testing::slurp(folder / "render.wav");
    const auto u32 = [&](std::size_t at) {  // little-endian
        std::uint32_t value = 0;
        for (std::size_t b = 4; b-- > 0;) value = value << 8 | static_cast<std::uint8_t>(bytes[at + b]);
        return value;
    };
    ASSERT_EQ(bytes.size(), 44 + renderer->samples().size() * 2);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(u32(4), bytes.size() - 8);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u32(40), renderer->samples().size() * 2);
}

// A missing soundfont is named; so is the want of an audio device.
TEST(FluidSynthOutput, SaysClearlyWhatIsMissing) {
    std::string error;
    SynthOptions missing_soundfont;
    missing_soundfont.soundfont = "/nonexistent/piano.sf2";
    EXPECT_EQ(FluidSynthRenderer::create(missing_soundfont, error), nullptr);
    EXPECT_NE(error.find("/nonexistent/piano.sf2"), std::string::npos) << error;
    auto opened = FluidSynthOutput::open(missing_soundfont);
    EXPECT_EQ(opened.output, nullptr);
    EXPECT_EQ(opened.failure, SynthFailure::soundfont);

    opened = FluidSynthOutput::open(SynthOptions{});
    if (opened.output) {
        // This machine has an audio device: the synthesizer plays on it.
        EXPECT_EQ(opened.output->send_short(note_on(60, 1)), kSendOk);
        EXPECT_EQ(opened.output->send_short(note_off(60)), kSendOk);
        EXPECT_FALSE(opened.output->audio_driver().empty());
    } else {
        EXPECT_EQ(opened.failure, SynthFailure::audio_device);
        EXPECT_NE(opened.error.find("no audio device"), std::string::npos) << opened.error;
        EXPECT_NE(opened.error.find("WAV file"), std::string::npos) << opened.error;
    }

    SynthOptions unknown_driver;
    unknown_driver.audio_driver = "no-such-driver";
    opened = FluidSynthOutput::open(unknown_driver);
    EXPECT_EQ(opened.output, nullptr);
    EXPECT_EQ(opened.failure, SynthFailure::audio_device);
    EXPECT_NE(opened.error.find("tried no-such-driver"), std::string::npos) << opened.error;
}

}  // namespace
}  // namespace corvane::platform
