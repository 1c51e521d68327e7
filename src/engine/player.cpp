#include "corvane/engine/player.h"

#include <algorithm>
#include <cmath>

#include "corvane/engine/degree_mapping.h"
#include "corvane/platform/priority.h"

namespace corvane::engine {
namespace {

constexpr double kLateLimitSecs = 0.1;
constexpr std::int64_t kHeldRetryMs = 30;
// How far behind its schedule play may fall and still catch up; beyond this (the machine
// could not keep up, or stood still) the schedule starts again from the present.
constexpr std::int64_t kCatchUpLimitMs = 20;
constexpr std::int64_t kMaxInitialWaitMs = 5000;
constexpr std::int64_t kStopSettleMs = 150;  // after the last note-offs, before a device may close
constexpr std::int64_t kDisplayIntervalMs = 100;
constexpr std::int64_t kRenderDisplayIntervalMs = 200;
constexpr int kRecordSlot = 1;
constexpr int kOtherSlot = 0;

double clamped_exp(double exponent) { return std::exp(std::clamp(exponent, -308.0, 308.0)); }

// Whole milliseconds of a time in seconds, rounded down; a time that stands for a whole
// number of milliseconds but falls a hair short of it in binary (0.023 s) still gets it.
std::int64_t whole_ms(double secs) { return static_cast<std::int64_t>(std::floor(secs * 1000.0 + 1e-6)); }

// The slot of the i-th entry in a ring of `size` slots. The count runs on forever, so entry i
// lives in slot i mod size; a look-back before the first entry gives a negative i, which C++'s
// remainder keeps negative, so it is brought up into 0..size-1.
std::size_t ring_index(std::int64_t i, int size) {
    const std::int64_t m = i % size;
    return static_cast<std::size_t>(m < 0 ? m + size : m);
}

}  // namespace

Player::Player(const Composition& composition, const PlayerSettings& settings, ChannelVoices& voices,
               platform::TimerService& timers, const platform::Clock& clock, const platform::KeyState& keys,
               PlayerListener* listener)
    : composition_(composition),
      settings_(settings),
      voices_(voices),
      timers_(timers),
      clock_(clock),
      keys_(keys),
      listener_(listener) {}

Player::~Player() { playing_.store(false); }

// ---- timing -----------------------------------------------------------------------------

double Player::elapsed_secs() const { return static_cast<double>(clock_.now_ms() - play_start_time_) / 1000.0; }

// The factor by which a note of `level` is longer than Note_length, before its height.
double Player::position_factor(const LevelCounter& counter, int level) const {
    const Composition& c = composition_;
    const int n = c.seed_length();
    if (n < 1) return 1.0;
    const bool has_times = c.has_times_by_melody_pos;
    const auto time_at = [&](int position) {
        if (!has_times) return 1.0;
        const auto p = static_cast<std::size_t>(std::clamp(position, 0, n - 1));
        return p < c.times_by_melody_pos.size() ? c.times_by_melody_pos[p] : 1.0;
    };
    double total = 0;
    for (int i = 0; i < n; ++i) total += time_at(i);
    if (total <= 0) total = 1e-50;

    const int rhythm_levels = c.iRhythmFractalToLevel;
    if (rhythm_levels >= 1 && level <= std::min(c.Levels, rhythm_levels)) {
        const int top = std::min({c.Levels, rhythm_levels, kMaxLevels});
        double factor = total * std::pow(static_cast<double>(n), top);
        for (int i = top; i >= level; --i) {
            const int d = counter.digits[static_cast<std::size_t>(i)];
            double w = time_at(d);
            if (c.has_Note_timing_shift) {
                const double s = c.Note_timing_shift;
                w = (1 - s) * time_at((d + 1) % n) + s * time_at(d);
            }
            factor *= w / total;
        }
        return factor;
    }
    if (level == 0) return time_at(counter.digits[0]);
    double per_level = n;
    if (c.has_Top_note_length) {
        per_level = 0;
        const double ratio = std::max(c.Top_note_length, 1e-30) / std::max(c.Note_length, 1e-50);
        for (int v : c.Note_heights) per_level += clamped_exp(std::log(ratio) * v / 10.0);
    }
    return total * std::pow(per_level, level);
}

// How much longer a note of `height` is with Top_note_length: geometric in the height.
double Player::height_factor(int height, double floor_for_top) const {
    const Composition& c = composition_;
    if (!c.has_Top_note_length) return 1.0;
    const double ratio = std::max(c.Top_note_length, floor_for_top) / std::max(c.Note_length, 1e-50);
    return clamped_exp(std::log(ratio) * height / 10.0);
}

double Player::note_length(const LevelCounter& counter, int level) const {
    const int height = value_at_counter(counter, composition_.Note_heights, composition_.Levels);
    return position_factor(counter, level) * composition_.Note_length * height_factor(height, 1e-30);
}

// The length of the note at the counter as the schedule counts it: when rendering without
// skipping, never shorter than the file's time resolution.
double Player::step_length() const {
    const double length = note_length(counter_, 0);
    if (rendering_ && !settings_.ok_to_skip_fast_notes) return std::max(length, settings_.midi_save_time_resolution);
    return length;
}

double Player::next_note_length() const {
    LevelCounter next = counter_;
    next.step(composition_.seed_length(), composition_.Levels);
    return note_length(next, 0);
}

bool Player::uses_simultaneous_levels() const {
    const Composition& c = composition_;
    if (c.channel_rule() == ChannelRule::by_level_simultaneous) return true;
    if (c.channel_rule() == ChannelRule::formula && formula_uses_level(c.sz_ccbo_formula)) return true;
    return c.channel_rule() == ChannelRule::by_level && c.seed_length() > 1;
}

// Steps to the next note. With skipping on, notes are passed over while play is behind:
//  - rendering a file, a note that with the notes passed over before it lasts no longer than
//    the file's time resolution (nothing a file could hold);
//  - playing, a note more than kLateLimitSecs late. The further behind play is, the longer
//    the search for a note still on time may take (its allowance grows from the smallest to
//    the largest search time); a long search pauses now and then so that the rest of the
//    machine keeps running, and once the allowance is spent the note reached is played.
int Player::step_with_skipping() {
    SkipSearch search{clock_.now_ms(), settings_.smallest_max_time_for_calc, 0};
    time_position_ = scheduled_time_;
    skipped_time_sum_ = 0;
    for (;;) {
        const AdvancedStep step = advance_one_step();
        if (step.ended) {
            tune_ended_ = true;
            return step.value;
        }
        if (!settings_.ok_to_skip_fast_notes) return step.value;
        const double passed = step.extra + skipped_time_sum_;
        if (rendering_) {
            const double resolution = settings_.midi_save_time_resolution;
            if (resolution == 0 || passed > resolution) return step.value;
            ++skipped_count_;
            continue;
        }
        const double late = lateness(step.extra);
        search.allowance = widened_allowance(late, search.allowance);
        if (late < -kLateLimitSecs) {
            ++skipped_count_;
            ++search.skipped;
            if (search_time_spent(search, step.changed)) return step.value;  // played although late
            continue;
        }
        // On time: a step shorter than the timer's resolution would be merged into the next.
        if (static_cast<double>(settings_.uTimerRes) / 1000.0 - kLateLimitSecs < passed) return step.value;
        ++skipped_count_;
    }
}

// One step of the counter, with the times it moves: the note's start, its scheduled time
// (shifted by the timing shift) and the time passed over since the search began.
Player::AdvancedStep Player::advance_one_step() {
    const Composition& c = composition_;
    AdvancedStep step;
    step.ended = counter_.step(c.seed_length(), c.Levels);
    step.value = value_at_counter(counter_, c.Note_heights, c.Levels);
    if (step.ended) return step;
    const double length = step_length();
    step.changed = counter_.ChangedLevel;
    // Where the levels sound together, the changed level's longer note counts too.
    if (step.changed >= 1 && step.changed < c.Channels_in_Play && uses_simultaneous_levels()) {
        step.extra = note_length(counter_, step.changed) - note_length(counter_, 0);
    }
    skipped_time_sum_ += length;
    note_start_time_ += length;
    scheduled_time_ = note_start_time_;
    if (c.has_Note_timing_shift && c.iRhythmFractalToLevel == 0) {
        scheduled_time_ += c.Note_timing_shift * next_note_length();
    }
    return step;
}

// How far ahead of the clock the step is (negative: late), in seconds. With look-ahead the
// note that sounds now is the one computed that many notes ago.
double Player::lateness(double extra) const {
    double correction = 0;
    if (settings_.iLookAhead > 0 && history_count_ > settings_.iLookAhead) {
        correction = note_start_time_ - history_[ring_index(history_count_ - settings_.iLookAhead, kRingSize)].time;
    }
    return (extra + scheduled_time_ + correction) - elapsed_secs();
}

// The search time allowed grows with the lateness beyond the smallest delay, up to the largest.
double Player::widened_allowance(double late, double allowance) const {
    const double smallest_delay = settings_.delay_for_calc_smallest_max_time;
    if (late >= -smallest_delay) return allowance;
    const double growth = std::min(-smallest_delay - late, settings_.delay_for_calc_largest_max_time) - smallest_delay;
    return settings_.smallest_max_time_for_calc +
           (settings_.largest_max_time_for_calc - settings_.smallest_max_time_for_calc) * growth;
}

// Looks at the clock every so many skipped notes (fewer when higher levels change, as those
// steps cost more): true once the search has used its allowance, after a pause of half the
// time spent; otherwise a short pause at most every 100 ms.
bool Player::search_time_spent(const SkipSearch& search, int changed) {
    const int every = std::max(settings_.min_calcs_for_min_time, 1);
    const int check_every = changed > 0 ? std::max(2, static_cast<int>(std::sqrt(every))) : every;
    if (search.skipped % check_every != 1 && check_every != 1) return false;
    const std::int64_t now = clock_.now_ms();
    const std::int64_t spent = now - search.started_ms;
    if (static_cast<double>(spent) > search.allowance * 500.0) {
        clock_.sleep_ms(std::max<std::int64_t>(spent / 2, 2));
        return true;
    }
    if (now - last_sleep_ms_ > 100) {
        clock_.sleep_ms(2);
        last_sleep_ms_ = clock_.now_ms();
    }
    return false;
}

// The time from this step to the next, in seconds.
double Player::step_interval() {
    const Composition& c = composition_;
    double interval = c.Note_length;
    if (c.has_times_by_melody_pos) {
        const double f0 = position_factor(counter_, 0);
        if (c.iRhythmFractalToLevel == 0 && c.has_Note_timing_shift) {
            const double s = c.Note_timing_shift;
            interval *= (1 - s) * f0 + s * next_note_length() / std::max(c.Note_length, 1e-50);
        } else {
            interval *= f0;
        }
    }
    if (c.has_Top_note_length) interval *= height_factor(value_, 0.00001);
    if (settings_.ok_to_skip_fast_notes && !rendering_ && settings_.iLookAhead == 0) {
        interval = scheduled_time_ - elapsed_secs();
    }
    if (settings_.iLookAhead > 0 && !rendering_) {
        const std::size_t here = ring_index(played_note_count_ - 1, kRingSize);
        ring_length_[here] = static_cast<float>(interval);
        ring_sustain_[here] = static_cast<float>(c.SustainFraction());
        const std::int64_t earlier = played_note_count_ - settings_.iLookAhead;
        if (earlier >= 0) interval = ring_length_[ring_index(earlier, kRingSize)];
    }
    return interval;
}

// The notes of a step end after the sustain fraction of the interval, but never sooner than
// twice the timer resolution after they began; at the latest they end with the step.
Player::StepTiming Player::delays_for(double interval) {
    const platform::TimerCaps caps = timers_.caps();
    const auto within_caps = [&](std::int64_t ms) {
        return std::clamp<std::int64_t>(ms, caps.min_period_ms, caps.max_period_ms);
    };
    const std::int64_t shortest_ms = 2 * static_cast<std::int64_t>(settings_.uTimerRes);
    const double step_secs = std::max(interval, 0.0);
    StepTiming t;
    t.next_step_ms = within_caps(whole_ms(step_secs));
    const double off = std::max(step_secs * composition_.SustainFraction(), static_cast<double>(shortest_ms) / 1000.0);
    t.note_off_ms = std::max<std::int64_t>(within_caps(whole_ms(off)), shortest_ms);
    t.split = t.note_off_ms < t.next_step_ms;
    if (!t.split) t.note_off_ms = t.next_step_ms;
    t.note_off_secs = std::min(off, step_secs);
    return t;
}

// ---- start, stop, hold ------------------------------------------------------------------

void Player::start() {
    // Ticks run under the port lock: the first one cannot begin before the state is set.
    const platform::SendGroup group(voices_.sender());
    const Composition& c = composition_;
    cancel_pending_events();
    priority_level_.store(settings_.set_high_priority_for_crv);
    time_position_ = 0;
    step_notes_sounding_ = false;
    cycle_count_ = 0;
    schedule_moved_ms_.store(0, std::memory_order_relaxed);
    skipped_count_ = 0;
    played_note_count_ = 0;
    history_count_ = 0;
    tune_ended_ = false;
    starts_.fetch_add(1);
    stopping_.store(false);
    stopped_.store(false);
    playing_.store(true);
    start_channel_choice(c, chooser_);
    channel_in_use_.store(chooser_.channel_in_use, std::memory_order_relaxed);
    mode_voices_[kRecordSlot].force = 1;
    mode_voices_[kOtherSlot].force = 1;
    voices_.clear_sustain_ring();
    level_notes_.fill(SoundingNote{});
    last_note_ = SoundingNote{};
    if (!rendering_) {
        voices_.start_voices();
        play_start_time_ = clock_.now_ms();
        step_deadline_ms_ = play_start_time_;
    } else {
        voices_.prepare_tuning();  // a file tuned note by note says how before its first note
    }
    counter_.reset(c.Levels);
    note_start_time_ = scheduled_time_ = step_length();
    initial_wait_ms_ = 0;
    if (c.has_Note_timing_shift && c.Note_timing_shift > 0) {
        time_position_ = c.Note_timing_shift * note_start_time_;
        initial_wait_ms_ = std::min(static_cast<std::int64_t>(time_position_ * 1000.0), kMaxInitialWaitMs);
        scheduled_time_ = note_start_time_ + c.Note_timing_shift * next_note_length();
    }
    first_event_ = true;
    shown_step_.store(0);
    shown_skipped_.store(0);
    shown_cycle_.store(0);
    if (!rendering_) arm(std::max<std::int64_t>(settings_.uTimerRes, 1), kTickStart);
}

void Player::stop() {
    if (!playing_.exchange(false)) return;
    // The timer thread does the stopping, so it never races a tick.
    timers_.arm_after(0, *this, kTickStep);
}

// Every note off and the controllers reset, then (live) a moment for the receiver to take
// them in before anything may close; only then is play stopped as far as anyone else can see.
void Player::do_stop() {
    if (stopping_.exchange(true)) return;
    if (!rendering_) cancel_pending_events();
    if (timer_thread_raised_) {
        platform::set_current_thread_priority(platform::ThreadPriority::normal);
        timer_thread_raised_ = false;
    }
    if (rendering_) {
        // The last notes end at the end time, not after it, so their note-offs are written.
        time_position_ = std::min(time_position_, render_end_);
        voices_.all_notes_off();
    } else {
        voices_.all_notes_off();
        voices_.start_voices();
    }
    step_notes_sounding_ = false;
    playing_.store(false);
    post_display_update(true);
    if (rendering_) {
        stopped_.store(true);
    } else {
        settling_ = true;  // finished by on_timer once it has let go of the port
        settling_start_ = starts_.load();
    }
}

void Player::finish_stop() {
    settling_ = false;
    clock_.sleep_ms(kStopSettleMs);
    {
        // start() holds the group too, so a Play pressed meanwhile is seen here or not at all.
        const platform::SendGroup group(voices_.sender());
        if (starts_.load() != settling_start_) return;  // that play is not stopped
        stopped_.store(true);
    }
    if (listener_ != nullptr) listener_->play_stopped();
}

void Player::hold() {
    play_hold_count_.fetch_add(1);
    const platform::SendGroup group(voices_.sender());  // after any tick under way
    voices_.all_notes_off();
}

void Player::release() {
    int held = play_hold_count_.load();
    while (held > 0 && !play_hold_count_.compare_exchange_weak(held, held - 1)) {
    }
}

// Deadlines count from the deadline of the step being played, not from when its event
// happened to run, so timer lateness never piles up; a step that is already overdue goes
// at once, and keeps its place in the schedule unless play is far behind.
void Player::arm(std::int64_t delay_ms, int event) {
    const std::int64_t now = clock_.now_ms();
    std::int64_t deadline = step_deadline_ms_ + delay_ms;
    if (deadline < now - kCatchUpLimitMs) {
        if (event != kTickEndNotes) schedule_moved_ms_.fetch_add(now - deadline, std::memory_order_relaxed);
        deadline = now;
    }
    if (event != kTickEndNotes) next_step_deadline_ms_ = deadline;
    else end_notes_deadline_ms_ = deadline;
    const platform::TimerId id = timers_.arm_at(deadline, *this, event);
    armed_[static_cast<std::size_t>(armed_next_++ % armed_.size())] = id;
}

// Forgets the events still pending from this play, so a new play starts a fresh chain.
void Player::cancel_pending_events() {
    for (auto& id : armed_) {
        if (id != platform::kNoTimer) timers_.cancel(id);
        id = platform::kNoTimer;
    }
}

void Player::render(double end_secs, const std::atomic<bool>& cancel, RenderListener* notes) {
    rendering_ = true;
    render_end_ = end_secs;
    render_cancel_ = &cancel;
    render_listener_ = notes;
    start();
    int event = kTickStart;
    while (playing_.load() && !cancel.load()) {
        tick(event);
        event = kTickStep;
    }
    if (!stopping_.load()) do_stop();
    rendering_ = false;
    render_cancel_ = nullptr;
    render_listener_ = nullptr;
}

// ---- the tick ---------------------------------------------------------------------------

// Each event runs as one group of sends: MIDI in and the keyboard, which share the channel
// voices, wait for it. Its messages are meant for the event's deadline, not for whenever the
// timer happened to wake, so an output that places messages in time plays them on the beat.
void Player::on_timer(int event) {
    {
        const platform::SendGroup group(voices_.sender(), event_due_time(event));
        tick(event);
    }
    if (settling_) finish_stop();  // outside the group: MIDI in and the windows need not wait
}

// An event is due at its deadline, whether the timer fired late or a hair early; a stop,
// armed at once, is due now. The first event waits out a timing shift before it sends.
platform::DueTime Player::event_due_time(int event) const {
    if (!playing_.load()) return platform::DueTime{clock_.now_us()};
    const std::int64_t deadline = event == kTickEndNotes ? end_notes_deadline_ms_ : next_step_deadline_ms_;
    const std::int64_t shift_ms = first_event_ ? initial_wait_ms_ : 0;
    return platform::DueTime::from_ms(deadline + shift_ms);
}

bool Player::fetch_step(bool starting) {
    if (starting) {
        value_ = value_at_counter(counter_, composition_.Note_heights, composition_.Levels);
        counter_.ChangedLevel = composition_.Levels;
        return false;
    }
    value_ = step_with_skipping();
    return tune_ended_;
}

// False when this event is not to step: play stopped, held, or a render at its end.
bool Player::ready_to_tick() {
    if (rendering_) {
        if (render_cancel_ != nullptr && render_cancel_->load()) return false;
        if (time_position_ > render_end_) {
            do_stop();
            return false;
        }
        if (counter_.NoteStepCount % 100 == 0 && clock_.now_ms() - last_display_ms_ >= kRenderDisplayIntervalMs) {
            post_display_update(true);
        }
        return true;
    }
    if (!playing_.load()) {
        do_stop();
        return false;
    }
    if (voices_.sender().device_failed()) {  // nothing would be heard: stop rather than play on
        playing_.store(false);
        do_stop();
        return false;
    }
    if (play_hold_count_.load() > 0) {
        if (hold_started_ms_ < 0) hold_started_ms_ = clock_.now_ms();
        step_deadline_ms_ = clock_.now_ms();
        arm(kHeldRetryMs, kTickStep);
        return false;
    }
    if (hold_started_ms_ >= 0) {  // play time stood still while held
        play_start_time_ += clock_.now_ms() - hold_started_ms_;
        hold_started_ms_ = -1;
    }
    return true;
}

void Player::tick(int event) {
    if (first_event_) {
        first_event_ = false;
        if (!rendering_ && initial_wait_ms_ > 0) clock_.sleep_ms(initial_wait_ms_);
    }
    const bool starting = event == kTickStart;
    if (event != kTickEndNotes) step_deadline_ms_ = next_step_deadline_ms_;
    // A step that comes before its note-off event ends the notes itself.
    if (step_notes_sounding_ && (starting || event == kTickStep)) event = kTickEndAndStep;
    if (!ready_to_tick()) return;

    simultaneous_ = plays_simultaneous_notes(composition_);
    if (simultaneous_ && event != kTickEndNotes) {
        if (starting) level_notes_.fill(SoundingNote{});
        fetch_step(starting);
    }
    if (event == kTickEndNotes || event == kTickEndAndStep) {
        if (rendering_ && !simultaneous_) time_position_ = scheduled_time_;
        if (rendering_ && time_position_ > render_end_) {
            do_stop();  // the notes still sounding end at the end time
            return;
        }
        end_notes();
        if (event == kTickEndNotes) return;
    }
    if (!simultaneous_) fetch_step(starting);

    const StepTiming timing = delays_for(step_interval());
    if (settings_.escape_interrupts && keys_.escape_down()) {
        playing_.store(false);
        do_stop();
        return;
    }
    if (tune_ended_) {
        finish_cycle();
        return;
    }
    const bool stepped = composition_.Note_length > 0;
    if (stepped) {
        if (simultaneous_) play_simultaneous_step();
        else play_ordinary_step();
    }
    shown_step_.store(counter_.NoteStepCount);
    shown_skipped_.store(skipped_count_);
    skipped_count_ = 0;
    arm_next(stepped, timing);
}

// The tune came back to its first note: stop, or start it again.
void Player::finish_cycle() {
    tune_ended_ = false;
    if (!settings_.cycle_melody) {
        end_notes();
        do_stop();
        return;
    }
    ++cycle_count_;
    shown_cycle_.store(cycle_count_);
    end_notes();
    voices_.restart_voices();
    // The first note of the new cycle is played without a step: its length is counted here.
    note_start_time_ += step_length();
    scheduled_time_ = note_start_time_;
    if (composition_.has_Note_timing_shift && composition_.iRhythmFractalToLevel == 0) {
        scheduled_time_ += composition_.Note_timing_shift * next_note_length();
    }
    // The new cycle keeps time: its first note is due when the step that ended the old one was.
    if (rendering_) tick(kTickStart);
    else arm(0, kTickStart);
}

void Player::arm_next(bool stepped, StepTiming timing) {
    step_notes_sounding_ = stepped;
    if (rendering_) {
        // No timers: a note-off before the next step is stamped at its own time now.
        if (stepped && !simultaneous_ && timing.split) {
            time_position_ += timing.note_off_secs;
            end_notes();
        }
        return;
    }
    if (!stepped) {
        arm(timing.next_step_ms, kTickStep);
    } else if (timing.split && !simultaneous_) {
        arm(timing.note_off_ms, kTickEndNotes);
        arm(timing.next_step_ms, kTickStep);
    } else {
        arm(timing.next_step_ms, kTickEndAndStep);
    }
}

void Player::play_ordinary_step() {
    const int changed = counter_.ChangedLevel;
    last_note_ = SoundingNote{};
    const auto channel = choose_channel(composition_, chooser_, counter_, value_, changed);
    if (!channel) return;  // no channel in play: a rest
    const int level = std::min(changed, composition_.Channels_in_Play);
    last_note_ = play_note(value_, *channel, level, true);
    channel_in_use_.store(chooser_.channel_in_use, std::memory_order_relaxed);
}

// One note per changed level, from the top level down. Where a formula gives two levels the
// same channel (or two percussion voices the same drum), the lower level's note is the one
// that sounds there: each would end the one before it at once, so the higher one is not
// started at all.
void Player::play_simultaneous_step() {
    const auto sounds_as = [this](int channel) {
        const int program = composition_.Voices_for_channels[static_cast<std::size_t>(std::clamp(channel, 0, 15))];
        return program > kNoNote ? kMidiChannels + program : channel;  // a drum sounds as its key
    };
    const int in_play = composition_.channels_in_play().count;
    const int top = std::min({counter_.ChangedLevel, in_play - 1, kMaxLevels});
    const bool rule5 = composition_.channel_rule() == ChannelRule::by_level_simultaneous;
    std::array<int, kLevelCount> channel_of_level{};
    for (int level = top; level >= 0; --level) {
        const auto channel = choose_channel(composition_, chooser_, counter_, value_, level);
        channel_of_level[static_cast<std::size_t>(level)] = channel.value_or(-1);
    }
    channel_in_use_.store(chooser_.channel_in_use, std::memory_order_relaxed);
    for (int level = top; level >= 0; --level) {
        const int channel = channel_of_level[static_cast<std::size_t>(level)];
        if (channel < 0) continue;
        const bool record = rule5 ? level == 0 : level == top;
        bool taken_below = false;
        for (int lower = level - 1; lower >= 0; --lower) {
            const int other = channel_of_level[static_cast<std::size_t>(lower)];
            taken_below = taken_below || (other >= 0 && sounds_as(other) == sounds_as(channel));
        }
        level_notes_[static_cast<std::size_t>(level)] = play_note(value_, channel, level, record, !taken_below);
    }
}

// Ends the notes of the last step (once: a late note-off event finds nothing to end). In the
// simultaneous rule the step has already been fetched: the levels it starts again end theirs,
// the higher levels sound on. A step that sounded nothing still passes through the sustain
// ring, so a rest takes its turn.
void Player::end_notes() {
    if (!step_notes_sounding_) return;
    step_notes_sounding_ = false;
    const int slots = composition_.SustainSlots();
    if (simultaneous_ && composition_.channel_rule() == ChannelRule::by_level_simultaneous) {
        const int top = std::min(counter_.ChangedLevel, kMaxLevels);
        for (int level = 0; level <= top; ++level) {
            SoundingNote& note = level_notes_[static_cast<std::size_t>(level)];
            voices_.stop_note_from_player(note, level > 0, slots);
            note = SoundingNote{};
        }
    } else if (!composition_.formula_with_one_note_per_channel()) {
        voices_.stop_note_from_player(last_note_, false, slots);
        last_note_ = SoundingNote{};
    }
}

// ---- one note ---------------------------------------------------------------------------

// One note of a channel (voice): its pitch, the bend of its MIDI channel, its volume, and
// the note itself. Returns the note as it sounds, or an invalid one when nothing sounds.
SoundingNote Player::play_note(int value, int channel, int level, bool record, bool sound) {
    channel = std::clamp(channel, 0, kMidiChannels - 1);
    if ((!rendering_ && !playing_.load()) || play_hold_count_.load() > 0) return {};
    check_priority();
    const Composition& c = composition_;
    const SoundingPitch sounding = sounding_pitch(value, channel, record);
    tuning::NoteAndBend nb = sounding.note_and_bend;
    double pitch = sounding.pitch;
    if (record && !rendering_) {
        record_note(value, nb.note, nb.bend, channel, tuning::midi_pitch_of(nb));
        if (settings_.iLookAhead > 0) {
            if (played_note_count_ < settings_.iLookAhead) return {};
            const std::size_t earlier = ring_index(played_note_count_ - settings_.iLookAhead, kRingSize);
            value = ring_value_[ring_index(played_note_count_ - settings_.iLookAhead, kTuneRingSize)];
            nb = {ring_note_[earlier], ring_bend_[earlier]};
            pitch = tuning::midi_pitch_of(nb);
            channel = ring_channel_[earlier];
        }
        post_display_update(false);
    }
    if (!sound) return {};
    const bool one_note_per_channel =
        c.formula_with_one_note_per_channel() || !c.ccbo_multiple_notes_in_same_channel ||
        c.channel_rule() == ChannelRule::by_level_simultaneous;
    if (one_note_per_channel) voices_.end_voice_notes(channel);
    const int program = c.Voices_for_channels[static_cast<std::size_t>(channel)];
    if (program == kNoNote) return {};  // the channel plays rests
    const int volume = volume_for(value, channel, level);
    if (nb.note < 0 || nb.note > 127 || volume <= 0) return {};
    if (voices_.tunes_each_note()) return sound_tuned_note(value, channel, level, pitch, volume);
    if (program >= 0 && program <= 127 &&
        (voices_.bend_of_channel(voices_.channel_of_voice(channel)) != nb.bend || c.Channels_in_Play > 1)) {
        voices_.set_voice_bend(channel, nb.bend, false);
    }
    const int midi_channel = voices_.channel_of_voice(channel);
    tell_render_listener(value, channel, level, {midi_channel, nb.note, nb.bend}, tuning::midi_pitch_of(nb));
    return voices_.sound_note(midi_channel, channel, nb.note, volume);
}

// With the tuning standard or MPE, the voices choose the key or the channel for each note.
SoundingNote Player::sound_tuned_note(int value, int channel, int level, double pitch, int volume) {
    const ChannelVoices::TunedPlace place = voices_.place_tuned_pitch(channel, pitch);
    if (!place.valid()) return {};
    tell_render_listener(value, channel, level, place, pitch);
    return voices_.sound_note(place.channel, channel, place.key, volume);
}

void Player::tell_render_listener(int value, int channel, int level, const ChannelVoices::TunedPlace& place,
                                  double pitch) {
    if (render_listener_ == nullptr) return;
    render_listener_->note_rendered({time_position_, counter_.NoteStepCount, value,
                                     simultaneous_ ? level : counter_.ChangedLevel, channel, place.channel, place.key,
                                     place.bend, pitch});
}

// The note and bend a tune value sounds at on a channel, and its unrounded pitch: the
// channel's range first (a note outside 0..127 included), then its shift. kNoNote when the
// range silences it.
Player::SoundingPitch Player::sounding_pitch(int value, int channel, bool record) {
    const Composition& c = composition_;
    if (c.seed_has_test) {
        const tuning::NoteAndBend test_note = bend_range_test_note(value);
        return {test_note, tuning::midi_pitch_of(test_note)};
    }
    const ValuePitch exact = pitch_of_value(value, c, mode_voices_, record ? kRecordSlot : kOtherSlot);
    tuning::NoteAndBend nb = exact.note_and_bend;
    voices_.apply_range(nb.note, channel);
    if (nb.note == kNoNote) return {nb, 0};
    nb = channel_shift(nb, channel, c);
    // Moved by whole semitones, the unrounded pitch moves with the note; a shift that splits
    // the pitch anew is as exact as its bend.
    const bool bend_kept = nb.bend == exact.note_and_bend.bend;
    return {nb, bend_kept ? exact.midi_pitch + (nb.note - exact.note_and_bend.note) : tuning::midi_pitch_of(nb)};
}

// The pitch-bend range test: each note is played alternately two semitones low with the bend
// full up and two semitones high with the bend full down. On a synthesizer whose bend range is
// two semitones both sound the same.
tuning::NoteAndBend Player::bend_range_test_note(int value) {
    int note = value;
    if (composition_.Use_ratios) {
        note = static_cast<int>(std::lround(pitch_of_value(value, composition_, mode_voices_, kOtherSlot).midi_pitch));
    }
    note = std::clamp(std::clamp(note, 0, 127), 2, 126);
    test_note_high_ = !test_note_high_;
    return test_note_high_ ? tuning::NoteAndBend{note - 2, 16384} : tuning::NoteAndBend{note + 2, 0};
}

int Player::volume_for(int value, int channel, int level) const {
    const Composition& c = composition_;
    double volume = c.Volumes_for_channels[static_cast<std::size_t>(channel)];
    if (c.has_Top_note_volume) {
        volume *= clamped_exp(std::log(std::max(c.Top_note_volume, 0.00001)) * value / 10.0);
    }
    const auto seed_volume = [&](int lvl) {
        const auto d = static_cast<std::size_t>(counter_.digits[static_cast<std::size_t>(std::clamp(lvl, 0, kMaxLevels))]);
        return d < c.volumes_by_melody_pos.size() ? c.volumes_by_melody_pos[d] : 1.0;
    };
    if (c.has_volumes_by_melody_pos) volume *= seed_volume(level);
    int result = std::clamp(static_cast<int>(volume), 0, 127);
    const bool levels_rule = c.channel_rule() == ChannelRule::by_level_simultaneous ||
                             (c.channel_rule() == ChannelRule::formula && formula_uses_level(c.sz_ccbo_formula));
    if (levels_rule && c.has_volumes_by_melody_pos && c.iRhythmFractalToLevel > 0 && result > 0) {
        double quieter = result;
        for (int i = std::min({c.Levels, c.iRhythmFractalToLevel, kMaxLevels}); i >= level; --i) {
            if (seed_volume(i) <= 0.00001) quieter *= c.VolForSilentSimNote;
        }
        result = std::clamp(static_cast<int>(quieter), 0, 127);
    }
    return result;
}

void Player::record_note(int value, int note, int bend, int channel, double pitch) {
    PlayedNote& h = history_[ring_index(history_count_, kRingSize)];
    h = {value, static_cast<float>(time_position_), channel, counter_.SeedCycleCount, counter_.NoteStepCount,
         static_cast<float>(pitch), clock_.now_ms()};
    ++history_count_;
    ring_value_[ring_index(played_note_count_, kTuneRingSize)] = value;
    const std::size_t i = ring_index(played_note_count_, kRingSize);
    ring_note_[i] = note;
    ring_bend_[i] = bend;
    ring_channel_[i] = channel;
    ring_changed_level_[i] = counter_.ChangedLevel;
    played_note_count_ = played_note_count_ == 2147483647 ? 0 : played_note_count_ + 1;
}

void Player::post_display_update(bool force) {
    if (listener_ == nullptr) return;
    const std::int64_t now = clock_.now_ms();
    if (!force && now - last_display_ms_ < kDisplayIntervalMs) return;
    last_display_ms_ = now;
    listener_->play_display_update();
}

// Shift+Escape is the way out of a raised priority; levels 3 and 5 run the timer thread
// time-critical.
void Player::check_priority() {
    int level = priority_level_.load();
    if (level != 1 && keys_.shift_down() && keys_.escape_down()) {
        platform::restore_normal_priority();
        timer_thread_raised_ = false;
        priority_level_.store(0);
        level = 0;
        if (listener_ != nullptr) listener_->priority_reset();
    }
    const bool wants_raised = level == 3 || level == 5;
    if (wants_raised == timer_thread_raised_) return;
    platform::set_current_thread_priority(wants_raised ? platform::ThreadPriority::time_critical
                                                       : platform::ThreadPriority::normal);
    timer_thread_raised_ = wants_raised;
}

std::string_view priority_level_name(int level) {
    static constexpr std::string_view kNames[kPriorityLevels] = {
        "Idle time", "Normal", "High", "Critical time! - Use with care", "Real time!! - Great care (see help)!!",
        "Real time + critical time!!!!!!!!!"};
    return level >= 0 && level < kPriorityLevels ? kNames[level] : std::string_view{};
}

std::string_view priority_status_text(int level, bool escape_interrupts) {
    switch (level) {
        case 0: return "Idle time priority. SHIFT + ESCAPE = reset";
        case 1: return escape_interrupts ? "....Hold ESCAPE key down to interrupt..." : "";
        case 2: return "High priority. SHIFT + ESCAPE = reset";
        case 3: return "Critical time priority! SHIFT + ESCAPE = reset";
        case 4: return "Real time priority!! SHIFT + ESCAPE = reset";
        case 5: return "Real time + critical!!!! SHIFT + ESCAPE = reset";
        default: return "";
    }
}

// ---- display ----------------------------------------------------------------------------

std::string Player::note_text() const {
    std::string text = "Note " + std::to_string(shown_step_.load());
    const std::int64_t skipped = shown_skipped_.load();
    if (skipped > 0) text += " (" + std::to_string(skipped) + " skipped)";
    return text;
}

std::string Player::cycle_text() const { return "Cycle " + std::to_string(shown_cycle_.load() + 1); }

std::array<PlayedNote, kRingSize> Player::history() const { return history_; }

}  // namespace corvane::engine
