#include "corvane/ui/display_windows.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

#include "dialog_support.h"

namespace corvane::ui {
namespace {

using files::Colours;
using files::Rgb;

// One element of a display window and where its colour is kept.
struct ColourElement {
    const char* window;
    const char* element;
    Rgb& (*colour)(Colours&);
};

// The display windows and their elements, in the order the files keep them.
constexpr std::array<ColourElement, 24> kColourElements{{
    {"Volume Bar", "Background", [](Colours& c) -> Rgb& { return c.volume_bar.Background; }},
    {"Volume Bar", "Line", [](Colours& c) -> Rgb& { return c.volume_bar.Line; }},
    {"Pitch Bar", "Background", [](Colours& c) -> Rgb& { return c.pitch_bar.Background; }},
    {"Pitch Bar", "Octaves", [](Colours& c) -> Rgb& { return c.pitch_bar.Octaves; }},
    {"Pitch Bar", "Line", [](Colours& c) -> Rgb& { return c.pitch_bar.Line; }},
    {"Pitch Bar", "Track Melody", [](Colours& c) -> Rgb& { return c.pitch_bar.Track_Melody; }},
    {"Fractal Tune as Graph", "Background", [](Colours& c) -> Rgb& { return c.fractal_graph.Background; }},
    {"Fractal Tune as Graph", "Octaves", [](Colours& c) -> Rgb& { return c.fractal_graph.Octaves; }},
    {"Fractal Tune as Graph", "Seeds", [](Colours& c) -> Rgb& { return c.fractal_graph.Seeds; }},
    {"Fractal Tune as Graph", "Scan Line", [](Colours& c) -> Rgb& { return c.fractal_graph.Scan_Line; }},
    {"Fractal Tune as Graph", "Line", [](Colours& c) -> Rgb& { return c.fractal_graph.Line; }},
    {"Fractal Tune As Score", "Background", [](Colours& c) -> Rgb& { return c.fractal_score.Background; }},
    {"Fractal Tune As Score", "Lines", [](Colours& c) -> Rgb& { return c.fractal_score.Lines; }},
    {"Fractal Tune As Score", "Naturals", [](Colours& c) -> Rgb& { return c.fractal_score.Naturals; }},
    {"Fractal Tune As Score", "Sharps", [](Colours& c) -> Rgb& { return c.fractal_score.Sharps; }},
    {"Fractal Tune As Score", "Flats", [](Colours& c) -> Rgb& { return c.fractal_score.Flats; }},
    {"Fractal Tune As Score", "Scan Line", [](Colours& c) -> Rgb& { return c.fractal_score.Scan_Line; }},
    {"Fractal Tune As Score", "Note Underline", [](Colours& c) -> Rgb& { return c.fractal_score.Note_Underline; }},
    {"New Seed / Arpeggio / Scale", "Background", [](Colours& c) -> Rgb& { return c.new_seed_arpeggio_scale.Background; }},
    {"New Seed / Arpeggio / Scale", "Lines", [](Colours& c) -> Rgb& { return c.new_seed_arpeggio_scale.Lines; }},
    {"New Seed / Arpeggio / Scale", "Dots", [](Colours& c) -> Rgb& { return c.new_seed_arpeggio_scale.Dots; }},
    {"New Seed / Arpeggio / Scale", "Triangles", [](Colours& c) -> Rgb& { return c.new_seed_arpeggio_scale.Triangles; }},
    {"New Seed / Arpeggio / Scale", "White Keys", [](Colours& c) -> Rgb& { return c.new_seed_arpeggio_scale.White_Keys; }},
    {"New Seed / Arpeggio / Scale", "Text", [](Colours& c) -> Rgb& { return c.new_seed_arpeggio_scale.Text; }},
}};

QIcon swatch(Rgb colour) {
    QPixmap square(14, 14);
    square.fill(QColor(colour.red, colour.green, colour.blue));
    return QIcon(square);
}

// The column of each window's group, in the order of the elements, evening out the columns:
// the volume bar over the editors, the pitch bar over the graph, the score alone.
constexpr std::array<int, 5> kColumnOfGroup{0, 1, 1, 2, 0};

constexpr int kOctaveCents = 1200;

}  // namespace

ColoursDialog::ColoursDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent)
    : QDialog(parent), context_(context), changed_(std::move(changed)) {
    setObjectName("colours");
    setWindowTitle(tr("Colours"));
    // The windows' groups in three columns, so that the window fits a small screen.
    auto* layout = new QHBoxLayout;
    std::array<QVBoxLayout*, 3> columns{new QVBoxLayout, new QVBoxLayout, new QVBoxLayout};
    for (QVBoxLayout* column : columns) {
        column->setAlignment(Qt::AlignTop);
        layout->addLayout(column);
    }
    QFormLayout* form = nullptr;
    QString window;
    int groups = 0;
    for (std::size_t i = 0; i < kColourElements.size(); ++i) {
        const ColourElement& element = kColourElements[i];
        if (window != QLatin1String(element.window)) {
            window = QLatin1String(element.window);
            auto* group = new QGroupBox(window, this);
            form = new QFormLayout(group);
            columns[static_cast<std::size_t>(kColumnOfGroup[static_cast<std::size_t>(groups++)])]->addWidget(group);
        }
        auto* choice = new QComboBox(this);
        choice->setObjectName(QString("colour_%1").arg(i));
        choice->setToolTip(tr("The colour of the %1 in the %2 window, one of the 16 palette colours")
                               .arg(tr(element.element).toLower(), window));
        for (const auto& p : files::palette()) choice->addItem(swatch(p.rgb), qt_text(p.name));
        connect(choice, &QComboBox::activated, this, [this, i](int index) {
            Rgb& colour = kColourElements[i].colour(context_.workspace().colours);
            colour = files::palette()[static_cast<std::size_t>(index)].rgb;
            context_.settings().needs_save = true;
            changed_();
        });
        form->addRow(tr(element.element), choice);
        choices_.push_back(choice);
    }
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(layout);
    outer->addWidget(close_button(this));
    show_colours();
}

