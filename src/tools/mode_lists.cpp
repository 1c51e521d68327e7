#include "corvane/tools/mode_lists.h"

#include <algorithm>
#include <set>
#include <array>
#include <cerrno>
#include <charconv>

#include "corvane/files/scale_list.h"
#include "corvane/files/whole_file.h"
#include "corvane/platform/temporary_name.h"
#include "corvane/tools/scale_list_maker.h"
#include "corvane/tools/search_sort.h"
#include "corvane/tuning/builtin_tables.h"
#include "corvane/tuning/expression.h"
#include "corvane/tuning/text_lines.h"
#include "html_text.h"
#include "tool_text.h"

namespace corvane::tools {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kRoomForSuffix = 12;  // ".lmd" and a "_(NN)" for a heading met again
constexpr std::size_t kQuotedStart = 60;  // characters shown of a file that begins wrongly

// ---- reading ----

std::vector<std::string_view> words_of(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && is_blank(text[pos])) ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !is_blank(text[pos])) ++pos;
        if (pos > start) words.push_back(text.substr(start, pos - start));
    }
    return words;
}

bool is_number_token(std::string_view token) {
    return tuning::expression_token(token).size() == token.size() &&
           tuning::evaluate_expression(token, tuning::PitchForm::ratio).number_read;
}

