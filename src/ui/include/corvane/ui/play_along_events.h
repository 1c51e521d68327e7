#pragma once

// What MIDI in and the play-along recorder tell the windows. They call from the MIDI
// driver's thread or the recorder's worker; the signals arrive queued on the window thread.

#include <QObject>
#include <QString>

#include "corvane/midi/play_along.h"

namespace corvane::ui {

class PlayAlongEvents final : public QObject,
                              public midi::MidiInListener,
                              public midi::RecordingListener,
                              public midi::MidiInPortObserver {
    Q_OBJECT
public:
    // Listens to the play-along, which must end its threads before this goes.
    explicit PlayAlongEvents(midi::PlayAlong& play_along);
    PlayAlongEvents(const PlayAlongEvents&) = delete;
    PlayAlongEvents& operator=(const PlayAlongEvents&) = delete;

    void note_played(const midi::MidiInNote& note) override {
        emit midi_in_note(note.input_note, note.channel, note.note);
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

signals:
    void midi_in_note(int input_note, int channel, int note);
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
};

}  // namespace corvane::ui
