#pragma once

// The output latency as people read it, in the Out menu and from `corvane-cli devices`.

#include <cstdint>
#include <optional>
#include <string>

#include "corvane/platform/midi_client.h"

namespace corvane::midi {

// "send at once", or "2 periods", with what that comes to on a running JACK server:
// "2 periods (10.67 ms at 48000 Hz, 256 frames)".
std::string output_latency_text(int periods, const std::optional<platform::JackCycle>& cycle);
// A latency in milliseconds to two decimals: "10.67 ms".
std::string latency_ms_text(std::int64_t us);

}  // namespace corvane::midi
