#include "short_message_delivery.h"

namespace corvane::platform::detail {

ShortMessageDelivery::ShortMessageDelivery(MidiInputReceiver& receiver)
    : receiver_(receiver), thread_([this] { deliver(); }) {}

ShortMessageDelivery::~ShortMessageDelivery() {
    quit_.store(true);
    sequence_.fetch_add(1);
    sequence_.notify_one();
    thread_.join();
}

void ShortMessageDelivery::push(std::uint32_t message) noexcept {
    if (!queue_.push(message)) return;
    sequence_.fetch_add(1, std::memory_order_release);
    sequence_.notify_one();
}

void ShortMessageDelivery::deliver() {
    for (;;) {
        const std::uint32_t seen = sequence_.load(std::memory_order_acquire);
        while (const auto message = queue_.front()) {
            receiver_.on_short_message(*message);
            queue_.pop();
        }
        if (quit_.load()) return;
        sequence_.wait(seen, std::memory_order_acquire);
    }
}

}  // namespace corvane::platform::detail
