#include "corvane/files/composition_file.h"

#include <algorithm>
#include <array>
#include <limits>
#include <type_traits>
#include <variant>

#include "corvane/engine/channel_choice.h"
#include "corvane/tuning/builtin_tables.h"
#include "corvane/tuning/pitch_format.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/step_list.h"
#include "composition_items.h"
#include "number_text.h"
#include "text_scan.h"

namespace corvane::files {
namespace {

using detail::equals_any_case;
using detail::general_text;
using detail::integer_text;
using detail::starts_with_any_case;
using detail::TokenReader;
using engine::Composition;
using engine::PerChannel;

// ---------------------------------------------------------------------------------------
// Writing

// The composition's per-channel keys, in the order they are written: a key is left out when
// every channel has its neutral value. On reading, channels not given get 0.
struct ChannelKey {
    std::string_view key;
    std::variant<PerChannel<int> Composition::*, PerChannel<bool> Composition::*, PerChannel<double> Composition::*>
        member;
    double neutral;
    bool empty_list_ends_reading = false;  // the file is read no further
};

const std::array<ChannelKey, 13> kChannelKeys{{
    {"Octave_shifts_for_channels", &Composition::Octave_shifts_for_channels, 0},
    {"Volumes_for_channels", &Composition::Volumes_for_channels, 127},
    {"Min_notes_for_channels", &Composition::Min_notes_for_channels, 0},
    {"Max_notes_for_channels", &Composition::Max_notes_for_channels, 127},
    {"Sync_to_pitch", &Composition::Sync_to_pitch, 0},
    {"iActionIfOutOfRange", &Composition::iActionIfOutOfRange, 0},
    {"iPitch_for_sync_to_pitch", &Composition::iPitch_for_sync_to_pitch, 0},
    {"iVibrato", &Composition::iVibrato, 0},
    {"dVibrato_freq", &Composition::dVibrato_freq, 0},
    {"dVibrato_amp", &Composition::dVibrato_amp, 10, true},
    {"dVibrato_vol_amp", &Composition::dVibrato_vol_amp, 0},
    {"iPortamento", &Composition::iPortamento, 0},
    {"iPortamento_slide_time", &Composition::iPortamento_slide_time, 64},
}};

std::string pitch_text(double value) { return detail::composition_pitch_text(value); }

// Appends each value with its blank; the list stops at the first value that does not fit.
template <class T, class Text>
void append_values(SaveBuffer& out, std::span<const T> values, Text text) {
    for (const T& v : values) {
        if (out.append(text(v) + " ") == 0) return;
    }
}

std::vector<double> per_seed_position(const std::vector<double>& values, int seed_length) {
    std::vector<double> result(static_cast<std::size_t>(seed_length), 1.0);
    std::copy_n(values.begin(), std::min(values.size(), result.size()), result.begin());
    return result;
}

void write_seed_line(SaveBuffer& out, const Composition& c) {
    out.append("Note_heights ");
    append_values<int>(out, c.Note_heights, [](int v) { return integer_text(v); });
    const auto general = [](double v) { return general_text(v); };
    if (c.has_times_by_melody_pos) {
        out.append("times_by_melody_pos ");
        append_values<double>(out, per_seed_position(c.times_by_melody_pos, c.seed_length()), general);
    }
    if (c.has_volumes_by_melody_pos) {
        out.append("volumes_by_melody_pos ");
        append_values<double>(out, per_seed_position(c.volumes_by_melody_pos, c.seed_length()), general);
    }
    out.append("//\r\n");
}

void write_scale(SaveBuffer& out, const Composition& c) {
    append_formatted(out, {"Intervals_Title ", detail::title_text(c.Intervals_Title), "\r\n"});
    out.append("Intervals_1 ");
    append_values<double>(out, c.Intervals, [](double entry) { return pitch_text(entry + 1.0); });
    out.append("//\r\n");
}

// The values of a follow-the-scale arpeggio are not written, so neither is its second part:
// on reading, a part after "|" with no first part would not be the same arpeggio.
void write_arpeggio(SaveBuffer& out, const Composition& c) {
    append_formatted(out, {"Arpeggio_Title ", detail::title_text(c.Arpeggio_Title), "\r\n"});
    out.append("Arpeggio ");
    const auto general = [](double v) { return general_text(v); };
    if (c.Use_ratios) {
        out.append("Use_ratios ");
    } else {
        append_values<double>(out, c.Arpeggio.ascending(), general);
        if (c.Arpeggio.has_descending_part()) {
            out.append("| ");
            append_values<double>(out, c.Arpeggio.descending(), general);
        }
    }
    out.append("//\r\n");
}

template <class T>
void write_channel_array(SaveBuffer& out, std::string_view key, const PerChannel<T>& values, double neutral) {
    if (std::all_of(values.begin(), values.end(), [&](const T& v) { return v == static_cast<T>(neutral); })) return;
    append_formatted(out, {key, " "});
    append_values<T>(out, values, [](T v) {
        if constexpr (std::is_same_v<T, double>) return general_text(v);
        else return integer_text(static_cast<int>(v));
    });
    out.append("//\r\n");
}

void write_channel_arrays(SaveBuffer& out, const Composition& c) {
    for (const ChannelKey& channel_key : kChannelKeys) {
        std::visit([&](auto member) { write_channel_array(out, channel_key.key, c.*member, channel_key.neutral); },
                   channel_key.member);
    }
}

void write_channel_choice(SaveBuffer& out, const Composition& c) {
    append_formatted(out, {"Choose_channels_by ", integer_text(c.Choose_channels_by), "\r\n"});
    if (c.ccbo_first_channel != 0) append_formatted(out, {"ccbo_first_channel ", integer_text(c.ccbo_first_channel), "\r\n"});
    if (c.channel_rule() == engine::ChannelRule::formula) {
        out.append(c.ccbo_multiple_notes_in_same_channel ? "ccbo_multiple_notes_in_same_channel=1\r\n"
                                                         : "ccbo_multiple_notes_in_same_channel=0\r\n");
    }
    if (c.ccbo_sym_chs) out.append("ccbo_sym_chs=1\r\n");
    if (c.sz_ccbo_formula != engine::kNewFormula) {
        append_formatted(out, {"sz_ccbo_formula ", detail::token_text(c.sz_ccbo_formula), "\r\n"});
    }
    if (c.shift_by_octave_or_arpeggio != 0) {
        append_formatted(out, {"shift_by_octave_or_arpeggio ", integer_text(c.shift_by_octave_or_arpeggio), "\r\n"});
    }
}

// ---------------------------------------------------------------------------------------
// Reading

bool is_test_word(std::string_view token) { return starts_with_any_case(token, "TEST"); }

class CompositionReader {
public:
    CompositionReader(std::string_view text, std::size_t position, Composition& c, Colours& colours)
        : text_(text), tokens_(text, position), c_(c), colours_(colours) {}

