#include "corvane/tuning/pitch_mapping.h"
#include "corvane/ui/editor_windows.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "corvane/midi/pc_keyboard.h"
#include "corvane/ui/key_events.h"
#include "corvane/ui/note_preview.h"
#include "corvane/ui/picture_worker.h"
#include "corvane/ui/play_along_events.h"
#include "dialog_support.h"

namespace corvane::ui {
namespace {

constexpr int kPreviewNoteMs = 300;

QString text_of(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

// ---- the keyboard-like display ----------------------------------------------------------

class EntryEditorWindow::KeyDisplay final : public QWidget {
public:
    explicit KeyDisplay(EntryEditorWindow& editor) : QWidget(&editor), editor_(editor) {
        setObjectName("keys");
        setMinimumSize(560, 130);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const auto& colours = editor_.sources_.workspace.colours.new_seed_arpeggio_scale;
        paint_drawing(painter, draw_entry_keys(editor_.keys_, editor_.values_, editor_.marked_, colours, width(), height()));
    }
    void mousePressEvent(QMouseEvent* event) override {
        setFocus();
        if (const auto key = key_at(editor_.keys_, width(), event->position().x())) editor_.add_key(key->number);
    }

private:
    EntryEditorWindow& editor_;
};

// ---- the window -------------------------------------------------------------------------

EntryEditorWindow::EntryEditorWindow(EntryKind kind, DisplaySources sources, PlayAlongEvents* events,
                                     std::function<void()> applied, QWidget* parent)
    : QWidget(parent, Qt::Window), kind_(kind), sources_(sources), applied_(std::move(applied)) {
    setObjectName(kind == EntryKind::seed ? "seed_editor" : kind == EntryKind::scale ? "scale_editor" : "arpeggio_editor");
    keys_ = entry_keys(kind_, sources_.workspace.composition);
    values_ = entry_values(kind_, sources_.workspace);
    preview_ = std::make_unique<NotePreview>(sources_, *this);

    text_ = new QLineEdit(this);
    text_->setObjectName("entry");
    text_->setToolTip(kind == EntryKind::seed    ? tr("The new seed: tune values such as 0 1 2 1; Return applies it")
                      : kind == EntryKind::scale ? tr("The new scale's pitches from the lowest note, such as 1 9/8 5/4 "
                                                      "3/2 2; Return applies it")
                                                 : tr("The new arpeggio's scale degrees, such as 0 2 4 7 9 12; Return "
                                                      "applies it"));
    display_ = new KeyDisplay(*this);
    display_->setToolTip(tr("Click a key, press a computer key or play a note from MIDI in to add it"));
    figure_ = new QComboBox(this);
    figure_->setObjectName("figure");
    figure_->addItems({tr("Sequence"), tr("Chord"), tr("Broken chord")});
    figure_->setToolTip(tr("Play previews the entry as a sequence (each note ends as the next starts), a chord (all "
                           "at once) or a broken chord (one after another, each held to the end)"));
    direction_ = new QComboBox(this);
    direction_->setObjectName("direction");
    direction_->addItems({tr("Ascending"), tr("Descending")});
    direction_->setToolTip(tr("Play previews the entry in its order, or from its end back to its start"));

    auto* buttons = new QHBoxLayout;
    const auto add_button = [&](const QString& text, const char* name, midi::SeedButton button, const QString& tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setToolTip(tip);
        connect(b, &QPushButton::clicked, this, [this, button] { press(button); });
        buttons->addWidget(b);
    };
    if (kind_ == EntryKind::seed) {
        add_button(tr("&End Seed"), "end_seed", midi::SeedButton::end_seed,
                   tr("Applies the seed; the next key starts a new one"));
    }
    add_button(tr("&Clear"), "clear", midi::SeedButton::clear, tr("Empties the entry to start it afresh"));
    add_button(tr("&Play"), "play", midi::SeedButton::play, tr("Previews the entry as the two lists beside say"));
    buttons->addWidget(figure_);
    buttons->addWidget(direction_);
    buttons->addStretch();
    add_button(tr("&Apply"), "apply", midi::SeedButton::apply,
               tr("Makes the entry the composition's own; Undo in the main window takes it back"));

    auto* help = new QLabel(text_of(midi::pc_keys_help(sources_.workspace.settings.play_along.pc_key_1_for_degree_1)), this);
    help->setWordWrap(true);
    problem_ = new QLabel(this);
    problem_->setObjectName("problem");
    problem_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(problem_);
    layout->addWidget(display_, 1);
    layout->addWidget(help);
    layout->addLayout(buttons);

    connect(text_, &QLineEdit::textEdited, this, &EntryEditorWindow::text_edited);
    connect(text_, &QLineEdit::returnPressed, this, &EntryEditorWindow::apply);
    if (events != nullptr) {
        connect(events, &PlayAlongEvents::recording_state_changed, this, &EntryEditorWindow::update_title);
        connect(events, &PlayAlongEvents::seed_button_pressed, this, [this](int button, bool pressed) {
            if (kind_ == EntryKind::seed && pressed) press(static_cast<midi::SeedButton>(button));
        });
        connect(events, &PlayAlongEvents::midi_note, this, [this](double pitch) {
            if (QApplication::activeWindow() == this) add_played_note(pitch);
        });
    }
    show_values();
    update_title();
}

EntryEditorWindow::~EntryEditorWindow() = default;

void EntryEditorWindow::update_title() {
    setWindowTitle(text_of(sources_.play_along.recorder().title(entry_window_name(kind_))));
}

void EntryEditorWindow::show_values() {
    text_->setText(QString::fromStdString(entry_text(kind_, values_, sources_.workspace.settings.format)));
    display_->update();
}

void EntryEditorWindow::text_edited() {
    changed_here_ = true;
    const auto read = read_entry(kind_, text_->text().toStdString(), sources_.workspace.composition.Frequency_of_lowest_note);
    if (!read) return;
    values_ = *read;
    display_->update();
}

// Shows the composition's entry again, unless the user has changed this one.
void EntryEditorWindow::follow_composition() {
    if (changed_here_) return;
    values_ = entry_values(kind_, sources_.workspace);
    keys_ = entry_keys(kind_, sources_.workspace.composition);
    show_values();
}

void EntryEditorWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) follow_composition();
    QWidget::changeEvent(event);
}

void EntryEditorWindow::add_key(int number) {
    const auto key = std::find_if(keys_.begin(), keys_.end(), [&](const EntryKey& k) { return k.number == number; });
    if (key == keys_.end()) return;
    if (ended_) values_.clear();
    ended_ = false;
    changed_here_ = true;
    values_.push_back(key->value);
    marked_ = number;
    preview_->start(preview_notes(std::vector<double>{key->pitch}, Figure::sequence, Direction::ascending, kPreviewNoteMs));
    show_values();
}

void EntryEditorWindow::add_played_note(double midi_pitch) {
    if (const auto key = nearest_key(keys_, midi_pitch)) add_key(key->number);
}

void EntryEditorWindow::set_preview(Figure figure, Direction direction) {
    figure_->setCurrentIndex(static_cast<int>(figure));
    direction_->setCurrentIndex(static_cast<int>(direction));
}

bool EntryEditorWindow::previewing() const { return preview_->running(); }

void EntryEditorWindow::press(midi::SeedButton button) {
    switch (button) {
        case midi::SeedButton::end_seed:
            apply();
            ended_ = true;
            break;
        case midi::SeedButton::clear:
            preview_->stop();
            changed_here_ = true;
            values_.clear();
            marked_.reset();
            show_values();
            break;
        case midi::SeedButton::apply:
            apply();
            break;
        case midi::SeedButton::play: {
            std::vector<double> pitches;
            for (const double v : values_) pitches.push_back(entry_pitch(kind_, v, sources_.workspace.composition));
            preview_->start(preview_notes(pitches, static_cast<Figure>(figure_->currentIndex()),
                                          static_cast<Direction>(direction_->currentIndex()), kPreviewNoteMs));
            break;
        }
    }
}

void EntryEditorWindow::apply() {
    if (values_.empty() || !changed_here_) return;  // nothing of this window's own to write back
    const files::EditResult result = apply_entry(kind_, sources_.workspace, text_->text().toStdString());
    problem_->setText(QString::fromStdString(result.refused));
    text_->setStyleSheet(result.refused.empty() ? QString() : refused_field_style(*text_));
    if (!result.refused.empty()) return;  // said under the text, which stays for the user to mend
    changed_here_ = false;
    if (result.changed && applied_) applied_();
    // The keys of the arpeggio and the seed depend on the scale and the arpeggio.
    keys_ = entry_keys(kind_, sources_.workspace.composition);
    display_->update();
}

void EntryEditorWindow::keyPressEvent(QKeyEvent* event) {
    const auto scan = pc_scan_code(event->nativeScanCode());
    const bool left_key = sources_.workspace.settings.play_along.pc_key_1_for_degree_1;
    const auto number = scan ? midi::pc_key_number(*scan, left_key) : std::nullopt;
    if (!number || event->isAutoRepeat()) {
        QWidget::keyPressEvent(event);
        return;
    }
    add_key(midi::pc_key_degree(*number, left_key));
}

}  // namespace corvane::ui
