#pragma once

// Our one client on the JACK server, which every JACK port of ours lives on.

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::platform::detail {

// A port's part of each process cycle, on JACK's real-time thread: it must neither allocate
// nor lock.
class JackPortWork {
public:
    virtual void process(jack_port_t* port, jack_nframes_t frames) noexcept = 0;

protected:
    ~JackPortWork() = default;
};

class JackClient;
struct JackSession;

// A port of ours on the shared client, registered while this lives. Its work runs in every
// cycle from when the port is made until the handle goes; after that, never again.
class JackPort {
public:
    JackPort(JackClient& owner, JackSession& session, std::size_t slot);
    ~JackPort();
    JackPort(const JackPort&) = delete;
    JackPort& operator=(const JackPort&) = delete;

    jack_port_t* port() const;
    jack_client_t* client() const;
    // "client:port", as other programs see it.
    std::string full_name() const;
    // True once the server has shut the client down: the port carries nothing any more.
    bool lost() const;
    // Connects `source` to `destination` (full names), one of them this port; false on failure.
    bool connect(const std::string& source, const std::string& destination) const;

private:
    JackClient& owner_;
    JackSession& session_;
    std::size_t slot_;
};

// The client named `name` on the JACK server: opened with the first port, closed after the
// last, so other programs see one client with our MIDI out and MIDI in ports on it. After the
// server has shut the client down, the next port opens a fresh client, while ports still on
// the old one keep it until they close.
class JackClient {
public:
    explicit JackClient(std::string name);
    ~JackClient();
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    // Registers a MIDI port with `flags` (JackPortIsInput or JackPortIsOutput) named `name`, or
    // "name 2" and on when that is taken, whose work runs in each cycle. Null, with the reason
    // in `error`, when the server does not answer or refuses.
    std::unique_ptr<JackPort> open_port(std::string_view name, unsigned long flags, JackPortWork& work,
                                        std::string& error);

    // Full names of the MIDI ports of other programs with `flags`, in the server's order.
    std::vector<std::string> other_ports(unsigned long flags);

private:
    friend class JackPort;

    JackSession* usable_session();
    void close_port(JackSession& session, std::size_t slot);
    void close_session(JackSession& session);

    std::string name_;
    std::mutex mutex_;  // never taken on the real-time thread
    std::vector<std::unique_ptr<JackSession>> sessions_;  // the usable one last
};

// One open client and its ports: what the process callback reads.
struct JackSession {
    static constexpr std::size_t kMaxPorts = 8;

    struct Slot {
        std::atomic<JackPortWork*> work{nullptr};
        jack_port_t* port = nullptr;
        std::string name;  // empty while the slot is free
    };

    jack_client_t* client = nullptr;
    std::array<Slot, kMaxPorts> slots;
    // Odd while a process callback runs: a port's work is only let go once the callback has
    // left the cycle that might still have seen it.
    std::atomic<std::uint64_t> cycle_marks{0};
    std::atomic<bool> gone{false};

    std::size_t open_ports() const;
};

}  // namespace corvane::platform::detail
