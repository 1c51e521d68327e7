#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "corvane/engine/channel_choice.h"
#include "corvane/engine/channel_voices.h"
#include "corvane/engine/composition.h"
#include "corvane/engine/level_counter.h"
#include "corvane/platform/clock.h"
#include "corvane/platform/key_state.h"
#include "corvane/platform/timer_service.h"
#include "corvane/tuning/step_list.h"

namespace corvane::engine {

// The player's settings (configuration keys).
struct PlayerSettings {
    std::uint32_t uTimerRes = 2;             // ms; also half the shortest note-off delay
    bool ok_to_skip_fast_notes = false;      // keep to the schedule and skip late notes
    int iLookAhead = 0;                      // notes computed ahead of the one that sounds
    bool cycle_melody = true;
    double smallest_max_time_for_calc = 0.01;
    double largest_max_time_for_calc = 0.1;
    double delay_for_calc_smallest_max_time = 0.01;
    double delay_for_calc_largest_max_time = 1;
    int min_calcs_for_min_time = 100;
    int set_high_priority_for_crv = 1;       // 0 idle .. 5 real time + critical
    double midi_save_time_resolution = 0.001;
    bool escape_interrupts = false;          // holding Escape stops play
};

// The priority levels of set_high_priority_for_crv, as the option list names them, and the
// status text shown while playing at each.
inline constexpr int kPriorityLevels = 6;
std::string_view priority_level_name(int level);
std::string_view priority_status_text(int level, bool escape_interrupts);

// Timer events of the player.
enum TickEvent : int {
    kTickStart = 0,        // first note of the tune (also after cycling)
    kTickEndAndStep = 1,   // the notes of the last step end, the next step follows
    kTickEndNotes = 2,     // the notes of the last step end; nothing else
    kTickStep = 4,         // the next step follows
};

// What the player tells the main window. Called on the timer thread: implementations
// post and return, never block or allocate.
class PlayerListener {
public:
    virtual ~PlayerListener() = default;
    virtual void play_display_update() = 0;  // at most one every 0.1 s
    virtual void priority_reset() = 0;       // Shift+Escape dropped the priority
    virtual void play_stopped() = 0;
};

// One note of the history, for the graph and the look-ahead timing.
struct PlayedNote {
    int value = 0;
    float time = 0;  // the time position it sounded at, seconds
    int channel = -1;
    std::int64_t seed_cycle = 0;
    std::int64_t step = 0;
    float pitch = 0;
    std::int64_t sounded_ms = 0;
};

// A note a render sounds, told before its note-on goes out: what the player computed for it.
// Its level is the level whose note it is: in simultaneous play the level it sounds for,
// otherwise the highest level whose digit changed at its step (every level on the first).
struct RenderedNote {
    double time = 0;  // seconds of tune time
    std::int64_t step = 0;
    int value = 0;
    int level = 0;
    int voice = 0;  // the composition's channel
    int midi_channel = 0;
    int key = 0;
    int bend = 0;      // the channel's, 0..16384, centre 8192: over two semitones, 48 on an MPE member
    double pitch = 0;  // the unrounded MIDI pitch it sounds at
};
class RenderListener {
public:
    virtual ~RenderListener() = default;
    virtual void note_rendered(const RenderedNote& note) = 0;
};

inline constexpr int kRingSize = 2560;
inline constexpr int kTuneRingSize = 10240;

// Walks the fractal tune note by note and sounds it through the channel voices, driven by
// one-shot timer events, each arming the next. Every tick is allocation-free and takes no
// lock but the port's. The same stepping renders a MIDI file with no timer at all.
class Player final : public platform::TimerClient {
public:
    Player(const Composition& composition, const PlayerSettings& settings, ChannelVoices& voices,
           platform::TimerService& timers, const platform::Clock& clock, const platform::KeyState& keys,
           PlayerListener* listener = nullptr);
    ~Player() override;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Prepares the state and arms the first event.
    void start();
    // Asks play to stop; the timer thread stops it at once and switches every note off.
    void stop();
    bool playing() const { return playing_.load(); }
    // True once a stop has been carried out: every note is off, the controllers are reset, the
    // receiver has had its moment to take them in, and no event will sound. Close nothing
    // before.
    bool stopped() const { return stopped_.load(); }
    // Raised around modal work: while above 0 nothing sounds and play time stands still.
    void hold();
    void release();

