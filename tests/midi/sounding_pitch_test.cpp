// What the built-in synthesizer makes of each tuning output, heard in its audio: each note's
// fundamental found by a Fourier transform with interpolation, against the same key played
// unbent on the same instrument, so that the soundfont's own tuning drops out.

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "corvane/engine/channel_choice.h"
#include "corvane/engine/composition.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/fluidsynth_output.h"
#include "corvane/platform/manual_timer_service.h"
#include "corvane/platform/reporter.h"
#include "corvane/tuning/pitch_list.h"

namespace corvane::testing {
namespace {

constexpr int kOrgan = 19;  // a steady tone with a strong fundamental
constexpr double kNoteSecs = 0.5;
constexpr double kMiddleC = 261.6255653005986;
constexpr std::size_t kWindow = 16384;  // 0.37 s at 44.1 kHz, inside a note
constexpr std::size_t kPadded = kWindow * 4;

double frequency_of(double midi_pitch) { return 440.0 * std::exp2((midi_pitch - 69) / 12); }
double cents_between(double from_hz, double to_hz) { return 1200 * std::log2(to_hz / from_hz); }

// The left channel of an interleaved stereo render, from `start_secs` for a window's length.
std::vector<double> window_at(const platform::FluidSynthRenderer& renderer, double start_secs) {
    const auto samples = renderer.samples();
    const auto first = static_cast<std::size_t>(start_secs * renderer.sample_rate());
    std::vector<double> out(kWindow, 0.0);
    for (std::size_t i = 0; i < kWindow && (first + i) * 2 < samples.size(); ++i) {
        out[i] = samples[(first + i) * 2] / 32768.0;
    }
    return out;
}

// The magnitude spectrum of a Hann-windowed stretch, zero-padded four times.
std::vector<double> spectrum_of(const std::vector<double>& stretch) {
    std::vector<double> input(kPadded, 0.0);
    for (std::size_t i = 0; i < kWindow; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / (kWindow - 1));
        input[i] = stretch[i] * hann;
    }
    std::vector<std::complex<double>> output(kPadded / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(kPadded), input.data(),
                                          reinterpret_cast<fftw_complex*>(output.data()), FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    std::vector<double> magnitude(output.size());
    for (std::size_t i = 0; i < output.size(); ++i) magnitude[i] = std::abs(output[i]);
    return magnitude;
}

// The strongest peak within `reach_cents` of `near_hz`, placed between bins by a parabola
// through the logarithms of its bin and their neighbours.
std::optional<double> peak_near(const std::vector<double>& magnitude, int sample_rate, double near_hz,
                                double reach_cents) {
    const double bin_hz = static_cast<double>(sample_rate) / kPadded;
    const auto bin_of = [&](double hz) { return static_cast<std::size_t>(hz / bin_hz); };
    const std::size_t low = bin_of(near_hz * std::exp2(-reach_cents / 1200));
    const std::size_t high = std::min(bin_of(near_hz * std::exp2(reach_cents / 1200)) + 1, magnitude.size() - 2);
    std::size_t best = low;
    for (std::size_t b = low; b <= high; ++b) {
        if (magnitude[b] > magnitude[best]) best = b;
    }
    if (best <= low || best >= high || magnitude[best] <= 0) return std::nullopt;  // no peak inside the reach
    const double left = std::log(magnitude[best - 1]);
    const double middle = std::log(magnitude[best]);
    const double right = std::log(magnitude[best + 1]);
    const double offset = 0.5 * (left - right) / (left - 2 * middle + right);
    return (static_cast<double>(best) + offset) * bin_hz;
}

std::unique_ptr<platform::FluidSynthRenderer> make_renderer(platform::ManualClock& clock) {
    std::string error;
    auto renderer = platform::FluidSynthRenderer::create(platform::SynthOptions{}, error, &clock);
    if (!renderer) ADD_FAILURE() << error;
    return renderer;
}

// The frequency the organ sounds key `key` at, unbent.
double measured_key(int key) {
    static std::map<int, double> known;
    if (const auto found = known.find(key); found != known.end()) return found->second;
    platform::ManualClock clock(0);
    auto renderer = make_renderer(clock);
    renderer->send_short(platform::pack_short_message(platform::kProgramChange, 0, kOrgan, 0));
    renderer->send_short(platform::pack_short_message(platform::kNoteOn, 0, static_cast<std::uint8_t>(key), 100));
    renderer->render_until(600);
    const auto hz = peak_near(spectrum_of(window_at(*renderer, 0.1)), renderer->sample_rate(), frequency_of(key), 60);
    EXPECT_TRUE(hz.has_value()) << "key " << key;
    return known[key] = hz.value_or(0);
}

// How far a sound at `hz` lies from `target_pitch`, measured against the nearest key unbent.
double cents_off(double hz, double target_pitch) {
    const int key = static_cast<int>(std::lround(target_pitch));
    return cents_between(measured_key(key), hz) - 100 * (target_pitch - key);
}

// A scale in ratio form, and the ratio of each of its degrees.
struct Scale {
    std::string text;
    std::vector<double> ratios;  // from 1 to the period
    double ratio_of(int degree) const {
        const auto steps = ratios.size() - 1;
        const auto d = static_cast<std::size_t>(degree);
        return ratios[d % steps] * std::pow(ratios.back(), static_cast<double>(d / steps));
    }
};

const Scale kNineteenTone{"1 n(1/19)", {1, std::exp2(1.0 / 19)}};
const Scale kJustMajor{"1 9/8 5/4 4/3 3/2 5/3 15/8 2", {1, 9.0 / 8, 5.0 / 4, 4.0 / 3, 3.0 / 2, 5.0 / 3, 15.0 / 8, 2}};

engine::Composition tune_of(const Scale& scale, int notes) {
    engine::Composition c;
    std::vector<int> seed;
    for (int v = 0; v < notes; ++v) seed.push_back(v);
    engine::set_seed(c, seed);
    c.Levels = 0;
    engine::set_intervals(c, tuning::read_pitch_list(scale.text, tuning::PitchForm::ratio,
                                                     tuning::ListNotation::absolute, kMiddleC)
                                 .entries);
    c.Use_ratios = true;  // the arpeggio follows the scale: value v is degree v
    c.Frequency_of_lowest_note = kMiddleC;
    c.Note_length = kNoteSecs;
    c.Voices_for_channels.fill(kOrgan);
    c.Channels_in_Play = 1;
    return c;
}

// The built-in synthesizer rendering to memory on a simulated clock, played by a composition
// through a tuning output, one cycle of the tune.
struct SynthPlayback {
    SynthPlayback(engine::Composition tune, engine::TuningOutput output) : composition(std::move(tune)) {
        player_settings.cycle_melody = false;
        voice_settings.tuning_output = output;
        playback.port().enumerate_devices();
    }

