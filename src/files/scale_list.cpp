#include "corvane/files/scale_list.h"

#include <algorithm>

#include "corvane/files/whole_file.h"
#include "corvane/tuning/pitch_format.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/pitch_mapping.h"
#include "corvane/tuning/step_list.h"
#include "corvane/tuning/text_lines.h"
#include "text_scan.h"

namespace corvane::files {
namespace {

namespace fs = std::filesystem;
using detail::equals_any_case;
using detail::starts_with_any_case;
using detail::trimmed;

std::string_view first_word(std::string_view line) {
    line = trimmed(line);
    const auto end = std::find_if(line.begin(), line.end(), detail::is_blank);
    return line.substr(0, static_cast<std::size_t>(end - line.begin()));
}

// A number or pitch expression filling the whole token.
bool is_number_token(std::string_view token) {
    return tuning::expression_token(token).size() == token.size() && detail::number_value(token).has_value();
}

// A token that belongs to a definition rather than to the description.
bool is_definition_token(std::string_view token) {
    if (starts_with_any_case(token, "n(") || starts_with_any_case(token, "m(") || token.starts_with('[')) return true;
    if (starts_with_any_case(token, "CENT")) return true;  // "cents" after a value
    if (token.find('|') != std::string_view::npos) {
        std::string rest(token);
        rest.erase(std::remove(rest.begin(), rest.end(), '|'), rest.end());
        return rest.empty() || is_number_token(rest);
    }
    return is_number_token(token);
}

enum class Directive { none, no_scale_specified, steps, needs_octave, needs_1 };

Directive directive_of(std::string_view line) {
    std::string_view word = first_word(line);
    if (!word.starts_with('*')) return Directive::none;
    if (word.size() > 1 && word.back() == '*') word.remove_suffix(1);
    if (equals_any_case(word, "*NO_SCALE_SPECIFIED")) return Directive::no_scale_specified;
    if (equals_any_case(word, "*STEPS")) return Directive::steps;
    if (equals_any_case(word, "*NEEDS_OCTAVE")) return Directive::needs_octave;
    if (equals_any_case(word, "*NEEDS_1")) return Directive::needs_1;
    return Directive::none;
}

// A name between two `mark` characters at the start of `rest`; moves `rest` past it.
std::optional<std::string> take_marked_name(std::string_view& rest, char mark) {
    if (rest.size() < 2 || rest.front() != mark) return std::nullopt;
    const auto close = rest.find(mark, 1);
    if (close == std::string_view::npos) return std::nullopt;
    std::string name(rest.substr(1, close - 1).substr(0, kMaxEntryName));
    rest.remove_prefix(close + 1);
    return name;
}

struct EntryFiles {
    std::string modes_file;
    std::string link;
};

// Takes a modes file, a link or a "~" name from the start of `rest` into `files`.
bool take_file_names(std::string_view& rest, EntryFiles& files) {
    if (auto name = take_marked_name(rest, '*')) files.modes_file = std::move(*name);
    else if (auto link = take_marked_name(rest, '@')) files.link = std::move(*link);
    else if (auto tilde = take_marked_name(rest, '~')) files.modes_file = "~" + *tilde;
    else return false;
    return true;
}

struct ParsedLine {
    bool selected = false;
    std::vector<std::string_view> definition;
    EntryFiles files;
    bool modes_file_given = false;
    bool link_given = false;
    std::string_view description;
};

ParsedLine parse_entry_line(std::string_view line) {
    ParsedLine parsed;
    std::string_view rest = trimmed(line);
    if (rest.starts_with('+')) {
        parsed.selected = true;
        rest.remove_prefix(1);
    }
    while (true) {
        rest = trimmed(rest);
        if (rest.empty()) break;
        EntryFiles files;
        if (take_file_names(rest, files)) {
            if (!files.modes_file.empty()) {
                parsed.files.modes_file = files.modes_file;
                parsed.modes_file_given = true;
            }
            if (!files.link.empty()) {
                parsed.files.link = files.link;
                parsed.link_given = true;
            }
            continue;
        }
        const std::string_view token = first_word(rest);
        if (!is_definition_token(token)) break;
        parsed.definition.push_back(token);
        rest.remove_prefix(token.size());
    }
    if (rest.starts_with('#')) rest.remove_prefix(1);
    parsed.description = rest;
    return parsed;
}

std::string joined(const std::vector<std::string_view>& words) {
    std::string text;
    for (const auto word : words) {
        if (!text.empty()) text += ' ';
        text.append(word);
    }
    return text;
}

std::string trimmed_text(std::string text) { return std::string(trimmed(text)); }

// Steps between degrees or pitches, as the cumulative text the program reads.
std::string cumulative_definition(const std::string& steps, ListKind kind) {
    if (kind == ListKind::modes) {
        return trimmed_text(tuning::write_step_list(tuning::read_step_list(steps, tuning::ListNotation::steps),
                                                    tuning::ListNotation::absolute));
    }
    // Read from an added 1/1, so that each step multiplies the pitch before it.
    const auto reading = tuning::read_pitch_list("1 " + steps, tuning::PitchForm::ratio, tuning::ListNotation::steps,
                                                 tuning::kMiddleCFrequency);
    const std::span<const double> pitches = std::span<const double>(reading.entries).subspan(1);
    tuning::PitchListWriting how;
    return trimmed_text(tuning::write_pitch_list(pitches, tuning::PitchFormat::full_precision(), how));
}

std::optional<HeaderScale> header_scale_of(std::string_view header) {
    const std::string_view text = trimmed(header);
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && detail::is_blank(text[pos])) ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !detail::is_blank(text[pos])) ++pos;
        if (pos > start && is_number_token(text.substr(start, pos - start))) {
            return HeaderScale{std::string(trimmed(text.substr(0, start))), std::string(text.substr(start))};
        }
    }
    return std::nullopt;
}

