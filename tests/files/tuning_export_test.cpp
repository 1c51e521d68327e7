// The composition's tuning exported and read back by the readers of each format: every key
// sounds the degree of the scale it lies on, counted from the base key.
#include "corvane/files/tuning_export.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include <gtest/gtest.h>

#include "../temp_folder.h"
#include "corvane/files/whole_file.h"
#include "corvane/tuning/anamark_tun.h"
#include "corvane/tuning/keyboard_mapping.h"
#include "corvane/tuning/mts_pitch.h"
#include "corvane/tuning/scala.h"

namespace corvane::files {
namespace {

using testing::slurp;
using testing::TempFolder;

double pitch_of(double frequency) { return 12 * std::log2(frequency / 440) + 69; }

// A scale, where its degree 0 sounds, and the frequency each key should get, worked out
// here from the scale's own definition.
struct ScaleCase {
    const char* name;
    std::vector<double> entries;  // increment form
    double lowest_frequency;
    std::function<double(int key)> key_frequency;
};

// Ratios from 1/1 up to the period, repeating; degree 0 on `base_key`.
std::function<double(int)> repeating(std::vector<double> ratios, double lowest, int base_key) {
    return [=](int key) {
        const int size = static_cast<int>(ratios.size()) - 1;
        const int degree = key - base_key;
        const int periods = static_cast<int>(std::floor(static_cast<double>(degree) / size));
        return lowest * ratios[static_cast<std::size_t>(degree - periods * size)] * std::pow(ratios.back(), periods);
    };
}

ScaleCase nineteen_equal() {
    std::vector<double> entries, ratios;
    for (int i = 0; i <= 19; ++i) {
        ratios.push_back(std::exp2(i / 19.0));
        entries.push_back(ratios.back() - 1);
    }
    return {"NineteenEqual", entries, 440.0, repeating(ratios, 440.0, 69)};
}

ScaleCase just_major() {
    const std::vector<double> ratios{1, 9.0 / 8, 5.0 / 4, 4.0 / 3, 3.0 / 2, 5.0 / 3, 15.0 / 8, 2};
    std::vector<double> entries;
    for (const double r : ratios) entries.push_back(r - 1);
    return {"JustMajor", entries, tuning::kMiddleCFrequency, repeating(ratios, tuning::kMiddleCFrequency, 60)};
}

// One entry: the harmonic series, its reciprocals below degree 0. It repeats at no period, so
// it goes to the Scala file key by key.
ScaleCase harmonic_series() {
    return {"HarmonicSeries", {1.0}, 100.0, [](int key) {
                const int degree = key - 43;  // 100 Hz lies nearest key 43
                return degree >= 0 ? 100.0 * (1 + degree) : 100.0 / (1 - degree);
            }};
}

// Test names show the case by its name.
void PrintTo(const ScaleCase& scale, std::ostream* out) { *out << scale.name; }

engine::Composition composition_of(const ScaleCase& scale) {
    engine::Composition c;
    c.Intervals = scale.entries;
    c.Frequency_of_lowest_note = scale.lowest_frequency;
    return c;
}

// Exports `c` as a Scala scale with its keyboard mapping, reads both back with the tuning
// library's readers, and compares every key's frequency with `key_frequency`.
void expect_every_key_read_back(const TempFolder& folder, const engine::Composition& c,
                                const std::function<double(int)>& key_frequency) {
    const auto path = folder / "tuning.scl";
    const TuningExportResult result = export_tuning(path, TuningFormat::scl, c, "test");
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.written, (std::vector{path, folder / "tuning.kbm"}));
    const tuning::ScalaReading read_scale = tuning::read_scala_text(slurp(path));
    EXPECT_EQ(read_scale.notes_read, read_scale.expected_notes);
    const auto read_mapping = tuning::read_keyboard_mapping(slurp(folder / "tuning.kbm"));
    ASSERT_TRUE(std::holds_alternative<tuning::KeyboardMapping>(read_mapping))
        << std::get<tuning::KeyboardMappingError>(read_mapping).message;
    const auto& mapping = std::get<tuning::KeyboardMapping>(read_mapping);
    for (int key = 0; key < platform::kMidiKeys; ++key) {
        const double expected = key_frequency(key);
        const auto frequency = tuning::mapped_frequency(mapping, read_scale.entries, key);
        ASSERT_TRUE(frequency.has_value()) << key;
        ASSERT_NEAR(*frequency, expected, 1e-6 * expected) << "key " << key;
    }
}

class TuningExport : public ::testing::TestWithParam<ScaleCase> {
protected:
    TempFolder folder;
};

TEST_P(TuningExport, ScalaScaleAndKeyboardMappingReadBackGiveEveryKeysFrequency) {
    expect_every_key_read_back(folder, composition_of(GetParam()), GetParam().key_frequency);
}

TEST_P(TuningExport, AnamarkTuningReadBackIsWithinAHundredthOfACent) {
    const ScaleCase& scale = GetParam();
    const auto path = folder / "tuning.tun";
    ASSERT_TRUE(export_tuning(path, TuningFormat::tun, composition_of(scale), "test").ok());
    const std::string text = slurp(path);
    const auto exact = tuning::read_anamark_tun(text);
    ASSERT_TRUE(std::holds_alternative<tuning::KeyFrequencies>(exact))
        << std::get<tuning::AnamarkTunError>(exact).message;
    // Without the exact section, the whole cents.
    const auto whole = tuning::read_anamark_tun(text.substr(0, text.find("[Exact Tuning]")));
    ASSERT_TRUE(std::holds_alternative<tuning::KeyFrequencies>(whole));
    for (std::size_t key = 0; key < platform::kMidiKeys; ++key) {
        const double expected = pitch_of(scale.key_frequency(static_cast<int>(key)));
        EXPECT_NEAR(pitch_of(std::get<tuning::KeyFrequencies>(exact)[key]), expected, 0.0001) << "key " << key;
        EXPECT_NEAR(pitch_of(std::get<tuning::KeyFrequencies>(whole)[key]), expected, 0.005 + 1e-9) << "key " << key;
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, TuningExport, ::testing::Values(nineteen_equal(), just_major(), harmonic_series()),
                         [](const auto& scale) { return std::string(scale.param.name); });

TEST(TuningExportScala, ExactRatiosAreWrittenAsRatios) {
    const TempFolder folder;
    ASSERT_TRUE(export_tuning(folder / "just.scl", TuningFormat::scl, composition_of(just_major()), "test").ok());
    const std::string text = slurp(folder / "just.scl");
    EXPECT_NE(text.find("\r\n 9/8\r\n 5/4\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n 2/1\r\n"), std::string::npos) << text;
}

// Five equal steps to the octave from middle C: keys below 35 and above 88 lie beyond MIDI's
// pitches and are held at the standard's edge.
TEST(TuningExportDump, HoldsEveryKeysPitchInTheStandardsThreeBytesWithItsChecksum) {
    const TempFolder folder;
    engine::Composition c;
    c.Intervals.clear();
    for (int i = 0; i <= 5; ++i) c.Intervals.push_back(std::exp2(i / 5.0) - 1);
    const TuningExportResult result = export_tuning(folder / "five.syx", TuningFormat::syx, c, "five steps");
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.held_keys, 35 + 39);

    const std::string dump = slurp(folder / "five.syx");
    ASSERT_EQ(dump.size(), 408u);
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(dump[i]); };
    // Non-real-time, every device, MIDI tuning, bulk dump, tuning program 0; the name in 16 characters.
    EXPECT_EQ(dump.substr(0, 22), std::string("\xF0\x7E\x7F\x08\x01\x00", 6) + "five steps      ");
    for (int key = 0; key < platform::kMidiKeys; ++key) {
        const tuning::MtsPitch expected = tuning::mts_pitch(60 + (key - 60) * 12.0 / 5);
        const std::size_t at = 22 + 3 * static_cast<std::size_t>(key);
        EXPECT_EQ((tuning::MtsPitch{byte(at), byte(at + 1), byte(at + 2)}), expected) << "key " << key;
    }
    std::uint8_t checksum = 0;
    for (std::size_t i = 1; i < 406; ++i) checksum ^= byte(i);
    EXPECT_EQ(byte(406), checksum & 0x7F);
    EXPECT_EQ(byte(407), 0xF7);
}

