#include "corvane/ui/play_along_dialogs.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <filesystem>

#include "corvane/midi/midi_in_presets.h"
#include "dialog_support.h"

namespace corvane::ui {
namespace {

constexpr int kNoControlNote = -1;

// What notes from MIDI in are for, by iMidiInFor.
constexpr std::array<const char*, 4> kMidiInUses{
    "Play along", "Play along, recording by control note", "Edit the New Seed window",
    "Edit a New Scale or New Arpeggio window"};

}  // namespace

MidiInOptionsDialog::MidiInOptionsDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent)
    : QDialog(parent), context_(context), changed_(std::move(changed)) {
    setObjectName("midi_in_options");
    setWindowTitle(tr("MIDI In options"));
    auto& s = context.settings().play_along;
    auto* layout = new QVBoxLayout(this);

    auto* channels = new QGroupBox(tr("Listen to MIDI in &channels"), this);
    auto* grid = new QGridLayout(channels);
    for (int ch = 0; ch < 16; ++ch) {
        auto* box = new QCheckBox(QString::number(ch + 1), channels);
        box->setObjectName(QString("in_channel_%1").arg(ch + 1));
        connect(box, &QCheckBox::toggled, this, [&s, ch](bool on) { s.OkMidiInChannel[static_cast<std::size_t>(ch)] = on; });
        grid->addWidget(box, ch / 8, ch % 8);
        channels_.push_back(box);
    }
    layout->addWidget(channels);

    auto* form = new QFormLayout;
    midi_in_for_ = new QComboBox(this);
    midi_in_for_->setObjectName("midi_in_for");
    for (const char* use : kMidiInUses) midi_in_for_->addItem(tr(use));
    connect(midi_in_for_, &QComboBox::activated, this, [&s](int use) { s.iMidiInFor = use; });
    form->addRow(tr("Notes from MIDI in are &for"), midi_in_for_);
    presets_ = new QComboBox(this);
    presets_->setObjectName("presets");
    for (const auto name : midi::midi_in_preset_names()) presets_->addItem(qt_text(name));
    presets_->setPlaceholderText(tr("(no preset matches)"));
    connect(presets_, &QComboBox::activated, this, &MidiInOptionsDialog::choose_preset);
    form->addRow(tr("Keyboard &preset"), presets_);
    form->addRow(tr("First &note of the voice range"),
                 note_box("first_note", &midi::PlayAlongSettings::n1stMidiInNoteForVoiceChannel, 0));
    form->addRow(tr("Control note: start and end &recording"),
                 note_box("record_note", &midi::PlayAlongSettings::nStartRecordingToMidi, kNoControlNote));
    form->addRow(tr("Control note: New Seed &play"), note_box("play_seed_note", &midi::PlayAlongSettings::nPlaySeed, kNoControlNote));
    form->addRow(tr("Control note: New Seed &Apply"),
                 note_box("apply_seed_note", &midi::PlayAlongSettings::nApplySeed, kNoControlNote));
    form->addRow(tr("Control note: New Seed C&lear"),
                 note_box("clear_seed_note", &midi::PlayAlongSettings::nClearSeed, kNoControlNote));
    form->addRow(tr("Control note: New Seed &End seed"),
                 note_box("end_seed_note", &midi::PlayAlongSettings::nEndSeed, kNoControlNote));
    layout->addLayout(form);

    layout->addWidget(flag_box(tr("&Ignore pitch bends"), "ignore_pitch_bends", &midi::PlayAlongSettings::ignore_pitch_bends));
    layout->addWidget(flag_box(tr("&Open MIDI out when a note arrives and nothing plays"), "open_out_on_event",
                               &midi::PlayAlongSettings::open_midi_out_on_midi_in_event));
    layout->addWidget(flag_box(tr("Open MIDI in at the &start of each session"), "open_in_at_start",
                               &midi::PlayAlongSettings::open_midi_in_at_start_of_session));
    layout->addWidget(close_button(this));
    show_settings();
}

QSpinBox* MidiInOptionsDialog::note_box(const char* name, int midi::PlayAlongSettings::*note, int lowest) {
    auto* box = new QSpinBox(this);
    box->setObjectName(QLatin1String(name));
    box->setRange(lowest, 127);
    if (lowest == kNoControlNote) box->setSpecialValueText(tr("none"));
    connect(box, &QSpinBox::valueChanged, this, [this, note](int value) { context_.settings().play_along.*note = value; });
    notes_.emplace_back(box, note);
    return box;
}

QCheckBox* MidiInOptionsDialog::flag_box(const QString& text, const char* name, bool midi::PlayAlongSettings::*flag) {
    auto* box = check_box(text, name, false, this);
    connect(box, &QCheckBox::toggled, this, [this, flag](bool on) { context_.settings().play_along.*flag = on; });
    flags_.emplace_back(box, flag);
    return box;
}

void MidiInOptionsDialog::show_settings() {
    const auto& s = context_.settings().play_along;
    for (std::size_t ch = 0; ch < channels_.size(); ++ch) {
        const QSignalBlocker quiet(channels_[ch]);
        channels_[ch]->setChecked(s.OkMidiInChannel[ch] != 0);
    }
    midi_in_for_->setCurrentIndex(std::clamp(s.iMidiInFor, 0, static_cast<int>(kMidiInUses.size()) - 1));
    presets_->setCurrentIndex(s.iMidiInPresets);
    for (const auto& [box, note] : notes_) {
        const QSignalBlocker quiet(box);
        box->setValue(s.*note);
    }
    for (const auto& [box, flag] : flags_) {
        const QSignalBlocker quiet(box);
        box->setChecked(s.*flag);
    }
}

