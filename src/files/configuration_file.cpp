#include "corvane/files/configuration_file.h"

#include <algorithm>
#include <array>

#include "composition_items.h"
#include "corvane/files/setting_items.h"
#include "number_text.h"
#include "text_scan.h"

namespace corvane::files {
namespace {

using detail::equals_any_case;
using detail::general_text;
using detail::integer_text;
using detail::TokenReader;
using engine::Composition;

constexpr std::uint32_t kDefaultTimerResolution = 2;
constexpr int kNormalPriority = 1;
constexpr int kHighestPriority = 5;

std::string real_text(double value, RealForm form) {
    switch (form) {
        case RealForm::width10: return general_text(value, 10);
        case RealForm::width12: return general_text(value, 12);
        case RealForm::general: break;
    }
    return general_text(value);
}

// Each value followed by a blank; the list stops at the first value that does not fit.
template <class Values, class Text>
void append_list(SaveBuffer& out, const Values& values, Text text) {
    for (const auto& v : values) {
        if (out.append(text(v) + " ") == 0) return;
    }
}

class SettingsWriter {
public:
    SettingsWriter(SaveBuffer& out, const Composition& c) : out_(out), c_(c) {}

    void text(std::string_view key, const std::string& value, const std::string& fallback, TextForm form) {
        if (value == fallback) return;
        append_formatted(out_, {key, " ", form == TextForm::token ? detail::token_text(value) : value, "\r\n"});
    }

    void flag(std::string_view key, bool value, bool fallback) {
        if (value != fallback) append_formatted(out_, {key, value ? "=1" : "=0", "\r\n"});
    }

    void flag_written_when_off(std::string_view key, bool value) {
        append_formatted(out_, {key, value ? "=1" : "=0", "\r\n"});
    }

    template <class T>
    void whole(std::string_view key, const T& value, T fallback, Written when, std::string_view) {
        if (when == Written::unless_default && value == fallback) return;
        append_formatted(out_, {key, " ", integer_text(static_cast<long long>(value)), "\r\n"});
    }

    void real(std::string_view key, double value, double fallback, RealForm form, Written when) {
        if (when == Written::unless_default && value == fallback) return;
        append_formatted(out_, {key, " ", real_text(value, form), "\r\n"});
    }

    void list_of_modes_file() {
        if (!c_.ListOfModesFile.empty()) append_formatted(out_, {"ListOfModesFile= ", c_.ListOfModesFile, "\r\n"});
    }

    void list_of_scales_file(const std::string& name) {
        if (!name.empty()) append_formatted(out_, {"ListOfScalesFile= ", name, "\r\n"});
    }

    // No line end: the next item follows on the same line.
    void timer_resolution(std::uint32_t value, bool set_explicitly) {
        if (value != kDefaultTimerResolution && set_explicitly) append_formatted(out_, {"uTimerRes ", integer_text(value), " "});
    }

    void labels_font(const LabelsFont& f) {
        if (f.face_name.empty()) return;
        const auto n = [](long long v) { return integer_text(v); };
        append_formatted(out_, {"labels_font ", n(f.height), " ", n(f.width), " ", n(f.escapement), " ",
                                n(f.orientation), " ", n(f.weight), "  ", n(f.italic), " ", n(f.underline), " ",
                                n(f.strike_out), " ", n(f.char_set), " ", n(f.out_precision), "  ",
                                n(f.clip_precision), " ", n(f.quality), " ", n(f.pitch_and_family), " ",
                                f.face_name, "\r\n"});
    }

    void composition_optionals() { detail::write_optional_timing_items(out_, c_); }

    // The level is kept for the next session only when priority saving is on.
    void priority(int level, bool save_for_next_session) {
        if (!save_for_next_session) return;
        if (level != kNormalPriority) append_formatted(out_, {"set_high_priority_for_crv ", integer_text(level), "\r\n"});
        else out_.append("save_priority_for_next_session=1\r\n");
    }

    template <class Values>
    void number_list(std::string_view key, Values values, std::span<const int> fallback) {
        if (std::equal(values.begin(), values.end(), fallback.begin(), fallback.end())) return;
        append_formatted(out_, {key, " "});
        append_list(out_, values, [](int v) { return integer_text(v); });
        out_.append("//\r\n");
    }

