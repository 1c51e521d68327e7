// AnaMark tunings read back: the exact section before the whole cents, the keys a section
// leaves out, and the line a malformed text goes wrong on.
#include "corvane/tuning/anamark_tun.h"

#include <cmath>

#include <gtest/gtest.h>

namespace corvane::tuning {
namespace {

KeyFrequencies frequencies_of(std::string_view text) {
    auto read = read_anamark_tun(text);
    EXPECT_TRUE(std::holds_alternative<KeyFrequencies>(read)) << std::get<AnamarkTunError>(read).message;
    return std::holds_alternative<KeyFrequencies>(read) ? std::get<KeyFrequencies>(read) : KeyFrequencies{};
}

std::string error_of(std::string_view text) {
    const auto read = read_anamark_tun(text);
    return std::holds_alternative<AnamarkTunError>(read) ? std::get<AnamarkTunError>(read).message : "read";
}

TEST(AnamarkTun, ReadsTheExactSectionWhenThereIsOneAndTheWholeCentsOtherwise) {
    constexpr std::string_view kWhole =
        "; a comment\r\n[Info]\r\nName=x\r\n[Tuning]\r\nnote 69=6950\r\nNote 70 = 7000 ; c\r\n";
    const KeyFrequencies whole = frequencies_of(kWhole);
    EXPECT_DOUBLE_EQ(whole[69], kTunTuningBase * std::exp2(6950.0 / 1200));
    EXPECT_DOUBLE_EQ(whole[70], kTunTuningBase * std::exp2(70.0 / 12));
    EXPECT_DOUBLE_EQ(whole[0], kTunTuningBase);  // a key not named stays equal-tempered

    const std::string exact = std::string(kWhole) + "[Exact Tuning]\nbasefreq=10\nnote 69=6900.5\n";
    const KeyFrequencies read = frequencies_of(exact);
    EXPECT_DOUBLE_EQ(read[69], 10 * std::exp2(6900.5 / 1200));
    EXPECT_DOUBLE_EQ(read[70], 10 * std::exp2(70.0 / 12));
}

TEST(AnamarkTun, NamesTheLineThatIsWrong) {
    EXPECT_EQ(error_of("[Tuning]\nnote 0=0\nnote 1 100\n"), "line 3: \"note 1 100\" is not \"key=value\"");
    EXPECT_EQ(error_of("; c\n\n[Tuning]\nnote 128=0\n"), "line 4: \"note 128=0\" names no key from 0 to 127");
    EXPECT_EQ(error_of("[Exact Tuning]\r\nnote 5=abc\r\n"), "line 2: \"note 5=abc\" gives no number of cents");
    EXPECT_EQ(error_of("[Exact Tuning]\nBaseFreq=0\n"), "line 2: \"BaseFreq=0\" gives no frequency above 0 Hz");
    EXPECT_EQ(error_of("[Tuning\n"), "line 1: \"[Tuning\" is no section heading");
    EXPECT_EQ(error_of("; nothing\n[Info]\n"), "there is no [Tuning] or [Exact Tuning] section");
}

}  // namespace
}  // namespace corvane::tuning
