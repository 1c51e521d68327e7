#include "audio_render.h"

#include <cmath>
#include <iostream>

#include "cli_support.h"
#include "composition_options.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/manual_timer_service.h"
#include "corvane/tuning/pitch_format.h"

namespace corvane::cli {
namespace {

constexpr std::int64_t kRingOutMs = 1500;

}  // namespace

void render_to_wav(engine::Composition& composition, const engine::PlayerSettings& settings,
                   const engine::VoiceSettings& voice_settings, const platform::SynthOptions& synth, double seconds,
                   const std::string& path) {
    platform::ManualClock clock(0);
    std::string error;
    auto renderer = platform::FluidSynthRenderer::create(synth, error, &clock);
    if (!renderer) throw Failure(error);
    platform::RendererOutputSystem devices(*renderer);
    platform::ManualTimerService timers(clock);
    platform::NoKeysHeld keys;
    midi::Playback playback(composition, settings, voice_settings,
                            midi::PlaybackMachine{devices, timers, clock, keys, terminal_reporter()});
    playback.port().enumerate_devices();
    if (!playback.start()) throw Failure("the built-in synthesizer could not be opened");
    const auto end_ms = static_cast<std::int64_t>(std::llround(seconds * 1000.0));
    timers.advance_to(end_ms);
    playback.stop();
    timers.advance_to(end_ms + 1);
    timers.cancel_all(playback.player());
    renderer->render_until(end_ms + kRingOutMs);
    if (const std::string failure = renderer->write_wav(path); !failure.empty()) throw Failure(failure);
    std::cerr << "corvane-cli: wrote " << tuning::format_general(seconds, 6) << " s of sound to " << path << '\n';
}

}  // namespace corvane::cli
