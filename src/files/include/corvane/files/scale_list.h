#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/files/save_buffer.h"
#include "corvane/platform/reporter.h"

namespace corvane::files {

enum class ListKind { scales, modes };

inline constexpr std::size_t kMaxEntryText = 10239;  // a description or a definition
inline constexpr std::size_t kMaxEntryName = 259;    // a modes file or a link
inline constexpr std::string_view kIndexFileName = "index.lsc";

// One entry of a list of scales (".lsc") or of modes (".lmd"): what the user sees, the
// scale or mode as text, the list of modes that goes with a scale, and the list of scales
// the entry stands for.
struct ListEntry {
    std::string description;
    std::string definition;  // a link entry holds its link here
    std::string modes_file;  // "~name" for a name given between "~" characters
    std::string link;

    bool operator==(const ListEntry&) const = default;
};

struct ScaleList {
    ListKind kind = ListKind::scales;
    std::vector<ListEntry> entries;  // the fixed first entries included
    std::size_t selected = 0;        // the entry marked "+" in the file
    std::string header;              // the first "!" line, without the "!"

    bool operator==(const ScaleList&) const = default;
};

// The entries every loaded list starts with, which are never written to files: a list of
// scales has "Clear" (definition "0") and "Follow scale" ("Use ratios"); a list of modes
// has "Clear" (definition "1", modes file ":").
std::vector<ListEntry> fixed_first_entries(ListKind kind);
bool is_fixed_entry(const ListEntry& entry);

// The scale named by the first "!" line of a list of modes: its text up to the first number
// is the title, the rest the scale's definition.
struct HeaderScale {
    std::string title;
    std::string definition;
};

struct ScaleListReading {
    ScaleList list;
    std::optional<HeaderScale> header_scale;  // lists of modes only, unless "*NO_SCALE_SPECIFIED"
};

// Reads a list file. Entry lines: an optional "+" (the entry selected after loading), then
// in any order a modes file between "*", a link between "@", a name between "~" (stored as
// a modes file with a leading "~") and the definition's tokens; the first other token
// starts the description, which runs to the line end ("#" in front of it is dropped).
// "~ALL" gives every following entry its modes file and link. Directives "*STEPS"
// (definitions as steps, converted to cumulative values), "*NEEDS_OCTAVE" (" 2" appended),
// "*NEEDS_1" (modes: "1 " put in front) and "*NO_SCALE_SPECIFIED". "!" lines are comments.
ScaleListReading read_scale_list(std::string_view text, ListKind kind);

// Writes the list: " !" and the header, the link to "index.lsc" when asked and missing,
// then every entry after the fixed ones, "+" on the first plain one. An entry that has a
// link is written without its definition (which only repeats the link); a description
// that could be read as something else gets "#" in front.
void write_scale_list(SaveBuffer& out, const ScaleList& list, std::string_view header, bool add_index_link);

// True when a description written after an entry's definition would be read back as part
// of it (a number, a mark, a file name): the writer then puts "#" in front of it.
bool description_needs_hash(std::string_view description);

// Adds an entry for the list of scales at `list_path` to "index.lsc" in the program folder:
// a link to it (relative to the program folder when it lies there) with the description.
// "index.lsc" itself and lists already present are not added. Failures are reported;
// returns false when the index could not be read or written.
bool add_to_index(const std::filesystem::path& program_folder, const std::filesystem::path& list_path,
                  std::string_view description, platform::Reporter& reporter);
inline constexpr std::string_view kAddToIndexCaption = "Add list of scales to index on save";

// A path as lists and the configuration hold it: relative to the program folder when the
// file lies there, otherwise as given.
std::string path_for_lists(const std::filesystem::path& program_folder, const std::filesystem::path& path);
// The file a held path names: a relative path from `folder` (or the program folder when
// `folder` is empty); a path written on another system is looked up by its file name in
// the program folder when it does not exist as given.
std::filesystem::path resolve_list_path(const std::filesystem::path& program_folder, std::string_view held,
                                        std::string_view folder = {});

}  // namespace corvane::files
