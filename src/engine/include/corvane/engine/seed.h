#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::engine {

// Strict reading refuses a token that is not a number; lenient reading keeps what the
// expression reader made of it.
enum class SeedStrictness { lenient, strict };

struct SeedReading {
    std::vector<int> values;  // at most 1000
    // The text holds the word TEST in any case: the player's pitch-bend range test mode.
    bool contains_test = false;
};

// Reads a seed typed as "0 1 2 1". Tokens beginning with TEST are skipped; the list ends
// at the end of the text or at a token beginning with ";", "DURATIONS", "v", "#R" or "#S"
// (any case), where the per-position annotations of a composition file begin. Each value
// is an expression truncated toward zero. Nothing in strict mode when a token is not a number.
std::optional<SeedReading> read_seed(std::string_view text, SeedStrictness strictness);

// The seeds offered in the option dialogs' seed list, in order.
std::span<const std::string_view> builtin_seeds();

// The seeds drop list of the main window: one seed a line of this file in the program folder.
inline constexpr std::string_view kSeedsDropListFile = "musical seeds drop list.txt";
inline constexpr std::string_view kEditSeedsDropListCaption = "Edit seeds drop list";
std::vector<std::string> seeds_drop_list_lines(std::string_view file_text);
// The messages when the drop list cannot be opened for editing.
std::string no_text_editor_message(std::string_view program_folder);
std::string text_editor_failed_message(std::string_view reason, std::string_view program_folder);

}  // namespace corvane::engine
