#include "corvane/tools/search_sort.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <utility>

#include "corvane/tuning/pitch_format.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/pitch_mapping.h"
#include "corvane/tuning/step_list.h"
#include "entry_notes.h"
#include "tool_text.h"

namespace corvane::tools {
namespace {

using files::ListEntry;
using files::ListKind;

constexpr std::string_view kEntrySeparators = " \t\r\n\v!\"$%^&*()-_+={}[]:;@'~#<,>.?/|\\";
constexpr std::string_view kWordBreaks = " \t\r\n\v";
constexpr std::string_view kLinkKey = "zzzzz - link to another list";
constexpr double kSameSize = 1e-12;
constexpr std::size_t kMaxStepSizes = 99;

std::vector<std::string_view> split(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        pos = text.find_first_not_of(separators, pos);
        if (pos == std::string_view::npos) break;
        const std::size_t end = std::min(text.find_first_of(separators, pos), text.size());
        words.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

bool part_matches(std::string_view entry_word, std::string_view part, SearchWord::Match match) {
    switch (match) {
        case SearchWord::Match::whole: return equals_any_case(entry_word, part);
        case SearchWord::Match::begins: return starts_with_any_case(entry_word, part);
        case SearchWord::Match::anywhere: return upper_copy(entry_word).find(part) != std::string::npos;
    }
    return false;
}

// Whether the search word's parts match the entry words from `at` on.
bool word_matches_at(std::span<const std::string_view> entry_words, std::size_t at, const SearchWord& w) {
    if (w.parts.empty() || at + w.parts.size() > entry_words.size()) return false;
    for (std::size_t i = 0; i + 1 < w.parts.size(); ++i) {
        if (!equals_any_case(entry_words[at + i], w.parts[i])) return false;
    }
    return part_matches(entry_words[at + w.parts.size() - 1], w.parts.back(), w.match);
}

SearchWord::Match marker_match(char marker) {
    if (marker == '#') return SearchWord::Match::whole;
    if (marker == '*') return SearchWord::Match::begins;
    return SearchWord::Match::anywhere;
}

std::size_t first_listed(const files::ScaleList& list) {
    std::size_t first = 0;
    while (first < list.entries.size() && files::is_fixed_entry(list.entries[first])) ++first;
    return first;
}

const std::string& text_of(const ListEntry& entry, ListPart part) {
    return part == ListPart::descriptions ? entry.description : entry.definition;
}

// ---- sort keys ----

// A number as key text that sorts as the number does, whatever its size or sign: its count of
// whole digits first, so 1000 follows 999; a negative number after a "-", with that count and
// its digits turned round, so it comes before every other and -10 before -2. Descending
// fields write the negated value. Sizes beyond fifteen whole digits count as the largest.
void append_number(std::string& key, double value, int decimals) {
    constexpr double kLargest = 999'999'999'999'999.0;
    const double clamped = std::clamp(value, -kLargest, kLargest);
    std::string digits = tuning::format_fixed(std::fabs(clamped), decimals);
    const bool zero = digits.find_first_not_of("0.") == std::string::npos;
    const auto whole = static_cast<int>(std::min(digits.find('.'), digits.size()));
    if (clamped < 0 && !zero) {
        key += '-';
        key += static_cast<char>('0' + 16 - whole);
        for (char& c : digits) {
            if (c != '.') c = static_cast<char>('9' - (c - '0'));
        }
    } else {
        key += static_cast<char>('0' + whole);
    }
    key += ':';
    key += digits;
}

char inverted(char c) {
    const int code = static_cast<unsigned char>(c);
    int out = 155 - code;
    if (c >= '0' && c <= '9') out = 105 - code;
    else if (c >= 'a' && c <= 'z') out = 219 - code;
    return static_cast<char>(std::max(out, 33));
}

// Sizes with their counts, at most 99 distinct sizes.
struct SizeCount {
    double size;
    int count;
};
std::vector<SizeCount> counted_sizes(std::span<const double> values) {
    std::vector<SizeCount> sizes;
    for (const double v : values) {
        auto same = std::find_if(sizes.begin(), sizes.end(),
                                 [v](const SizeCount& s) { return std::fabs(s.size - v) <= kSameSize; });
        if (same != sizes.end()) ++same->count;
        else if (sizes.size() < kMaxStepSizes) sizes.push_back({v, 1});
    }
    return sizes;
}

// The superparticular intervals among the pitches: n of each (n+1)/n.
std::vector<double> superparticular_ns(std::span<const double> pitches, bool wrap) {
    std::vector<double> ns;
    const auto add_if_superparticular = [&ns](double interval) {
        if (interval <= 1.0) return;
        const double n = 1.0 / (interval - 1.0);
        if (std::fabs(n - std::round(n)) <= 2e-12 * std::max(1.0, n)) ns.push_back(std::round(n));
    };
    const std::size_t count = pitches.size();
    if (count < 2) return ns;
    if (!wrap) {
        for (std::size_t i = 0; i < count; ++i) {
            for (std::size_t j = i + 1; j < count; ++j) add_if_superparticular(pitches[j] / pitches[i]);
        }
        return ns;
    }
    const std::size_t notes = count - 1;  // the last pitch is the period
    const double period = pitches[notes] / pitches[0];
    for (std::size_t i = 0; i < notes; ++i) {
        for (std::size_t offset = 1; offset < notes; ++offset) {
            const std::size_t j = i + offset;
            const double upper = j < notes ? pitches[j] : pitches[j - notes] * period;
            add_if_superparticular(upper / pitches[i]);
        }
    }
    return ns;
}

class KeyBuilder {
public:
    KeyBuilder(const EntryNotes& notes, std::string_view text, ListKind kind, ListPart part)
        : notes_(notes), text_(text), kind_(kind), part_(part) {}

    void letter(char c) {
        switch (c) {
            case '+':
            case '-': set_sign(c == '+'); return;
            case '~': inner_only_ = true; return;
            case '<':
            case '>':
                from_largest_ = c == '<';
                inner_only_ = false;
                return;
            case 'o':
            case 'k': wrap_ = c == 'o'; return;
            case 'a': alphabetical(); return;
            case 'n': note_count(); return;
            case 'r': complexity(); return;
            case 'i':
            case 'c': step_sizes(c); return;
            case 's': superparticulars(); return;
            case 't': superparticular_total(); return;
            default: return;
        }
    }
    std::string take() { return std::move(key_); }

private:
    void set_sign(bool ascending) {
        inner_ascending_ = ascending;
        if (!inner_only_) ascending_ = ascending;
        inner_only_ = false;
    }
    void alphabetical() {
        key_ += "a ";
        for (const char c : text_) key_ += ascending_ ? c : inverted(c);
    }
    void note_count() {
        const long long n = notes_.note_count();
        key_ += "n ";
        count_field(n, ascending_);
    }
    bool ignored(char letter, bool for_descriptions_too) {
        if (kind_ == ListKind::modes) {
            key_ += std::string(1, letter) + " (ignored for modes)";
            return true;
        }
        if (for_descriptions_too && part_ == ListPart::descriptions) {
            key_ += std::string(1, letter) + " (ignored for scale descriptions)";
            return true;
        }
        return false;
    }
    void complexity() {
        if (ignored('r', true)) return;
        const long long r = notes_.largest_complexity();
        key_ += "r ";
        count_field(r, ascending_);
    }
    // A field of the key: the number, then a blank.
    void number_field(double value, int decimals) {
        append_number(key_, value, decimals);
        key_ += ' ';
    }
    void count_field(long long value, bool ascending) {
        number_field(static_cast<double>(ascending ? value : -value), 0);
    }
    void sized_field(std::vector<SizeCount> sizes, int decimals) {
        std::sort(sizes.begin(), sizes.end(), [this](const SizeCount& a, const SizeCount& b) {
            return from_largest_ ? a.size > b.size : a.size < b.size;
        });
        for (const auto& s : sizes) {
            number_field(ascending_ ? s.size : -s.size, decimals);
            count_field(s.count, inner_ascending_);
        }
    }
    void step_sizes(char letter) {
        key_ += std::string(1, letter) + " ";
        const bool modes = kind_ == ListKind::modes;
        sized_field(counted_sizes(notes_.steps()), modes ? 2 : 5);
    }
    void superparticulars() {
        if (ignored('s', false)) return;
        key_ += "s ";
        sized_field(counted_sizes(superparticular_ns(notes_.values(), wrap_)), 1);
    }
    void superparticular_total() {
        if (ignored('t', false)) return;
        const auto total = static_cast<long long>(superparticular_ns(notes_.values(), wrap_).size());
        key_ += "t ";
        count_field(total, ascending_);
    }

    const EntryNotes& notes_;
    std::string_view text_;
    ListKind kind_;
    ListPart part_;
    std::string key_;
    bool ascending_ = true;
    bool inner_ascending_ = true;
    bool inner_only_ = false;
    bool from_largest_ = true;
    bool wrap_ = false;
};

std::string_view template_letters(std::string_view sort_template) {
    return sort_template.substr(0, std::min(sort_template.find('('), sort_template.size()));
}

std::string finished_key(std::string key, std::size_t position) {
    key += ' ';
    append_number(key, static_cast<double>(position), 0);
    std::replace_if(key.begin(), key.end(), is_blank, '_');
    return key;
}

// Keys compare without letter case, their blanks ("_") before anything else.
int key_rank(char c) {
    if (c == '_') return 0;
    const auto u = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return u + 1;
}

bool key_less(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return key_rank(x) < key_rank(y); });
}

constexpr std::string_view kSortLetters = "anricst+-~<>ok";

std::string search_report(const files::ScaleList& list, const SearchJob& job, const SearchResult& r, int lists) {
    std::string text = "Searched " + list_part_name(list.kind, job.part) + " in " + job.where +
                       " for any of these:\n" + job.words + "\n\nMatching entries found: " +
                       std::to_string(r.matches) + "\n\nOriginal list: " + std::to_string(r.original_entries) +
                       " entries";
    if (lists > 0) text += " (+ " + std::to_string(lists) + " list" + std::string(plural(lists)) + ")";
    if (r.matches == 0) text += "\n\nNo matching entries found, so keeping original";
    if (r.duplicates.count > 0) text += "\n\n" + duplicates_text(r.duplicates);
    return text;
}

}  // namespace

