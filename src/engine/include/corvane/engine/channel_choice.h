#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "corvane/engine/composition.h"
#include "corvane/engine/level_counter.h"

namespace corvane::engine {

inline constexpr int kChannelRuleCount = 6;
// The Order of play menu, in rule order.
std::span<const std::string_view> channel_rule_menu_texts();

// The formula rule's dialog.
inline constexpr std::string_view kFormulaDialogCaption = "Choose channels by - Other";
inline constexpr std::string_view kFirstChannelLabel = "Value for C (channel) for first note of melody";
inline constexpr std::string_view kSymChsLabel = "Sustain all notes to next note for same voice channel";
inline constexpr std::string_view kNoOverlapLabel = "No overlapping notes in same voice channel";
inline constexpr std::string_view kFormulaHelpFirst =
    "H = note height, C = previous channel\nT=number of notes played so far (including skipped notes)";
inline constexpr std::string_view kFormulaHelpSecond =
    "L = highest level updated.\nS=number of seeds so far, P=position in current seed\nM=number of notes in "
    "seed, Y=number of channels in play\nN=remainder on dividing T by Y,";
inline constexpr std::string_view kFormulaHelpNumbering =
    "Channel numbering starts at 0 instead of 1\nso 0 is used for channel 1, 1 for channel 2 etc.\n\nUses "
    "\"Clock arithmetic\" to get result in range 0 to number of channels in play";

// The formula text that stands for the older formula rule: position of C, plus 1, plus H.
inline constexpr std::string_view kOldOtherFormula = "old_other";
// Formula texts are worked on at most this long once the letters are replaced.
inline constexpr std::size_t kMaxFormulaTextLength = 300;

// The values that replace the nine letters of a formula.
struct FormulaLetters {
    std::int64_t N = 0;  // T mod Y
    std::int64_t T = 0;  // NoteStepCount
    std::int64_t S = 0;  // SeedCycleCount
    std::int64_t P = 0;  // SeedPosition
    std::int64_t M = 0;  // seed length
    std::int64_t Y = 0;  // channels in play
    std::int64_t H = 0;  // note height
    std::int64_t L = 0;  // level passed in
    std::int64_t C = 0;  // channel chosen last
};

struct FormulaValue {
    std::int64_t value = 0;   // truncated toward zero
    bool uses_level = false;  // an L was replaced
};

// Replaces the letters N T S P M Y H L C (either case, in that order) by their decimal
// values and reads the text as an expression. Works in fixed buffers: allocation-free.
FormulaValue evaluate_formula(std::string_view formula, const FormulaLetters& letters);
bool formula_uses_level(std::string_view formula);

// The state of channel choice while a tune plays; the composition itself is only read.
struct ChannelChooser {
    int previous_channel = 0;  // the remembered C: the channel the rule chose last
    int channel_in_use = 0;    // the channel of the last note, where the Voice menu acts
};

// What a start of play does for channel choice: C starts at 0, or at ccbo_first_channel
// under the formula rule; the channel in use is the composition's Channel, or 0 with
// several channels in play.
void start_channel_choice(const Composition& c, ChannelChooser& chooser);

// The channel (0..15) that plays a note of height `height` at which levels 0..`level`
// change; remembered as C and as the channel in use. Allocation-free.
// With no channel in play (every voice negative) there is none to give: the answer is
// nothing, the note is a rest, and the chooser stays as it was.
std::optional<int> choose_channel(const Composition& c, ChannelChooser& chooser, const LevelCounter& counter,
                                  std::int64_t height, int level);

// The menu command: sets the rule and the fields that go with it. The formula rule keeps
// its formula if it was already chosen (the caller then opens its dialog). Returns false,
// changing nothing, for a rule outside 0..5.
bool select_channel_rule(Composition& c, int rule);

// Whether the player sounds one note per changed level: rule 5, or the formula rule with
// ccbo_sym_chs and an L in the formula.
bool plays_simultaneous_notes(const Composition& c);

// The status line of the main window, and of the Channels window.
std::string channels_in_play_status(const Composition& c);
std::string channels_window_status(const Composition& c);

}  // namespace corvane::engine
