#include "corvane/tuning/expression.h"

#include "corvane/tuning/ascii_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>

namespace corvane::tuning {
namespace {

constexpr int kMaxNesting = 256;          // deeper nesting reads as 0
constexpr std::size_t kMaxTokenLength = 4096;
constexpr double kMaxExponent = 308.0;

using ascii::is_blank;

bool is_token_char(char c) {
    if (c >= '0' && c <= '9') return true;
    switch (c) {
        case '.': case ',': case '+': case '-': case '*': case '/': case '^': case '|':
        case '(': case ')': case '\'': case '`':
        case 'C': case 'E': case 'L': case 'M': case 'N': case 'P': case 'R': case 'S': case 'T':
        case 'c': case 'e': case 'l': case 'm': case 'n': case 'p': case 'r': case 's': case 't':
            return true;
        default:
            return false;
    }
}

bool is_operator(char c) { return c == '+' || c == '-' || c == '*' || c == '/' || c == '|' || c == '^'; }

bool is_function_letter(char c) {
    switch (c) {
        case 'c': case 'C': case 'e': case 'E': case 'l': case 'L': case 'n': case 'N': case 'm':
        case 'M': case '\'': case '`': case 't': case 'T': case 'r': case 'R': case 's': case 'S':
            return true;
        default:
            return false;
    }
}

// A + or - right after one of these is a sign or an exponent, not an operator.
bool makes_following_sign(char c) {
    return c == 'e' || c == 'E' || c == '*' || c == '/' || c == '+' || c == '-' || c == '`' || c == '^' || c == '|';
}

double clamp_exponent(double x) { return std::clamp(x, -kMaxExponent, kMaxExponent); }

class Evaluator {
public:
    explicit Evaluator(PitchForm form) : form_(form) {}

    double evaluate(std::string_view s, int depth) {
        if (s.empty() || is_blank(s.front()) || depth > kMaxNesting) {
            complete_ = false;  // an operand or an argument is missing
            return 0.0;
        }
        if (auto inside = enclosed_by_parentheses(s)) return evaluate(*inside, depth + 1);
        if (auto v = additive(s, depth)) return *v;
        if (auto v = multiplicative(s, depth)) return *v;
        if (auto v = power(s, depth)) return *v;
        return primary(s, depth);
    }

    bool number_read() const { return number_read_; }
    bool complete() const { return complete_; }

private:
    struct Split {
        std::size_t pos;  // where the right operand begins, minus the operator's length
        std::size_t op_len;
        char op;
    };

    static std::optional<std::string_view> enclosed_by_parentheses(std::string_view s) {
        if (s.front() != '(') return std::nullopt;
        int depth = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '(') ++depth;
            else if (s[i] == ')' && --depth == 0) {
                const bool only_blanks_after =
                    std::all_of(s.begin() + static_cast<std::ptrdiff_t>(i) + 1, s.end(), is_blank);
                if (only_blanks_after) return s.substr(1, i - 1);
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    // Pass 1: + and - at depth 0, folded from the left.
    std::optional<double> additive(std::string_view s, int depth) {
        std::optional<double> result;
        std::size_t start = 0;
        char pending = 0;
        int level = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const char c = s[i];
            if (c == '(') ++level;
            else if (c == ')') --level;
            else if (level == 0 && i > 0 && (c == '+' || c == '-') && !makes_following_sign(s[i - 1])) {
                result = combine(result, pending, s.substr(start, i - start), depth);
                pending = c;
                start = i + 1;
            }
        }
        if (!result) return std::nullopt;
        return combine(result, pending, s.substr(start), depth);
    }