class ListReader {
public:
    explicit ListReader(ListKind kind) {
        reading_.list.kind = kind;
        reading_.list.entries = fixed_first_entries(kind);
    }

    ScaleListReading read(std::string_view text) {
        tuning::TextLines lines(text);
        while (const auto line = lines.next()) read_line(*line);
        if (reading_.list.kind == ListKind::modes && !no_scale_specified_ && header_seen_) {
            reading_.header_scale = header_scale_of(reading_.list.header);
        }
        return std::move(reading_);
    }

private:
    void read_line(std::string_view line) {
        const std::string_view text = trimmed(line);
        if (text.empty()) return;
        if (text.starts_with('!')) {
            if (!header_seen_ && !entries_seen_) {
                reading_.list.header = std::string(trimmed(text.substr(1)));
                header_seen_ = true;
            }
            return;
        }
        switch (directive_of(text)) {
            case Directive::no_scale_specified: no_scale_specified_ = true; return;
            case Directive::steps: steps_ = true; return;
            case Directive::needs_octave: needs_octave_ = true; return;
            case Directive::needs_1: needs_1_ = true; return;
            case Directive::none: break;
        }
        if (starts_with_any_case(text, "~ALL")) {
            read_defaults_for_all(text.substr(4));
            return;
        }
        add_entry(parse_entry_line(text));
    }

    void read_defaults_for_all(std::string_view rest) {
        all_ = EntryFiles{};
        while (true) {
            rest = trimmed(rest);
            if (!take_file_names(rest, all_)) break;
        }
    }

    void add_entry(const ParsedLine& parsed) {
        ListEntry entry;
        entry.description = std::string(parsed.description.substr(0, kMaxEntryText));
        entry.modes_file = parsed.modes_file_given ? parsed.files.modes_file : all_.modes_file;
        entry.link = parsed.link_given ? parsed.files.link : all_.link;
        if (!entry.link.empty()) {
            entry.definition = entry.link;
        } else {
            entry.definition = shaped_definition(joined(parsed.definition));
        }
        if (entry.definition.size() > kMaxEntryText) entry.definition.resize(kMaxEntryText);
        if (parsed.selected) reading_.list.selected = reading_.list.entries.size();
        reading_.list.entries.push_back(std::move(entry));
        entries_seen_ = true;
    }

    std::string shaped_definition(std::string definition) const {
        if (definition.empty()) return definition;
        if (steps_) definition = cumulative_definition(definition, reading_.list.kind);
        if (needs_1_ && reading_.list.kind == ListKind::modes) definition = "1 " + definition;
        if (needs_octave_) definition += " 2";
        return definition;
    }

    ScaleListReading reading_;
    EntryFiles all_;
    bool header_seen_ = false;
    bool entries_seen_ = false;
    bool no_scale_specified_ = false;
    bool steps_ = false;
    bool needs_octave_ = false;
    bool needs_1_ = false;
};

// A description that would be read as part of the definition, a file name or a mark.
bool needs_hash(std::string_view description) {
    if (description.empty()) return false;
    if (std::string_view("#*@~+!").find(description.front()) != std::string_view::npos) return true;
    if (description.front() >= '0' && description.front() <= '9') return true;
    return is_definition_token(first_word(description)) || starts_with_any_case(description, "~ALL");
}

