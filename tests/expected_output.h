#pragma once

// Whole outputs compared with files kept under tests/: a written file, a dump, a listing.
// The kept file is the format itself, read by a person in review; after a deliberate change
// run the suite with CORVANE_UPDATE_EXPECTED=1 to write the new text, then read the diff.

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace corvane::testing {

// `text` with every `word` in it written as `stand_in`: a temporary folder, or the system's
// words for an error in the locale's language, named so that a kept output reads the same on
// every machine.
inline std::string with_stand_in(std::string text, const std::string& word, std::string_view stand_in) {
    for (auto at = text.find(word); !word.empty() && at != std::string::npos;
         at = text.find(word, at + stand_in.size())) {
        text.replace(at, word.size(), stand_in);
    }
    return text;
}

// `name` is relative to the tests folder, such as "files/expected/every_setting.ini".
inline void expect_output_as_kept(std::string_view output, std::string_view name) {
    const std::string path = std::string(CORVANE_SOURCE_DIR) + "/tests/" + std::string(name);
    if (std::getenv("CORVANE_UPDATE_EXPECTED") != nullptr) {
        std::ofstream(path, std::ios::binary) << output;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << "no kept output " << path << " (write it with CORVANE_UPDATE_EXPECTED=1)";
    std::ostringstream kept;
    kept << in.rdbuf();
    EXPECT_EQ(output, kept.str()) << "differs from " << path;
}

}  // namespace corvane::testing
