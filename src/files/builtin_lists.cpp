#include "corvane/files/builtin_lists.h"

#include <algorithm>
#include <array>
#include <bit>
#include <map>
#include <optional>

#include "corvane/files/settings.h"
#include "corvane/tuning/builtin_tables.h"

namespace corvane::files {
namespace {

constexpr int kSemitones = 12;
constexpr std::array<std::string_view, kSemitones> kNoteNames{"C",  "C#", "D",  "D#", "E",  "F",
                                                               "F#", "G",  "G#", "A",  "A#", "B"};

std::vector<int> degrees_of(unsigned mask) {
    std::vector<int> degrees{0};
    for (int semitone = 1; semitone < kSemitones; ++semitone) {
        if ((mask >> (semitone - 1)) & 1U) degrees.push_back(semitone);
    }
    degrees.push_back(kSemitones);
    return degrees;
}

std::string mode_text(const std::vector<int>& degrees) {
    std::string text;
    for (int d : degrees) {
        if (!text.empty()) text += ' ';
        text += std::to_string(d);
    }
    return text;
}

// "C D E G A  (2 2 3 2 3)", named when the twelve-tone menu has the mode: "Pentatonic: ...".
std::string mode_description(const std::vector<int>& degrees, const std::string& definition) {
    std::string notes;
    std::string steps;
    for (std::size_t i = 0; i + 1 < degrees.size(); ++i) {
        if (!notes.empty()) notes += ' ';
        notes += kNoteNames[static_cast<std::size_t>(degrees[i])];
        if (!steps.empty()) steps += ' ';
        steps += std::to_string(degrees[i + 1] - degrees[i]);
    }
    const auto rows = tuning::twelve_tone_mode_rows();
    const auto named = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.definition == definition; });
    const std::string name = named == rows.end() ? std::string() : std::string(named->title) + ": ";
    return name + notes + "  (" + steps + ")";
}

struct ModeGroup {
    std::string_view file_name;
    std::string_view header;
    int fewest_notes;
    int most_notes;
};

constexpr std::array<ModeGroup, 6> kModeGroups{{
    {"12_tone_-_2_to_4_notes.lmd", "Twelve tone modes of two to four notes", 2, 4},
    {"12_tone_-_5_notes.lmd", "Twelve tone modes of five notes", 5, 5},
    {"12_tone_-_6_notes.lmd", "Twelve tone modes of six notes", 6, 6},
    {"12_tone_-_7_notes.lmd", "Twelve tone modes of seven notes", 7, 7},
    {"12_tone_-_8_or_more_notes.lmd", "Twelve tone modes of eight or more notes", 8, kSemitones},
    {"12_tone.lmd", "Every twelve tone mode", 1, kSemitones},
}};

ListEntry mode_entry(const std::vector<int>& degrees) {
    const std::string definition = mode_text(degrees);
    return ListEntry{mode_description(degrees, definition), definition, "", ""};
}