    platform::ManualClock clock{0};
    std::unique_ptr<platform::FluidSynthRenderer> renderer = make_renderer(clock);
    platform::RendererOutputSystem devices{*renderer};
    platform::ManualTimerService timers{clock};
    platform::NoKeysHeld keys;
    platform::RecordingReporter reporter;
    engine::Composition composition;
    engine::PlayerSettings player_settings;
    engine::VoiceSettings voice_settings;
    midi::Playback playback{composition, player_settings, voice_settings,
                            midi::PlaybackMachine{devices, timers, clock, keys, reporter}};
};

// Plays the tune's `notes` notes and renders what they sound like.
std::unique_ptr<SynthPlayback> render_tune(engine::Composition composition, engine::TuningOutput output, int notes) {
    auto synth = std::make_unique<SynthPlayback>(std::move(composition), output);
    EXPECT_TRUE(synth->playback.start());
    const auto end_ms = static_cast<std::int64_t>(notes * kNoteSecs * 1000) + 100;
    synth->timers.advance_to(end_ms);
    synth->playback.stop();
    synth->timers.advance_to(end_ms + 1);
    synth->timers.cancel_all(synth->playback.player());
    synth->renderer->render_until(end_ms + 500);
    return synth;
}

struct Heard {
    double target = 0;
    double cents = 0;
};

// Each note of the tune, heard: where its onset is found by the first rise of the sound,
// so that the start-up delay of play does not matter.
std::vector<Heard> heard_notes(const Scale& scale, int notes, engine::TuningOutput output) {
    const auto synth = render_tune(tune_of(scale, notes), output, notes);
    const platform::FluidSynthRenderer* renderer = synth->renderer.get();
    const auto samples = renderer->samples();
    std::size_t onset = 0;
    while (onset * 2 < samples.size() && std::abs(samples[onset * 2]) < 300) ++onset;
    const double start = static_cast<double>(onset) / renderer->sample_rate();
    std::vector<Heard> heard;
    for (int v = 0; v < notes; ++v) {
        const double target = 60 + 12 * std::log2(scale.ratio_of(v));
        const auto stretch = window_at(*renderer, start + v * kNoteSecs + 0.06);
        const auto hz = peak_near(spectrum_of(stretch), renderer->sample_rate(), frequency_of(target), 45);
        EXPECT_TRUE(hz.has_value()) << "note " << v;
        heard.push_back({target, hz ? cents_off(*hz, target) : 1e9});
    }
    return heard;
}

class SoundingPitch : public ::testing::TestWithParam<engine::TuningOutput> {};

TEST_P(SoundingPitch, EveryNoteOfNineteenToneAndJustTunesSoundsWithinTwoCents) {
    double largest = 0;
    for (const auto& [name, scale, notes] : {std::tuple{"19-tone", kNineteenTone, 20},
                                            std::tuple{"just", kJustMajor, 8}}) {
        for (const Heard& h : heard_notes(scale, notes, GetParam())) {
            EXPECT_LE(std::fabs(h.cents), 2.0) << name << " pitch " << h.target << " sounds " << h.cents << " cents off";
            largest = std::max(largest, std::fabs(h.cents));
        }
    }
    RecordProperty("largest_error_cents", std::to_string(largest));
}

INSTANTIATE_TEST_SUITE_P(EveryTuningOutput, SoundingPitch,
                         ::testing::Values(engine::TuningOutput::bend, engine::TuningOutput::mts,
                                           engine::TuningOutput::mpe),
                         [](const auto& output) { return std::string(engine::tuning_output_word(output.param)); });

// Four notes a 19-tone step apart on one channel at once: the tuning standard gives each key
// its own pitch, so the chord sounds four distinct pitches, each where it belongs.
TEST(SoundingPitchChord, TheTuningStandardSoundsAFourNoteChordOnOneChannel) {
    SynthPlayback synth(tune_of(kNineteenTone, 1), engine::TuningOutput::mts);
    midi::Playback& playback = synth.playback;
    ASSERT_NE(playback.port().open(), midi::OpenResult::failed);
    playback.voices().start_voices();
    std::vector<double> targets;
    for (int step = 0; step < 4; ++step) {
        targets.push_back(60 + step * 12.0 / 19);
        playback.voices().sound_tuned_pitch(0, targets.back(), 90);  // on the voice's channel (engine tests)
    }
    synth.renderer->render_until(1000);
    const auto magnitude = spectrum_of(window_at(*synth.renderer, 0.3));
    for (const double target : targets) {
        const auto hz = peak_near(magnitude, synth.renderer->sample_rate(), frequency_of(target), 25);
        ASSERT_TRUE(hz.has_value()) << "no sound near pitch " << target;
        EXPECT_LE(std::fabs(cents_off(*hz, target)), 2.0) << "pitch " << target;
    }
}

}  // namespace
}  // namespace corvane::testing
