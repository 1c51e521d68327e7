#include "synth_core.h"

#include <cstdio>
#include <filesystem>
#include <mutex>

#include "corvane/platform/midi_message.h"

namespace corvane::platform::detail {
namespace {

thread_local std::string* capture_target = nullptr;

void log_message(int level, const char* message, void*) {
    if (capture_target != nullptr && (level == FLUID_ERR || level == FLUID_PANIC)) {
        if (!capture_target->empty()) *capture_target += "; ";
        *capture_target += message;
        return;
    }
    if (level == FLUID_PANIC) std::fprintf(stderr, "FluidSynth: %s\n", message);
}

void install_log_function() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (const int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
            fluid_set_log_function(level, log_message, nullptr);
        }
    });
}

std::uint8_t data_byte(std::uint32_t message, int shift) { return static_cast<std::uint8_t>((message >> shift) & 0x7F); }

}  // namespace

std::string with_detail(const std::string& what, const std::string& detail) {
    return detail.empty() ? what + "." : what + ": " + detail + ".";
}

FluidErrorCapture::FluidErrorCapture() : outer_(capture_target) {
    install_log_function();
    capture_target = &text_;
}

FluidErrorCapture::~FluidErrorCapture() { capture_target = outer_; }

std::string FluidErrorCapture::take() {
    std::string text = std::move(text_);
    text_.clear();
    return text;
}

std::unique_ptr<SynthCore> SynthCore::create(const SynthOptions& options, std::string& error, SynthFailure& failure) {
    FluidErrorCapture capture;
    if (!std::filesystem::exists(options.soundfont)) {
        failure = SynthFailure::soundfont;
        error = "The soundfont \"" + options.soundfont + "\" for the built-in synthesizer does not exist.";
        return nullptr;
    }
    fluid_settings_t* settings = new_fluid_settings();
    if (settings == nullptr) {
        failure = SynthFailure::synthesizer;
        error = "FluidSynth could not make its settings.";
        return nullptr;
    }
    fluid_settings_setnum(settings, "synth.sample-rate", options.sample_rate);
    fluid_settings_setnum(settings, "synth.gain", options.gain);
    fluid_synth_t* synth = new_fluid_synth(settings);
    if (synth == nullptr) {
        delete_fluid_settings(settings);
        failure = SynthFailure::synthesizer;
        error = with_detail("FluidSynth could not start its synthesizer", capture.take());
        return nullptr;
    }
    std::unique_ptr<SynthCore> core(new SynthCore(settings, synth));
    if (fluid_synth_sfload(synth, options.soundfont.c_str(), 1) == FLUID_FAILED) {
        failure = SynthFailure::soundfont;
        error = with_detail("FluidSynth could not load the soundfont \"" + options.soundfont + "\"", capture.take());
        return nullptr;
    }
    return core;
}

SynthCore::~SynthCore() {
    delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
}

int SynthCore::play(std::uint32_t message) {
    const auto status = static_cast<std::uint8_t>(message & 0xFF);
    const int channel = status & 0x0F;
    const int data1 = data_byte(message, 8);
    const int data2 = data_byte(message, 16);
    // FluidSynth's own results are not device errors (a note-off for a note that has already
    // stopped "fails"), so every well-formed message counts as played.
    switch (status & 0xF0) {
        case kNoteOff: fluid_synth_noteoff(synth_, channel, data1); break;
        case kNoteOn: fluid_synth_noteon(synth_, channel, data1, data2); break;
        case kKeyPressure: fluid_synth_key_pressure(synth_, channel, data1, data2); break;
        case kControlChange: fluid_synth_cc(synth_, channel, data1, data2); break;
        case kProgramChange: fluid_synth_program_change(synth_, channel, data1); break;
        case kChannelPressure: fluid_synth_channel_pressure(synth_, channel, data1); break;
        case kPitchBend: fluid_synth_pitch_bend(synth_, channel, data1 | data2 << 7); break;
        case kSystemMessage:
            if (status == kSystemReset) fluid_synth_system_reset(synth_);
            else if (status == kSysexStart || status == kSysexEnd) return kSendInvalidMessage;
            break;
        default: return kSendInvalidMessage;
    }
    return kSendOk;
}

// FluidSynth takes the bytes between F0 and F7. It acts on those it knows (the tuning
// standard's among them) and ignores the rest, which still count as played.
int SynthCore::play_sysex(std::span<const std::uint8_t> message) {
    if (!is_sysex_message(message)) return kSendInvalidMessage;
    const auto inner = message.subspan(1, message.size() - 2);
    const int played = fluid_synth_sysex(synth_, reinterpret_cast<const char*>(inner.data()),
                                         static_cast<int>(inner.size()), nullptr, nullptr, nullptr, 0);
    return played == FLUID_OK ? kSendOk : kSendInvalidMessage;
}

}  // namespace corvane::platform::detail
