#pragma once

// The fractal tune's own window, "Fractal Tune as Graph": the notes the player has played
// as a graph against time, as a score or as a list of intervals, with a scan line that
// moves with the player. The pictures are made on a low-priority thread and shown when
// ready. The window also has the keyboard focus for playing along from the computer keys.

#include <QWidget>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "corvane/files/workspace.h"
#include "corvane/midi/play_along.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/clock.h"
#include "corvane/ui/tune_graph_layout.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QTimer;

namespace corvane::ui {

class PictureWorker;
class PlayAlongEvents;

// What the displays and the editors read, and play through.
struct DisplaySources {
    files::Workspace& workspace;
    midi::Playback& playback;
    midi::PlayAlong& play_along;
    const platform::Clock& clock;
};

inline constexpr std::string_view kTuneGraphWindowName = "Fractal Tune as Graph";

// The views, numbered as iFGShowAsScore keeps them.
enum class TuneViewKind { graph = 0, score = 1, intervals = 2 };

// The tune time the player has reached at `now_ms`: the last note's time and the real time
// since it sounded, at most `longest_gap` seconds further (the player may be held).
double tune_time_now(std::span<const GraphNote> notes, std::int64_t now_ms, double longest_gap);

class TuneGraphWindow final : public QWidget {
    Q_OBJECT
public:
    // `events`, when given, brings the notes of MIDI in and the computer keyboard into the
    // views and the recording state into the title.
    TuneGraphWindow(DisplaySources sources, PlayAlongEvents* events, QWidget* parent = nullptr);
    ~TuneGraphWindow() override;

    void set_view(TuneViewKind kind);
    TuneViewKind view() const { return view_; }
    // Takes the player's notes as they are now and asks for a new picture.
    void refresh();
    // The picture on screen and what it shows; the count goes up with each new picture.
    const Drawing& shown_drawing() const { return shown_; }
    std::uint64_t pictures_shown() const { return pictures_; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }  // Tab silences the keys
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class Picture;

    void update_title();
    void update_help();
    void add_live_note(double midi_pitch, int channel);
    std::vector<GraphNote> snapshot() const;
    void picture_ready(QImage image, Drawing drawing);

    DisplaySources sources_;
    TuneViewKind view_ = TuneViewKind::graph;
    std::vector<GraphNote> live_notes_;  // from MIDI in and the computer keys
    Drawing shown_;
    std::uint64_t pictures_ = 0;

    QComboBox* views_ = nullptr;
    QDoubleSpinBox* octaves_ = nullptr;
    QDoubleSpinBox* seeds_ = nullptr;
    Picture* picture_ = nullptr;
    QLabel* help_ = nullptr;
    QTimer* refresh_timer_ = nullptr;
    std::unique_ptr<PictureWorker> worker_;
};

}  // namespace corvane::ui