// The modes of one group, fewest notes first, each count in ascending order of degrees.
ScaleList mode_group_list(const ModeGroup& group) {
    std::vector<std::vector<int>> modes;
    for (unsigned mask = 0; mask < (1U << (kSemitones - 1)); ++mask) {
        const int notes = 1 + std::popcount(mask);
        if (notes >= group.fewest_notes && notes <= group.most_notes) modes.push_back(degrees_of(mask));
    }
    std::sort(modes.begin(), modes.end(), [](const auto& a, const auto& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    ScaleList list;
    list.kind = ListKind::modes;
    list.header = std::string(group.header);
    list.entries = fixed_first_entries(ListKind::modes);
    for (const auto& degrees : modes) list.entries.push_back(mode_entry(degrees));
    list.selected = list.entries.size() > 1 ? 1 : 0;
    return list;
}

// ---- Lists of modes for the scales of other numbers of degrees

constexpr int kFewestChainNotes = 5;
constexpr int kMostChainNotes = 12;

std::vector<int> steps_of(const std::vector<int>& degrees, int period) {
    std::vector<int> steps;
    for (std::size_t i = 0; i < degrees.size(); ++i) {
        const int next = i + 1 < degrees.size() ? degrees[i + 1] : period;
        steps.push_back(next - degrees[i]);
    }
    return steps;
}

// The degrees reached by `notes` generators from 0, in ascending order, when they are
// `notes` distinct degrees with at most two sizes of step: a moment-of-symmetry scale.
std::optional<std::vector<int>> generator_chain(int period, int generator, int notes) {
    std::vector<int> degrees;
    for (int i = 0; i < notes; ++i) degrees.push_back(i * generator % period);
    std::sort(degrees.begin(), degrees.end());
    degrees.erase(std::unique(degrees.begin(), degrees.end()), degrees.end());
    if (static_cast<int>(degrees.size()) != notes) return std::nullopt;
    auto steps = steps_of(degrees, period);
    std::sort(steps.begin(), steps.end());
    if (std::unique(steps.begin(), steps.end()) - steps.begin() > 2) return std::nullopt;
    return degrees;
}

// The mode of `degrees` that starts on its degree `tonic`, counted from 0.
std::vector<int> mode_from(const std::vector<int>& degrees, int tonic, int period) {
    std::vector<int> mode;
    for (const int d : degrees) mode.push_back(((d - tonic) % period + period) % period);
    std::sort(mode.begin(), mode.end());
    return mode;
}

std::string generator_mode_description(const std::vector<int>& degrees, int generator, int period) {
    std::string steps;
    for (const int step : steps_of(degrees, period)) {
        if (!steps.empty()) steps += ' ';
        steps += std::to_string(step);
    }
    const int inverse = period - generator;
    const std::string generators =
        generator == inverse ? std::to_string(generator) : std::to_string(generator) + " or " + std::to_string(inverse);
    return std::to_string(degrees.size()) + " notes, generator " + generators + " of " + std::to_string(period) +
           "  (" + steps + ")";
}

// What each list of modes named by the scale rows holds: the moment-of-symmetry modes of
// its scale's degrees per period, under a header that names the scale. The header's first
// number starts the scale's definition, so a title holding one has it in words.
struct ScaleModeList {
    std::string_view file_name;
    int degrees;
    std::string_view scale_title;
};

constexpr std::array<ScaleModeList, 10> kScaleModeLists{{
    {"__7_tone_modes_of_pelog.lmd", 7, "Gamelan from South Bali (Pelog) (M)"},
    {"__7_tone_modes.lmd", 7, "Thai equal seven tone (M)"},
    {"_15_tone_equal_modes.lmd", 15, "Fifteen-tone equal temperament (M)"},
    {"_17_tone_equal_modes.lmd", 17, "Seventeen-tone equal temperament (M)"},
    {"_19_tone_modes.lmd", 19, "Nineteen-tone equal temperament (M)"},
    {"_22_tone_equal_modes.lmd", 22, "Twenty-two-tone equal temperament (M)"},
    {"_31_tone_equal_modes.lmd", 31, "Thirty-one-tone equal temperament (M)"},
    {"_17_tone_modes_of_Arabic_Pythagorean_scale.lmd", 17, "Arabic seventeen-tone Pythagorean (M)"},
    {"_22_tone_modes_of_Indian_shruti_scale.lmd", 22, "Indian Shruti scale (M)"},
    {"_13_tone_modes_of_Bohlen-Pierce_scale,_octave_is_3o1.lmd", 13,
     "Bohlen-Pierce scale - \"octave\" is three to one (M)"},
}};

constexpr std::string_view kListsOfModesHeader = "Lists of modes for the built-in scales";

// The scale rows that name `file_name` as their modes, in menu order.
std::vector<tuning::ScaleWithModesRow> rows_with_modes_file(std::string_view file_name) {
    std::vector<tuning::ScaleWithModesRow> rows;
    for (const auto& row : tuning::scales_with_modes_rows()) {
        if (row.modes == file_name) rows.push_back(row);
    }
    return rows;
}

std::string without_modes_mark(std::string_view title) {
    constexpr std::string_view mark = " (M)";
    if (title.ends_with(mark)) title.remove_suffix(mark.size());
    return std::string(title);
}

ListFile scale_mode_list_file(const ScaleModeList& named, const tuning::ScaleWithModesRow& first_row) {
    ScaleList list;
    list.kind = ListKind::modes;
    list.header = std::string(named.scale_title) + " " + std::string(first_row.definition);
    list.entries = fixed_first_entries(ListKind::modes);
    const auto modes = moment_of_symmetry_modes(named.degrees);
    list.entries.insert(list.entries.end(), modes.begin(), modes.end());
    list.selected = list.entries.size() > 1 ? 1 : 0;
    return ListFile{std::string(named.file_name), list.header, list};
}

// "Modes_for_default_scales.lmd": an entry opening each list of modes, titled by its scales.
ListFile lists_of_modes_file(const std::vector<ListFile>& lists) {
    ScaleList index;
    index.kind = ListKind::modes;
    index.header = std::string(kListsOfModesHeader);
    index.entries = fixed_first_entries(ListKind::modes);
    for (const auto& file : lists) {
        std::string titles;
        for (const auto& row : rows_with_modes_file(file.file_name)) {
            if (!titles.empty()) titles += " and ";
            titles += without_modes_mark(row.title);
        }
        index.entries.push_back(ListEntry{"Modes of " + titles + "...", "", file.file_name, ""});
    }
    const auto rows = tuning::other_scale_mode_rows();
    const auto named = std::find_if(rows.begin(), rows.end(),
                                    [](const auto& row) { return tuning::is_mode_list_file(row.definition); });
    return ListFile{std::string(named->definition), index.header, index};
}

}  // namespace

ScaleList builtin_scale_list() {
    ScaleList list;
    list.kind = ListKind::scales;
    list.entries = fixed_first_entries(ListKind::scales);
    for (const auto& row : tuning::scales_with_modes_rows()) {
        if (row.title == "Clear") continue;
        if (row.title == tuning::kMoreScalesTitle) {
            list.entries.push_back(ListEntry{std::string(row.title), std::string(kIndexFileName), "",
                                             std::string(kIndexFileName)});
            continue;
        }
        list.entries.push_back(ListEntry{std::string(row.title), std::string(row.definition), std::string(row.modes), ""});
    }
    list.selected = 2;
    return list;
}

ScaleList builtin_mode_list(std::string_view modes_code) {
    ScaleList list;
    list.kind = ListKind::modes;
    const bool twelve_tone = modes_code == tuning::kTwelveToneModesCode;
    const auto rows = twelve_tone ? tuning::twelve_tone_mode_rows() : tuning::other_scale_mode_rows();
    for (const auto& row : rows) {
        if (tuning::is_mode_list_file(row.definition)) {
            list.entries.push_back(ListEntry{std::string(row.title), "", std::string(row.definition), ""});
        } else {
            list.entries.push_back(ListEntry{std::string(row.title), std::string(row.definition), "", ""});
        }
    }
    if (twelve_tone) {
        list.header = std::string(kTwelveToneModesHeader);
        list.selected = static_cast<std::size_t>(tuning::kDefaultTwelveToneModeRow);
    }
    return list;
}

ScaleList shipped_index_list() {
    ScaleList list;
    list.kind = ListKind::scales;
    list.header = "Index of lists of scales";
    list.entries = fixed_first_entries(ListKind::scales);
    const std::string link(kResetScalesFileName);
    list.entries.push_back(ListEntry{"Scales with modes", link, "", link});
    return list;
}

std::vector<ListFile> twelve_tone_mode_files() {
    std::vector<ListFile> files;
    for (const auto& group : kModeGroups) {
        files.push_back(ListFile{std::string(group.file_name), std::string(group.header), mode_group_list(group)});
    }
    return files;
}

std::vector<ListFile> shipped_list_files() {
    ScaleList scales = builtin_scale_list();
    scales.header = "Scales with modes";
    ScaleList modes = builtin_mode_list(tuning::kTwelveToneModesCode);
    ScaleList index = shipped_index_list();
    return {
        ListFile{std::string(kResetScalesFileName), scales.header, scales},
        ListFile{std::string(kResetModesFileName), modes.header, modes},
        ListFile{std::string(kIndexFileName), index.header, index},
    };
}

std::vector<ListEntry> moment_of_symmetry_modes(int degrees_per_period) {
    const int period = degrees_per_period;
    std::map<std::vector<int>, int> generator_of_mode;  // the smaller of a generator and its inverse
    for (int generator = 1; generator < period; ++generator) {
        const int smaller = std::min(generator, period - generator);
        for (int notes = kFewestChainNotes; notes <= std::min(kMostChainNotes, period - 1); ++notes) {
            const auto chain = generator_chain(period, generator, notes);
            if (!chain) continue;
            for (const int tonic : *chain) {
                auto [it, added] = generator_of_mode.try_emplace(mode_from(*chain, tonic, period), smaller);
                if (!added) it->second = std::min(it->second, smaller);
            }
        }
    }
    std::vector<std::pair<std::vector<int>, int>> modes(generator_of_mode.begin(), generator_of_mode.end());
    std::stable_sort(modes.begin(), modes.end(),
                     [](const auto& a, const auto& b) { return a.first.size() < b.first.size(); });
    std::vector<ListEntry> entries;
    for (const auto& [degrees, generator] : modes) {
        std::vector<int> with_period = degrees;
        with_period.push_back(period);
        entries.push_back(ListEntry{generator_mode_description(degrees, generator, period), mode_text(with_period), "", ""});
    }
    return entries;
}

std::vector<ListFile> scale_mode_list_files() {
    std::vector<ListFile> files;
    for (const auto& row : tuning::scales_with_modes_rows()) {
        if (!tuning::is_mode_list_file(row.modes)) continue;
        const bool listed = std::any_of(files.begin(), files.end(), [&](const ListFile& f) { return f.file_name == row.modes; });
        if (listed) continue;
        const auto named = std::find_if(kScaleModeLists.begin(), kScaleModeLists.end(),
                                        [&](const ScaleModeList& list) { return list.file_name == row.modes; });
        if (named != kScaleModeLists.end()) files.push_back(scale_mode_list_file(*named, row));
    }
    files.push_back(lists_of_modes_file(files));
    return files;
}

}  // namespace corvane::files
