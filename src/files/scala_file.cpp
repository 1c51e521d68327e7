#include "corvane/files/scala_file.h"

#include <cmath>
#include <system_error>

#include "corvane/files/whole_file.h"
#include "corvane/tuning/pitch_format.h"
#include "number_text.h"
#include "text_scan.h"

namespace corvane::files {
namespace {

constexpr double kUnisonTolerance = 1e-12;
constexpr int kCentsDecimals = 10;

std::size_t append_pitch(SaveBuffer& out, double ratio) {
    return append_formatted(out, {" ", scala_pitch_text(ratio), "\r\n"});
}

}  // namespace

std::string scala_pitch_text(double ratio) {
    tuning::PitchFormat format = tuning::PitchFormat::full_precision();
    format.ratios_as_1o1_2o1_etc = true;
    tuning::FormatRequest request;
    request.ratio_only = true;
    const std::string text = tuning::format_pitch_value(ratio, tuning::PitchForm::ratio, format, request);
    if (text.find('/') != std::string::npos) return text;
    return detail::point_decimal_text(1200.0 * std::log2(std::max(ratio, 1e-50)), kCentsDecimals);
}

std::string scala_scale_title(const tuning::ScalaReading& reading, std::string_view file_name, const Settings& s) {
    std::string note = reading.title_note;
    if (!s.scala_show_if_last_note_is_other_than_octave && note.starts_with('~')) note.erase(0, 1);
    const std::string description(detail::trimmed(reading.description));
    if (!s.scala_show_original_filename) return note + description;
    return note + std::string(file_name) + " | " + description;
}

bool starts_at_unison(std::span<const double> scale) {
    return !scale.empty() && std::fabs(scale[0]) <= kUnisonTolerance;
}

void write_scl(SaveBuffer& out, std::string_view file_name, std::string_view title, std::span<const double> scale) {
    const bool from_unison = starts_at_unison(scale);
    const std::size_t count = scale.empty() ? 0 : from_unison ? scale.size() - 1 : kCycledScalaPitches;
    append_formatted(out, {"! ", file_name, "\r\n!\r\n"});
    append_formatted(out, {title, "\r\n ", detail::integer_text(static_cast<long long>(count)), "\r\n!\r\n"});
    if (from_unison) {
        for (std::size_t i = 1; i < scale.size(); ++i) {
            if (append_pitch(out, scale[i] + 1.0) == 0) return;
        }
        return;
    }
    double pitch = 0.0;  // increment form
    for (std::size_t k = 0; k < count; ++k) {
        pitch += scale[k % scale.size()];
        if (append_pitch(out, pitch + 1.0) == 0) return;
    }
}

std::variant<tuning::KeyboardMapping, tuning::KeyboardMappingError> read_keyboard_mapping_file(
    const std::filesystem::path& path) {
    const std::string quoted = "\"" + path.string() + "\"";
    const WholeFileRead read = read_whole_file_or_error(path);
    if (!read.text) {
        const std::string reason = std::generic_category().message(read.error);
        return tuning::KeyboardMappingError{"cannot read " + quoted + ": " + reason};
    }
    auto mapping = tuning::read_keyboard_mapping(*read.text);
    if (auto* error = std::get_if<tuning::KeyboardMappingError>(&mapping)) {
        error->message = quoted + " is no keyboard mapping: " + error->message;
    }
    return mapping;
}

}  // namespace corvane::files
