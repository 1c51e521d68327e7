#pragma once

#include <atomic>
#include <memory>
#include <string>

namespace corvane::platform::detail {

// Notices when the JACK server goes away. RtMidi's JACK ports keep accepting messages after
// their server has died (they only queue them), so an output through JACK keeps one of these:
// a client of its own with no ports, whose shutdown callback tells the loss.
class JackServerWatch {
public:
    // Null when no JACK server can be reached.
    static std::unique_ptr<JackServerWatch> start(const std::string& client_name);
    ~JackServerWatch();
    JackServerWatch(const JackServerWatch&) = delete;
    JackServerWatch& operator=(const JackServerWatch&) = delete;

    bool server_gone() const { return gone_.load(std::memory_order_acquire); }

private:
    explicit JackServerWatch(void* client) : client_(client) {}
    static void on_shutdown(void* self);

    void* client_;  // jack_client_t, kept out of this header
    std::atomic<bool> gone_{false};
};

}  // namespace corvane::platform::detail