    void gallery_minutes(const std::array<double, kGalleryMinutes>& minutes) {
        const bool all_unset = std::all_of(minutes.begin(), minutes.end(), [](double m) { return m == -1; });
        if (minutes == kDefaultGalleryMinutes || all_unset) return;
        out_.append("CRV_Gallery_mins ");
        append_list(out_, minutes, [](double v) { return general_text(v); });
        out_.append("//\r\n");
    }

    void keyboard_rows(std::string_view key, const KeyboardRows& rows, const KeyboardRows& fallback, int) {
        if (rows == fallback) return;
        std::string item(key);
        item += ' ';
        for (int v : rows) item += integer_text(v) + " ";
        item += "\r\n";
        out_.append(item);
    }

    void replace_or_append(int value) {
        if (value == 1) out_.append("wReplaceOrAppendPlayAlong=APPEND\r\n");
    }

    void tuning_output(engine::TuningOutput value, engine::TuningOutput fallback) {
        if (value != fallback) append_formatted(out_, {"tuning_output ", engine::tuning_output_word(value), "\r\n"});
    }

private:
    SaveBuffer& out_;
    const Composition& c_;
};

// Offers one token to every item; the item whose key it is reads its value.
class SettingsItemReader {
public:
    SettingsItemReader(TokenReader& tokens, std::string_view token, const ConfigurationReadOptions& options,
                       Composition& c)
        : tokens_(tokens), token_(token), options_(options), c_(c) {}

    bool matched() const { return matched_; }

    void text(std::string_view key, std::string& value, const std::string&, TextForm form) {
        if (!is(key)) return;
        if (form == TextForm::line) {
            value = std::string(tokens_.rest_of_line());
        } else if (const auto word = tokens_.next()) {
            value = detail::text_of_token(*word);
        }
    }

    void flag(std::string_view key, bool& value, bool) { read_flag(key, value); }
    void flag_written_when_off(std::string_view key, bool& value) { read_flag(key, value); }

    template <class T>
    void whole(std::string_view key, T& value, T, Written, std::string_view older_key) {
        if (!is(key) && (older_key.empty() || !is(older_key))) return;
        if (const auto v = next_number()) value = detail::truncated<T>(*v);
    }

    void real(std::string_view key, double& value, double, RealForm, Written) {
        if (!is(key)) return;
        if (const auto v = next_number()) value = *v;
    }

    void list_of_modes_file() {
        if (is("ListOfModesFile=")) keep_path(c_.ListOfModesFile);
    }
    void list_of_scales_file(std::string& name) {
        if (is("ListOfScalesFile=")) keep_path(name);
    }

    void timer_resolution(std::uint32_t& value, bool& set_explicitly) {
        if (!is("uTimerRes")) return;
        if (const auto v = next_number()) {
            value = std::max<std::uint32_t>(1, detail::truncated<std::uint32_t>(*v));
            set_explicitly = true;
        }
    }

    void labels_font(LabelsFont& f) {
        if (!is("labels_font")) return;
        std::array<long, 13> fields{};
        for (auto& field : fields) {
            const auto token = tokens_.peek_on_line();
            const auto v = token ? detail::number_value(*token) : std::nullopt;
            if (!v) return;
            tokens_.next_on_line();
            field = detail::truncated<long>(*v);
        }
        const auto small = [](long v) { return static_cast<int>(std::clamp<long>(v, -32768, 32767)); };
        f = LabelsFont{fields[0], fields[1], fields[2], fields[3], fields[4], small(fields[5]), small(fields[6]),
                       small(fields[7]), small(fields[8]), small(fields[9]), small(fields[10]), small(fields[11]),
                       small(fields[12]), std::string(tokens_.rest_of_line())};
    }

    void composition_optionals() {
        if (is("Note_timing_shift")) read_optional(c_.Note_timing_shift, c_.has_Note_timing_shift);
        else if (is("Top_note_length")) read_optional(c_.Top_note_length, c_.has_Top_note_length);
        else if (is("Top_note_volume")) read_optional(c_.Top_note_volume, c_.has_Top_note_volume);
    }

    // A saved level means priority saving was on when the file was written.
    void priority(int& level, bool& save_for_next_session) {
        if (is("set_high_priority_for_crv")) {
            if (const auto v = next_number()) {
                level = std::clamp(detail::truncated<int>(*v), 0, kHighestPriority);
                save_for_next_session = true;
            }
        } else {
            read_flag("save_priority_for_next_session", save_for_next_session);
        }
    }

