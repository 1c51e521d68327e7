#include "jack_client.h"

#include <jack/midiport.h>

#include <algorithm>
#include <optional>
#include <thread>

#include "quiet_libraries.h"

namespace corvane::platform::detail {
namespace {

// JACK's real-time thread, once a cycle: each port's work, and nothing else.
int process(jack_nframes_t frames, void* data) {
    auto& session = *static_cast<JackSession*>(data);
    session.cycle_marks.fetch_add(1);  // sequentially consistent with the taking away below
    for (auto& slot : session.slots) {
        if (JackPortWork* work = slot.work.load()) work->process(slot.port, frames);
    }
    session.cycle_marks.fetch_add(1, std::memory_order_release);
    return 0;
}

void on_shutdown(void* data) { static_cast<JackSession*>(data)->gone.store(true, std::memory_order_release); }

// After a port's work was taken away: waits until no process callback can still be running
// it. The callback neither blocks nor waits, so this is over within microseconds.
void wait_until_cycle_left(const JackSession& session) {
    const std::uint64_t mark = session.cycle_marks.load();
    if (mark % 2 == 0) return;
    while (session.cycle_marks.load() == mark) std::this_thread::yield();
}

std::string numbered(std::string_view name, int number) {
    std::string numbered_name(name);
    if (number > 1) numbered_name += " " + std::to_string(number);
    return numbered_name;
}

}  // namespace

std::size_t JackSession::open_ports() const {
    return static_cast<std::size_t>(
        std::count_if(slots.begin(), slots.end(), [](const Slot& slot) { return !slot.name.empty(); }));
}

JackPort::JackPort(JackClient& owner, JackSession& session, std::size_t slot)
    : owner_(owner), session_(session), slot_(slot) {}

JackPort::~JackPort() { owner_.close_port(session_, slot_); }

jack_port_t* JackPort::port() const { return session_.slots[slot_].port; }

jack_client_t* JackPort::client() const { return session_.client; }

std::string JackPort::full_name() const { return jack_port_name(port()); }

bool JackPort::lost() const { return session_.gone.load(std::memory_order_acquire); }

bool JackPort::connect(const std::string& source, const std::string& destination) const {
    return jack_connect(session_.client, source.c_str(), destination.c_str()) == 0;
}

JackClient::JackClient(std::string name) : name_(std::move(name)) {}

JackClient::~JackClient() {
    // Every port has closed by now, and with its last port each client.
    const QuietJack quiet;
    for (const auto& session : sessions_) jack_client_close(session->client);
}

std::unique_ptr<JackPort> JackClient::open_port(std::string_view name, unsigned long flags, JackPortWork& work,
                                                std::string& error) {
    const std::lock_guard lock(mutex_);
    JackSession* session = usable_session();
    if (session == nullptr) {
        error = "The JACK server does not answer, so the MIDI port \"" + std::string(name) + "\" cannot be made.";
        return nullptr;
    }
    std::string port_name;
    for (int number = 1; port_name.empty(); ++number) {
        const auto taken = [&](const JackSession::Slot& slot) { return slot.name == numbered(name, number); };
        if (std::none_of(session->slots.begin(), session->slots.end(), taken)) port_name = numbered(name, number);
    }
    const auto free_slot = std::find_if(session->slots.begin(), session->slots.end(),
                                        [](const JackSession::Slot& slot) { return slot.name.empty(); });
    jack_port_t* port = free_slot == session->slots.end()
                            ? nullptr
                            : jack_port_register(session->client, port_name.c_str(), JACK_DEFAULT_MIDI_TYPE, flags, 0);
    if (port == nullptr) {
        error = "JACK would not make the MIDI port \"" + port_name + "\".";
        if (session->open_ports() == 0) close_session(*session);
        return nullptr;
    }
    free_slot->port = port;
    free_slot->name = port_name;
    free_slot->work.store(&work);
    const auto slot = static_cast<std::size_t>(free_slot - session->slots.begin());
    return std::make_unique<JackPort>(*this, *session, slot);
}

std::vector<std::string> JackClient::other_ports(unsigned long flags) {
    const std::lock_guard lock(mutex_);
    const bool own_client_open = !sessions_.empty() && !sessions_.back()->gone.load(std::memory_order_acquire);
    jack_client_t* client = own_client_open ? sessions_.back()->client : nullptr;
    jack_client_t* probe = nullptr;
    if (client == nullptr) {
        const QuietJack quiet;
        probe = jack_client_open((name_ + " probe").c_str(), JackNoStartServer, nullptr);
        client = probe;
    }
    if (client == nullptr) return {};
    const std::string own_prefix = std::string(jack_get_client_name(client)) + ":";
    std::vector<std::string> names;
    if (const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags)) {
        for (const char** port = ports; *port != nullptr; ++port) {
            if (std::string_view(*port).starts_with(own_prefix)) continue;
            names.emplace_back(*port);
        }
        jack_free(ports);
    }
    if (probe != nullptr) jack_client_close(probe);
    return names;
}

// The open client, or a new one when there is none or its server has shut it down; null when
// the server does not answer. Called with the lock held.
JackSession* JackClient::usable_session() {
    if (!sessions_.empty() && !sessions_.back()->gone.load(std::memory_order_acquire)) return sessions_.back().get();
    auto session = std::make_unique<JackSession>();
    {
        const QuietJack quiet;
        jack_status_t status{};
        session->client = jack_client_open(name_.c_str(), JackNoStartServer, &status);
    }
    if (session->client == nullptr) return nullptr;
    jack_set_process_callback(session->client, &process, session.get());
    jack_on_shutdown(session->client, &on_shutdown, session.get());
    if (jack_activate(session->client) != 0) {
        jack_client_close(session->client);
        return nullptr;
    }
    sessions_.push_back(std::move(session));
    return sessions_.back().get();
}

void JackClient::close_port(JackSession& session, std::size_t slot_index) {
    const std::lock_guard lock(mutex_);
    auto& slot = session.slots[slot_index];
    slot.work.store(nullptr);
    wait_until_cycle_left(session);
    {
        // After its server died, libjack complains about every call made on the client.
        std::optional<QuietJack> quiet;
        if (session.gone.load(std::memory_order_acquire)) quiet.emplace();
        jack_port_unregister(session.client, slot.port);
    }
    slot.port = nullptr;
    slot.name.clear();
    if (session.open_ports() == 0) close_session(session);
}

// Closing stops the process callbacks before the session goes. Called with the lock held.
void JackClient::close_session(JackSession& session) {
    {
        std::optional<QuietJack> quiet;
        if (session.gone.load(std::memory_order_acquire)) quiet.emplace();
        jack_client_close(session.client);
    }
    std::erase_if(sessions_, [&](const auto& kept) { return kept.get() == &session; });
}

}  // namespace corvane::platform::detail