bool is_whole_number(std::string_view token) {
    if (token.starts_with('-')) token.remove_prefix(1);
    return !token.empty() && std::all_of(token.begin(), token.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<int> first_whole_number(std::string_view text) {
    const auto digit = text.find_first_of("0123456789");
    if (digit == std::string_view::npos) return std::nullopt;
    int value = 0;
    std::from_chars(text.data() + digit, text.data() + text.size(), value);
    return value;
}

// The rest of a line after its opening tag and the token that follows it.
std::string value_after_tag(std::string_view line) {
    line = trimmed(line);
    std::string_view rest = trimmed(line.substr(after_tag(line, 0)));
    const std::size_t token_end = std::min(rest.find_first_of(" \t"), rest.size());
    return visible_text(rest.substr(token_end));
}

// Parenthesised comments go ("(" followed by something that is not part of a number);
// the definition ends where its numbers end; a value with a point is in cents.
std::string scale_definition(std::string_view text) {
    std::string without_comments;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        const bool opens_comment = text[pos] == '(' && pos + 1 < text.size() &&
                                   std::string_view("0123456789.-+").find(text[pos + 1]) == std::string_view::npos;
        const bool in_expression = pos > 0 && (text[pos - 1] == 'n' || text[pos - 1] == 'm' || text[pos - 1] == '^');
        if (opens_comment && !in_expression) {
            const std::size_t close = text.find(')', pos);
            pos = close == std::string_view::npos ? text.size() : close;
            continue;
        }
        without_comments += text[pos];
    }
    std::string definition;
    for (const std::string_view token : words_of(without_comments)) {
        const bool octave_fraction = starts_with_any_case(token, "n(") || starts_with_any_case(token, "m(");
        if (!octave_fraction && !is_number_token(token)) break;
        if (!definition.empty()) definition += ' ';
        definition += token;
        const bool cents = token.find('.') != std::string_view::npos && token.find('/') == std::string_view::npos;
        if (cents && !octave_fraction) definition += " cents";
    }
    return definition;
}

constexpr long long kLargestStep = 1'000'000'000;

// Steps become degrees from 0; a list that already starts at 0 and rises is kept.
std::string degrees_text(const std::vector<long long>& numbers) {
    const bool are_degrees = numbers.front() == 0 && std::adjacent_find(numbers.begin(), numbers.end(),
                                                                        std::greater_equal<>()) == numbers.end();
    std::string text = are_degrees ? "" : "0";
    long long degree = 0;
    for (const long long n : numbers) {
        degree = are_degrees ? n : degree + n;
        if (!text.empty()) text += ' ';
        text += std::to_string(degree);
    }
    return text;
}

ModeRow mode_row(std::string_view first_cell, std::string_view other_cells) {
    std::vector<long long> numbers;
    std::string_view rest = trimmed(first_cell);
    for (const std::string_view token : words_of(first_cell)) {
        if (!is_whole_number(token)) break;
        long long n = 0;
        const auto read = std::from_chars(token.data(), token.data() + token.size(), n);
        // No scale has a step this large: such a number begins the name instead, and the
        // degrees summed from the steps can never overflow.
        if (read.ec != std::errc{} || n > kLargestStep || n < -kLargestStep) break;
        numbers.push_back(n);
        rest = trimmed(rest.substr(rest.find(token) + token.size()));
    }
    ModeRow row;
    row.name = trimmed_copy(std::string(rest) + " " + std::string(other_cells));
    if (!numbers.empty()) row.degrees = degrees_text(numbers);
    return row;
}

class ModeNamesReader {
public:
    explicit ModeNamesReader(bool plain) : plain_(plain) {}

    ModeNames read(std::string_view text) {
        tuning::TextLines lines(text);
        while (const auto line = lines.next()) read_line(*line);
        finish_row();
        return std::move(names_);
    }

private:
    void read_line(std::string_view line) {
        if (plain_) return read_plain_line(line);
        const std::string_view text = trimmed(line);
        if (opens_with_tag(text, "SCALA_MODENAMES_FORMAT")) {
            const std::string value = value_after_tag(text);
            names_.format = first_whole_number(value).value_or(first_whole_number(text).value_or(names_.format));
        } else if (opens_with_tag(text, "H4")) {
            start_section(visible_text(text));
        } else if (opens_with_tag(text, "SCALA_SCALE_DESCR")) {
            scale_part(value_after_tag(text), &SectionScale::description);
        } else if (opens_with_tag(text, "SCALA_SCALE_DEF")) {
            scale_part(scale_definition(value_after_tag(text)), &SectionScale::definition);
        } else if (opens_with_tag(text, "TR") || opens_with_tag(text, "TD") || in_row_) {
            row_line(text);
        } else if (const std::string visible = visible_text(text); starts_with_any_case(visible, "Number of names:")) {
            names_.declared_names = first_whole_number(visible);
        }
    }

    void read_plain_line(std::string_view line) {
        const std::string visible = visible_text(line);
        if (visible.empty()) return;
        if (visible.back() == ':') {
            start_section(trimmed_copy(std::string_view(visible).substr(0, visible.size() - 1)));
            return;
        }
        if (starts_with_any_case(visible, "Number of names:")) {
            names_.declared_names = first_whole_number(visible);
            return;
        }
        if (!names_.sections.empty()) names_.sections.back().rows.push_back(mode_row(visible, ""));
    }

    void start_section(std::string heading) {
        finish_row();
        names_.sections.push_back(ModeSection{std::move(heading), {}, {}});
    }

    ModeSection& section() {
        if (names_.sections.empty()) names_.sections.push_back({});
        return names_.sections.back();
    }

    // A description or definition fills the section's last scale when that lacks it,
    // otherwise it starts the next scale.
    void scale_part(std::string value, std::string SectionScale::*part) {
        auto& scales = section().scales;
        if (scales.empty() || !(scales.back().*part).empty()) scales.emplace_back();
        scales.back().*part = std::move(value);
    }

    // Cells of a row may share a line with "<TR>" or follow it on lines of their own.
    void row_line(std::string_view text) {
        if (opens_with_tag(text, "TR")) {
            finish_row();
            in_row_ = true;
        }
        in_row_ = true;
        for (std::size_t cell = find_tag(text, "TD"); cell != std::string_view::npos;) {
            const std::size_t start = after_tag(text, cell);
            const std::size_t next_cell = find_tag(text, "TD", start);
            const std::size_t end = std::min({next_cell, find_tag(text, "TD", start, true),
                                              find_tag(text, "TR", start, true), text.size()});
            cells_.push_back(visible_text(text.substr(start, end - start)));
            cell = next_cell;
        }
        if (find_tag(text, "TR", 0, true) != std::string_view::npos || find_tag(text, "TABLE", 0, true) !=
                                                                             std::string_view::npos) {
            finish_row();
        }
    }

    void finish_row() {
        in_row_ = false;
        if (cells_.empty()) return;
        std::string others;
        for (std::size_t i = 1; i < cells_.size(); ++i) {
            if (!others.empty() && !cells_[i].empty()) others += ' ';
            others += cells_[i];
        }
        ModeRow row = mode_row(cells_.front(), others);
        cells_.clear();
        if (row.degrees.empty() && row.name.empty()) return;
        section().rows.push_back(std::move(row));
    }

    bool plain_;
    bool in_row_ = false;
    std::vector<std::string> cells_;
    ModeNames names_;
};

// ---- the built-in scales for known headings ----

struct TableRow {
    std::string_view key;
    std::array<SectionScale, 2> scales;
    int count;
};

const std::vector<TableRow>& heading_table() {
    static const std::string shruti(tuning::find_scale_with_modes("Indian Shruti scale (M)")->definition);
    static const std::string arabic(tuning::find_scale_with_modes("Arabic 17-tone Pythagorean (M)")->definition);
    static const std::string bohlen_pierce = "1 27/25 25/21 9/7 7/5 75/49 5/3 9/5 49/25 15/7 7/3 63/25 25/9 3/1";
    static const std::vector<TableRow> table{
        {"TAMIL",
         {SectionScale{"Tamil 22 tone shruti scale, with flattened fifth",
                       "1 256/243 16/15 10/9 9/8 32/27 6/5 5/4 81/64 4/3 27/20 45/32 40/27 3/2 128/81 8/5 5/3 27/16 "
                       "16/9 9/5 15/8 243/128 2"}},
         1},
        {"INDIAN SHRUTI", {SectionScale{"Indian shruti 22 tone scale", shruti}}, 1},
        {"ARABIC PYTHAGOREAN", {SectionScale{"Arabic 17-tone pythagorean", arabic}}, 1},
        {"PELOG",
         {SectionScale{"Typical 7 note Pelog scale (M)",
                       "1 122 cents 271 cents 571 cents 677 cents 785 cents 947 cents 2"}},
         1},
        {"BOHLEN-PIERCE",
         {SectionScale{"Bohlen-Pierce scale - ET version (same M)", "1 2^(1/13)"},
          SectionScale{"Bohlen-Pierce scale - original 13 step scale (M)", bohlen_pierce}},
         2},
        {"PERSIAN",
         {SectionScale{"Persian 17 note scale (M)", "1 256/243 27/25 9/8 32/27 243/200 81/64 4/3 25/18 36/25 3/2 "
                                                    "128/81 81/50 27/16 16/9 729/400 243/128 2/1"}},
         1},
        {"MANDELBAUM",
         {SectionScale{"19-tone ET (same M)", "1 n(1/19)"},
          SectionScale{"Mandelbaum's 5-limit 19-tone just scale (M)",
                       "1 25/24 27/25 10/9 125/108 6/5 5/4 125/96 4/3 25/18 36/25 3/2 125/81 8/5 5/3 125/72 9/5 "
                       "50/27 48/25 2/1"}},
         2},
        {"13 TONE MODE", {SectionScale{"13 tone modes of Bohlen-Pierce scale, octave is 3/1", bohlen_pierce}}, 1},
    };
    return table;
}

// The row of the heading: one whose key begins the heading, else one whose key begins the
// name after " of " ("7 tone modes of Pelog"). The start comes first: "13 tone modes of
// Bohlen-Pierce scale" is the 13-step scale's row, not the equal-tempered one's.
const TableRow* row_of_heading(std::string_view heading) {
    for (const auto& row : heading_table()) {
        if (starts_with_any_case(heading, row.key)) return &row;
    }
    const auto of = upper_copy(heading).rfind(" OF ");
    if (of == std::string::npos) return nullptr;
    for (const auto& row : heading_table()) {
        if (starts_with_any_case(heading.substr(of + 4), row.key)) return &row;
    }
    return nullptr;
}

std::optional<int> equal_divisions_of(std::string_view heading) {
    if (upper_copy(heading).find("EQUAL") == std::string::npos) return std::nullopt;
    const std::string_view text = trimmed(heading);
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    const auto n = first_whole_number(text);
    if (!n || *n < 1) return std::nullopt;
    return n;
}

std::string equal_temperament_description(int n) { return std::to_string(n) + "-tone equal temperament"; }

std::string protected_text(std::string_view text) {
    return files::description_needs_hash(text) ? "#" + std::string(text) : std::string(text);
}

// ---- the run ----

struct Question {
    std::string text;
};

std::optional<Question> replace_question(const fs::path& lsc, const std::vector<fs::path>& lmds) {
    std::error_code ec;
    if (fs::exists(lsc, ec)) {
        return Question{"File " + lsc.filename().string() + " already exists in folder " +
                        lsc.parent_path().string() +
                        "\n\nThis is the index of scales for the modes, which is synchronised with the modes lists."
                        "\n\nReplace this file, and all the existing LMD files?\n\nYes to replace ALL the LMD files "
                        "with the same names as the new ones, No to cancel."};
    }
    for (const auto& lmd : lmds) {
        if (!fs::exists(lmd, ec)) continue;
        return Question{"File \"" + lmd.filename().string() + "\" already exists in folder \"" +
                        lmd.parent_path().string() + "\"\n\nReplace existing LMD files, and the LSC file \"" +
                        lsc.filename().string() +
                        "\" with scales for the modes?\n\nYes to replace ALL the LMD files with the same names as "
                        "the new ones, No to cancel."};
    }
    return std::nullopt;
}

// A file that opens but is too large to take into memory.
bool beyond_memory(int error) { return error == EFBIG || error == ENOMEM; }

std::optional<std::string> read_modes_file(fs::path& path, platform::Reporter& reporter) {
    auto read = files::read_whole_file_or_error(path);
    if (read.text) return std::move(read.text);
    if (beyond_memory(read.error)) {
        reporter.report("Couldn't read file into memory\n\nInsufficient memory available", kModeListsCaption);
        return std::nullopt;
    }
    const std::string ext = upper_copy(path.extension().string());
    if (ext == ".HTM" || ext == ".HTML") {
        fs::path other = path;
        other.replace_extension(ext == ".HTM" ? ".html" : ".htm");
        const std::string note = ext == ".HTM" ? "(.html instead of .htm)" : "(.htm instead of .html";
        const std::string question = "Can't read from \"" + path.string() + "\"\n\nRead from \"" + other.string() +
                                     "\" instead?\n\n" + note;
        if (reporter.ask_yes_no(question, kListOfScalesCaption) == platform::Answer::yes) {
            if (auto text = files::read_whole_file(other)) {
                path = other;
                return text;
            }
        }
    }
    reporter.report("Couldn't read the Scala mode names file \"" + path.filename().string() + "\" in folder \"" +
                        path.parent_path().string() +
                        "\".\n\nA file in the same format as \"modename.htm\" is needed; it comes with the Scala "
                        "program. The location of the Scala program is set under the Scala scales options.",
                    kListOfScalesCaption);
    return std::nullopt;
}

std::vector<ModeRow> sorted_rows(const ModeSection& section, const files::Settings& s, ToolRun& run) {
    if (!s.scala_auto_sort_lmds) return section.rows;
    files::ScaleList list;
    list.kind = files::ListKind::modes;
    for (const auto& row : section.rows) list.entries.push_back({row.name, row.degrees.empty() ? "0" : row.degrees, "", ""});
    const ListPart part = s.sort_defs_for_scala_auto_sort_lmds ? ListPart::definitions : ListPart::descriptions;
    if (!sort_entries(list, s.szLMDSortTokenTemplate, part, run)) return section.rows;
    std::vector<ModeRow> rows;
    for (const auto& entry : list.entries) {
        const auto original = std::find_if(section.rows.begin(), section.rows.end(), [&](const ModeRow& r) {
            return r.name == entry.description && (r.degrees.empty() ? "0" : r.degrees) == entry.definition;
        });
        rows.push_back(*original);
    }
    return rows;
}

std::string names_text(const ModeListsResult& r) {
    const std::string read = "\n\n" + std::to_string(r.names_read) + " names read";
    if (!r.names_expected) return read;
    if (*r.names_expected == r.names_read) return read + ", as expected.";
    return read + ", " + std::to_string(*r.names_expected) + " names expected.";
}

bool write_or_report(const fs::path& path, std::string_view text, std::string_view extra,
                     platform::Reporter& reporter) {
    platform::RecordingReporter errors;
    if (files::write_whole_file(path, text, errors)) return true;
    const std::string error = errors.entries().empty() ? "unknown" : errors.entries().back().message;
    reporter.report("Halting construction of LMD files\n\nCouldn't open this file to write to it:\n\nFile:\n" +
                        path.string() + "\n\nError " + error + "." + std::string(extra),
                    kHaltingModeListsCaption);
    return false;
}

}  // namespace

