#pragma once

// The New Seed, New Scale and New Arpeggio windows: the entry as clickable notes on a
// keyboard-like display and as text, Apply into the composition, and a preview played as
// a sequence, a chord or a broken chord, up or down; and the Colours dialog.

#include <QDialog>
#include <QLabel>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "corvane/midi/midi_in_play.h"
#include "corvane/ui/entry_editor.h"
#include "corvane/ui/tune_graph_window.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTimer;

namespace corvane::ui {

class NotePreview;
class PlayAlongEvents;

class EntryEditorWindow final : public QWidget {
    Q_OBJECT
public:
    // `applied` runs after Apply changed the composition (the main window shows it and
    // rebuilds the tune).
    EntryEditorWindow(EntryKind kind, DisplaySources sources, PlayAlongEvents* events, std::function<void()> applied,
                      QWidget* parent = nullptr);
    ~EntryEditorWindow() override;

    EntryKind kind() const { return kind_; }
    const std::vector<double>& values() const { return values_; }
    // A click on the display's key with this number adds its value.
    void add_key(int number);
    // The buttons, also pressed by MIDI in's control notes in the seed window.
    void press(midi::SeedButton button);
    bool previewing() const;
    void set_preview(Figure figure, Direction direction);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    class KeyDisplay;

    void show_values();
    void text_edited();
    void apply();
    void add_played_note(double midi_pitch);
    void update_title();
    void follow_composition();
    void changeEvent(QEvent* event) override;

    EntryKind kind_;
    DisplaySources sources_;
    std::function<void()> applied_;
    std::vector<EntryKey> keys_;
    std::vector<double> values_;
    std::optional<int> marked_;
    bool ended_ = false;  // End Seed: the next note starts a new entry
    // The entry was changed here (typed, clicked, played, cleared) since it last showed the
    // composition: only then does Apply write it back, and only before that does the window
    // follow the main window.
    bool changed_here_ = false;
    QLabel* problem_ = nullptr;  // what the last Apply could not read

    QLineEdit* text_ = nullptr;
    KeyDisplay* display_ = nullptr;
    QComboBox* figure_ = nullptr;
    QComboBox* direction_ = nullptr;
    std::unique_ptr<NotePreview> preview_;
};

}  // namespace corvane::ui