    // Pass 2: * and / at depth 0 ("**" belongs to pass 3), and implied multiplication
    // at "3(" and ")3", folded from the left.
    std::optional<double> multiplicative(std::string_view s, int depth) {
        std::optional<double> result;
        std::size_t start = 0;
        char pending = 0;
        int level = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const char c = s[i];
            if (level == 0 && i > 0 && implied_multiplication_at(s, i)) {
                result = combine(result, pending, s.substr(start, i - start), depth);
                pending = '*';
                start = i;
            }
            if (c == '(') ++level;
            else if (c == ')') --level;
            else if (level == 0 && i > 0 && (c == '*' || c == '/')) {
                if (c == '*' && ((i + 1 < s.size() && s[i + 1] == '*') || s[i - 1] == '*')) continue;
                result = combine(result, pending, s.substr(start, i - start), depth);
                pending = c;
                start = i + 1;
            }
        }
        if (!result) return std::nullopt;
        return combine(result, pending, s.substr(start), depth);
    }

    static bool implied_multiplication_at(std::string_view s, std::size_t i) {
        const char before = s[i - 1];
        const char c = s[i];
        if (c == '(') return !is_function_letter(before) && !is_operator(before) && before != '(';
        if (before == ')') return !is_operator(c) && c != ')';
        return false;
    }

    std::optional<double> combine(std::optional<double> left, char op, std::string_view right_text, int depth) {
        const double right = evaluate(right_text, depth + 1);
        if (!left) return right;
        switch (op) {
            case '+': return *left + right;
            case '-': return *left - right;
            case '*': return *left * right;
            case '/':
                if (right == 0.0) complete_ = false;
                return right == 0.0 ? *left : *left / right;
            default: return right;
        }
    }

    // Pass 3: "**", "^" and "|" at depth 0; the first one found splits, so powers group
    // from the right.
    std::optional<double> power(std::string_view s, int depth) {
        int level = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const char c = s[i];
            if (c == '(') ++level;
            else if (c == ')') --level;
            else if (level == 0 && i > 0) {
                std::size_t op_len = 0;
                if (c == '^' || c == '|') op_len = 1;
                else if (c == '*' && i + 1 < s.size() && s[i + 1] == '*') op_len = 2;
                if (op_len == 0) continue;
                const double base = evaluate(s.substr(0, i), depth + 1);
                const double exponent = evaluate(s.substr(i + op_len), depth + 1);
                return raise(base, exponent);
            }
        }
        return std::nullopt;
    }

    static double raise(double base, double exponent) {
        const double magnitude = std::log(std::max(base, 1e-50)) * exponent;
        if (!(std::fabs(magnitude) <= 307.0 * std::numbers::ln10)) return base;
        if (base == 0.0) return 0.0;
        if (exponent == 0.0) return 1.0;
        if (base < 0.0) exponent = std::trunc(exponent);
        return std::pow(base, exponent);
    }

    double primary(std::string_view s, int depth) {
        const char first = s.front();
        const std::string_view rest = s.substr(1);
        switch (first) {
            case 'p': case 'P':
                if (!rest.empty()) complete_ = false;  // "p2": pi is a whole operand
                return std::numbers::pi;
            case '`': case '\'':
                return octave_fraction(evaluate(rest, depth + 1) / 1200.0);
            case 'n': case 'N': case 'm': case 'M':
                return octave_fraction(evaluate(rest, depth + 1));
            case 'e': case 'E':
                return std::exp(clamp_exponent(evaluate(rest, depth + 1)));
            case 'l': case 'L':
                return std::log(std::max(evaluate(rest, depth + 1), 1e-50));
            case 'r': case 'R':
                return std::sqrt(std::max(evaluate(rest, depth + 1), 0.0));
            case 's': case 'S':
                return std::sin(evaluate(rest, depth + 1));
            case 'c': case 'C':
                return std::cos(evaluate(rest, depth + 1));
            case 't': case 'T':
                return std::tan(evaluate(rest, depth + 1));
            default:
                return number(s, depth);
        }
    }