ModeNames read_mode_names(std::string_view text, bool plain_mode) { return ModeNamesReader(plain_mode).read(text); }

bool looks_like_mode_names(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    text = trimmed(text);
    return text.starts_with('!') || opens_with_tag(text, "HEAD") || opens_with_tag(text, "HTML") ||
           starts_with_any_case(text, "<!DOCTYPE");
}

// At most `bytes` bytes of UTF-8 text, cut where a character begins.
std::string utf8_prefix(std::string text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t cut = bytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
    return text;
}

std::string lmd_file_name(std::string_view heading) {
    std::string name(trimmed(heading));
    const std::size_t digits = std::min(name.find_first_not_of("0123456789"), name.size());
    if (digits > 0 && digits < 3) name.insert(0, 3 - digits, '_');
    name = utf8_prefix(name, platform::kMaxFileNameBytes - kRoomForSuffix) + ".lmd";
    for (char& c : name) {
        if (std::string_view("\"*<>?\\|").find(c) != std::string_view::npos) c = ' ';
        else if (c == '/') c = 'o';
        else if (c == ':') c = ',';
        if (is_blank(c)) c = '_';
    }
    return name;
}

SectionScales scales_for_section(const ModeSection& section) {
    SectionScales out;
    for (const auto& scale : section.scales) {
        if (scale.definition.empty()) continue;
        out.scales.push_back({scale.description.empty() ? section.heading : scale.description, scale.definition});
    }
    if (!out.scales.empty()) return out;
    if (const TableRow* row = row_of_heading(section.heading)) {
        out.scales.assign(row->scales.begin(), row->scales.begin() + row->count);
        out.from_table = true;
        return out;
    }
    out.equal_divisions = equal_divisions_of(section.heading);
    return out;
}

