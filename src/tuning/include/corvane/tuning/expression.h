#pragma once

#include <span>
#include <string_view>

namespace corvane::tuning {

// A pitch is a frequency ratio to the lowest note. Texts write it either as the ratio itself
// (1 = lowest note, 2 = octave) or as ratio - 1 (0 = lowest note, 1 = octave).
enum class PitchForm { ratio, increment };

struct Evaluation {
    double value = 0.0;
    bool number_read = false;  // at least one number was read
    // The whole text was one well-formed expression: nothing after it, no operand or
    // function argument missing ("4/e"), no number with more after it ("2n"), no division by
    // zero. The reader gives a value either way; a field takes only a complete one.
    bool complete = false;
};

// Evaluates the first expression token of `text`: numbers, + - * / ^ ** |, parentheses,
// implied multiplication, p (pi), ` and ' (cents), n and m (octave fractions), e, l, r, s, c, t.
// `form` decides whether cents and octave fractions give the ratio or ratio - 1.
// Chains of + - and of * / group from the left (8/4/2 is 1); powers group from the right.
// A sign directly after ^ is a sign (2^-1 is 0.5). Never throws; out-of-range powers
// and exponentials are clamped, division by zero gives the left operand.
Evaluation evaluate_expression(std::string_view text, PitchForm form);

// The same, with the token copied into `scratch` instead of a string of its own, so that
// nothing is allocated: for the player's real-time path. A token longer than `scratch`
// is cut to its size.
Evaluation evaluate_expression(std::string_view text, PitchForm form, std::span<char> scratch);

// The value of `text`, or `fallback` when no number was read.
double evaluate_or_default(std::string_view text, double fallback, PitchForm form);

// The length of the expression token at the start of `text` after leading blanks
// (0 for a comment "//" or an empty text). Exposed for readers that tokenise themselves.
std::string_view expression_token(std::string_view text);

}  // namespace corvane::tuning
