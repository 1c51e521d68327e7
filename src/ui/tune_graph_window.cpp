#include "corvane/ui/tune_graph_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <mutex>
#include <optional>

#include "corvane/engine/tune_notes.h"
#include "corvane/ui/key_events.h"
#include "corvane/ui/note_preview.h"
#include "corvane/ui/picture_worker.h"
#include "corvane/ui/play_along_events.h"

namespace corvane::ui {
namespace {

constexpr int kRefreshMs = 40;
constexpr int kTicksBetweenIdleRefreshes = 25;  // stopped, a second, for the settings
constexpr std::size_t kMostLiveNotes = 512;
constexpr double kZoomPerNotch = 0.8;  // a wheel notch (15 degrees) up shows 0.8 times the time
constexpr double kScrollPerNotch = 0.1;  // of the time shown
constexpr double kDragThreshold = 4;     // pixels a press moves before it is a drag, not a click
constexpr int kShortestClickedNoteMs = 150;
constexpr int kLongestClickedNoteMs = 1500;

QString text_of(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString point_at_hint() { return QObject::tr("Point at a note to see what it is; click it to hear it."); }

}  // namespace

std::string_view tune_window_name(TuneViewKind kind) {
    switch (kind) {
        case TuneViewKind::score: return "Fractal Tune As Score";
        case TuneViewKind::intervals: return "Fractal Tune as Intervals";
        case TuneViewKind::graph: break;
    }
    return kTuneGraphWindowName;
}

// The tune's notes and the composition they were computed from, shared by the window and
// the pictures being made. Only the picture thread computes, when the composition it is
// given differs from the last; the window reads the latest under the lock.
struct TuneNotesCache {
    struct Tune {
        std::shared_ptr<const std::vector<GraphNote>> notes = std::make_shared<std::vector<GraphNote>>();
        double end_secs = 0;
        bool capped = false;
    };

    Tune latest() {
        std::lock_guard lock(mutex);
        return tune;
    }

    Tune for_composition(const engine::Composition& c, const engine::PlayerSettings& player,
                         const engine::VoiceSettings& voices) {
        {
            std::lock_guard lock(mutex);
            if (computed_for == c) return tune;
        }
        const std::atomic<bool> never{false};
        const engine::TuneNotes computed =
            engine::compute_tune_notes(c, player, voices, kMostTuneNotes, kLongestTuneSecs, never);
        Tune fresh{std::make_shared<std::vector<GraphNote>>(notes_of_tune(computed)), computed.end_secs,
                   computed.capped};
        std::lock_guard lock(mutex);
        computed_for = c;
        tune = fresh;
        return fresh;
    }