    CompositionReading read() {
        engine::clear_flags_before_reading(c_);
        while (!done_) {
            const auto token = tokens_.next();
            if (!token) break;
            read_item(*token);
        }
        apply_formula_level_rule();
        result_.end_position = tokens_.position();
        return result_;
    }

private:
    // False for a token that is no key: it is skipped.
    bool read_item(std::string_view key) {
        if (equals_any_case(key, "Colours")) {
            read_colours(text_, tokens_.position(), colours_);
            result_.colours_read = true;
            done_ = true;
            return true;
        }
        return read_scalar(key) || read_lists(key) || read_titles(key) || read_channel_choice(key) ||
               read_channel_arrays(key);
    }

    // -- values

    std::optional<double> next_number(tuning::PitchForm form = tuning::PitchForm::ratio) {
        const auto token = tokens_.peek();
        if (!token) return std::nullopt;
        const auto value = detail::number_value(*token, form);
        if (value) tokens_.next();
        return value;
    }

    void read_real(double& field) {
        if (const auto v = next_number()) field = *v;
    }

    void read_integer(int& field, int low = std::numeric_limits<int>::min(), int high = std::numeric_limits<int>::max()) {
        if (const auto v = next_number()) field = std::clamp(detail::truncated<int>(*v), low, high);
    }

