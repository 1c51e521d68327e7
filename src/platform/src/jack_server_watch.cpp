#include "jack_server_watch.h"

#include <jack/jack.h>

#include "quiet_libraries.h"

namespace corvane::platform::detail {

std::unique_ptr<JackServerWatch> JackServerWatch::start(const std::string& client_name) {
    const QuietJack quiet;
    jack_status_t status{};
    jack_client_t* client = jack_client_open(client_name.c_str(), JackNoStartServer, &status);
    if (client == nullptr) return nullptr;
    std::unique_ptr<JackServerWatch> watch(new JackServerWatch(client));
    jack_on_shutdown(client, &JackServerWatch::on_shutdown, watch.get());
    if (jack_activate(client) != 0) return nullptr;
    return watch;
}

void JackServerWatch::on_shutdown(void* self) { static_cast<JackServerWatch*>(self)->gone_.store(true, std::memory_order_release); }

JackServerWatch::~JackServerWatch() {
    const QuietJack quiet;
    auto* client = static_cast<jack_client_t*>(client_);
    if (!server_gone()) jack_deactivate(client);
    jack_client_close(client);
}

}  // namespace corvane::platform::detail