    std::mutex mutex;
    std::optional<engine::Composition> computed_for;
    Tune tune;
};

double tune_time_now(std::span<const GraphNote> notes, std::int64_t now_ms, double longest_gap) {
    if (notes.empty()) return 0;
    const auto latest = std::max_element(notes.begin(), notes.end(),
                                         [](const GraphNote& a, const GraphNote& b) { return a.sounded_ms < b.sounded_ms; });
    const double since = static_cast<double>(now_ms - latest->sounded_ms) / 1000.0;
    return latest->time + std::clamp(since, 0.0, longest_gap);
}

// Shows the latest picture, stretched while a new one for a changed size is being made,
// and hands the mouse to the window in the drawing's pixels.
class TuneGraphWindow::Picture final : public QWidget {
public:
    explicit Picture(TuneGraphWindow& window) : QWidget(&window), window_(window) {
        setObjectName("picture");
        setMinimumSize(320, 200);
        setFocusPolicy(Qt::NoFocus);
        setMouseTracking(true);
    }
    void show_image(QImage image) {
        image_ = std::move(image);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (image_.isNull()) {
            painter.fillRect(rect(), Qt::white);
            return;
        }
        painter.drawImage(rect(), image_);
    }
    void mousePressEvent(QMouseEvent* event) override {
        window_.setFocus();
        pressed_at_ = event->position();
        last_x_ = drawing_point(event->position()).x;
        dragging_ = false;
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        const Point at = drawing_point(event->position());
        if (!(event->buttons() & Qt::LeftButton)) {
            window_.point_at(at);
            return;
        }
        if (!dragging_ && (event->position() - pressed_at_).manhattanLength() < kDragThreshold) return;
        dragging_ = true;
        window_.drag_by(at.x - last_x_);
        last_x_ = at.x;
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (!dragging_ && event->button() == Qt::LeftButton) window_.click_at(drawing_point(event->position()));
        dragging_ = false;
    }
    void wheelEvent(QWheelEvent* event) override {
        const int degrees = event->angleDelta().y() != 0 ? event->angleDelta().y() / 8 : event->angleDelta().x() / 8;
        const bool scroll = (event->modifiers() & Qt::ShiftModifier) || event->angleDelta().y() == 0;
        window_.wheel_at(drawing_point(event->position()).x, degrees, scroll);
        event->accept();
    }

private:
    // The picture is stretched to the widget while a new one is being made.
    Point drawing_point(QPointF at) const {
        const Drawing& d = window_.shown_drawing();
        const double sx = width() > 0 && d.width > 0 ? d.width / width() : 1;
        const double sy = height() > 0 && d.height > 0 ? d.height / height() : 1;
        return {at.x() * sx, at.y() * sy};
    }

