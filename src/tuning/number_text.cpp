#include "corvane/tuning/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace corvane::tuning {
namespace {

int clamp_figures(int figures) { return figures < 0 ? 6 : std::min(figures, 40); }

std::string plural(unsigned long long n) { return n == 1 ? "" : "s"; }

}  // namespace

std::string format_general(double value, int figures) {
    std::array<char, 64> buffer{};
    const auto [end, ec] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::general,
                      clamp_figures(figures));
    if (ec != std::errc()) return "0";
    return std::string(buffer.data(), end);
}

std::string format_shortest(double value) {
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (ec != std::errc()) return "0";
    return std::string(buffer.data(), end);
}

std::string format_fixed(double value, int decimals) {
    std::array<char, 400> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed, clamp_figures(decimals));
    if (ec != std::errc()) return format_general(value, decimals);
    return std::string(buffer.data(), end);
}

std::string format_size(std::uint64_t bytes) {
    constexpr double kKilobyte = 1024;
    const double size = static_cast<double>(bytes);
    if (size < kKilobyte) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const bool megabytes = size >= kKilobyte * kKilobyte;
    const double in_unit = megabytes ? size / (kKilobyte * kKilobyte) : size / kKilobyte;
    const std::string unit = megabytes ? " MB" : " kB";
    return format_fixed(in_unit, in_unit < 99.95 ? 1 : 0) + unit;
}

std::string format_duration(double seconds, int max_parts) {
    const double whole = std::floor(seconds);
    const double fraction = seconds - whole;
    const double days = std::floor(std::floor(std::floor(whole / 60) / 60) / 24);
    const double rest = whole - days * 86400;
    std::string text;
    int parts = 0;
    const auto room = [&] { return max_parts == 0 || parts < max_parts; };
    if (days > 0 && room()) {
        text += format_general(days, 15) + " day" + (days > 1 ? "s" : "") + " ";
        ++parts;
    }
    if (rest >= 0 && rest <= 86400) {
        const auto r = static_cast<unsigned long long>(rest);
        const unsigned long long hours = r / 3600;
        const unsigned long long minutes = r / 60 % 60;
        const unsigned long long secs = r % 60;
        if (hours != 0 && room()) {
            text += std::to_string(hours) + " hour" + plural(hours) + " ";
            ++parts;
        }
        if (minutes != 0 && room()) {
            text += std::to_string(minutes) + " minute" + plural(minutes) + " ";
            ++parts;
        }
        if ((fraction != 0 || secs != 0) && room()) {
            text += format_fixed(static_cast<double>(secs) + fraction, 2) + " sec" + plural(secs);
            ++parts;
        }
    }
    if (text.empty()) text = "0 secs";
    return text;
}

}  // namespace corvane::tuning
