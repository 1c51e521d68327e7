#include "alsa_client.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <span>

#include "corvane/platform/short_message.h"
#include "quiet_libraries.h"

namespace corvane::platform::detail {
namespace {

constexpr unsigned int kMidiPortTypes =
    SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTH | SND_SEQ_PORT_TYPE_APPLICATION;
// How long the reading thread waits for events before it looks whether to stop.
constexpr int kReadWaitMs = 50;

// After an input was taken away: waits until the reading thread cannot still be handing an
// event to it. It neither blocks nor waits while marked, so this is over at once.
void wait_until_reading_left(const std::atomic<std::uint64_t>& marks) {
    const std::uint64_t mark = marks.load();
    if (mark % 2 == 0) return;
    while (marks.load() == mark) std::this_thread::yield();
}

}  // namespace

AlsaPort::AlsaPort(AlsaClient& owner, snd_seq_t* sequencer, int port)
    : owner_(owner), sequencer_(sequencer), port_(port) {}

AlsaPort::~AlsaPort() { owner_.close_port(port_); }

bool AlsaPort::connect_from(const AlsaPortAddress& source) const {
    return snd_seq_connect_from(sequencer_, port_, source.client, source.port) >= 0;
}

bool AlsaPort::connect_to(const AlsaPortAddress& destination) const {
    return snd_seq_connect_to(sequencer_, port_, destination.client, destination.port) >= 0;
}

AlsaClient::AlsaClient(std::string name) : name_(std::move(name)) {}

AlsaClient::~AlsaClient() {
    // Every port has closed by now, and with the last the sequencer.
    const std::lock_guard lock(mutex_);
    if (sequencer_ != nullptr) close_sequencer();
}

std::unique_ptr<AlsaPort> AlsaClient::open_output_port(const std::string& name, std::string& error) {
    const std::lock_guard lock(mutex_);
    return open_port(name, kAlsaSource, error);
}

std::unique_ptr<AlsaPort> AlsaClient::open_input_port(const std::string& name, ShortMessageDelivery& delivery,
                                                      std::string& error) {
    const std::lock_guard lock(mutex_);
    const auto free_slot = std::find_if(inputs_.begin(), inputs_.end(), [](const InputSlot& slot) {
        return slot.delivery.load() == nullptr;
    });
    if (free_slot == inputs_.end()) {
        error = "Could not connect to the MIDI input.";
        return nullptr;
    }
    auto port = open_port(name, kAlsaDestination, error);
    if (port == nullptr) return nullptr;
    free_slot->port.store(port->port());
    free_slot->delivery.store(&delivery);
    return port;
}

std::vector<AlsaPortAddress> AlsaClient::other_ports(unsigned int capabilities) {
    const std::lock_guard lock(mutex_);
    snd_seq_t* sequencer = sequencer_;
    if (sequencer == nullptr) {
        const QuietAlsa quiet;
        if (snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) return {};
    }
    const int own_client = snd_seq_client_id(sequencer);
    std::vector<AlsaPortAddress> found;
    snd_seq_client_info_t* client_info = nullptr;
    snd_seq_port_info_t* port_info = nullptr;
    snd_seq_client_info_alloca(&client_info);
    snd_seq_port_info_alloca(&port_info);
    snd_seq_client_info_set_client(client_info, -1);
    while (snd_seq_query_next_client(sequencer, client_info) >= 0) {
        const int client = snd_seq_client_info_get_client(client_info);
        if (client == own_client || client == SND_SEQ_CLIENT_SYSTEM) continue;
        snd_seq_port_info_set_client(port_info, client);
        snd_seq_port_info_set_port(port_info, -1);
        while (snd_seq_query_next_port(sequencer, port_info) >= 0) {
            const unsigned int caps = snd_seq_port_info_get_capability(port_info);
            if ((snd_seq_port_info_get_type(port_info) & kMidiPortTypes) == 0) continue;
            if ((caps & capabilities) != capabilities || (caps & SND_SEQ_PORT_CAP_NO_EXPORT) != 0) continue;
            const int port = snd_seq_port_info_get_port(port_info);
            found.push_back({std::string(snd_seq_client_info_get_name(client_info)) + ":" +
                                 snd_seq_port_info_get_name(port_info) + " " + std::to_string(client) + ":" +
                                 std::to_string(port),
                             client, port});
        }
    }
    if (sequencer != sequencer_) snd_seq_close(sequencer);
    return found;
}

// Opens the sequencer for the first port, then makes the port. Called with the lock held.
std::unique_ptr<AlsaPort> AlsaClient::open_port(const std::string& name, unsigned int capabilities,
                                                std::string& error) {
    if (sequencer_ == nullptr && !open_sequencer(error)) return nullptr;
    const int port = snd_seq_create_simple_port(sequencer_, name.c_str(), capabilities,
                                                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0) {
        const bool output = capabilities == kAlsaSource;
        error = std::string(output ? "Could not make the virtual MIDI output port" : "Could not make the virtual MIDI "
                                                                                       "input port") +
                " \"" + name + "\": " + snd_strerror(port);
        if (open_ports_ == 0) close_sequencer();
        return nullptr;
    }
    ++open_ports_;
    return std::make_unique<AlsaPort>(*this, sequencer_, port);
}

// Called with the lock held.
bool AlsaClient::open_sequencer(std::string& error) {
    {
        const QuietAlsa quiet;
        if (snd_seq_open(&sequencer_, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) {
            sequencer_ = nullptr;
            error = "The ALSA sequencer cannot be opened (/dev/snd/seq is missing or not accessible).";
            return false;
        }
    }
    snd_seq_set_client_name(sequencer_, name_.c_str());
    // Decoded without running status, so that each message comes out whole.
    if (snd_midi_event_new(16, &decoder_) < 0) decoder_ = nullptr;
    if (decoder_ != nullptr) snd_midi_event_no_status(decoder_, 1);
    quit_.store(false);
    reader_ = std::thread([this] { read_events(); });
    return true;
}

// Called with the lock held.
void AlsaClient::close_sequencer() {
    quit_.store(true);
    reader_.join();
    if (decoder_ != nullptr) snd_midi_event_free(decoder_);
    decoder_ = nullptr;
    snd_seq_close(sequencer_);
    sequencer_ = nullptr;
}

void AlsaClient::close_port(int port) {
    const std::lock_guard lock(mutex_);
    for (auto& slot : inputs_) {
        if (slot.port.load() != port || slot.delivery.load() == nullptr) continue;
        slot.delivery.store(nullptr);
        wait_until_reading_left(reading_marks_);
        slot.port.store(-1);
    }
    snd_seq_delete_simple_port(sequencer_, port);
    if (--open_ports_ == 0) close_sequencer();
}

// The reading thread: waits for events, then hands each to the input port it came to.
void AlsaClient::read_events() {
    std::vector<pollfd> waits(static_cast<std::size_t>(snd_seq_poll_descriptors_count(sequencer_, POLLIN)));
    snd_seq_poll_descriptors(sequencer_, waits.data(), static_cast<unsigned int>(waits.size()), POLLIN);
    while (!quit_.load()) {
        if (::poll(waits.data(), waits.size(), kReadWaitMs) <= 0) continue;
        reading_marks_.fetch_add(1);
        for (;;) {
            snd_seq_event_t* event = nullptr;
            const int result = snd_seq_event_input(sequencer_, &event);
            if (result == -ENOSPC) continue;  // events were lost while we were away: read on
            if (result < 0 || event == nullptr) break;
            hand_on(*event);
        }
        reading_marks_.fetch_add(1);
    }
}

void AlsaClient::hand_on(const snd_seq_event_t& event) {
    if (decoder_ == nullptr) return;
    for (auto& slot : inputs_) {
        ShortMessageDelivery* delivery = slot.delivery.load();
        if (delivery == nullptr || slot.port.load() != event.dest.port) continue;
        std::array<std::uint8_t, 12> bytes{};
        snd_midi_event_reset_decode(decoder_);
        const long size = snd_midi_event_decode(decoder_, bytes.data(), bytes.size(), &event);
        if (size <= 0) return;
        if (const auto message = packed_short_message(std::span(bytes.data(), static_cast<std::size_t>(size)))) {
            delivery->push(*message);
        }
        return;
    }
}

}  // namespace corvane::platform::detail