    TuneGraphWindow& window_;
    QImage image_;
    QPointF pressed_at_;
    double last_x_ = 0;
    bool dragging_ = false;
};

TuneGraphWindow::TuneGraphWindow(DisplaySources sources, PlayAlongEvents* events, QWidget* parent)
    : QWidget(parent, Qt::Window), sources_(sources), tune_(std::make_shared<TuneNotesCache>()) {
    setObjectName("tune_graph_window");
    setFocusPolicy(Qt::StrongFocus);
    const files::Settings& s = sources_.workspace.settings;
    shown_span_ = first_page(tune_view(sources_.workspace.composition, s));

    views_ = new QComboBox(this);
    views_->setObjectName("views");
    views_->addItems({tr("Graph"), tr("Score"), tr("Intervals")});
    views_->setToolTip(tr("What the window shows: the notes as a graph of pitch against time, as a score, "
                          "or the intervals between them, e.g. \"C4 to E4: 5/4\"."));
    colour_by_ = new QComboBox(this);
    colour_by_->setObjectName("colour_by");
    colour_by_->addItems({tr("Colour by level"), tr("Colour by channel")});
    colour_by_->setToolTip(tr("The graph's notes coloured by their level (the slowest level whose note starts "
                              "there, 0 the fastest) or by the channel that plays them (1 to 16)."));
    octaves_ = new QDoubleSpinBox(this);
    octaves_->setObjectName("octaves");
    octaves_->setRange(0.5, 11);
    octaves_->setValue(s.dFGoctaves);
    octaves_->setToolTip(tr("Octaves of pitch the graph shows at least, 0.5 to 11, e.g. 5; it grows to hold "
                            "every note in view."));
    seeds_ = new QDoubleSpinBox(this);
    seeds_->setObjectName("seeds");
    seeds_->setRange(0.25, 1000);
    seeds_->setValue(s.dFGseeds);
    seeds_->setToolTip(tr("Seeds of time in view, 0.25 to 1000, e.g. 5 shows five seeds' worth of notes."));
    fit_ = new QPushButton(tr("Fit"), this);
    fit_->setObjectName("fit");
    fit_->setToolTip(tr("Shows the whole tune, from its first note to its last (at most the first %1 notes).")
                         .arg(kMostTuneNotes));
    follow_ = new QCheckBox(tr("Follow"), this);
    follow_->setObjectName("follow");
    follow_->setChecked(true);
    follow_->setToolTip(tr("While playing, turns the page when the scan line reaches its edge, so that the "
                           "note playing stays in view."));
    export_ = new QPushButton(tr("Export…"), this);
    export_->setObjectName("export");
    export_->setToolTip(tr("Saves the picture shown as a PNG image or an SVG drawing, e.g. \"tune.svg\"."));
    for (QWidget* w : std::initializer_list<QWidget*>{views_, colour_by_, fit_, follow_, export_}) {
        w->setFocusPolicy(Qt::NoFocus);
    }
    for (QDoubleSpinBox* box : {octaves_, seeds_}) box->setFocusPolicy(Qt::ClickFocus);

    auto* bar = new QHBoxLayout;
    bar->addWidget(views_);
    bar->addWidget(colour_by_);
    bar->addStretch();
    bar->addWidget(new QLabel(tr("Octaves"), this));
    bar->addWidget(octaves_);
    bar->addWidget(new QLabel(tr("Seeds"), this));
    bar->addWidget(seeds_);
    bar->addWidget(fit_);
    bar->addWidget(follow_);
    bar->addWidget(export_);
    picture_ = new Picture(*this);
    picture_->setToolTip(tr("Wheel: zoom the time round the mouse; Shift+wheel or drag: scroll; "
                            "click a note to hear it."));
    note_info_ = new QLabel(point_at_hint(), this);
    note_info_->setObjectName("note_info");
    help_ = new QLabel(this);
    help_->setObjectName("keys_help");
    help_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(picture_, 1);
    layout->addWidget(note_info_);
    layout->addWidget(help_);

    preview_ = std::make_unique<NotePreview>(sources_, *this);
    worker_ = std::make_unique<PictureWorker>(
        *this, [this](QImage image, Drawing drawing) { picture_ready(std::move(image), std::move(drawing)); });
    refresh_timer_ = new QTimer(this);
    refresh_timer_->setInterval(kRefreshMs);
    connect(refresh_timer_, &QTimer::timeout, this, &TuneGraphWindow::refresh_tick);
    connect(views_, &QComboBox::currentIndexChanged, this, [this](int index) {
        set_view(static_cast<TuneViewKind>(index));
    });
    connect(colour_by_, &QComboBox::currentIndexChanged, this, &TuneGraphWindow::refresh);
    connect(octaves_, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        sources_.workspace.settings.dFGoctaves = v;
        refresh();
    });
    connect(seeds_, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        sources_.workspace.settings.dFGseeds = v;
        shown_span_.span = first_page(tune_view(sources_.workspace.composition, sources_.workspace.settings)).span;
        refresh();
    });
    connect(fit_, &QPushButton::clicked, this, &TuneGraphWindow::fit);
    connect(follow_, &QCheckBox::toggled, this, &TuneGraphWindow::refresh);
    connect(export_, &QPushButton::clicked, this, &TuneGraphWindow::choose_export_file);
    if (events != nullptr) {
        connect(events, &PlayAlongEvents::recording_state_changed, this, &TuneGraphWindow::update_title);
        connect(events, &PlayAlongEvents::keyboard_note, this, [this](double pitch, int voice) {
            if (sources_.workspace.settings.play_along.cShowKbdInScore) add_live_note(pitch, voice);
        });
        connect(events, &PlayAlongEvents::midi_note, this, [this](double pitch) {
            if (sources_.workspace.settings.cShowMidiInInScore) add_live_note(pitch, 0);
        });
    }
    set_view(static_cast<TuneViewKind>(std::clamp(s.iFGShowAsScore, 0, 2)));
    update_help();
    resize(720, 420);
}

TuneGraphWindow::~TuneGraphWindow() = default;

void TuneGraphWindow::set_view(TuneViewKind kind) {
    view_ = kind;
    sources_.workspace.settings.iFGShowAsScore = static_cast<int>(kind);
    if (views_->currentIndex() != static_cast<int>(kind)) views_->setCurrentIndex(static_cast<int>(kind));
    update_title();
    refresh();
}