std::string list_part_name(ListKind kind, ListPart part) {
    return std::string(kind == ListKind::modes ? "mode " : "scale ") +
           (part == ListPart::descriptions ? "descriptions" : "definitions");
}

std::vector<SearchWord> read_search_words(std::string_view words, bool exact_match) {
    std::vector<SearchWord> found;
    for (std::string_view w : split(words, kWordBreaks)) {
        if (found.size() == kMaxSearchWords) break;
        SearchWord word;
        bool marked = false;
        while (!w.empty() && std::string_view("!#*~").find(w.front()) != std::string_view::npos) {
            const char marker = w.front();
            if (marker == '!') word.exclude = true;
            else {
                word.match = marker_match(marker);
                marked = true;
            }
            w.remove_prefix(1);
        }
        if (!marked) word.match = exact_match ? SearchWord::Match::whole : SearchWord::Match::begins;
        word.word = upper_copy(w);
        for (const std::string_view part : split(word.word, kEntrySeparators)) word.parts.emplace_back(part);
        if (!word.parts.empty()) found.push_back(std::move(word));
    }
    return found;
}

bool entry_matches(std::string_view entry_text, std::span<const SearchWord> words) {
    const std::vector<std::string_view> entry_words = split(entry_text, kEntrySeparators);
    for (std::size_t at = 0; at < entry_words.size(); ++at) {
        for (const auto& w : words) {
            if (word_matches_at(entry_words, at, w)) return !w.exclude;
        }
    }
    return std::all_of(words.begin(), words.end(), [](const SearchWord& w) { return w.exclude; });
}

