#pragma once

// The MIDI and audio libraries print their errors straight to the terminal, and a failed
// probe is not an error to us. These switch that printing off while a probe runs.

namespace corvane::platform::detail {

// While one lives, ALSA's library messages are dropped.
class QuietAlsa {
public:
    QuietAlsa();
    ~QuietAlsa();
    QuietAlsa(const QuietAlsa&) = delete;
    QuietAlsa& operator=(const QuietAlsa&) = delete;
};

// While one lives, libjack's error and information messages are dropped.
class QuietJack {
public:
    QuietJack();
    ~QuietJack();
    QuietJack(const QuietJack&) = delete;
    QuietJack& operator=(const QuietJack&) = delete;
};

}  // namespace corvane::platform::detail