    // Renders without timers until `end_secs` of tune time or `cancel`; every message goes
    // out stamped with time_position(). `notes`, when given, hears of each note first.
    void render(double end_secs, const std::atomic<bool>& cancel, RenderListener* notes = nullptr);
    double time_position() const { return time_position_; }
    double* render_clock() { return &time_position_; }

    void on_timer(int event) override;

    // The display: "Note %Ld", "Note %Ld (%ld skipped)", "Cycle %Ld".
    std::string note_text() const;
    std::string cycle_text() const;
    // Where the Voice menu acts: while playing, the channel of the last note; stopped, the
    // composition's Channel.
    int channel_in_use() const {
        return playing() ? channel_in_use_.load(std::memory_order_relaxed) : composition_.Channel;
    }
    std::int64_t notes_stepped() const { return shown_step_.load(); }
    std::int64_t cycles() const { return shown_cycle_.load(); }
    // Without skipping, how far play has fallen behind its first schedule since it started:
    // the time lost whenever the machine held play up too long to catch up.
    std::int64_t schedule_moved_ms() const { return schedule_moved_ms_.load(std::memory_order_relaxed); }
    // The history of the notes played, oldest first once it has wrapped.
    std::array<PlayedNote, kRingSize> history() const;
    std::int64_t history_count() const { return history_count_; }
    // The tune value ring (the tune line during play).
    int tune_value_at(std::int64_t index) const { return ring_value_[static_cast<std::size_t>(index % kTuneRingSize)]; }
    std::int64_t played_note_count() const { return played_note_count_; }

private:
    struct StepTiming {
        std::int64_t next_step_ms = 0;
        std::int64_t note_off_ms = 0;
        double note_off_secs = 0;  // exact, for rendering
        bool split = false;        // the notes end before the next step (a sustain fraction below 1)
    };

    struct AdvancedStep {
        int value = 0;
        bool ended = false;  // the tune has ended
        int changed = 0;     // the highest level the step changed
        double extra = 0;    // seconds the changed level's note outlasts level 0's
    };
    struct SkipSearch {
        std::int64_t started_ms = 0;
        double allowance = 0;  // seconds the search may take
        int skipped = 0;
    };

    void tick(int event);
    bool ready_to_tick();
    void finish_cycle();
    void arm_next(bool stepped, StepTiming timing);
    void do_stop();
    void finish_stop();
    platform::DueTime event_due_time(int event) const;
    bool fetch_step(bool starting);
    int step_with_skipping();
    AdvancedStep advance_one_step();
    double lateness(double extra) const;
    double widened_allowance(double late, double allowance) const;
    bool search_time_spent(const SkipSearch& search, int changed);
    double position_factor(const LevelCounter& counter, int level) const;
    double height_factor(int height, double floor_for_top) const;
    double note_length(const LevelCounter& counter, int level) const;
    double next_note_length() const;
    double step_length() const;
    double step_interval();
    StepTiming delays_for(double interval);
    bool uses_simultaneous_levels() const;
    void end_notes();
    SoundingNote play_note(int value, int channel, int level, bool record, bool sound = true);
    struct SoundingPitch {
        tuning::NoteAndBend note_and_bend;
        double pitch = 0;  // unrounded MIDI pitch
    };
    SoundingPitch sounding_pitch(int value, int channel, bool record);
    SoundingNote sound_tuned_note(int value, int channel, int level, double pitch, int volume);
    void tell_render_listener(int value, int channel, int level, const ChannelVoices::TunedPlace& place,
                              double pitch);
    int volume_for(int value, int channel, int level) const;
    tuning::NoteAndBend bend_range_test_note(int value);
    void record_note(int value, int note, int bend, int channel, double pitch);
    void play_ordinary_step();
    void play_simultaneous_step();
    void arm(std::int64_t delay_ms, int event);
    void cancel_pending_events();
    double elapsed_secs() const;
    void post_display_update(bool force);
    void check_priority();