DuplicatesRemoved remove_duplicate_entries(std::vector<ListEntry>& entries) {
    DuplicatesRemoved removed;
    std::map<std::pair<std::string, std::string>, std::size_t> seen;  // -> its place in `kept`
    std::vector<ListEntry> kept;
    kept.reserve(entries.size());
    const auto names_modes = [](const ListEntry& e) { return !e.modes_file.empty() && e.modes_file != ":"; };
    for (auto& entry : entries) {
        const auto [it, first] = seen.emplace(std::make_pair(entry.description, entry.definition), kept.size());
        if (first) {
            kept.push_back(std::move(entry));
            continue;
        }
        ++removed.count;
        ListEntry& earlier = kept[it->second];
        if (names_modes(entry) && !names_modes(earlier)) std::swap(earlier, entry);  // keep the one with modes
        removed.last = std::move(entry);
    }
    entries = std::move(kept);
    return removed;
}

std::string duplicates_text(const DuplicatesRemoved& removed) {
    return std::to_string(removed.count) + " duplicate entries found and removed, last one was:\n" +
           removed.last.description + "\n" + removed.last.definition;
}

SearchResult search_list(files::ScaleList& list, const SearchJob& job, ToolRun& run, platform::Reporter& reporter) {
    SearchResult result;
    const std::vector<SearchWord> words = read_search_words(job.words, job.exact_match);
    if (words.empty()) {
        reporter.report("No words to look for\n\nYou need to type something in the Words to find box",
                        kNoWordsCaption);
        return result;
    }
    result.searched = true;
    const std::size_t first = first_listed(list);
    std::vector<ListEntry> matching;
    int lists = 0;
    for (std::size_t i = first; i < list.entries.size(); ++i) {
        if (run.checkpoint()) {
            result.halted = true;
            break;
        }
        const ListEntry& entry = list.entries[i];
        if (entry.link.empty()) ++result.original_entries;
        else ++lists;
        if (entry_matches(text_of(entry, job.part), words)) matching.push_back(entry);
    }
    if (!result.halted) {
        result.duplicates = remove_duplicate_entries(matching);
        result.matches = static_cast<int>(matching.size() + static_cast<std::size_t>(result.duplicates.count));
        if (!matching.empty()) {
            list.entries.resize(first);
            std::move(matching.begin(), matching.end(), std::back_inserter(list.entries));
            list.selected = std::min(list.selected, list.entries.size() - 1);
        }
    }
    reporter.report(search_report(list, job, result, lists), kSearchCaption);
    return result;
}

