#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/files/scale_list.h"
#include "corvane/platform/reporter.h"
#include "corvane/tools/tool_protocol.h"

namespace corvane::tools {

// Which texts of the entries a search or sort looks at.
enum class ListPart { descriptions, definitions };

// "scale descriptions", "mode definitions" and so on.
std::string list_part_name(files::ListKind kind, ListPart part);

// One word to find, without its markers: "!" excludes, "#" whole word, "*" begins an entry
// word, "~" anywhere inside one; an unmarked word is whole or begins-with by `exact_match`.
struct SearchWord {
    enum class Match { whole, begins, anywhere };
    std::string word;                // upper case, as typed after its markers
    std::vector<std::string> parts;  // the word split as entry words are split: "3/2" is 3 and 2
    Match match = Match::begins;
    bool exclude = false;
};

inline constexpr std::size_t kMaxSearchWords = 100;

// Splits the words to find at blanks, tabs, CR, LF and VT, at most 100 words; each word is
// then split into parts where entry texts split into words, so that a ratio (3/2) or a note
// name (C#) is found as the run of entry words it makes.
std::vector<SearchWord> read_search_words(std::string_view words, bool exact_match);

// The matching rule: entry words in order, and for each the search words in order; the first
// pair that matches decides (an exclusion rejects, any other word accepts). A word of several
// parts matches a run of entry words: every part but the last whole, the last by the word's
// own rule. With no pair matching, only a search made of exclusions accepts.
bool entry_matches(std::string_view entry_text, std::span<const SearchWord> words);

// Entries that repeat an earlier one (same description and definition) are removed; where
// only a later one names a list of modes, that one takes the earlier one's place. The count
// and the last one removed are kept for the report.
struct DuplicatesRemoved {
    int count = 0;
    files::ListEntry last;
};
DuplicatesRemoved remove_duplicate_entries(std::vector<files::ListEntry>& entries);
// "%d duplicate entries found and removed, last one was:\n%s\n%s"
std::string duplicates_text(const DuplicatesRemoved& removed);

struct SearchJob {
    std::string words;  // `szWordsToFind`
    bool exact_match = true;
    ListPart part = ListPart::descriptions;
    std::string where = "main window";  // named in the report
};

struct SearchResult {
    bool searched = false;  // false when there was nothing to look for
    bool halted = false;
    int matches = 0;
    int original_entries = 0;
    DuplicatesRemoved duplicates;
};

inline constexpr std::string_view kSearchCaption = "Search now";
inline constexpr std::string_view kNoWordsCaption = "Search scales or modes";

// Keeps only the matching entries (after the fixed first ones), or the whole list when
// none match or the search is halted. Ends with the closing message.
SearchResult search_list(files::ScaleList& list, const SearchJob& job, ToolRun& run, platform::Reporter& reporter);

// The key of one entry for a sort template ("n+~-i (comment)"): one fixed-width field per
// letter, then the entry's position (from 1), whitespace written as "_".
std::string sort_key(const files::ListEntry& entry, std::size_t position, std::string_view sort_template,
                     files::ListKind kind, ListPart part);

// Reorders the entries after the fixed first ones by their keys, ignoring letter case; the
// key's "_" (its blanks) comes before every other character, so numbers in their fixed-width
// fields sort by value, and equal keys keep their order. Returns the number of entries
// sorted, or nothing when halted (the list is then unchanged).
std::optional<std::size_t> sort_entries(files::ScaleList& list, std::string_view sort_template, ListPart part,
                                        ToolRun& run);

struct SortResult {
    bool halted = false;
    bool refused = false;  // the template held an unknown letter
    std::size_t entries = 0;
    DuplicatesRemoved duplicates;
};

inline constexpr std::string_view kSortCaption = "Sort Now";

// The first character of a sort template (before its comment) that is no sort letter, if any.
std::optional<char> unknown_sort_letter(std::string_view sort_template);
// What the sort says of it.
std::string unknown_sort_letter_message(char letter);

// The sort tool: refuses a template with a letter it does not know (saying so, the list
// unchanged), sorts, then with `remove_duplicates` removes repeated entries and says so.
SortResult sort_list(files::ScaleList& list, std::string_view sort_template, ListPart part, bool remove_duplicates,
                     ToolRun& run, platform::Reporter& reporter);

}  // namespace corvane::tools
