#include "corvane/files/tuning_export.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <variant>
#include <vector>

#include "corvane/engine/degree_mapping.h"
#include "corvane/files/save_buffer.h"
#include "corvane/files/scala_file.h"
#include "corvane/platform/file_save.h"
#include "corvane/tuning/anamark_tun.h"
#include "corvane/tuning/mts_pitch.h"
#include "corvane/tuning/pitch_mapping.h"
#include "number_text.h"

namespace corvane::files {
namespace {

using engine::Composition;

constexpr std::array<std::string_view, 4> kFormatNames{"scl", "kbm", "tun", "syx"};
constexpr int kHighestKey = platform::kMidiKeys - 1;
constexpr int kFrequencyDecimals = 12;
constexpr int kTunCentsDecimals = 6;
constexpr double kCentsPerSemitone = 100.0;
constexpr int kDumpProgram = 0;
constexpr std::string_view kLineEnd = "\r\n";

double key_frequency(const Composition& c, int key) { return engine::degree_frequency(c, key - base_key(c)); }

std::string key_text(int key) { return detail::integer_text(key); }

// The scale and keyboard mapping that give each key the pitch the composition gives it.
struct ScalaLayout {
    std::vector<double> scale;  // increment form, from 1/1
    std::string title;
    int middle_key = 0;
    int reference_key = 0;
    double reference_frequency = 0;
};

bool is_positive(double value) { return std::isfinite(value) && value > 0; }

// A scale that repeats at a period maps degree 0 to the base key, as the composition does.
std::variant<ScalaLayout, std::string> periodic_layout(const Composition& c) {
    for (std::size_t degree = 1; degree < c.Intervals.size(); ++degree) {
        if (!is_positive(c.Intervals[degree] + 1.0)) {
            const std::string degree_text = detail::integer_text(static_cast<long long>(degree));
            return "degree " + degree_text + " of the scale has no ratio above 0: a Scala file cannot hold it";
        }
    }
    const int base = base_key(c);
    return ScalaLayout{c.Intervals, c.Intervals_Title, base, base, key_frequency(c, base)};
}

// Any other scale is written as the keys' own pitches, key 0 its 1/1.
std::variant<ScalaLayout, std::string> key_by_key_layout(const Composition& c) {
    std::vector<double> frequencies;
    for (int key = 0; key <= kHighestKey; ++key) {
        frequencies.push_back(key_frequency(c, key));
        if (!is_positive(frequencies.back())) {
            return "the scale gives key " + key_text(key) + " no frequency above 0 Hz: a Scala file cannot hold it";
        }
    }
    std::vector<double> scale;
    for (const double frequency : frequencies) scale.push_back(frequency / frequencies.front() - 1.0);
    const int base = base_key(c);
    const double base_frequency = frequencies[static_cast<std::size_t>(base)];
    return ScalaLayout{std::move(scale), c.Intervals_Title + " - keys 0 to 127", 0, base, base_frequency};
}

std::variant<ScalaLayout, std::string> scala_layout(const Composition& c) {
    const bool repeats = c.Intervals.size() >= 2 && starts_at_unison(c.Intervals);
    return repeats ? periodic_layout(c) : key_by_key_layout(c);
}

std::string scl_text(const ScalaLayout& layout, const std::filesystem::path& path) {
    SaveBuffer out;
    write_scl(out, path.filename().string(), layout.title, layout.scale);
    return out.take();
}

std::string kbm_text(const ScalaLayout& layout, const std::filesystem::path& path, std::string_view name) {
    const std::string degrees = detail::integer_text(static_cast<long long>(layout.scale.size()) - 1);
    SaveBuffer out;
    append_formatted(out, {"! ", path.filename().string(), kLineEnd, "!", kLineEnd});
    append_formatted(out, {"! ", name, ": degree 0 of \"", layout.title, "\" on key ", key_text(layout.middle_key),
                           ", one key per degree", kLineEnd});
    append_formatted(out, {"! Size of the pattern (0: each key its own degree):", kLineEnd, "0", kLineEnd});
    append_formatted(out, {"! First and last key retuned:", kLineEnd, "0", kLineEnd, key_text(kHighestKey), kLineEnd});
    append_formatted(out, {"! Middle key, where degree 0 sits:", kLineEnd, key_text(layout.middle_key), kLineEnd});
    append_formatted(out, {"! Reference key and its frequency:", kLineEnd, key_text(layout.reference_key), kLineEnd,
                           detail::point_decimal_text(layout.reference_frequency, kFrequencyDecimals), kLineEnd});
    append_formatted(out, {"! Degree of the period:", kLineEnd, degrees, kLineEnd});
    append_formatted(out, {"! No pattern: the mapping is linear", kLineEnd});
    return out.take();
}

std::string tun_text(const KeyPitches& pitches, const Composition& c, std::string_view name) {
    SaveBuffer out;
    append_formatted(out,
                     {"; ", name, ": \"", c.Intervals_Title, "\", degree 0 on key ", key_text(base_key(c)), kLineEnd});
    append_formatted(out, {"; Cents above key 0 of A 440", kLineEnd, "[Tuning]", kLineEnd});
    for (std::size_t key = 0; key < pitches.size(); ++key) {
        const long long cents = std::llround(pitches[key] * kCentsPerSemitone);
        append_formatted(out, {"note ", key_text(static_cast<int>(key)), "=", detail::integer_text(cents), kLineEnd});
    }
    append_formatted(out, {kLineEnd, "[Exact Tuning]", kLineEnd, "BaseFreq=", tuning::kTunExactBaseText, kLineEnd});
    for (std::size_t key = 0; key < pitches.size(); ++key) {
        const std::string cents = tuning::format_fixed(pitches[key] * kCentsPerSemitone, kTunCentsDecimals);
        append_formatted(out, {"note ", key_text(static_cast<int>(key)), "=", cents, kLineEnd});
    }
    return out.take();
}

std::string dump_bytes(const KeyPitches& pitches, std::string_view name) {
    std::array<platform::TuningBytes, platform::kMidiKeys> keys{};
    std::ranges::transform(pitches, keys.begin(), tuning::mts_pitch);
    const auto dump = platform::bulk_tuning_dump(kDumpProgram, name, keys);
    return {dump.begin(), dump.end()};
}

// Rounding moves a pitch by at most half a step of the standard; a key moved further was held.
int held_keys(const KeyPitches& pitches) {
    return static_cast<int>(std::ranges::count_if(pitches, [](double pitch) {
        return std::fabs(tuning::midi_pitch_of(tuning::mts_pitch(pitch)) - pitch) > 1.0 / tuning::kMtsFractionSteps;
    }));
}

// A file's whole contents, ready to be written.
struct PendingFile {
    std::filesystem::path path;
    std::string bytes;
};

// Writes every file under a temporary name, then puts each in its place; empty, or the error.
std::string save_all(std::span<const PendingFile> files) {
    std::vector<platform::FileSave> saves(files.size());
    const auto failure = [&](std::size_t i, int error) {
        return "cannot write " + files[i].path.string() + ": " + platform::system_error_text(error);
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        int error = saves[i].open(files[i].path);
        if (error == 0) error = saves[i].write(files[i].bytes);
        if (error != 0) return failure(i, error);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (const int error = saves[i].commit(); error != 0) return failure(i, error);
    }
    return {};
}

std::variant<std::vector<PendingFile>, std::string> scala_files(const std::filesystem::path& path, TuningFormat format,
                                                                const Composition& c, std::string_view name) {
    auto layout = scala_layout(c);
    if (const auto* error = std::get_if<std::string>(&layout)) return *error;
    const auto& scala = std::get<ScalaLayout>(layout);
    if (format == TuningFormat::kbm) return std::vector<PendingFile>{{path, kbm_text(scala, path, name)}};
    const std::filesystem::path mapping = tuning_file_name(path, TuningFormat::kbm);
    if (mapping == path) return "the scale and its keyboard mapping cannot both be " + path.string();
    return std::vector<PendingFile>{{path, scl_text(scala, path)}, {mapping, kbm_text(scala, mapping, name)}};
}

std::variant<std::vector<PendingFile>, std::string> files_of(const std::filesystem::path& path, TuningFormat format,
                                                             const Composition& c, std::string_view name,
                                                             const KeyPitches& pitches) {
    switch (format) {
        case TuningFormat::scl:
        case TuningFormat::kbm:
            return scala_files(path, format, c, name);
        case TuningFormat::tun:
            return std::vector<PendingFile>{{path, tun_text(pitches, c, name)}};
        case TuningFormat::syx:
            break;
    }
    return std::vector<PendingFile>{{path, dump_bytes(pitches, name)}};
}

}  // namespace

std::string_view tuning_format_name(TuningFormat format) { return kFormatNames[static_cast<std::size_t>(format)]; }

std::optional<TuningFormat> tuning_format_named(std::string_view name) {
    const auto found = std::ranges::find(kFormatNames, name);
    if (found == kFormatNames.end()) return std::nullopt;
    return static_cast<TuningFormat>(found - kFormatNames.begin());
}

std::filesystem::path tuning_file_name(const std::filesystem::path& typed, TuningFormat format) {
    std::filesystem::path name = typed;
    return name.replace_extension(tuning_format_name(format));
}

std::string tuning_name(std::string_view composition_file) {
    if (composition_file.empty()) return "Corvane";
    return std::filesystem::path(composition_file).stem().string();
}

int base_key(const Composition& composition) {
    const double pitch = tuning::frequency_to_midi_pitch(composition.Frequency_of_lowest_note);
    if (!std::isfinite(pitch)) return 0;
    return static_cast<int>(std::clamp(std::round(pitch), 0.0, static_cast<double>(kHighestKey)));
}

KeyPitches key_pitches(const Composition& composition) {
    KeyPitches pitches{};
    for (int key = 0; key <= kHighestKey; ++key) {
        pitches[static_cast<std::size_t>(key)] = tuning::frequency_to_midi_pitch(key_frequency(composition, key));
    }
    return pitches;
}

TuningExportResult export_tuning(const std::filesystem::path& path, TuningFormat format, const Composition& composition,
                                 std::string_view name) {
    TuningExportResult result;
    const KeyPitches pitches = key_pitches(composition);
    const auto unsounded = std::ranges::find_if(pitches, [](double pitch) { return !std::isfinite(pitch); });
    if (unsounded != pitches.end()) {
        result.error = "the scale gives key " + key_text(static_cast<int>(unsounded - pitches.begin())) + " no pitch";
        return result;
    }
    auto files = files_of(path, format, composition, name, pitches);
    if (auto* error = std::get_if<std::string>(&files)) {
        result.error = std::move(*error);
        return result;
    }
    const auto& pending = std::get<std::vector<PendingFile>>(files);
    result.error = save_all(pending);
    if (!result.ok()) return result;
    for (const PendingFile& file : pending) result.written.push_back(file.path);
    if (format == TuningFormat::syx) result.held_keys = held_keys(pitches);
    return result;
}

}  // namespace corvane::files