    // The values on the key's line; entries not given take their defaults.
    template <class Values>
    void number_list(std::string_view key, Values values, std::span<const int> fallback) {
        if (!is(key)) return;
        std::copy(fallback.begin(), fallback.end(), values.begin());
        read_line_values(values, [](double v) { return detail::truncated<int>(v); });
    }

    void gallery_minutes(std::array<double, kGalleryMinutes>& minutes) {
        if (!is("CRV_Gallery_mins")) return;
        minutes.fill(kMissingGalleryMinutes);
        read_line_values(minutes, [](double v) { return v; });
    }

    void keyboard_rows(std::string_view key, KeyboardRows& rows, const KeyboardRows&, int missing) {
        if (!is(key)) return;
        rows.fill(missing);
        read_line_values(rows, [](double v) { return detail::truncated<int>(v); });
    }

    void replace_or_append(int& value) {
        if (is("wReplaceOrAppendPlayAlong=APPEND")) value = 1;
        else if (is("wReplaceOrAppendPlayAlong=REPLACE")) value = 0;
    }

    // A word the program does not know leaves the setting as it was.
    void tuning_output(engine::TuningOutput& value, engine::TuningOutput) {
        if (!is("tuning_output")) return;
        if (const auto word = tokens_.next_on_line()) value = engine::tuning_output_of_word(*word).value_or(value);
    }

private:
    // Compares the token with the key once; the first item that matches takes the token.
    bool is(std::string_view key) {
        if (matched_ || !equals_any_case(token_, key)) return false;
        matched_ = true;
        return true;
    }

    void read_flag(std::string_view key, bool& value) {
        if (matched_ || token_.size() != key.size() + 2 || !detail::starts_with_any_case(token_, key)) return;
        const auto state = token_.substr(key.size());
        if (state == "=1") value = true;
        else if (state == "=0") value = false;
        else return;
        matched_ = true;
    }

    std::optional<double> next_number() {
        const auto token = tokens_.peek();
        if (!token) return std::nullopt;
        const auto v = detail::number_value(*token);
        if (v) tokens_.next();
        return v;
    }

    void read_optional(double& value, bool& present) {
        if (const auto v = next_number()) {
            value = *v;
            present = true;
        }
    }

    // Paths naming files are not taken from a reset file.
    void keep_path(std::string& path) {
        const std::string text(tokens_.rest_of_line());
        if (!options_.reset_file) path = text;
    }

    template <class Values, class Convert>
    void read_line_values(Values&& values, Convert convert) {
        for (auto& value : values) {
            const auto token = tokens_.peek_on_line();
            const auto v = token ? detail::number_value(*token) : std::nullopt;
            if (!v) return;
            tokens_.next_on_line();
            value = convert(*v);
        }
    }

    TokenReader& tokens_;
    std::string_view token_;
    const ConfigurationReadOptions& options_;
    Composition& c_;
    bool matched_ = false;
};

class ConfigurationReader {
public:
    ConfigurationReader(std::string_view text, const ConfigurationReadOptions& options, Settings& s, Composition& c,
                        Colours& colours)
        : text_(text), tokens_(text), options_(options), s_(s), c_(c), colours_(colours) {}

    ConfigurationReading read() {
        const bool extra_space_before = s_.need_extra_dialog_space;
        const Kept kept = keep_names();
        set_default_configuration(s_, c_);
        restore_names(kept);
        s_.Auto_save_to_Corvane_ini_on_exit = false;
        while (!done_) {
            const auto token = tokens_.next();
            if (!token) break;
            read_item(*token);
        }
        result_.extra_dialog_space_changed = s_.need_extra_dialog_space != extra_space_before;
        return result_;
    }

private:
    // A reset file keeps the names of the files in use.
    struct Kept {
        std::string File, Directory, ListOfScalesFile, ListOfModesFile;
    };
    Kept keep_names() const { return {s_.File, s_.Directory, s_.ListOfScalesFile, c_.ListOfModesFile}; }
    void restore_names(const Kept& kept) {
        if (!options_.reset_file) return;
        s_.File = kept.File;
        s_.Directory = kept.Directory;
        s_.ListOfScalesFile = kept.ListOfScalesFile;
        c_.ListOfModesFile = kept.ListOfModesFile;
    }