std::string sort_key(const ListEntry& entry, std::size_t position, std::string_view sort_template, ListKind kind,
                     ListPart part) {
    const EntryNotes notes(entry, kind);
    if (!notes.has_notes()) return finished_key(std::string(kLinkKey), position);
    KeyBuilder builder(notes, text_of(entry, part), kind, part);
    for (const char c : template_letters(sort_template)) builder.letter(c);
    return finished_key(builder.take(), position);
}

std::optional<std::size_t> sort_entries(files::ScaleList& list, std::string_view sort_template, ListPart part,
                                        ToolRun& run) {
    const std::size_t first = first_listed(list);
    struct Keyed {
        std::string key;
        std::size_t index;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(list.entries.size() - first);
    for (std::size_t i = first; i < list.entries.size(); ++i) {
        if (run.checkpoint()) return std::nullopt;
        keyed.push_back({sort_key(list.entries[i], i - first + 1, sort_template, list.kind, part), i});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return key_less(a.key, b.key); });
    std::vector<ListEntry> sorted(list.entries.begin(), list.entries.begin() + static_cast<std::ptrdiff_t>(first));
    sorted.reserve(list.entries.size());
    for (const auto& k : keyed) sorted.push_back(std::move(list.entries[k.index]));
    list.entries = std::move(sorted);
    return keyed.size();
}

std::optional<char> unknown_sort_letter(std::string_view sort_template) {
    for (const char c : template_letters(sort_template)) {
        if (!is_blank(c) && kSortLetters.find(c) == std::string_view::npos) return c;
    }
    return std::nullopt;
}

std::string unknown_sort_letter_message(char letter) {
    return std::string("The sort template holds \"") + letter +
           "\", which is no sort letter, so the list is left as it was.\n\nKeys: a alphabetical, n number of "
           "notes, r complexity, i and c step sizes, s superparticular steps, t their number.\nOrder: + ascending, "
           "- descending, ~ the next sign for the counts only, < > largest or smallest first, o k with or without "
           "the octave.\nText from ( on is a comment.";
}

SortResult sort_list(files::ScaleList& list, std::string_view sort_template, ListPart part, bool remove_duplicates,
                     ToolRun& run, platform::Reporter& reporter) {
    SortResult result;
    if (const auto letter = unknown_sort_letter(sort_template)) {
        reporter.report(unknown_sort_letter_message(*letter), kSortCaption);
        result.refused = true;
        return result;
    }
    const auto sorted = sort_entries(list, sort_template, part, run);
    if (!sorted) {
        result.halted = true;
        return result;
    }
    result.entries = *sorted;
    if (!remove_duplicates) return result;
    const std::size_t first = first_listed(list);
    std::vector<ListEntry> listed(std::make_move_iterator(list.entries.begin() + static_cast<std::ptrdiff_t>(first)),
                                  std::make_move_iterator(list.entries.end()));
    result.duplicates = remove_duplicate_entries(listed);
    list.entries.resize(first);
    std::move(listed.begin(), listed.end(), std::back_inserter(list.entries));
    if (result.duplicates.count > 0) reporter.report(duplicates_text(result.duplicates), kSortCaption);
    return result;
}

}  // namespace corvane::tools
