#include "corvane/files/builtin_lists.h"

#include <algorithm>
#include <array>
#include <bit>

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

}  // namespace corvane::files
