#pragma once

// The fractal tune's own window, "Fractal Tune as Graph": the tune's notes, computed as the
// player would play them, as a graph against time, as a score or as a list of intervals,
// with a scan line that moves with the player and the notes played live. The time shown
// zooms and scrolls with the mouse; a note pointed at tells what it is and plays when
// clicked; the picture exports as PNG or SVG. The notes and pictures are made on a
// low-priority thread and shown when ready. The window also has the keyboard focus for
// playing along from the computer keys.

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

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTimer;

namespace corvane::ui {

class NotePreview;
class PictureWorker;
class PlayAlongEvents;
struct TuneNotesCache;

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
// The window's title in each view.
std::string_view tune_window_name(TuneViewKind kind);

// The most notes of the tune computed and drawn, and the most tune time.
inline constexpr std::size_t kMostTuneNotes = 20000;
inline constexpr double kLongestTuneSecs = 24 * 3600;

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
    TimeSpan time_shown() const { return shown_span_; }

    // The mouse on the picture, in the drawing's pixels: the wheel zooms time round `x`
    // (with Shift it scrolls), a drag moves time along, pointing at a note tells what it
    // is, a click plays it.
    void wheel_at(double x, int degrees, bool scroll);
    void drag_by(double pixels);
    void point_at(Point at);
    void click_at(Point at);
    // All of the tune in view.
    void fit();
    // Writes the picture shown; an empty text when written, else what went wrong.
    [[nodiscard]] QString export_picture(const QString& path) const;

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
    void choose_export_file();
    void refresh_tick();
    TimePage time_axis_now() const;
    void add_live_note(double midi_pitch, int channel);
    std::vector<GraphNote> snapshot() const;
    void picture_ready(QImage image, Drawing drawing);

    DisplaySources sources_;
    TuneViewKind view_ = TuneViewKind::graph;
    std::vector<GraphNote> live_notes_;  // from MIDI in and the computer keys
    Drawing shown_;
    std::uint64_t pictures_ = 0;
    TimeSpan shown_span_;
    engine::Composition drawn_composition_;  // as the last picture asked for was made
    files::Colours drawn_colours_;
    std::uint64_t ticks_ = 0;
    std::shared_ptr<TuneNotesCache> tune_;  // shared with the pictures being made

    QComboBox* views_ = nullptr;
    QComboBox* colour_by_ = nullptr;
    QDoubleSpinBox* octaves_ = nullptr;
    QDoubleSpinBox* seeds_ = nullptr;
    QPushButton* fit_ = nullptr;
    QCheckBox* follow_ = nullptr;
    QPushButton* export_ = nullptr;
    Picture* picture_ = nullptr;
    QLabel* note_info_ = nullptr;
    QLabel* help_ = nullptr;
    QTimer* refresh_timer_ = nullptr;
    std::unique_ptr<NotePreview> preview_;
    std::unique_ptr<PictureWorker> worker_;
};

}  // namespace corvane::ui