// A scale with no pitch for a degree is refused before anything is written, and a mapping
// that cannot be written leaves the scale saved earlier as it was.
TEST(TuningExportScala, AFailedExportReplacesNothing) {
    const TempFolder folder;
    engine::Composition c;
    c.Intervals = {0, -1, 1};
    EXPECT_EQ(export_tuning(folder / "none.scl", TuningFormat::scl, c, "test").error,
              "degree 1 of the scale has no ratio above 0: a Scala file cannot hold it");
    EXPECT_EQ(testing::files_in(folder.path()), 0u);

    testing::write_bytes(folder / "kept.scl", "earlier");
    std::filesystem::create_directory(folder / "kept.kbm");
    const TuningExportResult result =
        export_tuning(folder / "kept.scl", TuningFormat::scl, composition_of(just_major()), "test");
    EXPECT_EQ(result.error.rfind("cannot write " + (folder / "kept.kbm").string() + ": ", 0), 0u) << result.error;
    EXPECT_EQ(slurp(folder / "kept.scl"), "earlier");
    EXPECT_EQ(testing::files_in(folder.path()), 2u);
}

// Scales of the archive, exported on middle C and read back, key by key.
TEST(TuningExportScala, ArchiveScalesReadBackTheSame) {
    const std::filesystem::path archive = std::string(CORVANE_SHARED_DATA) + "/scl";
    if (!std::filesystem::is_directory(archive)) GTEST_SKIP() << "no Scala archive at " << archive;
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(archive)) {
        if (entry.path().extension() == ".scl") paths.push_back(entry.path());
    }
    std::ranges::sort(paths);
    const TempFolder folder;
    int compared = 0;
    for (std::size_t i = 0; i < paths.size(); i += 97) {
        const auto text = read_whole_file(paths[i]);
        ASSERT_TRUE(text.has_value()) << paths[i];
        engine::Composition c;
        c.Intervals = tuning::read_scala_text(*text).entries;
        SCOPED_TRACE(paths[i].string());
        expect_every_key_read_back(folder, c, [&](int key) {
            return c.Frequency_of_lowest_note * tuning::degree_ratio(c.Intervals, key - 60);
        });
        if (::testing::Test::HasFatalFailure()) return;
        ++compared;
    }
    EXPECT_GT(compared, 50);
}

}  // namespace
}  // namespace corvane::files
