#pragma once

#include <fluidsynth.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "corvane/platform/fluidsynth_output.h"

namespace corvane::platform::detail {

// FluidSynth's settings and synthesizer with the soundfont loaded, shared by the live output
// and the renderer.
class SynthCore {
public:
    // Null with the reason in `error` (and `failure` saying which kind).
    static std::unique_ptr<SynthCore> create(const SynthOptions& options, std::string& error, SynthFailure& failure);
    ~SynthCore();
    SynthCore(const SynthCore&) = delete;
    SynthCore& operator=(const SynthCore&) = delete;

    // Plays one packed short message; kSendOk or kSendInvalidMessage.
    int play(std::uint32_t message);
    // Plays one whole system exclusive message, F0 to F7; kSendOk or kSendInvalidMessage.
    int play_sysex(std::span<const std::uint8_t> message);

    // FluidSynth renders in blocks of this many frames; what it is sent starts at the next.
    int block_frames() const { return fluid_synth_get_internal_bufsize(synth_); }

    fluid_settings_t* settings() { return settings_; }
    fluid_synth_t* synth() { return synth_; }

private:
    SynthCore(fluid_settings_t* settings, fluid_synth_t* synth) : settings_(settings), synth_(synth) {}

    fluid_settings_t* settings_;
    fluid_synth_t* synth_;
};

// "what." or "what: detail." for a message that may or may not have a library's reason.
std::string with_detail(const std::string& what, const std::string& detail);

// Collects FluidSynth's error messages on this thread while alive, instead of letting them
// reach the terminal; other FluidSynth messages are dropped.
class FluidErrorCapture {
public:
    FluidErrorCapture();
    ~FluidErrorCapture();
    FluidErrorCapture(const FluidErrorCapture&) = delete;
    FluidErrorCapture& operator=(const FluidErrorCapture&) = delete;

    // The messages so far, joined with "; ", and cleared.
    std::string take();

private:
    std::string text_;
    std::string* outer_;
};

}  // namespace corvane::platform::detail
