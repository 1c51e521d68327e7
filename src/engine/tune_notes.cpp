#include "corvane/engine/tune_notes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "corvane/platform/manual_timer_service.h"

namespace corvane::engine {
namespace {

// The render clock seen as a millisecond clock, for the voices' vibrato phases.
class RenderClock final : public platform::Clock {
public:
    void bind(const double* seconds) { seconds_ = seconds; }
    std::int64_t now_ms() const override { return seconds_ == nullptr ? 0 : std::llround(*seconds_ * 1000.0); }
    void sleep_ms(std::int64_t) const override {}

private:
    const double* seconds_ = nullptr;
};

// Takes the player's notes as it computes them and ends each when its key's note-off goes
// out; everything else the voices send is dropped. Raises `stop` once it holds `most_notes`
// or the caller cancels.
class NoteCollector final : public platform::MessageSender, public RenderListener {
public:
    NoteCollector(std::size_t most_notes, const std::atomic<bool>& cancel, std::atomic<bool>& stop)
        : most_notes_(most_notes), cancel_(cancel), stop_(stop) {
        sounding_.fill(kNone);
    }
    void bind(const double* seconds) { now_ = seconds; }

    void note_rendered(const RenderedNote& note) override { pending_ = note; }

    platform::SendResult send(const platform::SendRequest& r) noexcept override {
        const bool on = r.status == platform::kNoteOn && r.data2 > 0;
        const bool off = r.status == platform::kNoteOff || (r.status == platform::kNoteOn && r.data2 == 0);
        if (!on && !off) return platform::SendResult::sent;
        const std::size_t slot = static_cast<std::size_t>(r.channel & 0x0F) * 128 + (r.data1 & 0x7F);
        end(slot);
        if (on && pending_ && pending_->midi_channel == r.channel && pending_->key == r.data1) {
            sounding_[slot] = notes_.size();
            notes_.push_back({*pending_, 0});
            pending_.reset();
            if (notes_.size() >= most_notes_ || cancel_.load()) stop_.store(true);
        }
        return platform::SendResult::sent;
    }

    TuneNotes finish(double end_secs, bool capped) {
        for (std::size_t slot = 0; slot < sounding_.size(); ++slot) end(slot);
        return {std::move(notes_), end_secs, capped};
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    void end(std::size_t slot) {
        if (sounding_[slot] == kNone) return;
        TuneNote& n = notes_[sounding_[slot]];
        n.length = std::max(0.0, (now_ != nullptr ? *now_ : 0.0) - n.note.time);
        sounding_[slot] = kNone;
    }

    std::size_t most_notes_;
    const std::atomic<bool>& cancel_;
    std::atomic<bool>& stop_;
    const double* now_ = nullptr;
    std::optional<RenderedNote> pending_;
    std::vector<TuneNote> notes_;
    std::array<std::size_t, 16 * 128> sounding_{};  // by channel and key: the note sounding there
};

}  // namespace

TuneNotes compute_tune_notes(const Composition& composition, const PlayerSettings& player_settings,
                             const VoiceSettings& voice_settings, std::size_t most_notes, double longest_secs,
                             const std::atomic<bool>& cancel) {
    PlayerSettings once = player_settings;
    once.cycle_melody = false;  // one cycle is the whole tune
    once.ok_to_skip_fast_notes = false;
    once.iLookAhead = 0;
    once.set_high_priority_for_crv = 1;  // the thread computing keeps its own priority
    once.escape_interrupts = false;
    std::atomic<bool> stop{false};
    NoteCollector collector(most_notes, cancel, stop);
    RenderClock render_clock;
    ChannelVoices voices(composition, voice_settings, collector, render_clock);
    voices.set_rendering(true);
    platform::ManualClock no_time;
    platform::ManualTimerService no_timers(no_time);
    platform::NoKeysHeld keys;
    Player player(composition, once, voices, no_timers, no_time, keys);
    render_clock.bind(player.render_clock());
    collector.bind(player.render_clock());
    player.render(longest_secs, stop, &collector);
    const bool capped = stop.load() || player.time_position() >= longest_secs;
    return collector.finish(std::min(player.time_position(), longest_secs), capped);
}

}  // namespace corvane::engine
