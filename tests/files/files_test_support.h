#pragma once

#include <filesystem>
#include <string_view>

#include "../temp_folder.h"

namespace corvane::files::testing {

using corvane::testing::slurp;
using corvane::testing::TempFolder;
inline void write_text(const std::filesystem::path& path, std::string_view text) {
    corvane::testing::write_bytes(path, text);
}

}  // namespace corvane::files::testing