    // The values of a seed-like list: whole numbers or reals until a token that is not a
    // number; tokens beginning with TEST are skipped without being counted.
    template <class T, class Convert>
    std::vector<T> read_seed_values(std::size_t capacity, Convert convert) {
        std::vector<T> values;
        while (values.size() < capacity) {
            const auto token = tokens_.peek();
            if (!token) break;
            if (is_test_word(*token)) {
                tokens_.next();
                saw_test_ = true;
                continue;
            }
            const auto v = detail::number_value(*token);
            if (!v) break;
            tokens_.next();
            values.push_back(convert(*v));
        }
        return values;
    }

    bool read_scalar(std::string_view key) {
        if (equals_any_case(key, "Frequency_of_lowest_note")) read_real(c_.Frequency_of_lowest_note);
        else if (equals_any_case(key, "Note_length")) read_real(c_.Note_length);
        else if (equals_any_case(key, "Top_note_length")) read_optional(c_.Top_note_length, c_.has_Top_note_length);
        else if (equals_any_case(key, "Top_note_volume")) read_optional(c_.Top_note_volume, c_.has_Top_note_volume);
        else if (equals_any_case(key, "Note_timing_shift")) read_optional(c_.Note_timing_shift, c_.has_Note_timing_shift);
        else if (equals_any_case(key, "VolForSilentSimNote")) read_real(c_.VolForSilentSimNote);
        else if (equals_any_case(key, "Sustain")) read_sustain();
        else if (equals_any_case(key, "Channel")) read_integer(c_.Channel, 0, engine::kMidiChannels - 1);
        else if (equals_any_case(key, "Channels_in_Play")) read_integer(c_.Channels_in_Play, 1, engine::kMidiChannels);
        else if (equals_any_case(key, "Levels")) read_integer(c_.Levels, 0, engine::kMaxLevels);
        else if (equals_any_case(key, "iRhythmFractalToLevel")) read_integer(c_.iRhythmFractalToLevel, 0);
        else if (equals_any_case(key, "ccbo_first_channel")) read_integer(c_.ccbo_first_channel);
        else if (equals_any_case(key, "shift_by_octave_or_arpeggio")) read_integer(c_.shift_by_octave_or_arpeggio);
        else return false;
        return true;
    }

    void read_optional(double& field, bool& present) {
        if (const auto v = next_number()) {
            field = *v;
            present = true;
        }
    }

    // The record keeps Sustain within the range the main window allows.
    void read_sustain() {
        if (const auto v = next_number()) c_.Sustain = std::clamp(*v, 0.0, engine::kMaxSustain);
    }

    bool read_lists(std::string_view key) {
        if (equals_any_case(key, "Note_heights")) read_seed();
        else if (equals_any_case(key, "times_by_melody_pos")) read_per_position(c_.times_by_melody_pos, c_.has_times_by_melody_pos);
        else if (equals_any_case(key, "volumes_by_melody_pos")) read_per_position(c_.volumes_by_melody_pos, c_.has_volumes_by_melody_pos);
        else if (equals_any_case(key, "Intervals_1")) read_scale(/*ratio_form=*/true);
        else if (equals_any_case(key, "Intervals") || equals_any_case(key, "Wave_Scale") ||
                 equals_any_case(key, "Scale_As_Intervals")) read_scale(/*ratio_form=*/false);
        else if (equals_any_case(key, "Arpeggio")) read_arpeggio(/*older_key=*/false);
        else if (equals_any_case(key, "Voice_Scale") || equals_any_case(key, "Scale")) read_arpeggio(/*older_key=*/true);
        else if (equals_any_case(key, "Voices_for_channels")) read_voices();
        else return false;
        return true;
    }

