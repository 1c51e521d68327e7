// When the built-in synthesizer's notes begin, heard in its audio: a tune played in real time
// into the synthesizer rendering to memory, each note's onset the first loud sample after
// silence. With a latency each message carries its due time and plays at the synthesizer
// block nearest it, so the timer's lateness does not show.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "audio_onsets.h"
#include "live_render.h"

namespace corvane::testing {
namespace {

// Each message starts at the FluidSynth block boundary nearest its time, within half a block
// (0.73 ms) of it, and the onsets found by a threshold add a few samples: against the grid that
// fits them best (midway between the earliest and the latest), wherever the blocks fall against
// the notes, every note starts within a millisecond.
TEST(SynthTiming, WithALatencyEveryNoteStartsWithinAMillisecondOfOneGrid) {
    constexpr double kNoteSecs = 0.1;
    engine::Composition composition = woodblock_tune(kNoteSecs, 2);
    const LiveRender played = play_into_synthesizer(composition, 1, 1.6);
    ASSERT_NE(played.renderer, nullptr) << played.error;
    // A stall of the machine (a sanitizer's, say) that moved play's schedule moves the grid.
    if (played.schedule_moved_ms > 0) GTEST_SKIP() << "the machine stalled play";

    const double rate = played.renderer->sample_rate();
    const auto onsets = onsets_of(played.renderer->samples(), static_cast<std::size_t>(0.02 * rate));
    ASSERT_GE(onsets.size(), 12u);
    std::vector<double> from_grid;
    for (std::size_t k = 0; k < onsets.size(); ++k) {
        from_grid.push_back(static_cast<double>(onsets[k]) - static_cast<double>(k) * kNoteSecs * rate);
    }
    const auto [earliest, latest] = std::minmax_element(from_grid.begin(), from_grid.end());
    EXPECT_LE((*latest - *earliest) / 2 * 1000 / rate, 1.0) << onsets.size() << " notes";
    EXPECT_EQ(played.renderer->late_messages(), 0u);
}

}  // namespace
}  // namespace corvane::testing