std::string mode_list_text(const ModeSection& section, const SectionScales& scales, std::span<const ModeRow> rows) {
    std::string text;
    if (scales.equal_divisions) {
        text = "1 n(1/" + std::to_string(*scales.equal_divisions) + ") ! " +
               equal_temperament_description(*scales.equal_divisions) + "\r\n";
    } else if (!scales.scales.empty()) {
        const auto& first = scales.scales.front();
        const std::string definition = scales.from_table ? first.definition : "1 " + first.definition;
        text = definition + " ! " + first.description + "\r\n";
    } else {
        text = " !" + section.heading + "\r\n";
    }
    bool first_mode = true;
    for (const auto& row : rows) {
        if (first_mode) text += '+';
        first_mode = false;
        text += row.degrees.empty() ? "0 (comment)" : row.degrees;
        if (!row.name.empty()) text += " " + protected_text(row.name);
        text += "\r\n";
    }
    return text;
}

std::string scale_list_lines(const ModeSection& section, const SectionScales& scales, std::string_view lmd_name) {
    const std::string file(lmd_name);
    if (scales.equal_divisions) {
        return "1 n(1/" + std::to_string(*scales.equal_divisions) + ") *" + file + "* " +
               equal_temperament_description(*scales.equal_divisions) + " (M)\r\n";
    }
    if (scales.scales.empty()) return protected_text(section.heading) + "\r\n";
    std::string lines;
    for (std::size_t i = 0; i < scales.scales.size(); ++i) {
        const auto& s = scales.scales[i];
        if (scales.from_table) lines += s.definition + " *" + file + "* " + s.description + "\r\n";
        else lines += "1 " + s.definition + " *" + file + "* " + s.description + " (" + (i > 0 ? "same " : "") + "M)\r\n";
    }
    return lines;
}