    void read_item(std::string_view token) {
        if (read_header_item(token)) return;
        if (equals_any_case(token, "Composition_and_Colours")) {
            result_.composition = read_composition(text_, tokens_.position(), c_, colours_);
            result_.composition_read = true;
            done_ = true;
            return;
        }
        SettingsItemReader item(tokens_, token, options_, c_);
        for_each_setting(s_, defaults_, item);
    }

    bool read_header_item(std::string_view token) {
        if (equals_any_case(token, "Auto_save_to_Corvane.ini_on_exit=1") ||
            equals_any_case(token, "Auto_save_to_CM.INI_on_exit=1")) {
            s_.Auto_save_to_Corvane_ini_on_exit = true;
        } else if (equals_any_case(token, "Auto_save_to_Corvane.ini_on_exit=0") ||
                   equals_any_case(token, "Auto_save_to_CM.INI_on_exit=0")) {
            s_.Auto_save_to_Corvane_ini_on_exit = false;
            if (!options_.explicit_read && !options_.reset_file) {
                result_.stopped_by_auto_save_off = true;
                done_ = true;
            }
        } else if (equals_any_case(token, "File=")) {
            const std::string name(tokens_.rest_of_line());
            if (!options_.reset_file && !s_.file_named_on_command_line && name != "*") s_.File = name;
        } else if (equals_any_case(token, "Directory=")) {
            const std::string folder(tokens_.rest_of_line());
            if (!options_.reset_file && folder != "*") s_.Directory = folder;
        } else if (equals_any_case(token, "ListOfScalesDirectory=")) {
            const std::string folder(tokens_.rest_of_line());
            if (!options_.reset_file) s_.ListOfScalesDirectory = folder;
        } else if (equals_any_case(token, "ListOfModesDirectory=")) {
            const std::string folder(tokens_.rest_of_line());
            if (!options_.reset_file) s_.ListOfModesDirectory = folder;
        } else {
            return false;
        }
        return true;
    }

    std::string_view text_;
    TokenReader tokens_;
    const ConfigurationReadOptions& options_;
    Settings& s_;
    Composition& c_;
    Colours& colours_;
    const Settings defaults_;
    ConfigurationReading result_;
    bool done_ = false;
};

void write_header(SaveBuffer& out, const Settings& s) {
    const auto or_star = [](const std::string& text) { return text.empty() ? std::string("*") : text; };
    append_formatted(out, {"Auto_save_to_Corvane.ini_on_exit=", s.Auto_save_to_Corvane_ini_on_exit ? "1" : "0",
                           "\r\nFile= ", or_star(s.File), "\r\nDirectory= ", or_star(s.Directory), "\r\n"});
}

}  // namespace

void set_default_configuration(Settings& s, Composition& c) {
    Settings fresh;
    fresh.Auto_save_to_Corvane_ini_on_exit = s.Auto_save_to_Corvane_ini_on_exit;
    fresh.file_named_on_command_line = s.file_named_on_command_line;
    if (s.file_named_on_command_line) fresh.File = s.File;
    fresh.Directory = s.Directory;
    // The timer resolution is the platform's choice unless a file or the user set it.
    fresh.player.uTimerRes = s.player.uTimerRes;
    fresh.uTimerRes_set_explicitly = s.uTimerRes_set_explicitly;
    s = std::move(fresh);
    c.ListOfModesFile.clear();
    engine::reset_optional_scalars(c);
}

void write_settings(SaveBuffer& out, const Settings& s, const Composition& c) {
    write_header(out, s);
    SettingsWriter writer(out, c);
    const Settings defaults;
    for_each_setting(s, defaults, writer);
}

void write_configuration(SaveBuffer& out, const Settings& s, const Composition& c, const Colours& colours) {
    write_settings(out, s, c);
    out.append("Composition_and_Colours\r\n\r\n");
    write_composition(out, c);
    write_colours(out, colours);
}

ConfigurationReading read_configuration(std::string_view text, const ConfigurationReadOptions& options, Settings& s,
                                        Composition& c, Colours& colours) {
    return ConfigurationReader(text, options, s, c, colours).read();
}

}  // namespace corvane::files
