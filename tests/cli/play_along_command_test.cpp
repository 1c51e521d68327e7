#include <filesystem>

#include <gtest/gtest.h>

#include "../midi/smf_reader.h"
#include "run_cli.h"

namespace corvane::testing {
namespace {

// Whatever devices the machine has (none here), a recording run ends cleanly after its
// time, with a valid format 0 file.
TEST(CliPlayAlong, ARecordingRunEndsWithAValidFile) {
    const auto folder = std::filesystem::temp_directory_path() / ("corvane-play-along-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto path = folder / "take.mid";
    const auto r = run_cli({"play-along", "--no-config", "--out", "0", "--record", path.string(), "--seconds", "0.7"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Recorded to " + path.string()), std::string::npos) << r.err;
    const SmfFile file = read_smf(path);
    EXPECT_EQ(file.format, 0);
    ASSERT_EQ(file.tracks.size(), 1u);
    EXPECT_EQ(file.tracks[0].events.back().bytes, (std::vector<std::uint8_t>{0xFF, 0x2F}));
    std::filesystem::remove_all(folder);
}

TEST(CliPlayAlong, BadDevicesAreUsageErrors) {
    EXPECT_EQ(run_cli({"play-along", "--no-config", "--out", "no such synth", "--seconds", "0"}).status, 2);
    const auto help = run_cli({"play-along", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--record"), std::string::npos);
}

}  // namespace
}  // namespace corvane::testing