bool is_plain(const ListEntry& entry) {
    return entry.link.empty() && !entry.definition.empty() && entry.definition != "0 0";
}

std::string entry_line(const ListEntry& entry, bool mark_selected) {
    std::string line = mark_selected ? "+" : "";
    if (entry.link.empty()) line += entry.definition;
    if (!entry.modes_file.empty()) {
        if (entry.modes_file.starts_with('~')) line += " ~" + entry.modes_file.substr(1) + "~";
        else line += " *" + entry.modes_file + "*";
    }
    if (!entry.link.empty()) line += " @" + entry.link + "@";
    line += ' ';
    if (needs_hash(entry.description)) line += '#';
    line += entry.description;
    line += "\r\n";
    return line;
}

bool links_to_index(const ListEntry& entry) { return equals_any_case(entry.link, kIndexFileName); }

}  // namespace

std::vector<ListEntry> fixed_first_entries(ListKind kind) {
    if (kind == ListKind::modes) return {ListEntry{"Clear", "1", ":", ""}};
    return {ListEntry{"Clear", "0", "", ""}, ListEntry{"Follow scale", "Use ratios", "", ""}};
}

bool is_fixed_entry(const ListEntry& entry) {
    if (!entry.link.empty()) return false;
    if (entry.description == "Clear") return entry.definition == "0" || entry.definition == "1";
    return entry.description == "Follow scale" && entry.definition == "Use ratios";
}

ScaleListReading read_scale_list(std::string_view text, ListKind kind) { return ListReader(kind).read(text); }

bool description_needs_hash(std::string_view description) { return needs_hash(description); }

void write_scale_list(SaveBuffer& out, const ScaleList& list, std::string_view header, bool add_index_link) {
    append_formatted(out, {" !", header, "\r\n"});
    const bool has_index_link = std::any_of(list.entries.begin(), list.entries.end(), links_to_index);
    if (add_index_link && list.kind == ListKind::scales && !has_index_link) {
        append_formatted(out, {"@", kIndexFileName, "@ Index to lists of scales\r\n"});
    }
    bool selection_marked = false;
    for (const auto& entry : list.entries) {
        if (is_fixed_entry(entry)) continue;
        const bool mark = !selection_marked && is_plain(entry);
        selection_marked = selection_marked || mark;
        if (out.append(entry_line(entry, mark)) == 0) return;
    }
}

std::string path_for_lists(const fs::path& program_folder, const fs::path& path) {
    std::error_code ec;
    const fs::path folder = fs::weakly_canonical(program_folder, ec);
    const fs::path file = fs::weakly_canonical(path, ec);
    if (!folder.empty() && file.parent_path() == folder) return file.filename().string();
    return path.string();
}

fs::path resolve_list_path(const fs::path& program_folder, std::string_view held, std::string_view folder) {
    fs::path path{std::string(held)};
    if (path.is_relative()) path = (folder.empty() ? program_folder : fs::path(std::string(folder))) / path;
    std::error_code ec;
    if (fs::exists(path, ec)) return path;
    const auto last_separator = held.find_last_of("/\\");
    if (last_separator == std::string_view::npos) return path;
    return program_folder / std::string(held.substr(last_separator + 1));
}

bool add_to_index(const fs::path& program_folder, const fs::path& list_path, std::string_view description,
                  platform::Reporter& reporter) {
    if (equals_any_case(list_path.filename().string(), kIndexFileName)) return true;
    const fs::path index_path = program_folder / kIndexFileName;
    const std::string link = path_for_lists(program_folder, list_path);
    const auto text = read_whole_file(index_path);
    if (!text) {
        reporter.report("Couldn't read from index of scales \"" + index_path.string() + "\" to append new entry \"" +
                            link + "\"",
                        kAddToIndexCaption);
        return false;
    }
    ScaleList index = read_scale_list(*text, ListKind::scales).list;
    const bool present = std::any_of(index.entries.begin(), index.entries.end(),
                                     [&](const ListEntry& e) { return e.link == link; });
    if (present) return true;
    index.entries.push_back(ListEntry{std::string(description), link, "", link});
    SaveBuffer out = unbounded_buffer();
    write_scale_list(out, index, index.header.empty() ? "Index of lists of scales" : index.header, false);
    if (write_whole_file(index_path, out.text(), reporter)) return true;
    reporter.report("Error writing to this file to save index of lists of scales", index_path.string());
    return false;
}

}  // namespace corvane::files
