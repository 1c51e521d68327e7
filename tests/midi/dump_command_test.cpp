#include <gtest/gtest.h>

#include "../cli/run_cli.h"
#include "midi_test_support.h"

namespace corvane::testing {
namespace {

const std::string kSmallFile = as_text(cat({smf_header(0, 1, 96), track_chunk(cat({{0x00, 0x90, 60, 100}, kEndOfTrack}))}));

TEST(DumpCommand, WritesBesideTheFileOrWhereAskedAndFailsOnAnUnreadableOne) {
    TempFolder folder;
    const auto midi = folder / "tune.mid";
    write_bytes(midi, kSmallFile);

    const auto beside = run_cli({"dump", midi.string()});
    EXPECT_EQ(beside.status, 0) << beside.err;
    EXPECT_EQ(beside.out, (folder / "tune.mid.hex").string() + "\n");
    const std::string text = slurp(folder / "tune.mid.hex");
    EXPECT_NE(text.find(":00903c64;ch. 1 note on 60 vel. 100\n"), std::string::npos) << text;

    const auto elsewhere = run_cli({"dump", midi.string(), "-o", (folder / "out.hex").string()});
    EXPECT_EQ(elsewhere.status, 0) << elsewhere.err;
    EXPECT_EQ(slurp(folder / "out.hex"), text);

    const auto missing = folder / "missing.mid";
    const auto result = run_cli({"dump", missing.string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Error reading from " + missing.string() + ": No such file or directory"), std::string::npos)
        << result.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "missing.mid.hex"));
}

}  // namespace
}  // namespace corvane::testing
