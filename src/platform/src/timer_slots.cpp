#include "corvane/platform/timer_slots.h"

namespace corvane::platform {

TimerId TimerSlots::next_id() {
    ++last_id_;
    if (last_id_ == kNoTimer) ++last_id_;  // after wrapping round
    return last_id_;
}

TimerId TimerSlots::add(std::int64_t deadline, TimerClient& client, int event) {
    for (Slot& slot : slots_) {
        if (slot.id != kNoTimer) continue;
        slot = Slot{next_id(), deadline, next_order_++, &client, event};
        return slot.id;
    }
    return kNoTimer;
}

bool TimerSlots::remove(TimerId id) {
    if (id == kNoTimer) return false;
    for (Slot& slot : slots_) {
        if (slot.id != id) continue;
        slot = Slot{};
        return true;
    }
    return false;
}

std::size_t TimerSlots::remove_client(const TimerClient& client) {
    std::size_t removed = 0;
    for (Slot& slot : slots_) {
        if (slot.id == kNoTimer || slot.client != &client) continue;
        slot = Slot{};
        ++removed;
    }
    return removed;
}

void TimerSlots::clear() { slots_.fill(Slot{}); }

const TimerSlots::Slot* TimerSlots::earliest() const {
    const Slot* best = nullptr;
    for (const Slot& slot : slots_) {
        if (slot.id == kNoTimer) continue;
        if (best == nullptr || slot.deadline < best->deadline ||
            (slot.deadline == best->deadline && slot.order < best->order)) {
            best = &slot;
        }
    }
    return best;
}

std::optional<std::int64_t> TimerSlots::earliest_deadline() const {
    const Slot* slot = earliest();
    if (slot == nullptr) return std::nullopt;
    return slot->deadline;
}

std::optional<TimerSlots::Due> TimerSlots::take_due(std::int64_t now) {
    const Slot* slot = earliest();
    if (slot == nullptr || slot->deadline > now) return std::nullopt;
    const Due due{slot->id, slot->client, slot->event, slot->deadline};
    remove(slot->id);
    return due;
}

std::size_t TimerSlots::pending() const {
    std::size_t count = 0;
    for (const Slot& slot : slots_) {
        if (slot.id != kNoTimer) ++count;
    }
    return count;
}

}  // namespace corvane::platform
