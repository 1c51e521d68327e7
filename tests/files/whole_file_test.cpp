// Whole-file reading and writing: the bounded save buffer, the messages of failed saves,
// and the old file surviving a save that cannot be completed.
#include "corvane/files/whole_file.h"

#include <system_error>

#include <gtest/gtest.h>

#include "../hostile_files.h"
#include "corvane/files/save_buffer.h"
#include "files_test_support.h"

namespace corvane::files {
namespace {

namespace fs = std::filesystem;
using testing::slurp;
using testing::TempFolder;
using testing::write_text;

TEST(SaveBuffer, TakesAnItemOnlyWhileItLeavesRoomForTheEnd) {
    SaveBuffer out(10);
    EXPECT_EQ(out.append("12345"), 5U);
    EXPECT_EQ(out.append("6789X"), 0U);  // 5 + 5 would fill the buffer
    EXPECT_EQ(out.append("6789"), 4U);   // 9 < 10
    EXPECT_EQ(out.append("X"), 0U);
    EXPECT_EQ(out.text(), "123456789");
}

TEST(SaveBuffer, AFormattedItemGoesInWholeOrNotAtAll) {
    SaveBuffer out(12);
    EXPECT_EQ(append_formatted(out, {"Levels ", "10", "\r\n"}), 11U);
    EXPECT_EQ(append_formatted(out, {"Channel ", "0", "\r\n"}), 0U);
    EXPECT_EQ(out.text(), "Levels 10\r\n");
    EXPECT_EQ(out.capacity(), 12U);
}

TEST(WriteWholeFile, TheCaptionIsCutAt260Characters) {
    const std::string long_path = "/" + std::string(400, 'x') + "/tune.cv";
    EXPECT_EQ(error_saving_caption(long_path).size(), 260U);
    EXPECT_EQ(error_saving_caption("/a.cv"), "Error saving to /a.cv");
}

}  // namespace
}  // namespace corvane::files
