#include "corvane/files/seeds_drop_list.h"

#include <algorithm>
#include <filesystem>

#include "text_scan.h"

namespace corvane::files {
namespace {

using detail::starts_with_any_case;
using detail::trimmed;

constexpr std::string_view kFilePrefix = "FILE:";
constexpr std::string_view kAllFilesPrefix = "ALL_FILES:";

std::string shown_name(std::string_view file) {
    std::string name = std::filesystem::path(std::string(file)).stem().string();
    std::replace(name.begin(), name.end(), '_', ' ');
    return name;
}

void add_file(SeedsDropList& list, std::string_view file) {
    file = trimmed(file);
    if (file.empty()) return;
    list.seeds.push_back(shown_name(file));
    list.files.emplace_back(file);
}

}  // namespace

SeedsDropList read_drop_list(std::string_view text) {
    SeedsDropList list;
    bool all_files = false;
    while (!text.empty()) {
        const auto end = text.find_first_of("\r\n");
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty()) continue;
        if (starts_with_any_case(line, kAllFilesPrefix)) {
            all_files = true;
            add_file(list, line.substr(kAllFilesPrefix.size()));
        } else if (starts_with_any_case(line, kFilePrefix)) {
            add_file(list, line.substr(kFilePrefix.size()));
        } else if (all_files) {
            add_file(list, line);
        } else {
            list.seeds.emplace_back(line);
            list.files.emplace_back();
        }
    }
    return list;
}

}  // namespace corvane::files