fs::path scala_modes_file_path(const files::Settings& s) {
    const std::string& name = s.ScalaModesListFile;
    if ((name.size() > 1 && name[1] == ':') || fs::path(name).is_absolute()) return fs::path(name);
    std::string location = s.ScalaLocation;
    std::replace(location.begin(), location.end(), '\\', '/');
    return fs::path(location).parent_path() / name;
}

// A file for each section; a heading met again gets "_(2)", "_(3)"... rather than the file of
// the first.
std::vector<fs::path> lmd_paths_of(const std::vector<ModeSection>& sections, const fs::path& folder) {
    std::vector<fs::path> paths;
    std::set<std::string> taken;
    for (const auto& section : sections) {
        const std::string name = lmd_file_name(section.heading);
        std::string unique = name;
        for (int n = 2; !taken.insert(upper_copy(unique)).second; ++n) {
            unique = name.substr(0, name.size() - 4) + "_(" + std::to_string(n) + ").lmd";
        }
        paths.push_back(folder / unique);
    }
    return paths;
}

ModeListsResult make_mode_lists_from_scala(const ModeListsJob& job, ToolRun& run, platform::Reporter& reporter) {
    ModeListsResult result;
    fs::path modes_file = job.modes_file;
    const auto text = read_modes_file(modes_file, reporter);
    if (!text) {
        result.failed = true;
        return result;
    }
    bool plain = false;
    if (!looks_like_mode_names(*text)) {
        const std::string question =
            "Expected: file beginning with \"<HEAD>\" or \"!\"\n\nFile \"" + modes_file.string() + "\" begins:\n\n\"" +
            text->substr(0, kQuotedStart) +
            "...\"\n\nCan attempt to get mode lists from it anyway - use as titles all lines ending with a \":\", "
            "and MAKE A NEW FILE for each such line.\n\nContinue anyway?";
        if (reporter.ask_yes_no(question, kModeListsCaption) == platform::Answer::no) return result;
        plain = true;
    }
    const ModeNames names = read_mode_names(*text, plain);
    result.names_expected = names.declared_names;
    if (names.format > kKnownModeNamesFormat) {
        reporter.report("\"" + modes_file.string() + "\" is in format " + std::to_string(names.format) +
                            "\n\nVersion " + std::string(kProgramVersion) + " of CRV recognises format " +
                            std::to_string(kKnownModeNamesFormat) +
                            "\n\nNew releases of CRV understand the most recent SCALA mode names format.",
                        kModeListsCaption);
        result.failed = true;
        return result;
    }

    if (job.settings.scala_auto_sort_lmds) {
        if (const auto letter = unknown_sort_letter(job.settings.szLMDSortTokenTemplate)) {
            reporter.report(unknown_sort_letter_message(*letter), kModeListsCaption);
            result.failed = true;
            return result;
        }
    }
    result.lsc_path = job.output_folder / job.settings.ScalaModesLSC;
    const std::vector<fs::path> lmd_paths = lmd_paths_of(names.sections, job.output_folder);
    if (const auto question = replace_question(result.lsc_path, lmd_paths)) {
        if (reporter.ask_yes_no(question->text, kModeListsCaption) == platform::Answer::no) return result;
    }

    std::string lsc_text = "@index.lsc@ Index of lists of scales\r\n+";
    for (std::size_t i = 0; i < names.sections.size(); ++i) {
        const ModeSection& section = names.sections[i];
        if (run.checkpoint()) {
            result.halted = true;
            break;
        }
        run.progress({i + 1, names.sections.size(), section.heading});
        if (section.rows.empty()) continue;
        const SectionScales scales = scales_for_section(section);
        const std::vector<ModeRow> rows = sorted_rows(section, job.settings, run);
        if (run.stop_requested()) {
            result.halted = true;
            break;
        }
        const std::string lmd_name = lmd_paths[i].filename().string();
        if (!write_or_report(lmd_paths[i], mode_list_text(section, scales, rows), "", reporter)) {
            ++result.files_failed;  // said; the other sections are still made
            continue;
        }
        result.lmd_files.push_back(lmd_paths[i]);
        ++result.files_written;
        result.names_read += static_cast<int>(
            std::count_if(rows.begin(), rows.end(), [](const ModeRow& r) { return !r.degrees.empty(); }));
        lsc_text += scale_list_lines(section, scales, lmd_name);
    }
    const std::string lsc_note = ".\n\nThis is the file for the drop list of all the modes files constructed";
    if (!write_or_report(result.lsc_path, lsc_text, lsc_note, reporter)) result.failed = true;
    if (result.failed) return result;
    const std::string failed_note =
        result.files_failed > 0 ? "\n\n" + std::to_string(result.files_failed) + " could not be written (said above)"
                                : std::string();
    reporter.report(std::to_string(result.files_written) + " LMD files constructed from \"" +
                        modes_file.filename().string() + "\" in folder \"" + modes_file.parent_path().string() +
                        "\" and saved in program's location folder \"" + job.output_folder.string() + "\"" +
                        names_text(result) + failed_note,
                    result.halted ? kHaltingModeListsCaption : kModeListsCaption);
    return result;
}

}  // namespace corvane::tools