    void read_seed() {
        saw_test_ = false;
        auto values = read_seed_values<int>(engine::kMaxSeedValues, [](double v) { return detail::truncated<int>(v); });
        engine::set_seed(c_, values);
        c_.seed_has_test = saw_test_;
    }

    void read_per_position(std::vector<double>& list, bool& present) {
        const std::size_t length = c_.Note_heights.size();
        if (length == 0) return;
        list.assign(length, 1.0);
        const auto values = read_seed_values<double>(length, [](double v) { return v; });
        std::copy(values.begin(), values.end(), list.begin());
        present = true;
    }

    std::vector<double> read_numbers(std::size_t capacity, tuning::PitchForm form) {
        std::vector<double> values;
        while (values.size() < capacity) {
            const auto v = next_number(form);
            if (!v) break;
            values.push_back(*v);
        }
        return values;
    }

    // Scale values in ratio form ("Intervals_1") are stored less one; the older keys hold the
    // internal form, so their cents and octave fractions are read as ratio - 1 too.
    void read_scale(bool ratio_form) {
        auto values = read_numbers(engine::kMaxListValues,
                                   ratio_form ? tuning::PitchForm::ratio : tuning::PitchForm::increment);
        if (values.empty()) return;
        if (ratio_form) {
            for (double& v : values) v -= 1.0;
        }
        engine::set_intervals(c_, values);
    }

    // Arpeggio values, "|" alone or glued to a number between the two parts, and the words
    // that make the arpeggio follow the scale.
    void read_arpeggio(bool older_key) {
        std::vector<double> entries;
        std::optional<std::size_t> second_part_start;
        bool follow_word = false;
        while (entries.size() < engine::kMaxListValues) {
            const auto token = tokens_.peek();
            if (!token) break;
            if (tuning::is_follow_scale_text(*token)) {
                follow_word = true;
            } else if (!read_arpeggio_token(*token, entries, second_part_start)) {
                break;
            }
            tokens_.next();
        }
        if (follow_word) c_.Use_ratios = true;
        if (!entries.empty()) {
            tuning::StepList list;
            list.entries = std::move(entries);
            const int last = list.last_index();
            list.ascending_last = second_part_start ? std::clamp(static_cast<int>(*second_part_start) - 1, 0, last) : last;
            c_.Arpeggio = std::move(list);
        }
        if (older_key && !follow_word) {
            c_.Intervals = tuning::read_pitch_list(kOlderFilesScaleText, tuning::PitchForm::ratio,
                                                   tuning::ListNotation::absolute, c_.Frequency_of_lowest_note)
                               .entries;
            result_.scale_set_to_twelve_tone = true;
        }
    }

    // False when the token is neither a number nor holds a "|".
    static bool read_arpeggio_token(std::string_view token, std::vector<double>& entries,
                                     std::optional<std::size_t>& second_part_start) {
        if (token.find('|') == std::string_view::npos) {
            const auto v = detail::number_value(token);
            if (!v) return false;
            entries.push_back(*v);
            return true;
        }
        while (true) {
            const auto bar = token.find('|');
            const auto piece = token.substr(0, bar);
            if (!piece.empty()) {
                const auto v = detail::number_value(piece);
                if (!v) return false;
                if (entries.size() < engine::kMaxListValues) entries.push_back(*v);
            }
            if (bar == std::string_view::npos) return true;
            if (!second_part_start) second_part_start = entries.size();
            token.remove_prefix(bar + 1);
        }
    }

    void read_voices() {
        for (std::size_t channel = 0; channel < c_.Voices_for_channels.size(); ++channel) {
            const auto v = next_number();
            if (!v) break;
            c_.Voices_for_channels[channel] = detail::truncated<int>(*v);
        }
        result_.voices_read = true;
    }

    std::optional<std::string> next_text() {
        const auto token = tokens_.next();
        if (!token) return std::nullopt;
        return detail::text_of_token(*token);
    }

