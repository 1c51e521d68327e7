#pragma once

// Our one client on the ALSA sequencer, which every sequencer port of ours lives on.

#include <alsa/asoundlib.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "short_message_delivery.h"

namespace corvane::platform::detail {

// What a port offers: others read from a source and write to a destination.
inline constexpr unsigned int kAlsaSource = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
inline constexpr unsigned int kAlsaDestination = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

// A port of another program on the sequencer.
struct AlsaPortAddress {
    std::string name;  // "client name:port name client:port", as the device lists show it
    int client = 0;
    int port = 0;
};

class AlsaClient;

// A port of ours on the shared client, there while this lives.
class AlsaPort {
public:
    AlsaPort(AlsaClient& owner, snd_seq_t* sequencer, int port);
    ~AlsaPort();
    AlsaPort(const AlsaPort&) = delete;
    AlsaPort& operator=(const AlsaPort&) = delete;

    snd_seq_t* sequencer() const { return sequencer_; }
    int port() const { return port_; }
    // Subscribes another program's port to this one (an input) or this one to it (an output).
    bool connect_from(const AlsaPortAddress& source) const;
    bool connect_to(const AlsaPortAddress& destination) const;

private:
    AlsaClient& owner_;
    snd_seq_t* sequencer_;
    int port_;
};

// The client named `name` on the sequencer: opened with the first port and closed after the
// last. Output and input share it, so other programs see one client with our MIDI out and
// MIDI in ports. While it is open, a thread of ours reads what arrives at its input ports.
//
// The sending thread writes events straight out while that thread reads: the two directions of
// a sequencer handle share no state in the library but the file.
class AlsaClient {
public:
    explicit AlsaClient(std::string name);
    ~AlsaClient();
    AlsaClient(const AlsaClient&) = delete;
    AlsaClient& operator=(const AlsaClient&) = delete;

    // A port that others read from, named `name`; null with the reason in `error`.
    std::unique_ptr<AlsaPort> open_output_port(const std::string& name, std::string& error);
    // A port that others write to, named `name`, whose short messages go to `delivery` until
    // the port closes; null with the reason in `error`.
    std::unique_ptr<AlsaPort> open_input_port(const std::string& name, ShortMessageDelivery& delivery,
                                              std::string& error);

    // The MIDI ports of other programs that have all of `capabilities` (kAlsaSource or
    // kAlsaDestination).
    std::vector<AlsaPortAddress> other_ports(unsigned int capabilities);

private:
    friend class AlsaPort;

    static constexpr std::size_t kMaxInputs = 4;

    struct InputSlot {
        std::atomic<ShortMessageDelivery*> delivery{nullptr};
        std::atomic<int> port{-1};
    };

    bool open_sequencer(std::string& error);
    void close_sequencer();
    std::unique_ptr<AlsaPort> open_port(const std::string& name, unsigned int capabilities, std::string& error);
    void close_port(int port);
    void read_events();
    void hand_on(const snd_seq_event_t& event);

    std::string name_;
    std::mutex mutex_;  // around opening and closing; the reading thread never takes it
    snd_seq_t* sequencer_ = nullptr;
    int open_ports_ = 0;
    std::array<InputSlot, kMaxInputs> inputs_;
    snd_midi_event_t* decoder_ = nullptr;  // the reading thread's
    // Odd while the reading thread hands events on: an input is only let go once it has left.
    std::atomic<std::uint64_t> reading_marks_{0};
    std::atomic<bool> quit_{false};
    std::thread reader_;
};

}  // namespace corvane::platform::detail