void MidiInOptionsDialog::choose_preset(int preset) {
    auto& ws = context_.workspace();
    if (!midi::apply_midi_in_preset(preset, ws.settings.play_along, ws.composition)) return;
    ws.settings.needs_save = true;
    show_settings();
    changed_();
}

// ---------------------------------------------------------------------------------------

RecordPlayAlongDialog::RecordPlayAlongDialog(ProgramContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
    setObjectName("record_play_along");
    setWindowTitle(qt_text(midi::kRecordPlayAlongDialogTitle));
    auto& s = context.settings();
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    file_ = new QLineEdit(this);
    file_->setObjectName("play_along_file");
    connect(file_, &QLineEdit::editingFinished, this, [this] {
        const QString name = file_->text().trimmed();
        if (!name.isEmpty()) context_.settings().play_along.szPlayAlong = name.toStdString();
        show_settings();
    });
    form->addRow(tr("&File, in the current folder"), file_);
    auto* modes = new QHBoxLayout;
    mode_ = new QButtonGroup(this);
    for (const auto& [text, mode] : {std::pair{tr("&Replace the file"), 0}, std::pair{tr("A&ppend to its end"), 1}}) {
        auto* button = new QRadioButton(text, this);
        button->setObjectName(mode == 0 ? "replace" : "append");
        mode_->addButton(button, mode);
        modes->addWidget(button);
    }
    connect(mode_, &QButtonGroup::idClicked, this, [this](int mode) {
        context_.settings().play_along.wReplaceOrAppendPlayAlong = mode;
        show_recording();  // the title tells what the next recording does
    });
    form->addRow(tr("Each recording"), modes);
    max_size_ = new QLineEdit(this);
    max_size_->setObjectName("max_size");
    connect(max_size_, &QLineEdit::editingFinished, this, [this] {
        auto& limit = context_.settings().smf.max_midi_file_size_for_playalong;
        limit = std::max(0.0, typed_number(max_size_, limit));
        show_settings();
    });
    form->addRow(tr("&Largest file, Kb (0: no limit)"), max_size_);
    layout->addLayout(form);
    warn_ = check_box(tr("&Warn about replacing old version of file"), "warn_replace", false, this);
    connect(warn_, &QCheckBox::toggled, this,
            [&s](bool on) { s.play_along.warn_replace_old_play_along_file = on; });
    enable_ = check_box(tr("&Enable recording"), "enable_recording", false, this);
    connect(enable_, &QCheckBox::toggled, this, [&s](bool on) { s.play_along.enable_play_along_recording = on; });
    layout->addWidget(warn_);
    layout->addWidget(enable_);
    start_ = new QPushButton(this);
    start_->setObjectName("start_recording");
    connect(start_, &QPushButton::clicked, this, &RecordPlayAlongDialog::start_or_end);
    layout->addWidget(start_);
    status_ = new QLabel(this);
    status_->setObjectName("recording_status");
    status_->setMinimumHeight(status_->fontMetrics().height() * 3);
    layout->addWidget(status_);
    layout->addWidget(close_button(this));
    status_timer_ = new QTimer(this);
    status_timer_->setInterval(250);
    connect(status_timer_, &QTimer::timeout, this, &RecordPlayAlongDialog::show_recording);
    show_settings();
    show_recording();
}

void RecordPlayAlongDialog::show_settings() {
    const auto& s = context_.settings();
    file_->setText(QString::fromStdString(s.play_along.szPlayAlong));
    if (QAbstractButton* mode = mode_->button(s.play_along.wReplaceOrAppendPlayAlong == 1 ? 1 : 0)) mode->setChecked(true);
    max_size_->setText(QString::fromStdString(number_text(s.smf.max_midi_file_size_for_playalong)));
    for (const auto& [box, on] : {std::pair{warn_, s.play_along.warn_replace_old_play_along_file},
                                  std::pair{enable_, s.play_along.enable_play_along_recording}}) {
        const QSignalBlocker quiet(box);
        box->setChecked(on);
    }
}

void RecordPlayAlongDialog::start_or_end() {
    auto& recorder = context_.play_along().recorder();
    if (recorder.requested()) {
        recorder.stop();
    } else if (!context_.settings().play_along.enable_play_along_recording) {
        context_.reporter().report(midi::kEnableRecordingHelp, midi::kRecordPlayAlongTitle);
    } else {
        recorder.set_folder(std::filesystem::current_path());
        recorder.start(midi::kRecordPlayAlongTitle);
    }
    show_recording();
}

void RecordPlayAlongDialog::show_recording() {
    const auto& recorder = context_.play_along().recorder();
    const bool recording = recorder.recording_now();
    start_->setText(qt_text(recorder.button_text()));
    if (recording) {
        setWindowTitle(QString::fromStdString(recorder.title(midi::kRecordPlayAlongTitle)));
        status_->setText(QString::fromStdString(recorder.status_text()));
        if (!status_timer_->isActive()) status_timer_->start();
        return;
    }
    status_timer_->stop();
    // After a recording the window keeps the short title.
    if (windowTitle() != qt_text(midi::kRecordPlayAlongDialogTitle)) {
        setWindowTitle(qt_text(midi::kRecordPlayAlongTitle));
    }
}

void RecordPlayAlongDialog::show_button_down(bool down) { start_->setDown(down); }

}  // namespace corvane::ui