    // A title is the rest of its line, so that a later word of it is never read as a key.
    std::string next_title() {
        return detail::title_of_line(tokens_.rest_of_line(std::string_view::npos), engine::kMaxTitleLength);
    }

    bool read_titles(std::string_view key) {
        if (equals_any_case(key, "Intervals_Title") || equals_any_case(key, "Wave_Scale_Title") ||
            equals_any_case(key, "Scale_As_Intervals_Title")) {
            set_scale_title(next_title());
        } else if (equals_any_case(key, "Arpeggio_Title") || equals_any_case(key, "Voice_Scale_Title") ||
                   equals_any_case(key, "Scale_Title")) {
            c_.Arpeggio_Title = next_title();
            result_.arpeggio_title_read = true;
        } else if (equals_any_case(key, "ListOfModesFile=")) {
            c_.ListOfModesFile = std::string(tokens_.rest_of_line());
            result_.list_of_modes_named = true;
        } else if (equals_any_case(key, "ListOfModesDirectory=")) {
            result_.list_of_modes_directory = std::string(tokens_.rest_of_line());
        } else {
            return false;
        }
        return true;
    }

    void set_scale_title(std::string title) {
        const auto* builtin = tuning::find_scale_with_modes(title);
        result_.builtin_scale_modes = builtin ? std::string(builtin->modes) : std::string();
        c_.Intervals_Title = std::move(title);
        result_.scale_title_read = true;
    }

    bool read_channel_choice(std::string_view key) {
        if (equals_any_case(key, "ccbo_multiple_notes_in_same_channel=1")) {
            c_.ccbo_multiple_notes_in_same_channel = true;
            multiple_notes_seen_ = true;
        } else if (equals_any_case(key, "ccbo_multiple_notes_in_same_channel=0")) {
            c_.ccbo_multiple_notes_in_same_channel = false;
            multiple_notes_seen_ = true;
        } else if (equals_any_case(key, "ccbo_sym_chs=1")) {
            c_.ccbo_sym_chs = true;
        } else if (equals_any_case(key, "sz_ccbo_formula")) {
            if (const auto formula = next_text()) engine::set_formula(c_, *formula);
        } else if (equals_any_case(key, "Choose_channels_by")) {
            read_rule();
        } else {
            return false;
        }
        return true;
    }

    // Rules outside 0..5 (after an older 6 is read as 5) leave the rule as it was.
    void read_rule() {
        const auto v = next_number();
        if (!v) return;
        const int rule = engine::choose_channels_by_from_file(detail::truncated<int>(*v));
        if (rule < 0 || rule >= engine::kChannelRuleCount) return;
        c_.Choose_channels_by = rule;
        if (rule == static_cast<int>(engine::ChannelRule::formula) && !multiple_notes_seen_) {
            c_.ccbo_multiple_notes_in_same_channel = false;
        }
    }

    // The formula rule set up as "L" with its options is the rule of simultaneous notes.
    void apply_formula_level_rule() {
        if (c_.channel_rule() == engine::ChannelRule::formula && c_.ccbo_sym_chs &&
            c_.ccbo_multiple_notes_in_same_channel && equals_any_case(c_.sz_ccbo_formula, "L")) {
            c_.Choose_channels_by = static_cast<int>(engine::ChannelRule::by_level_simultaneous);
        }
    }

    // Up to 16 values from the rest of the key's line; channels not given get 0.
    template <class T, class Convert>
    bool read_channel_array(PerChannel<T>& values, Convert convert) {
        std::size_t given = 0;
        while (given < values.size()) {
            const auto token = tokens_.peek_on_line();
            if (!token) break;
            const auto v = detail::number_value(*token);
            if (!v) break;
            tokens_.next_on_line();
            values[given++] = convert(*v);
        }
        std::fill(values.begin() + static_cast<std::ptrdiff_t>(given), values.end(), T{});
        return given > 0;
    }

