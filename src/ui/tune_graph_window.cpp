#include "corvane/ui/tune_graph_window.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "corvane/ui/key_events.h"
#include "corvane/ui/picture_worker.h"
#include "corvane/ui/play_along_events.h"

namespace corvane::ui {
namespace {

constexpr int kRefreshMs = 40;
constexpr std::size_t kMostLiveNotes = 512;

QString text_of(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

double tune_time_now(std::span<const GraphNote> notes, std::int64_t now_ms, double longest_gap) {
    if (notes.empty()) return 0;
    const auto latest = std::max_element(notes.begin(), notes.end(),
                                         [](const GraphNote& a, const GraphNote& b) { return a.sounded_ms < b.sounded_ms; });
    const double since = static_cast<double>(now_ms - latest->sounded_ms) / 1000.0;
    return latest->time + std::clamp(since, 0.0, longest_gap);
}

// Shows the latest picture, stretched while a new one for a changed size is being made.
class TuneGraphWindow::Picture final : public QWidget {
public:
    explicit Picture(QWidget* parent) : QWidget(parent) {
        setMinimumSize(320, 200);
        setFocusPolicy(Qt::NoFocus);
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
    void mousePressEvent(QMouseEvent*) override { window()->setFocus(); }

private:
    QImage image_;
};

TuneGraphWindow::TuneGraphWindow(DisplaySources sources, PlayAlongEvents* events, QWidget* parent)
    : QWidget(parent, Qt::Window), sources_(sources) {
    setObjectName("tune_graph_window");
    setFocusPolicy(Qt::StrongFocus);
    const files::Settings& s = sources_.workspace.settings;

    views_ = new QComboBox(this);
    views_->setObjectName("views");
    views_->addItems({tr("Graph"), tr("Score"), tr("Intervals")});
    views_->setFocusPolicy(Qt::NoFocus);
    octaves_ = new QDoubleSpinBox(this);
    octaves_->setObjectName("octaves");
    octaves_->setRange(0.5, 11);
    octaves_->setValue(s.dFGoctaves);
    seeds_ = new QDoubleSpinBox(this);
    seeds_->setObjectName("seeds");
    seeds_->setRange(0.25, 1000);
    seeds_->setValue(s.dFGseeds);
    for (QDoubleSpinBox* box : {octaves_, seeds_}) box->setFocusPolicy(Qt::ClickFocus);

    auto* bar = new QHBoxLayout;
    bar->addWidget(views_);
    bar->addStretch();
    bar->addWidget(new QLabel(tr("Octaves"), this));
    bar->addWidget(octaves_);
    bar->addWidget(new QLabel(tr("Seeds"), this));
    bar->addWidget(seeds_);
    picture_ = new Picture(this);
    help_ = new QLabel(this);
    help_->setObjectName("keys_help");
    help_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(picture_, 1);
    layout->addWidget(help_);

    worker_ = std::make_unique<PictureWorker>(
        *this, [this](QImage image, Drawing drawing) { picture_ready(std::move(image), std::move(drawing)); });
    refresh_timer_ = new QTimer(this);
    refresh_timer_->setInterval(kRefreshMs);
    connect(refresh_timer_, &QTimer::timeout, this, &TuneGraphWindow::refresh);
    connect(views_, &QComboBox::currentIndexChanged, this, [this](int index) {
        set_view(static_cast<TuneViewKind>(index));
    });
    connect(octaves_, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        sources_.workspace.settings.dFGoctaves = v;
        refresh();
    });
    connect(seeds_, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        sources_.workspace.settings.dFGseeds = v;
        refresh();
    });
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
    update_title();
    update_help();
    resize(720, 420);
}

TuneGraphWindow::~TuneGraphWindow() = default;

void TuneGraphWindow::set_view(TuneViewKind kind) {
    view_ = kind;
    sources_.workspace.settings.iFGShowAsScore = static_cast<int>(kind);
    if (views_->currentIndex() != static_cast<int>(kind)) views_->setCurrentIndex(static_cast<int>(kind));
    refresh();
}

void TuneGraphWindow::update_title() { setWindowTitle(text_of(sources_.play_along.recorder().title(kTuneGraphWindowName))); }

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
    std::stable_sort(notes.begin(), notes.end(), [](const GraphNote& a, const GraphNote& b) { return a.time < b.time; });
    return notes;
}

void TuneGraphWindow::refresh() {
    const files::Workspace& ws = sources_.workspace;
    const TuneView view = [&] {
        const auto group = sources_.playback.port().hold_group();  // MIDI in retunes from its own thread
        return tune_view(ws.composition, ws.settings);
    }();
    std::vector<GraphNote> notes = snapshot();
    const double longest_gap = sources_.playback.player().playing() ? view.seed_secs : 0;
    const double now = tune_time_now(notes, sources_.clock.now_ms(), longest_gap);
    const double width = picture_->width();
    const double height = picture_->height();
    const TuneViewKind kind = view_;
    worker_->request([=, notes = std::move(notes), colours = ws.colours] {
        switch (kind) {
            case TuneViewKind::score:
                return draw_score(view, colours.fractal_score, notes, now, width, height);
            case TuneViewKind::intervals:
                return draw_intervals(view, colours.fractal_score, notes, width, height);
            case TuneViewKind::graph:
                break;
        }
        return draw_graph(view, colours.fractal_graph, notes, now, width, height);
    });
}

void TuneGraphWindow::picture_ready(QImage image, Drawing drawing) {
    shown_ = std::move(drawing);
    ++pictures_;
    picture_->show_image(std::move(image));
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
