#include "corvane/tuning/pitch_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "corvane/platform/key_state.h"

namespace corvane::tuning {
namespace {

constexpr double kExact = 1e-12;      // how close a ratio or fraction must come
constexpr int kMaxExpansionSteps = 10000;

struct Fraction {
    long long p;
    long long q;
};

bool escape_held(const platform::KeyState* keys) { return keys != nullptr && keys->escape_down(); }

// True when every prime factor of n is at most `limit`.
bool is_smooth(long long n, long long limit) {
    n = n < 0 ? -n : n;
    if (n <= 1) return true;
    long long d = 2;
    for (; d <= limit && d <= n / d; ++d) {
        while (n % d == 0) n /= d;
    }
    return n == 1 || n <= limit;
}

// Walks the continued-fraction convergents of x and returns the first one within kExact
// of x whose denominator is at most max_q and that `accept` takes.
template <typename Accept>
std::optional<Fraction> convergent_near(double x, long long max_q, Accept accept) {
    if (max_q < 1) return std::nullopt;
    const double a0 = std::floor(x);
    if (std::fabs(a0) > 9e15) return std::nullopt;
    double t = x - a0;
    long long p_before = 1, q_before = 0;
    long long p = static_cast<long long>(a0), q = 1;
    const double smallest_remainder = 1.0 / static_cast<double>(max_q);
    for (int step = 0; step < kMaxExpansionSteps; ++step) {
        if (!(t >= smallest_remainder)) return std::nullopt;
        const double inverse = 1.0 / t;
        const double a_real = std::floor(inverse);
        if (a_real < 1.0 || a_real > static_cast<double>(max_q)) return std::nullopt;
        t = inverse - a_real;
        const auto a = static_cast<long long>(a_real);
        long long next_p = 0, next_q = 0;
        if (__builtin_mul_overflow(a, p, &next_p) || __builtin_add_overflow(next_p, p_before, &next_p) ||
            __builtin_mul_overflow(a, q, &next_q) || __builtin_add_overflow(next_q, q_before, &next_q)) {
            return std::nullopt;
        }
        if (next_q > max_q || next_q <= 0) return std::nullopt;
        p_before = p;
        q_before = q;
        p = next_p;
        q = next_q;
        const double approx = static_cast<double>(p) / static_cast<double>(q);
        if (std::fabs(approx - x) < kExact && accept(Fraction{p, q})) return Fraction{p, q};
    }
    return std::nullopt;
}

bool is_whole(double x, double& whole) {
    const double t = x - std::floor(x);
    if (t < kExact || t > 1.0 - kExact) {
        whole = std::round(x);
        return true;
    }
    return false;
}

// n as a product of prime powers: "2^3*5". Empty when Escape interrupts.
struct PrimePower {
    long long prime;
    int exponent;
};

std::optional<std::vector<PrimePower>> prime_powers(long long n, const platform::KeyState* keys) {
    std::vector<PrimePower> factors;
    int steps = 0;
    for (long long d = 2; d <= n / d; ++d) {
        if (++steps % 100 == 0 && escape_held(keys)) return std::nullopt;
        int exponent = 0;
        while (n % d == 0) {
            n /= d;
            ++exponent;
        }
        if (exponent > 0) factors.push_back({d, exponent});
    }
    if (n > 1) factors.push_back({n, 1});
    return factors;
}

void append_power(std::string& out, PrimePower f, bool first) {
    if (!first) out += '*';
    out += std::to_string(f.prime);
    if (f.exponent > 1) {
        out += '^';
        out += std::to_string(f.exponent);
    }
}

std::optional<std::string> factorised_text(Fraction r, const platform::KeyState* keys) {
    const auto top = prime_powers(r.p, keys);
    const auto bottom = prime_powers(r.q, keys);
    if (!top || !bottom) return std::nullopt;
    std::string out;
    if (top->empty()) out = "1";
    for (std::size_t i = 0; i < top->size(); ++i) append_power(out, (*top)[i], i == 0);
    out += '/';
    const bool grouped = bottom->size() > 1;
    if (grouped) out += '(';
    for (std::size_t i = 0; i < bottom->size(); ++i) append_power(out, (*bottom)[i], i == 0);
    if (grouped) out += ") ";
    return out;
}

std::optional<std::string> ratio_text(double v, const PitchFormat& s, const platform::KeyState* keys) {
    double whole = 0;
    if (is_whole(v, whole)) {
        std::string out = std::to_string(static_cast<long long>(whole));
        if (s.ratios_as_1o1_2o1_etc) out += "/1";
        return out;
    }
    const long long limit = s.iMaxDivisorForRatiosQuotient;
    const auto found = convergent_near(v, s.iMaxQuotientForIntervals, [limit](Fraction f) {
        if (limit <= 0 || f.q < limit) return true;
        return is_smooth(f.p, limit) && is_smooth(f.q, limit);
    });
    if (!found) return std::nullopt;
    if (s.bFactoriseRatios) {
        if (auto text = factorised_text(*found, keys)) return text;
        return format_general(v, 6);
    }
    return std::to_string(found->p) + "/" + std::to_string(found->q);
}

std::string octave_fraction_text(double ratio, const PitchFormat& s) {
    const double octaves = std::log2(std::max(ratio, 1e-50));
    double whole = 0;
    if (is_whole(octaves, whole)) return "n(" + std::to_string(static_cast<long long>(whole)) + ")";
    const auto found = convergent_near(octaves, s.iMaxQuotientForNRatios, [](Fraction) { return true; });
    if (!found) return {};
    if (found->q == 1) return "n(" + std::to_string(found->p) + ")";
    return "n(" + std::to_string(found->p) + "/" + std::to_string(found->q) + ")";
}

double cents_of(double ratio) {
    const double c = 1200.0 * std::log2(std::max(ratio, 1e-50));
    return std::fabs(c) < 1e-5 ? 0.0 : c;
}

// True when the cents, to thousandths of a cent, give back the ratio exactly: only then
// may cents stand in for an octave fraction without losing anything.
bool cents_keep_ratio(double cents, double ratio) {
    const double thousandths = std::round(cents * 1000.0) / 1000.0;
    return std::fabs(std::exp2(std::clamp(thousandths / 1200.0, -308.0, 308.0)) - ratio) < kExact;
}

std::string cents_text(double cents, const PitchFormat& s, bool cents_word) {
    std::string out;
    if (s.cents_fixed_point) {
        const int decimals = std::clamp(s.iCentsSigFigs, 0, 40);
        out = format_fixed(cents, decimals);
        const auto point = out.find('.');
        const std::size_t before = point == std::string::npos ? out.size() : point;
        const std::size_t width = before + 2 + static_cast<std::size_t>(decimals);
        if (out.size() < width) out.insert(0, width - out.size(), ' ');
    } else {
        out = format_general(cents, s.iCentsSigFigs);
    }
    if (cents_word) out += " cents";
    return out;
}


}  // namespace

PitchFormat PitchFormat::full_precision() {
    PitchFormat s;
    s.iMaxDivisorForRatiosQuotient = 200;
    s.iCentsSigFigs = 14;
    s.show_cents_or_small_ratios = false;
    s.show_cents = false;
    s.iMaxQuotientForIntervals = 100000000;
    s.iMaxQuotientForNRatios = 100;
    return s;
}

std::string exact_pitch_text(double value, PitchForm form) {
    return format_pitch_value(value, form, PitchFormat::full_precision(), FormatRequest{.cents_word = true});
}

PitchFormat PitchFormat::configuration_defaults() {
    PitchFormat s;
    s.iMaxQuotientForIntervals = 1000000;
    s.iMaxDivisorForRatiosQuotient = 50;
    s.iMaxQuotientForNRatios = 1;
    s.show_cents = true;
    s.show_cents_or_small_ratios = true;
    return s;
}

std::string format_pitch_value(double value, PitchForm form, const PitchFormat& settings, FormatRequest request,
                               const platform::KeyState* keys) {
    if (escape_held(keys) || !(value >= 1e-10 && value <= 1e10)) return format_general(value, settings.iCentsSigFigs);
    const double ratio = form == PitchForm::ratio ? value : value + 1.0;
    const bool search = request.ratio_only || !settings.show_cents || settings.show_cents_or_small_ratios;

    if (search) {
        if (auto text = ratio_text(value, settings, keys)) return *text;
    }
    if (request.ratio_only) return format_general(value, settings.iCentsSigFigs);

    std::string octave;
    if (search && !request.cents_only && ratio > 0.999999999999) octave = octave_fraction_text(ratio, settings);

    if (settings.show_cents || request.cents_only) {
        const double cents = cents_of(ratio);
        if (octave.empty() || cents_keep_ratio(cents, ratio)) return cents_text(cents, settings, request.cents_word);
    }
    if (!octave.empty()) return octave;
    return format_general(value, settings.iCentsSigFigs);
}

}  // namespace corvane::tuning