    bool read_channel_arrays(std::string_view key) {
        const auto found = std::find_if(kChannelKeys.begin(), kChannelKeys.end(),
                                        [&](const ChannelKey& channel_key) { return equals_any_case(key, channel_key.key); });
        if (found == kChannelKeys.end()) return false;
        const bool given = std::visit(
            [&](auto member) {
                using T = typename std::remove_reference_t<decltype(c_.*member)>::value_type;
                return read_channel_array(c_.*member, [](double v) {
                    if constexpr (std::is_same_v<T, double>) return v;
                    else if constexpr (std::is_same_v<T, bool>) return detail::truncated<int>(v) != 0;
                    else return detail::truncated<int>(v);
                });
            },
            found->member);
        if (!given && found->empty_list_ends_reading) done_ = true;
        if (done_) result_.ended_early = true;
        return true;
    }

    std::string_view text_;
    TokenReader tokens_;
    Composition& c_;
    Colours& colours_;
    CompositionReading result_;
    bool done_ = false;
    bool saw_test_ = false;
    bool multiple_notes_seen_ = false;
};

}  // namespace

namespace detail {

std::string composition_pitch_text(double value) {
    return tuning::format_pitch_value(value, tuning::PitchForm::ratio, tuning::PitchFormat::full_precision());
}

void write_optional_timing_items(SaveBuffer& out, const Composition& c) {
    if (c.has_Note_timing_shift) append_formatted(out, {"Note_timing_shift ", pitch_text(c.Note_timing_shift), "\r\n"});
    if (c.has_Top_note_length) append_formatted(out, {"Top_note_length ", pitch_text(c.Top_note_length), "\r\n"});
    if (c.has_Top_note_volume) append_formatted(out, {"Top_note_volume ", general_text(c.Top_note_volume, 12), "\r\n"});
}

}  // namespace detail

void write_composition(SaveBuffer& out, const Composition& c) {
    append_formatted(out, {"Frequency_of_lowest_note ", general_text(c.Frequency_of_lowest_note, 2), "\r\n"});
    append_formatted(out, {"Sustain ", general_text(c.Sustain, 12), "\r\n"});
    append_formatted(out, {"Channels_in_Play ", integer_text(c.Channels_in_Play), "\r\n"});
    append_formatted(out, {"Channel ", integer_text(c.Channel), "\r\n"});
    append_formatted(out, {"Levels ", integer_text(c.Levels), "\r\n"});
    append_formatted(out, {"Note_length ", pitch_text(c.Note_length), "\r\n"});
    detail::write_optional_timing_items(out, c);
    write_seed_line(out, c);
    if (c.iRhythmFractalToLevel != 0) {
        append_formatted(out, {"iRhythmFractalToLevel ", integer_text(c.iRhythmFractalToLevel), "\r\n"});
    }
    if (c.VolForSilentSimNote != 0.5) {
        append_formatted(out, {"VolForSilentSimNote ", general_text(c.VolForSilentSimNote, 10), "\r\n"});
    }
    write_scale(out, c);
    write_arpeggio(out, c);
    out.append("Voices_for_channels ");
    append_values<int>(out, c.Voices_for_channels, [](int v) { return integer_text(v); });
    out.append("\r\n\r\n");
    write_channel_choice(out, c);
    write_channel_arrays(out, c);
    if (!c.ListOfModesFile.empty()) append_formatted(out, {"ListOfModesFile= ", c.ListOfModesFile, "\r\n"});
    out.append("\r\n\r\n");
}

CompositionReading read_composition(std::string_view text, std::size_t position, Composition& c, Colours& colours) {
    return CompositionReader(text, position, c, colours).read();
}

void reset_channel_choice(Composition& c) {
    const Composition fresh;
    c.Choose_channels_by = fresh.Choose_channels_by;
    c.ccbo_first_channel = fresh.ccbo_first_channel;
    c.ccbo_multiple_notes_in_same_channel = fresh.ccbo_multiple_notes_in_same_channel;
    c.ccbo_sym_chs = fresh.ccbo_sym_chs;
    c.sz_ccbo_formula = fresh.sz_ccbo_formula;
}

}  // namespace corvane::files
