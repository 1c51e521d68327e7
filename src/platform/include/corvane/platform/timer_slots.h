#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "corvane/platform/timer_service.h"

namespace corvane::platform {

// The pending events of a timer service: a fixed table, so arming never allocates. The player
// keeps at most a note-off and a next-step event pending; the spare slots are headroom.
// Deadlines are plain numbers on the owner's time scale. Not thread-safe: the owner locks.
class TimerSlots {
public:
    static constexpr std::size_t kCapacity = 8;

    struct Due {
        TimerId id = kNoTimer;
        TimerClient* client = nullptr;
        int event = 0;
        std::int64_t deadline = 0;
    };

    // kNoTimer when every slot is taken.
    TimerId add(std::int64_t deadline, TimerClient& client, int event);
    // False when the id is not pending (already fired, cancelled or never armed).
    bool remove(TimerId id);
    // Removes every pending event of the client; returns how many there were.
    std::size_t remove_client(const TimerClient& client);
    void clear();

    std::optional<std::int64_t> earliest_deadline() const;
    // Takes out the earliest event due at `now` or before; events with equal deadlines leave
    // in the order they were armed.
    std::optional<Due> take_due(std::int64_t now);
    std::size_t pending() const;

private:
    struct Slot {
        TimerId id = kNoTimer;
        std::int64_t deadline = 0;
        std::uint64_t order = 0;
        TimerClient* client = nullptr;
        int event = 0;
    };

    const Slot* earliest() const;
    TimerId next_id();

    std::array<Slot, kCapacity> slots_{};
    TimerId last_id_ = kNoTimer;
    std::uint64_t next_order_ = 0;
};

}  // namespace corvane::platform
