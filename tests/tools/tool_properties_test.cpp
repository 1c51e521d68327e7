// What the scale tools write holds for any scale: every definition reads back as the pitches
// it was made from.

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include "corvane/tools/rearrangements.h"
#include "corvane/tools/superparticular.h"
#include "corvane/tuning/pitch_list.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using namespace corvane::tools::testing;
using files::ListEntry;

// A scale's steps in one of the forms the archive has: cents (to five decimals), just ratios,
// or equal divisions.
struct StepsText {
    std::vector<double> steps;  // as ratios
    std::string definition;     // "1 ..." with the period last
};
void showValue(const StepsText& scale, std::ostream& os) { os << scale.definition; }

rc::Gen<StepsText> scales() {
    return rc::gen::exec([] {
        const int kind = *rc::gen::inRange(0, 3);
        const int count = *rc::gen::inRange(2, 8);
        StepsText s;
        s.definition = "1";
        double pitch = 1.0;
        for (int i = 0; i < count; ++i) {
            double step = 1.0;
            std::string text;
            if (kind == 0) {
                const double cents = *rc::gen::inRange(1, 60000) / 100.0 + 0.00001 * *rc::gen::inRange(0, 1000);
                step = std::exp2(cents / 1200.0);
                pitch *= step;
                text = tuning::format_fixed(1200.0 * std::log2(pitch), 5) + " cents";
            } else if (kind == 1) {
                const int q = *rc::gen::inRange(2, 40);
                const int p = q + *rc::gen::inRange(1, q);
                step = static_cast<double>(p) / q;
                pitch *= step;
                text = tuning::exact_pitch_text(pitch);
            } else {
                const int n = *rc::gen::inRange(5, 53);
                step = std::exp2(static_cast<double>(*rc::gen::inRange(1, 6)) / n);
                pitch *= step;
                text = tuning::exact_pitch_text(pitch);
            }
            s.definition += " " + text;
        }
        // The steps as the definition gives them, pitch after pitch.
        const auto read = ratios_of(s.definition);
        for (std::size_t i = 1; i < read.size(); ++i) s.steps.push_back(read[i] / read[i - 1]);
        return s;
    });
}

RC_GTEST_PROP(ToolOutput, EveryReArrangementReadsBackAsItsSteps, ()) {
    const StepsText scale = *scales();
    DirectRun direct;
    const auto result = find_rearrangements({{"generated", scale.definition, "", ""}}, kFormat, direct.run, 720);
    RC_ASSERT(!result.scales.empty());
    for (const ListEntry& made : result.scales) {
        const auto ratios = ratios_of(made.definition);
        RC_ASSERT(ratios.size() == scale.steps.size() + 1);
        // The same top, and every step one of the scale's own.
        RC_ASSERT(std::fabs(ratios.back() / ratios_of(scale.definition).back() - 1.0) < 1e-9);
        for (std::size_t i = 1; i < ratios.size(); ++i) {
            const double step = ratios[i] / ratios[i - 1];
            const bool known = std::any_of(scale.steps.begin(), scale.steps.end(),
                                           [&](double s) { return std::fabs(step / s - 1.0) < 1e-9; });
            if (!known) RC_FAIL("step " + std::to_string(step) + " of " + made.definition + " is none of the scale's");
        }
    }
}

RC_GTEST_PROP(ToolOutput, EverySuperparticularScaleReadsBackAsItsSteps, ()) {
    const int notes = *rc::gen::inRange(2, 5);
    const double top = *rc::gen::element(2.0, 1.5, 1.25, 3.0, 4.0 / 3.0);
    const SuperparticularSearch search{.sps_nnotes = notes, .sps_min_nnotes = notes, .sps_maxscales = 40,
                                       .dsps_topnote = top, .smallest_step = 1.01, .largest_step = 2};
    DirectRun direct;
    for (const ListEntry& made : find_superparticular_scales(search, kFormat, direct.run).scales) {
        const auto ratios = ratios_of(made.definition);
        RC_ASSERT(std::fabs(ratios.back() - search.dsps_topnote) < 1e-12);
        // The description lists the steps, each read here as a pitch of its own.
        const auto steps = ratios_of("1 " + made.description.substr(made.description.find_first_not_of('#')));
        RC_ASSERT(steps.size() == ratios.size());
        for (std::size_t i = 1; i < ratios.size(); ++i) {
            RC_ASSERT(std::fabs(ratios[i] / ratios[i - 1] - steps[i]) < 1e-12);
        }
    }
}

}  // namespace
}  // namespace corvane::tools