    const Composition& composition_;
    const PlayerSettings& settings_;
    ChannelVoices& voices_;
    platform::TimerService& timers_;
    const platform::Clock& clock_;
    const platform::KeyState& keys_;
    PlayerListener* listener_;

    std::atomic<bool> playing_{false};
    std::atomic<bool> stopping_{true};  // a stop has begun
    bool settling_ = false;             // a live stop waits for the receiver, on the timer thread
    std::atomic<bool> stopped_{true};
    // Counts the starts: a stop that settles after Play was pressed again must not mark the
    // new play stopped.
    std::atomic<std::uint64_t> starts_{0};
    std::uint64_t settling_start_ = 0;
    std::atomic<int> play_hold_count_{0};
    bool rendering_ = false;
    double render_end_ = 0;
    const std::atomic<bool>* render_cancel_ = nullptr;
    RenderListener* render_listener_ = nullptr;
    bool step_notes_sounding_ = false;
    bool first_event_ = false;
    std::int64_t initial_wait_ms_ = 0;
    std::int64_t hold_started_ms_ = -1;
    std::int64_t step_deadline_ms_ = 0;       // when the step being played was due
    std::int64_t next_step_deadline_ms_ = 0;  // when the step armed last is due
    std::int64_t end_notes_deadline_ms_ = 0;  // when the note-off event armed last is due
    std::array<platform::TimerId, 4> armed_{};  // the events armed last (at most two pend)
    unsigned armed_next_ = 0;

    LevelCounter counter_;
    ChannelChooser chooser_;
    tuning::ModeVoices mode_voices_{};
    int value_ = 0;
    bool tune_ended_ = false;
    bool simultaneous_ = false;
    std::int64_t cycle_count_ = 0;
    std::int64_t skipped_count_ = 0;
    std::int64_t played_note_count_ = 0;
    std::int64_t play_start_time_ = 0;
    double note_start_time_ = 0;
    double scheduled_time_ = 0;
    double time_position_ = 0;
    double skipped_time_sum_ = 0;
    std::int64_t last_sleep_ms_ = 0;

    std::array<SoundingNote, kLevelCount> level_notes_{};  // simultaneous levels: what each sounds
    SoundingNote last_note_{};

    std::array<int, kTuneRingSize> ring_value_{};
    std::array<int, kRingSize> ring_note_{};
    std::array<int, kRingSize> ring_bend_{};
    std::array<int, kRingSize> ring_channel_{};
    std::array<float, kRingSize> ring_length_{};
    std::array<float, kRingSize> ring_sustain_{};
    std::array<int, kRingSize> ring_changed_level_{};
    std::array<PlayedNote, kRingSize> history_{};
    std::int64_t history_count_ = 0;

    std::atomic<std::int64_t> shown_step_{0};
    std::atomic<std::int64_t> shown_skipped_{0};
    std::atomic<std::int64_t> shown_cycle_{0};
    std::atomic<int> channel_in_use_{0};
    std::atomic<std::int64_t> schedule_moved_ms_{0};
    std::int64_t last_display_ms_ = 0;
    std::atomic<int> priority_level_{1};
    bool timer_thread_raised_ = false;
    bool test_note_high_ = false;

public:
    // The priority level in force: the setting at the start of play, 0 after Shift+Escape.
    int priority_level() const { return priority_level_.load(); }
};

}  // namespace corvane::engine
