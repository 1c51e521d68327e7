#pragma once

#include <memory>
#include <string>
#include <vector>

#include "corvane/platform/fluidsynth_output.h"
#include "corvane/platform/midi_output.h"
#include "corvane/platform/midi_port_output.h"

namespace corvane::platform {

// The outputs as the user sees them: device -1 the built-in FluidSynth synthesizer, then the
// MIDI outputs on `midi` from 0 (0 being our virtual port, see midi_port_output.h).
class CombinedOutputSystem final : public MidiOutputSystem {
public:
    explicit CombinedOutputSystem(MidiClient& midi, SynthOptions synth = {});

    std::vector<std::string> output_names() override { return midi_.output_names(); }
    std::string built_in_name() override;
    std::unique_ptr<MidiOutput> open_output(int device, std::string& error) override;

    // Why the last attempt to open device -1 failed; none after a success or other devices.
    // An audio_device failure means the synthesizer works but only a WAV file can be made.
    SynthFailure last_built_in_failure() const { return last_built_in_failure_; }
    const SynthOptions& synth_options() const { return synth_; }
    const MidiPortOutputSystem& midi() const { return midi_; }

private:
    SynthOptions synth_;
    MidiPortOutputSystem midi_;
    SynthFailure last_built_in_failure_ = SynthFailure::none;
};

}  // namespace corvane::platform
