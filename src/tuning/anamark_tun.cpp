#include "corvane/tuning/anamark_tun.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "corvane/tuning/ascii_text.h"
#include "corvane/tuning/text_lines.h"

namespace corvane::tuning {
namespace {

constexpr double kCentsPerSemitone = 100.0;
constexpr double kCentsPerOctave = 1200.0;

enum class Section { none, tuning, exact_tuning, other };

// The cents of every key in one section, equal-tempered until a line says otherwise.
struct SectionCents {
    std::array<double, kTunKeys> cents{};
    bool present = false;

    SectionCents() {
        for (int key = 0; key < kTunKeys; ++key) cents[static_cast<std::size_t>(key)] = key * kCentsPerSemitone;
    }
};

std::optional<double> number_in(std::string_view word) {
    double value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc{} || end != word.data() + word.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int> key_in(std::string_view word) {
    int key = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), key);
    if (error != std::errc{} || end != word.data() + word.size() || key < 0 || key >= kTunKeys) return std::nullopt;
    return key;
}

// A line without its comment and the blanks around it.
std::string_view content_of(std::string_view line) {
    const std::size_t comment = line.find(';');
    return ascii::trimmed(line.substr(0, comment));
}

Section section_named(std::string_view heading) {
    const std::string_view name = ascii::trimmed(heading);
    if (ascii::equals_any_case(name, "Tuning")) return Section::tuning;
    if (ascii::equals_any_case(name, "Exact Tuning")) return Section::exact_tuning;
    return Section::other;
}

AnamarkTunError error_at(int line_number, std::string_view content, std::string_view what) {
    return {"line " + std::to_string(line_number) + ": \"" + std::string(content) + "\" " + std::string(what)};
}

class Reader {
public:
    std::optional<AnamarkTunError> read_line(int line_number, std::string_view content) {
        if (content.empty()) return std::nullopt;
        if (content.front() == '[') return read_heading(line_number, content);
        if (section_ != Section::tuning && section_ != Section::exact_tuning) return std::nullopt;
        return read_setting(line_number, content);
    }

    std::variant<KeyFrequencies, AnamarkTunError> frequencies() const {
        if (!tuning_.present && !exact_.present) {
            return AnamarkTunError{"there is no [Tuning] or [Exact Tuning] section"};
        }
        const SectionCents& section = exact_.present ? exact_ : tuning_;
        const double base = exact_.present ? base_frequency_ : kTunTuningBase;
        KeyFrequencies frequencies{};
        for (std::size_t key = 0; key < frequencies.size(); ++key) {
            frequencies[key] = base * std::exp2(section.cents[key] / kCentsPerOctave);
        }
        return frequencies;
    }

private:
    std::optional<AnamarkTunError> read_heading(int line_number, std::string_view content) {
        if (content.back() != ']') return error_at(line_number, content, "is no section heading");
        section_ = section_named(content.substr(1, content.size() - 2));
        if (section_ == Section::tuning) tuning_.present = true;
        if (section_ == Section::exact_tuning) exact_.present = true;
        return std::nullopt;
    }

    std::optional<AnamarkTunError> read_setting(int line_number, std::string_view content) {
        const std::size_t equals = content.find('=');
        if (equals == std::string_view::npos) return error_at(line_number, content, "is not \"key=value\"");
        const std::string_view key = ascii::trimmed(content.substr(0, equals));
        const std::string_view value = ascii::trimmed(content.substr(equals + 1));
        if (section_ == Section::exact_tuning && ascii::equals_any_case(key, "BaseFreq")) {
            const auto frequency = number_in(value);
            if (!frequency || *frequency <= 0) return error_at(line_number, content, "gives no frequency above 0 Hz");
            base_frequency_ = *frequency;
            return std::nullopt;
        }
        if (!ascii::starts_with_any_case(key, "note")) return std::nullopt;  // a key of a later version
        const auto note = key_in(ascii::trimmed(key.substr(4)));
        if (!note) return error_at(line_number, content, "names no key from 0 to 127");
        const auto cents = number_in(value);
        if (!cents) return error_at(line_number, content, "gives no number of cents");
        SectionCents& section = section_ == Section::tuning ? tuning_ : exact_;
        section.cents[static_cast<std::size_t>(*note)] = *cents;
        return std::nullopt;
    }

    Section section_ = Section::none;
    SectionCents tuning_;
    SectionCents exact_;
    double base_frequency_ = kTunExactBase;
};

}  // namespace

std::variant<KeyFrequencies, AnamarkTunError> read_anamark_tun(std::string_view text) {
    Reader reader;
    TextLines lines(text);
    int line_number = 0;
    while (const auto line = lines.next()) {
        ++line_number;
        if (auto error = reader.read_line(line_number, content_of(*line))) return *std::move(error);
    }
    return reader.frequencies();
}

}  // namespace corvane::tuning