void TuneGraphWindow::update_title() {
    setWindowTitle(text_of(sources_.play_along.recorder().title(tune_window_name(view_))));
}

void TuneGraphWindow::update_help() {
    help_->setText(text_of(midi::pc_keys_help(sources_.workspace.settings.play_along.pc_key_1_for_degree_1)));
}

void TuneGraphWindow::add_live_note(double midi_pitch, int channel) {
    const std::vector<GraphNote> notes = snapshot();
    const std::int64_t now_ms = sources_.clock.now_ms();
    live_notes_.push_back({tune_time_now(notes, now_ms, 0), midi_pitch, channel, 0, now_ms});
    if (live_notes_.size() > kMostLiveNotes) live_notes_.erase(live_notes_.begin());
    refresh();
}

// The player's history as it stands: what it has played, for the time it has reached.
std::vector<GraphNote> TuneGraphWindow::snapshot() const {
    const engine::Player& player = sources_.playback.player();
    std::int64_t count = 0;
    std::array<engine::PlayedNote, engine::kRingSize> ring;
    {
        // The timer thread writes the history while it holds the port lock.
        const auto group = sources_.playback.port().hold_group();
        count = player.history_count();
        ring = player.history();
    }
    std::vector<GraphNote> notes = notes_from_history(ring, count, count);
    notes.insert(notes.end(), live_notes_.begin(), live_notes_.end());
    sort_by_time(notes);
    return notes;
}

// While playing the scan line moves: a new picture every tick. Stopped, the picture changes
// with the composition or the colours at once, and with the other settings within a second;
// a tune of many notes takes a while to draw.
void TuneGraphWindow::refresh_tick() {
    ++ticks_;
    const files::Workspace& ws = sources_.workspace;
    bool changed = false;
    {
        const auto group = sources_.playback.port().hold_group();
        changed = ws.composition != drawn_composition_ || ws.colours != drawn_colours_;
    }
    if (changed || sources_.playback.player().playing() || ticks_ % kTicksBetweenIdleRefreshes == 0) refresh();
}

void TuneGraphWindow::refresh() {
    const files::Workspace& ws = sources_.workspace;
    TuneView view;
    engine::Composition composition;
    {
        const auto group = sources_.playback.port().hold_group();  // MIDI in retunes from its own thread
        view = tune_view(ws.composition, ws.settings);
        composition = ws.composition;
    }
    drawn_composition_ = composition;
    drawn_colours_ = ws.colours;
    view.colour_by_level = colour_by_->currentIndex() == 0;
    std::optional<double> now;
    if (sources_.playback.player().playing()) {
        now = tune_time_now(snapshot(), sources_.clock.now_ms(), view.seed_secs);
        // Each cycle of the tune starts again at its beginning.
        const TuneNotesCache::Tune tune = tune_->latest();
        if (tune.end_secs > 0 && !tune.capped) now = std::fmod(*now, tune.end_secs);
        if (follow_->isChecked()) shown_span_ = following(shown_span_, *now);
    }
    std::vector<GraphNote> live = live_notes_;
    sort_by_time(live);
    const double width = picture_->width();
    const double height = picture_->height();
    const TuneViewKind kind = view_;
    worker_->request([=, cache = tune_, composition = std::move(composition), live = std::move(live),
                      player = ws.settings.player, voices = ws.settings.voices, shown = shown_span_,
                      colours = ws.colours] {
        const TuneNotesCache::Tune tune = cache->for_composition(composition, player, voices);
        const TuneScene scene{*tune.notes, live, shown, now, tune.capped};
        switch (kind) {
            case TuneViewKind::score:
                return draw_score(view, colours.fractal_score, scene, width, height);
            case TuneViewKind::intervals:
                return draw_intervals(view, colours.fractal_score, scene, width, height);
            case TuneViewKind::graph:
                break;
        }
        return draw_graph(view, colours.fractal_graph, scene, width, height);
    });
}

