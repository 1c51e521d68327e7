#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane::files {

inline constexpr std::string_view kSeedsDropListFileName = "musical seeds drop list.txt";

// The musical seeds of the main window's drop-down list. Entry i of `files` is the
// composition file that seed entry i stands for, or empty for a plain seed text.
struct SeedsDropList {
    std::vector<std::string> seeds;
    std::vector<std::string> files;

    bool operator==(const SeedsDropList&) const = default;
};

// Each non-empty line, trimmed, is one entry: a seed text; "FILE:" and a file name (shown
// as the name without folder and extension, "_" as blank); "ALL_FILES:" makes this line and
// every following line a file entry.
SeedsDropList read_drop_list(std::string_view text);

}  // namespace corvane::files