void ColoursDialog::show_colours() {
    auto& colours = context_.workspace().colours;
    for (std::size_t i = 0; i < choices_.size(); ++i) {
        const Rgb colour = kColourElements[i].colour(colours);
        const auto name = files::palette_name(colour);
        choices_[i]->setCurrentIndex(name ? choices_[i]->findText(qt_text(*name)) : -1);
        if (!name) choices_[i]->setPlaceholderText(qt_text(files::kUnknownColourName));
    }
}

// ---------------------------------------------------------------------------------------

PitchDialog::PitchDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent)
    : QDialog(parent), context_(context), changed_(std::move(changed)) {
    setObjectName("pitch");
    setWindowTitle(tr("Pitch"));
    auto* layout = new QVBoxLayout(this);
    bar_ = new QSlider(Qt::Horizontal, this);
    bar_->setObjectName("pitch_bar");
    bar_->setRange(-kOctaveCents, kOctaveCents);
    bar_->setSingleStep(1);
    bar_->setPageStep(100);
    bar_->setTickInterval(100);
    bar_->setTickPosition(QSlider::TicksBelow);
    bar_->setToolTip(tr("Moves the lowest note, and every note with it, by up to an octave either way, -1200 to "
                        "1200 cents: 100 is a semitone up. Sounding notes move too"));
    connect(bar_, &QSlider::valueChanged, this, &PitchDialog::move_to);
    auto* bar_label = new QLabel(tr("Move the &pitch, in cents (a semitone for each tick):"), this);
    bar_label->setBuddy(bar_);
    layout->addWidget(bar_label);
    layout->addWidget(bar_);
    frequency_ = new QLabel(this);
    frequency_->setObjectName("pitch_frequency");
    layout->addWidget(frequency_);
    layout->addWidget(close_button(this));
    resize(420, sizeHint().height());
    show_frequency();
}

void PitchDialog::move_to(int cents) {
    const int moved = cents - cents_;
    cents_ = cents;
    if (moved == 0) return;
    const double semitones = moved / 100.0;
    auto& ws = context_.workspace();
    {
        // The player and MIDI in read the tuning under the port lock.
        const auto group = context_.playback().port().hold_group();
        ws.composition.Frequency_of_lowest_note *= std::exp2(semitones / 12.0);
        context_.playback().shift_sounding_notes(semitones, true);
    }
    ws.settings.use_concert_pitch = false;
    ws.settings.needs_save = true;
    if (bar_->value() != cents) bar_->setValue(cents);
    show_frequency();
    changed_();
}

void PitchDialog::show_frequency() {
    std::string frequency;
    {
        const auto group = context_.playback().port().hold_group();  // as MIDI in retunes
        frequency = files::number_text(context_.composition().Frequency_of_lowest_note);
    }
    frequency_->setText(tr("%1 cents: lowest note %2 Hz").arg(cents_).arg(QString::fromStdString(frequency)));
}

}  // namespace corvane::ui