void TuneGraphWindow::picture_ready(QImage image, Drawing drawing) {
    shown_ = std::move(drawing);
    ++pictures_;
    picture_->show_image(std::move(image));
}

TimePage TuneGraphWindow::time_axis_now() const {
    return time_page(shown_span_, shown_.time_axis.left, shown_.time_axis.right);
}

void TuneGraphWindow::wheel_at(double x, int degrees, bool scroll) {
    const double notches = degrees / 15.0;
    if (scroll) {
        shown_span_ = scrolled(shown_span_, -notches * kScrollPerNotch * shown_span_.span);
    } else {
        shown_span_ = zoomed(shown_span_, time_axis_now().time_of(x), std::pow(kZoomPerNotch, notches));
    }
    refresh();
}

void TuneGraphWindow::drag_by(double pixels) {
    const TimePage axis = time_axis_now();
    shown_span_ = scrolled(shown_span_, -pixels * axis.span / (axis.right - axis.left));
    refresh();
}

void TuneGraphWindow::point_at(Point at) {
    const Drawing::Bar* bar = bar_at(shown_, at);
    note_info_->setText(bar != nullptr ? text_of(note_info(bar->note)) : point_at_hint());
}

void TuneGraphWindow::click_at(Point at) {
    const Drawing::Bar* bar = bar_at(shown_, at);
    if (bar == nullptr) return;
    const int ms = std::clamp(static_cast<int>(bar->note.length * 1000), kShortestClickedNoteMs, kLongestClickedNoteMs);
    preview_->start({PreviewNote{0, ms, bar->note.pitch}});
    note_info_->setText(text_of(note_info(bar->note)));
}

void TuneGraphWindow::fit() {
    shown_span_ = whole_tune(tune_->latest().end_secs);
    follow_->setChecked(false);  // the whole tune is in view: nothing to follow
    refresh();
}

QString TuneGraphWindow::export_picture(const QString& path) const {
    return save_drawing(shown_, path, windowTitle());
}

void TuneGraphWindow::choose_export_file() {
    const files::Settings& s = sources_.workspace.settings;
    QString folder = QFileInfo(QString::fromStdString(s.File)).absolutePath();
    if (s.File.empty() || !QDir(folder).exists()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    }
    const QString name = QString::fromStdString(files::composition_name(s)) + ".png";
    QString filter;
    QString path = QFileDialog::getSaveFileName(this, tr("Export the picture"), QDir(folder).filePath(name),
                                                tr("PNG image (*.png);;SVG drawing (*.svg)"), &filter);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += filter.contains("svg") ? ".svg" : ".png";
    if (const QString error = export_picture(path); !error.isEmpty()) {
        QMessageBox::warning(this, tr("Export the picture"), error);
    }
}

bool TuneGraphWindow::event(QEvent* e) {
    // Tab and Shift+Tab would move the focus before they reached the keys.
    if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            if (e->type() == QEvent::KeyPress) keyPressEvent(key);
            else keyReleaseEvent(key);
            return true;
        }
    }
    return QWidget::event(e);
}

void TuneGraphWindow::keyPressEvent(QKeyEvent* event) {
    if (!play_key_event(sources_.play_along.keyboard(), *event)) QWidget::keyPressEvent(event);
}

void TuneGraphWindow::keyReleaseEvent(QKeyEvent* event) {
    if (!play_key_event(sources_.play_along.keyboard(), *event)) QWidget::keyReleaseEvent(event);
}

void TuneGraphWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    update_help();
    refresh_timer_->start();
    refresh();
}

void TuneGraphWindow::hideEvent(QHideEvent* event) {
    refresh_timer_->stop();
    QWidget::hideEvent(event);
}

}  // namespace corvane::ui
