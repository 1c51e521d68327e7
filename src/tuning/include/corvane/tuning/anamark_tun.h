#pragma once

// Tunings in the AnaMark layout (.tun), which many software synthesizers read: a [Tuning]
// section of "note N=cents" lines for keys 0 to 127, in whole cents above key 0 of A 440
// equal temperament, and an [Exact Tuning] section with its own BaseFreq and cents to any
// precision. Lines starting with ";" are comments; other sections are left unread.

#include <array>
#include <string>
#include <string_view>
#include <variant>

namespace corvane::tuning {

inline constexpr int kTunKeys = 128;
// What the [Tuning] section's cents count from: key 0 of A 440, as the layout fixes it.
inline constexpr double kTunTuningBase = 8.1757989156;
// The same key to double precision: the BaseFreq Corvane writes, and the one taken when an
// [Exact Tuning] section names none.
inline constexpr double kTunExactBase = 8.1757989156437073;
inline constexpr std::string_view kTunExactBaseText = "8.1757989156437073";

using KeyFrequencies = std::array<double, kTunKeys>;

// What a text that is no AnaMark tuning gets wrong, naming the line.
struct AnamarkTunError {
    std::string message;
};

// The frequencies of keys 0 to 127: from [Exact Tuning] when the text has it, else from
// [Tuning]; a key that its section does not name keeps its equal-tempered pitch.
[[nodiscard]] std::variant<KeyFrequencies, AnamarkTunError> read_anamark_tun(std::string_view text);

}  // namespace corvane::tuning
