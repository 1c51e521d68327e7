#include "cli_support.h"

#include <iostream>
#include <system_error>

#include "corvane/files/whole_file.h"
#include "corvane/tuning/expression.h"

namespace corvane::cli {

std::string read_text_file(const std::string& path) {
    auto read = files::read_whole_file_or_error(path);
    if (!read.text) throw Failure("cannot read \"" + path + "\": " + std::generic_category().message(read.error));
    return std::move(*read.text);
}

double expression_argument(std::string_view text, std::string_view what, bool increment_form) {
    const auto form = increment_form ? tuning::PitchForm::increment : tuning::PitchForm::ratio;
    const auto e = tuning::evaluate_expression(text, form);
    if (!e.number_read) {
        throw UsageError(std::string(what) + ": \"" + std::string(text) + "\" has no number in it");
    }
    return e.value;
}

void FormatOptions::add_to(CLI::App& command) {
    auto* group = command.add_option_group("Pitch formatting");
    group->add_option("--sig-figs", format.iCentsSigFigs, "significant figures of decimals and cents")
        ->capture_default_str();
    group->add_flag("--show-cents,!--no-show-cents", format.show_cents,
                    "prefer cents to ratios where no small ratio fits (default on)");
    group->add_flag_callback("--no-small-ratios", [this] { format.show_cents_or_small_ratios = false; },
                             "with --show-cents, show cents even where a small ratio fits");
    group->add_option("--max-quotient", format.iMaxQuotientForIntervals, "largest denominator of a ratio")
        ->capture_default_str();
    group->add_option("--prime-limit", format.iMaxDivisorForRatiosQuotient,
                      "largest prime in a ratio whose denominator reaches it (0: none)")
        ->capture_default_str();
    group->add_option("--max-n-quotient", format.iMaxQuotientForNRatios,
                      "largest denominator of an octave fraction n(p/q)")
        ->capture_default_str();
    group->add_flag("--factorise", format.bFactoriseRatios, "write ratios as products of prime powers");
    group->add_flag("--slash-one", format.ratios_as_1o1_2o1_etc, "write whole numbers as 2/1");
    group->add_flag("--fixed-point", format.cents_fixed_point, "cents with fixed decimals");
    group->add_flag("--full-precision", full_precision, "the settings used when saving compositions");
    group->add_flag("--ratio-only", request.ratio_only, "a ratio or the decimal, never cents");
    group->add_flag("--cents-only", request.cents_only, "cents rather than an octave fraction");
    group->add_flag("--cents-word", request.cents_word, "add \" cents\" to cents");
}

tuning::PitchFormat FormatOptions::settings() const {
    if (!full_precision) return format;
    tuning::PitchFormat full = tuning::PitchFormat::full_precision();
    full.bFactoriseRatios = format.bFactoriseRatios;
    full.ratios_as_1o1_2o1_etc = format.ratios_as_1o1_2o1_etc;
    full.cents_fixed_point = format.cents_fixed_point;
    return full;
}

void print_json(const nlohmann::json& value) {
    std::cout << value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

}  // namespace corvane::cli