    // 2^octaves, or 2^octaves - 1 in increment form; exactly 1 or 0 for no octaves.
    double octave_fraction(double octaves) const {
        const double offset = form_ == PitchForm::ratio ? 0.0 : 1.0;
        if (octaves == 0.0) return 1.0 - offset;
        return std::exp2(clamp_exponent(octaves)) - offset;
    }

    // A run of signs and points ending in a digit starts a number; the signs multiply.
    // A sign before anything else negates what follows: -n(1/12), -(1/2).
    double number(std::string_view s, int depth) {
        std::size_t i = 0;
        double sign = 1.0;
        while (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            if (s[i] == '-') sign = -sign;
            ++i;
        }
        std::size_t probe = i;
        while (probe < s.size() && s[probe] == '.') ++probe;
        const bool digit_follows = probe < s.size() && s[probe] >= '0' && s[probe] <= '9';
        if (!digit_follows) {
            if (i > 0 && i < s.size()) return sign * evaluate(s.substr(i), depth + 1);
            complete_ = false;
            return 0.0;
        }
        double value = 0.0;
        const char* first = s.data() + i;
        const auto [end, ec] = std::from_chars(first, s.data() + s.size(), value);
        if (ec == std::errc::result_out_of_range) {
            const std::string_view digits(first, static_cast<std::size_t>(end - first));
            const auto e = digits.find_first_of("eE");
            const bool tiny = e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-';
            value = tiny ? 0.0 : 1e308;
        } else if (ec != std::errc()) {
            complete_ = false;
            return 0.0;
        }
        if (end != s.data() + s.size()) complete_ = false;  // "2n", "3.2.1": more after the number
        number_read_ = true;
        return sign * value;
    }

    PitchForm form_;
    bool number_read_ = false;
    bool complete_ = true;
};

}  // namespace

std::string_view expression_token(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && is_blank(text[start])) ++start;
    text.remove_prefix(start);
    if (text.starts_with("//")) return {};
    std::size_t length = 0;
    while (length < text.size() && length < kMaxTokenLength && is_token_char(text[length])) ++length;
    return text.substr(0, length);
}

namespace {

Evaluation evaluate_token(std::string_view token, PitchForm form) {
    Evaluator evaluator(form);
    double value = evaluator.evaluate(token, 0);
    if (!std::isfinite(value)) value = std::isnan(value) ? 0.0 : std::copysign(1e308, value);
    return {value, evaluator.number_read(), evaluator.complete() && evaluator.number_read()};
}

// Whether anything but blanks follows the expression token in the text.
bool more_after(std::string_view text, std::string_view token) {
    const std::size_t after = static_cast<std::size_t>(token.data() - text.data()) + token.size();
    return std::any_of(text.begin() + static_cast<std::ptrdiff_t>(after), text.end(), [](char c) { return !is_blank(c); });
}

}  // namespace

Evaluation evaluate_expression(std::string_view text, PitchForm form) {
    const std::string_view raw = expression_token(text);
    if (raw.empty()) return {};
    std::string token(raw);
    std::replace(token.begin(), token.end(), ',', '.');  // a decimal comma reads as a point
    Evaluation e = evaluate_token(token, form);
    if (more_after(text, raw)) e.complete = false;
    return e;
}

Evaluation evaluate_expression(std::string_view text, PitchForm form, std::span<char> scratch) {
    const std::string_view raw = expression_token(text);
    if (raw.empty() || scratch.empty()) return {};
    const std::size_t length = std::min(raw.size(), scratch.size());
    std::replace_copy(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(length), scratch.begin(), ',', '.');
    Evaluation e = evaluate_token(std::string_view(scratch.data(), length), form);
    if (length < raw.size() || more_after(text, raw)) e.complete = false;
    return e;
}

double evaluate_or_default(std::string_view text, double fallback, PitchForm form) {
    const Evaluation e = evaluate_expression(text, form);
    return e.number_read ? e.value : fallback;
}

}  // namespace corvane::tuning
