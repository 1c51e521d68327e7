#pragma once

// Notes heard at once through the playback port, outside play: the editors' previews of a
// seed, scale or arpeggio, and a note of the tune clicked in its picture. On the user
// interface's thread, timed by a timer of the owner's.

#include <QTimer>
#include <cstdint>
#include <vector>

#include "corvane/ui/entry_editor.h"
#include "corvane/ui/tune_graph_window.h"

namespace corvane::ui {

class NotePreview {
public:
    NotePreview(DisplaySources sources, QObject& owner);
    ~NotePreview();
    NotePreview(const NotePreview&) = delete;
    NotePreview& operator=(const NotePreview&) = delete;

    bool running() const { return !events_.empty(); }
    // Stops what is sounding and plays `notes` on the keyboard's voice (or the first voice
    // in play), opening the port when it is closed.
    void start(const std::vector<PreviewNote>& notes);
    void stop();

private:
    // A note of the preview: by bends on a channel of its own bend; tuned note by note (the
    // tuning standard or MPE) where the voices choose, from its pitch.
    struct Sound {
        int id = 0;  // the preview note it is
        int channel = 0;
        int note = 0;
        int bend = platform::kBendCentre;
        double pitch = 0;
    };
    struct Event {
        int at_ms = 0;
        bool on = false;
        Sound sound;
        bool sounding = false;
        engine::SoundingNote tuned;  // the note-on's, for a note tuned on its own
    };

    void tick();
    bool open_port();
    int voice_in_play() const;
    static Sound sound_of(double pitch, std::vector<int>& bends);
    engine::SoundingNote send_on(const Sound& s);
    void send_off(const Event& off);
    void mark_sounding(const Sound& s, engine::SoundingNote tuned);

    DisplaySources sources_;
    QTimer timer_;
    std::vector<Event> events_;
    std::int64_t start_ms_ = 0;
    int voice_ = 0;
};

}  // namespace corvane::ui
