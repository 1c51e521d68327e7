#pragma once

// What MIDI in, the computer keyboard and the play-along recorder tell the windows. MIDI in
// and the recorder call from the MIDI driver's thread or the recorder's worker; the windows
// receive the signals queued on their own thread, so any number of them can follow.

#include <QMetaType>
#include <QObject>
#include <QString>
#include <atomic>

#include "corvane/midi/play_along.h"

namespace corvane::ui {

class PlayAlongEvents final : public QObject,
                              public midi::MidiInListener,
                              public midi::RecordingListener,
                              public midi::MidiInPortObserver,
                              public midi::KeyNoteListener {
    Q_OBJECT
public:
    PlayAlongEvents() = default;
    // Listens to the play-along, which must end its threads before this goes.
    explicit PlayAlongEvents(midi::PlayAlong& play_along) { listen_to(play_along); }
    PlayAlongEvents(const PlayAlongEvents&) = delete;
    PlayAlongEvents& operator=(const PlayAlongEvents&) = delete;

    // Becomes the listener of MIDI in, its port, the keyboard and the recorder.
    void listen_to(midi::PlayAlong& play_along);

    // While capturing, notes on from MIDI in go to the note assignments editor and are
    // not played.
    void set_capturing(bool on) { capturing_.store(on); }
    bool capturing() const { return capturing_.load(); }

    void note_played(const midi::MidiInNote& note) override {
        emit midi_in_note(note.input_note, note.channel, note.note);
        emit midi_note(note.midi_pitch);
        emit midi_in_note_details(note);
    }
    bool capture_note(int note) override {
        if (!capturing_.load()) return false;
        emit note_captured(note);
        return true;
    }
    void tuning_changed() override { emit tuning_moved(); }
    void seed_button(midi::SeedButton button, bool pressed) override {
        emit seed_button_pressed(static_cast<int>(button), pressed);
    }
    void record_button(bool pressed) override { emit record_button_pressed(pressed); }
    void active_sensing() override { emit midi_in_active(); }
    void recording_changed() override { emit recording_state_changed(); }
    void recording_limit_reached(const std::string& message) override {
        emit recording_limit(QString::fromStdString(message));
    }
    void midi_in_open_changed(bool open) override { emit midi_in_opened(open); }
    void key_note(const midi::KeyNote& note) override { emit keyboard_note(note.midi_pitch, note.voice); }

signals:
    void midi_in_note(int input_note, int channel, int note);
    void midi_note(double midi_pitch);
    // Everything about a note played from MIDI in, for the note-played window.
    void midi_in_note_details(const corvane::midi::MidiInNote& note);
    // A note on taken while capturing.
    void note_captured(int note);
    // The pitch wheel moved Frequency_of_lowest_note.
    void tuning_moved();
    // A control note pressed or released a New Seed button (midi::SeedButton).
    void seed_button_pressed(int button, bool pressed);
    // The recording control note went down or up.
    void record_button_pressed(bool pressed);
    void midi_in_active();
    void recording_state_changed();
    void recording_limit(const QString& message);
    void midi_in_opened(bool open);
    // A note played from the computer keyboard.
    void keyboard_note(double midi_pitch, int voice);

private:
    std::atomic<bool> capturing_{false};
};

}  // namespace corvane::ui

Q_DECLARE_METATYPE(corvane::midi::MidiInNote)
