#include "corvane/ui/launch.h"

#include <algorithm>
#include <cctype>

namespace corvane::ui {

std::optional<std::string> start_file_argument(std::string_view argument) {
    if (!argument.empty() && argument.front() == '"') argument.remove_prefix(1);
    if (!argument.empty() && argument.back() == '"') argument.remove_suffix(1);
    if (argument.empty()) return std::nullopt;
    return std::string(argument.substr(0, kMaxPathLength));
}

bool is_composition_file(std::string_view path) {
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == "cv" || ext == "cmp";
}

LaunchChoice choose_launch(bool has_start_file, bool running_copy_found, bool shift_held) {
    if (has_start_file && running_copy_found && !shift_held) return LaunchChoice::hand_off_to_running_copy;
    return LaunchChoice::start_new_copy;
}

std::string hand_off_file_name(std::string_view hand_off_text) {
    const auto end = hand_off_text.find_first_of("\r\n");
    return std::string(hand_off_text.substr(0, std::min(end, kMaxPathLength)));
}

std::optional<std::size_t> window_code_index(char code) {
    const auto at = kWindowCodes.find(code);
    if (at == std::string_view::npos) return std::nullopt;
    return at;
}

WindowCodes read_window_codes(std::string_view text) {
    WindowCodes codes;
    for (const char c : text) {
        if (const auto index = window_code_index(c)) codes.set(*index);
    }
    return codes;
}

std::string write_window_codes(const WindowCodes& codes) {
    std::string text;
    for (std::size_t i = 0; i < kWindowCodeCount && text.size() < kMaxWindowCodeText; ++i) {
        if (codes.test(i)) text += kWindowCodes[i];
    }
    return text;
}

PlayOnStartUp play_on_start_up_from_bits(long long bits) {
    return {.with_file = (bits & 1) != 0, .without_file = (bits & 2) != 0};
}

long long play_on_start_up_bits(PlayOnStartUp flags) {
    return (flags.with_file ? 1 : 0) | (flags.without_file ? 2 : 0);
}

}  // namespace corvane::ui
