#include "corvane/engine/channel_choice.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "corvane/tuning/expression.h"
#include "text_words.h"

namespace corvane::engine {
namespace {

constexpr std::array<std::string_view, kChannelRuleCount> kRuleMenuTexts{
    "By &Note Height", "By &Time", "&Other...", "By &Cummulative Note Height", "By &Level",
    "By Level, with &simultaneous notes",
};

// A formula text in a fixed buffer, so that evaluating it allocates nothing.
struct FormulaText {
    std::array<char, kMaxFormulaTextLength> chars{};
    std::size_t length = 0;

    std::string_view view() const { return {chars.data(), length}; }
};

FormulaText formula_text(std::string_view formula) {
    FormulaText text;
    text.length = std::min(formula.size(), kMaxFormulaTextLength);
    std::copy_n(formula.begin(), text.length, text.chars.begin());
    return text;
}

// Replaces every `letter` (either case) with `value`. A replacement that would make the
// whole text longer than the buffer ends the text before it.
bool replace_letter(const FormulaText& in, FormulaText& out, char letter, std::int64_t value) {
    std::array<char, 24> digits{};
    const auto digits_end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
    const auto digit_count = static_cast<std::size_t>(digits_end - digits.data());
    std::size_t whole_length = in.length;
    bool replaced = false;
    out.length = 0;
    for (std::size_t i = 0; i < in.length; ++i) {
        const char c = in.chars[i];
        if (ascii_upper(c) != letter) {
            out.chars[out.length++] = c;
            continue;
        }
        if (whole_length - 1 + digit_count > kMaxFormulaTextLength) break;
        whole_length = whole_length - 1 + digit_count;
        std::copy_n(digits.begin(), digit_count, out.chars.begin() + static_cast<std::ptrdiff_t>(out.length));
        out.length += digit_count;
        replaced = true;
    }
    return replaced;
}

std::int64_t truncated(double value) {
    constexpr double kLimit = 9.0e18;  // inside the 64-bit range
    return static_cast<std::int64_t>(std::clamp(std::trunc(value), -kLimit, kLimit));
}

std::int64_t non_negative_remainder(std::int64_t x, std::int64_t y) { return ((x % y) + y) % y; }

// Position in the channels in play of the first one whose number is at least `channel`.
int position_from(const ChannelsInPlay& in_play, int channel) {
    const auto list = in_play.list();
    const auto found = std::find_if(list.begin(), list.end(), [&](int ch) { return ch >= channel; });
    return found == list.end() ? 0 : static_cast<int>(found - list.begin());
}

// With one channel in play the user picks it: the first channel with a voice from `channel` on.
int first_voiced_channel_from(const Composition& c, int channel, int fallback) {
    for (int ch = std::max(channel, 0); ch < kMidiChannels; ++ch) {
        if (c.Voices_for_channels[static_cast<std::size_t>(ch)] >= 0) return ch;
    }
    return fallback;
}

FormulaLetters letters_for(const Composition& c, const LevelCounter& counter, int channels, std::int64_t height,
                           int level, int previous) {
    FormulaLetters l;
    l.T = counter.NoteStepCount;
    l.N = channels < 1 ? 0 : non_negative_remainder(l.T, channels);
    l.S = counter.SeedCycleCount;
    l.P = counter.SeedPosition;
    l.M = c.seed_length();
    l.Y = channels;
    l.H = height;
    l.L = level;
    l.C = previous;
    return l;
}

std::int64_t rule_value(const Composition& c, const ChannelsInPlay& in_play, const LevelCounter& counter,
                        std::int64_t height, int level, int previous) {
    switch (static_cast<ChannelRule>(c.Choose_channels_by)) {
        case ChannelRule::by_note_height:
            return height;
        case ChannelRule::by_time:
            return previous + 1;
        case ChannelRule::by_cumulative_note_height:
            return previous + height;
        case ChannelRule::formula:
            if (c.sz_ccbo_formula == kOldOtherFormula) return position_from(in_play, previous) + 1 + height;
            return evaluate_formula(c.sz_ccbo_formula, letters_for(c, counter, in_play.count, height, level, previous))
                .value;
        case ChannelRule::by_level:
        case ChannelRule::by_level_simultaneous:
        default:  // an unknown rule counts as the rule of a new composition
            return level;
    }
}

}  // namespace

std::span<const std::string_view> channel_rule_menu_texts() { return kRuleMenuTexts; }

FormulaValue evaluate_formula(std::string_view formula, const FormulaLetters& letters) {
    const std::array<std::pair<char, std::int64_t>, 9> replacements{{
        {'N', letters.N}, {'T', letters.T}, {'S', letters.S}, {'P', letters.P}, {'M', letters.M},
        {'Y', letters.Y}, {'H', letters.H}, {'L', letters.L}, {'C', letters.C},
    }};
    std::array<FormulaText, 2> texts{formula_text(formula), FormulaText{}};
    std::size_t current = 0;
    FormulaValue result;
    for (const auto& [letter, value] : replacements) {
        const bool replaced = replace_letter(texts[current], texts[1 - current], letter, value);
        if (letter == 'L') result.uses_level = replaced;
        current = 1 - current;
    }
    std::array<char, kMaxFormulaTextLength> scratch{};
    const auto evaluation = tuning::evaluate_expression(texts[current].view(), tuning::PitchForm::ratio, scratch);
    result.value = truncated(evaluation.value);
    return result;
}

bool formula_uses_level(std::string_view formula) {
    return std::any_of(formula.begin(), formula.end(), [](char c) { return ascii_upper(c) == 'L'; });
}

void start_channel_choice(const Composition& c, ChannelChooser& chooser) {
    chooser.previous_channel = c.channel_rule() == ChannelRule::formula ? c.ccbo_first_channel : 0;
    chooser.channel_in_use = c.Channels_in_Play > 1 ? 0 : c.Channel;
}

std::optional<int> choose_channel(const Composition& c, ChannelChooser& chooser, const LevelCounter& counter,
                                  std::int64_t height, int level) {
    const ChannelsInPlay in_play = c.channels_in_play();
    if (in_play.count == 0) return std::nullopt;
    const int first_in_play = in_play.channels[0];
    int channel = first_in_play;
    if (c.Channels_in_Play < 2) {
        channel = first_voiced_channel_from(c, c.Channel, first_in_play);
    } else {
        const std::int64_t x = rule_value(c, in_play, counter, height, level, chooser.previous_channel);
        channel = in_play.channels[static_cast<std::size_t>(non_negative_remainder(x, in_play.count))];
    }
    if (channel >= kMidiChannels) channel = 0;
    chooser.previous_channel = channel;
    chooser.channel_in_use = channel;
    return channel;
}

bool select_channel_rule(Composition& c, int rule) {
    if (rule < 0 || rule >= kChannelRuleCount) return false;
    const bool was_formula = c.channel_rule() == ChannelRule::formula;
    c.Choose_channels_by = rule;
    if (rule != static_cast<int>(ChannelRule::formula)) {
        c.ccbo_sym_chs = false;
        c.ccbo_multiple_notes_in_same_channel = true;
    }
    switch (static_cast<ChannelRule>(rule)) {
        case ChannelRule::by_note_height: c.sz_ccbo_formula = "H"; break;
        case ChannelRule::by_time: c.sz_ccbo_formula = "N"; break;
        case ChannelRule::formula:
            if (!was_formula) c.sz_ccbo_formula = std::string(kNewFormula);
            break;
        case ChannelRule::by_cumulative_note_height: c.sz_ccbo_formula = "C+H"; break;
        case ChannelRule::by_level: c.sz_ccbo_formula = "L"; break;
        case ChannelRule::by_level_simultaneous:
            c.sz_ccbo_formula = "L";
            c.ccbo_sym_chs = true;
            break;
    }
    return true;
}

bool plays_simultaneous_notes(const Composition& c) {
    if (c.channel_rule() == ChannelRule::by_level_simultaneous) return true;
    return c.formula_with_one_note_per_channel() && formula_uses_level(c.sz_ccbo_formula);
}

std::string channels_in_play_status(const Composition& c) {
    if (c.Channels_in_Play == 1) {
        return "In play: channel " + std::to_string(c.Channel + 1) + " (highlighted in Channels window)";
    }
    return "In play: first " + std::to_string(c.Channels_in_Play) + " channels with voices";
}

std::string channels_window_status(const Composition& c) {
    return c.Channels_in_Play == 1 ? std::string("In play: highlighted channel") : channels_in_play_status(c);
}

}  // namespace corvane::engine
