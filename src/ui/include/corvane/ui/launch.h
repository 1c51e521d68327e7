#pragma once

// The decisions of a launch that need no windows: the start file, whether a second copy
// hands its file to the running one, the window-code table and the per-user flags that
// travel with it.

#include <array>
#include <bitset>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::ui {

// The file named on the command line, without surrounding double quotes; nothing when
// the argument is missing or empty.
std::optional<std::string> start_file_argument(std::string_view argument);

// Compositions are the files with the extension CV or CMP, in any case.
bool is_composition_file(std::string_view path);

enum class LaunchChoice { start_new_copy, hand_off_to_running_copy };

// A file and a running copy hand off, unless Shift is held at launch; without a file a
// new copy always starts.
LaunchChoice choose_launch(bool has_start_file, bool running_copy_found, bool shift_held);

inline constexpr std::string_view kHandOffFileName = "association.ini";
inline constexpr std::size_t kMaxPathLength = 260;

// The first line of the hand-off file, at most 260 characters; empty when there is none.
std::string hand_off_file_name(std::string_view hand_off_text);

// ---------------------------------------------------------------------------------------
// Window codes: which windows open for each occasion.

inline constexpr std::string_view kWindowCodes = "DTSACVNPGMUHRLOBIEXJFKY234";
inline constexpr std::size_t kWindowCodeCount = kWindowCodes.size();
// The window each code opens, in the order of the codes.
inline constexpr std::array<std::string_view, kWindowCodeCount> kWindowNames{
    "Seed",           "Tune",           "Scale",       "Arpeggio",
    "Colours",        "Voices",         "Channels",    "Pitch",
    "Play along",     "MIDI files",     "Superparticular scales", "Search",
    "Sort",           "Scala",          "Scales options", "Number options",
    "Options",        "Note timing",    "Non melodic percussion", "Range",
    "Effects",        "PC keyboard voices", "MIDI in options", "Note assignments",
    "Note played",    "New scale/arpeggio playback"};
inline constexpr std::array<std::string_view, 6> kOccasions{"CV", "LSC", "LMD", "SCL", "STARTUP", "SHOWNOW"};
inline constexpr std::size_t kStartUpOccasion = 4;
inline constexpr std::size_t kShowNowOccasion = 5;
inline constexpr std::size_t kMaxWindowCodeText = 199;

using WindowCodes = std::bitset<kWindowCodeCount>;

struct WindowCodeTable {
    std::array<WindowCodes, kOccasions.size()> occasions{};
};

// Codes are matched exactly: characters that are not one of the 26 codes are ignored.
WindowCodes read_window_codes(std::string_view text);
// The ticked codes in table order.
std::string write_window_codes(const WindowCodes& codes);
// The position of a code in the table, or nothing.
std::optional<std::size_t> window_code_index(char code);

// "PlayOnStartUp": bit 0 play on start-up with a file, bit 1 play on start-up.
struct PlayOnStartUp {
    bool with_file = false;
    bool without_file = false;
};
PlayOnStartUp play_on_start_up_from_bits(long long bits);
long long play_on_start_up_bits(PlayOnStartUp flags);

}  // namespace corvane::ui
