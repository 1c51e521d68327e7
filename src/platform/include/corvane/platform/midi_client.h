#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::platform {

namespace detail {
class AlsaClient;
class JackClient;
}

// Which MIDI system carries the outputs and inputs. Automatic takes JACK when a JACK server is
// running, else the ALSA sequencer.
enum class MidiApi { automatic, alsa, jack };

// "auto", "alsa" or "jack"; empty for anything else.
std::optional<MidiApi> midi_api_from_name(std::string_view name);
// "ALSA sequencer", "JACK" or "automatic".
std::string_view midi_api_display_name(MidiApi api);

// Quiet probes: neither prints anything, neither starts a server.
bool alsa_sequencer_available();
bool jack_server_running();

// The running JACK server's cycle: its sample rate and frames per period.
struct JackCycle {
    std::uint32_t sample_rate = 0;
    std::uint32_t frames = 0;
    std::int64_t period_us() const { return sample_rate == 0 ? 0 : std::int64_t{frames} * 1'000'000 / sample_rate; }
};
std::optional<JackCycle> jack_cycle();

struct MidiClientOptions {
    MidiApi api = MidiApi::automatic;
    std::string client_name = "Corvane";
    std::string output_port_name = "MIDI out";
    std::string input_port_name = "MIDI in";
};

// Our client on the MIDI system, as other programs (a patchbay, a sequencer) see it: one
// client with our output port and our input port on it, each there while it is open. One is
// made per program and handed to its outputs and inputs; the MIDI system is chosen once, when
// it is made.
class MidiClient {
public:
    explicit MidiClient(MidiClientOptions options = {});
    ~MidiClient();
    MidiClient(const MidiClient&) = delete;
    MidiClient& operator=(const MidiClient&) = delete;

    const MidiClientOptions& options() const { return options_; }
    // The MIDI system in use (ALSA or JACK), none when neither can be reached.
    std::optional<MidiApi> api() const { return api_; }
    // Why there are no devices; empty while a MIDI system is in use.
    const std::string& unavailable_reason() const { return unavailable_reason_; }

    // Our own ports as the device lists show them: "Corvane:MIDI out (virtual port)".
    std::string output_listing() const;
    std::string input_listing() const;

    // The client on the JACK server and the one on the ALSA sequencer, each opened with its
    // first port and closed after its last.
    detail::JackClient& jack() { return *jack_; }
    detail::AlsaClient& alsa() { return *alsa_; }

private:
    MidiClientOptions options_;
    std::optional<MidiApi> api_;
    std::string unavailable_reason_;
    std::unique_ptr<detail::JackClient> jack_;
    std::unique_ptr<detail::AlsaClient> alsa_;
};

}  // namespace corvane::platform
