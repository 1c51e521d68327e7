#pragma once

#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <string>

namespace corvane::platform {

// The most bytes a file name may have on the file systems Corvane writes to.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// The start of the name of a temporary file beside `target`, to which an attempt number is
// added: hidden, naming the file it is for and this process, and short enough that a target
// whose own name is near the limit still gets one.
inline std::string temporary_stem(const std::filesystem::path& target) {
    const std::string tail = ".saving-" + std::to_string(::getpid()) + "-";
    constexpr std::size_t kRoomForAttempt = 4;
    std::string name = target.filename().string();
    const std::size_t room = kMaxFileNameBytes - 1 - tail.size() - kRoomForAttempt;
    if (name.size() > room) name.resize(room);
    return "." + name + tail;
}

}  // namespace corvane::platform
