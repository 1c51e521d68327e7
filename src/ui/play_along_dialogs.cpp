#include "corvane/ui/play_along_dialogs.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <filesystem>
#include <optional>

#include "corvane/midi/midi_in_presets.h"
#include "corvane/ui/play_along_events.h"
#include "corvane/ui/stored_values.h"
#include "dialog_support.h"

namespace corvane::ui {
namespace {

constexpr int kNoControlNote = -1;

// What notes from MIDI in are for, by iMidiInFor.
constexpr std::array<const char*, 4> kMidiInUses{
    "Play along", "Play along, recording by control note", "Edit the New Seed window",
    "Edit a New Scale or New Arpeggio window"};

enum AssignmentColumn { kKind, kFirstNote, kTopNote, kVoice, kScalePosition, kPercussion, kAssignmentColumns };

// The cells a row shows: notes by name and number, voices counted from 1 as the channels
// are, percussion by its sound; an empty position or percussion cell means through the
// scale, or no sound.
std::array<QString, kAssignmentColumns> assignment_texts(const NoteAssignment& row) {
    const bool single = row.kind == AssignmentKind::single_note;
    return {single ? QObject::tr("Single note") : QObject::tr("Voice range"),
            note_with_number(row.first_note),
            single ? QString() : note_with_number(row.top_note),
            QString::number(row.voice + 1),
            single && row.mode != midi::kNoFixedAssignment ? QString::number(row.scale_position) : QString(),
            single && row.percussion != midi::kNoPercussion ? percussion_sound_name(row.percussion) : QString()};
}

// The whole number a cell starts with ("38" of "38 Acoustic Snare").
std::optional<int> leading_number(const QString& text) {
    static const QRegularExpression number(QStringLiteral(R"(^-?\d+)"));
    const auto match = number.match(text);
    if (!match.hasMatch()) return std::nullopt;
    return match.captured().toInt();
}

bool editable_cell(const NoteAssignment& row, int column) {
    if (column == kKind) return false;
    return row.kind == AssignmentKind::single_note ? column != kTopNote : column <= kVoice;
}

// A typed cell into the row; false when the text is not a number the column takes.
bool edit_assignment(NoteAssignment& row, int column, const QString& text) {
    const QString typed = text.trimmed();
    if (typed.isEmpty() && column == kScalePosition) {
        row.mode = midi::kNoFixedAssignment;
        return true;
    }
    if (typed.isEmpty() && column == kPercussion) {
        row.percussion = midi::kNoPercussion;
        return true;
    }
    if (column == kFirstNote || column == kTopNote) {
        const auto note = typed_note(typed);  // a name, a number, or the two
        if (!note) return false;
        capture_note(row, column == kFirstNote ? CaptureTarget::first_note : CaptureTarget::top_note, *note);
        return true;
    }
    const auto number = column == kPercussion ? leading_number(typed) : std::optional<int>();
    bool ok = number.has_value();
    const int value = ok ? *number : typed.toInt(&ok);
    if (!ok) return false;
    const auto within = [value](int low, int high) { return value >= low && value <= high; };
    switch (column) {
        case kVoice:
            if (!within(1, engine::kMidiChannels)) return false;
            row.voice = value - 1;
            return true;
        case kScalePosition:
            row.mode = 0;
            row.scale_position = value;
            return true;
        case kPercussion:
            if (!within(0, 127)) return false;
            row.percussion = value;
            return true;
        default: return false;
    }
}

}  // namespace

MidiInOptionsDialog::MidiInOptionsDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent)
    : QDialog(parent), context_(context), changed_(std::move(changed)) {
    setObjectName("midi_in_options");
    setWindowTitle(tr("MIDI In options"));
    auto* layout = new QVBoxLayout(this);

    auto* channels = new QGroupBox(tr("Listen to MIDI in &channels"), this);
    auto* grid = new QGridLayout(channels);
    for (int ch = 0; ch < 16; ++ch) {
        auto* box = new QCheckBox(QString::number(ch + 1), channels);
        box->setObjectName(QString("in_channel_%1").arg(ch + 1));
        box->setToolTip(tr("Notes that come from MIDI in on channel %1 are played; unticked, they are left out")
                            .arg(ch + 1));
        connect(box, &QCheckBox::toggled, this,
                [this, ch](bool on) { store([&](auto& s) { s.OkMidiInChannel[static_cast<std::size_t>(ch)] = on; }); });
        grid->addWidget(box, ch / 8, ch % 8);
        channels_.push_back(box);
    }
    layout->addWidget(channels);

    auto* form = new QFormLayout;
    midi_in_for_ = new QComboBox(this);
    midi_in_for_->setObjectName("midi_in_for");
    for (const char* use : kMidiInUses) midi_in_for_->addItem(tr(use));
    midi_in_for_->setToolTip(tr("Notes from MIDI in play along, play along with the control notes starting and ending "
                                "a recording, or add notes to the New Seed, New Scale or New Arpeggio window"));
    connect(midi_in_for_, &QComboBox::activated, this, [this](int use) { store([&](auto& s) { s.iMidiInFor = use; }); });
    form->addRow(tr("Notes from MIDI in are &for"), midi_in_for_);
    presets_ = new QComboBox(this);
    presets_->setObjectName("presets");
    for (const auto name : midi::midi_in_preset_names()) presets_->addItem(qt_text(name));
    presets_->setPlaceholderText(tr("(no preset matches)"));
    presets_->setToolTip(tr("Arranges the keyboard in voice ranges; the later presets also set instruments and a "
                            "scale, such as the string trio in well temperament"));
    connect(presets_, &QComboBox::activated, this, &MidiInOptionsDialog::choose_preset);
    form->addRow(tr("Keyboard &preset"), presets_);
    auto* mapping_label = new QLabel(tr("&Keyboard mapping (.kbm)"), this);
    QLayout* mapping_row = keyboard_mapping_row();
    mapping_label->setBuddy(keyboard_mapping_);
    form->addRow(mapping_label, mapping_row);
    form->addRow(tr("First &note of the voice range"),
                 note_box("first_note", &midi::PlayAlongSettings::n1stMidiInNoteForVoiceChannel, 0,
                          tr("The note that plays the first note of the scale in its range: C4 (60) is middle C; "
                             "type a number or a name")));
    form->addRow(tr("Control note: start and end &recording"),
                 note_box("record_note", &midi::PlayAlongSettings::nStartRecordingToMidi, kNoControlNote,
                          tr("The note from MIDI in that starts and ends a recording instead of sounding; "
                             "none: no such note")));
    form->addRow(tr("Control note: New Seed pla&y"),
                 note_box("play_seed_note", &midi::PlayAlongSettings::nPlaySeed, kNoControlNote,
                          tr("The note from MIDI in that presses Play in the New Seed window instead of sounding; "
                             "none: no such note")));
    form->addRow(tr("Control note: New Seed &Apply"),
                 note_box("apply_seed_note", &midi::PlayAlongSettings::nApplySeed, kNoControlNote,
                          tr("The note from MIDI in that presses Apply in the New Seed window instead of sounding; "
                             "none: no such note")));
    form->addRow(tr("Control note: New Seed C&lear"),
                 note_box("clear_seed_note", &midi::PlayAlongSettings::nClearSeed, kNoControlNote,
                          tr("The note from MIDI in that presses Clear in the New Seed window instead of sounding; "
                             "none: no such note")));
    form->addRow(tr("Control note: New Seed &End seed"),
                 note_box("end_seed_note", &midi::PlayAlongSettings::nEndSeed, kNoControlNote,
                          tr("The note from MIDI in that presses End Seed in the New Seed window instead of sounding; "
                             "none: no such note")));
    layout->addLayout(form);

    layout->addWidget(flag_box(tr("&Ignore pitch bends"), "ignore_pitch_bends",
                               &midi::PlayAlongSettings::ignore_pitch_bends,
                               tr("The pitch wheel of the MIDI keyboard changes nothing")));
    layout->addWidget(flag_box(tr("&Open MIDI out when a note arrives and nothing plays"), "open_out_on_event",
                               &midi::PlayAlongSettings::open_midi_out_on_midi_in_event,
                               tr("A note from MIDI in opens the output device, so it sounds without Play")));
    layout->addWidget(flag_box(tr("Open MIDI in at the &start of each session"), "open_in_at_start",
                               &midi::PlayAlongSettings::open_midi_in_at_start_of_session,
                               tr("The program opens the MIDI input device chosen in the In menu when it starts")));
    auto* close = close_button(this);
    close->button(QDialogButtonBox::Close)->setAutoDefault(false);  // Return in the mapping's field only finishes it
    layout->addWidget(close);
    show_settings();
}

MidiInOptionsDialog::~MidiInOptionsDialog() { disconnect_children(*this); }

// The path of the keyboard mapping, Browse… and the button that goes back to the presets.
QLayout* MidiInOptionsDialog::keyboard_mapping_row() {
    keyboard_mapping_ = new QLineEdit(this);
    keyboard_mapping_->setObjectName("keyboard_mapping");
    keyboard_mapping_->setToolTip(tr("A Scala keyboard mapping (.kbm): each key plays the scale degree it gives, its "
                                     "reference key at its reference frequency, instead of the preset's note "
                                     "assignments; empty: the preset"));
    connect(keyboard_mapping_, &QLineEdit::editingFinished, this,
            [this] { choose_keyboard_mapping(keyboard_mapping_->text().trimmed()); });
    auto* browse = new QPushButton(tr("&Browse…"), this);
    browse->setObjectName("browse_keyboard_mapping");
    browse->setToolTip(tr("Chooses the keyboard mapping in a file dialog"));
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, &MidiInOptionsDialog::browse_for_keyboard_mapping);
    auto* clear = new QPushButton(tr("No &mapping"), this);
    clear->setObjectName("clear_keyboard_mapping");
    clear->setToolTip(tr("Plays the keys through the preset's note assignments again"));
    clear->setAutoDefault(false);
    connect(clear, &QPushButton::clicked, this, [this] { choose_keyboard_mapping({}); });
    auto* row = new QHBoxLayout;
    row->addWidget(keyboard_mapping_, 1);
    row->addWidget(browse);
    row->addWidget(clear);
    return row;
}

// A mapping that does not read is refused in its field, and the one in use stays.
void MidiInOptionsDialog::choose_keyboard_mapping(const QString& path) {
    const std::string chosen = path.toStdString();
    const bool in_use = chosen == context_.settings().play_along.midi_in_keyboard_mapping;
    if (in_use && !keyboard_mapping_->property(kRefusedFieldProperty).toBool()) return;
    if (const auto refused = context_.choose_keyboard_mapping(chosen)) {
        keyboard_mapping_->setText(path);
        refuse_field(keyboard_mapping_, *refused, context_.reporter(), kKeyboardMappingCaption);
        return;
    }
    clear_field_refusal(keyboard_mapping_);
    show_settings();
}

void MidiInOptionsDialog::browse_for_keyboard_mapping() {
    const QString current = QString::fromStdString(context_.settings().play_along.midi_in_keyboard_mapping);
    const auto folder = remembered_folder(context_.stored(), kKeyboardMappingFolders);
    const QString offered = current.isEmpty() && folder ? QString::fromStdString(*folder) : current;
    const QString chosen = QFileDialog::getOpenFileName(this, tr("Keyboard mapping"), offered,
                                                        tr("Scala keyboard mappings (*.kbm)"));
    if (chosen.isEmpty()) return;
    remember_folder_of(context_.stored(), kKeyboardMappingFolders, chosen.toStdString());
    choose_keyboard_mapping(chosen);
}

QSpinBox* MidiInOptionsDialog::note_box(const char* name, int midi::PlayAlongSettings::*note, int lowest,
                                        const QString& tooltip) {
    auto* box = new NoteSpinBox(this);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(tooltip);
    box->setRange(lowest, 127);
    if (lowest == kNoControlNote) box->setSpecialValueText(tr("none"));
    connect(box, &QSpinBox::valueChanged, this, [this, note](int value) { store([&](auto& s) { s.*note = value; }); });
    notes_.emplace_back(box, note);
    return box;
}

QCheckBox* MidiInOptionsDialog::flag_box(const QString& text, const char* name, bool midi::PlayAlongSettings::*flag,
                                         const QString& tooltip) {
    auto* box = check_box(text, name, false, this);
    box->setToolTip(tooltip);
    connect(box, &QCheckBox::toggled, this, [this, flag](bool on) { store([&](auto& s) { s.*flag = on; }); });
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
    if (!keyboard_mapping_->property(kRefusedFieldProperty).toBool()) {
        keyboard_mapping_->setText(QString::fromStdString(s.midi_in_keyboard_mapping));
    }
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
    {
        const auto group = context_.playback().port().hold_group();  // as MIDI in reads the tables
        if (!midi::apply_midi_in_preset(preset, ws.settings.play_along, ws.composition)) return;
    }
    ws.settings.needs_save = true;
    show_settings();
    changed_();
}

// ---------------------------------------------------------------------------------------

NoteAssignmentsWindow::NoteAssignmentsWindow(ProgramContext& context, std::function<void()> changed, QWidget* parent)
    : QDialog(parent), context_(context), changed_(std::move(changed)) {
    setObjectName("note_assignments");
    setWindowTitle(tr("Note assignments"));
    auto* layout = new QVBoxLayout(this);
    table_ = new QTableWidget(0, kAssignmentColumns, this);
    table_->setObjectName("assignments");
    table_->setHorizontalHeaderLabels(
        {tr("Row"), tr("First note"), tr("Top note"), tr("Voice"), tr("Scale position"), tr("Percussion")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setToolTip(tr("MIDI in's notes, a row for each range or single note: type a note as a number or a name "
                          "(60, C4, C#4), a voice from 1 to 16, a scale position or a percussion key (38)"));
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    connect(table_, &QTableWidget::cellChanged, this, &NoteAssignmentsWindow::cell_edited);
    layout->addWidget(table_, 1);
    auto* help = new QLabel(tr("A voice range plays its notes through the scale, counted from its first note. "
                               "A single note plays its own scale position (empty: through the scale) or "
                               "percussion sound (empty: none), over any range it lies in."),
                            this);
    help->setWordWrap(true);
    layout->addWidget(help);
    auto* buttons = new QHBoxLayout;
    const auto button = [this, buttons](const QString& text, const char* name, const QString& tooltip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tooltip);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* add_range =
        button(tr("Add &range"), "add_range", tr("Adds a voice range over every note, 0 to 127, to be narrowed"));
    connect(add_range, &QPushButton::clicked, this, [this] {
        add_row({.kind = AssignmentKind::voice_range, .first_note = 0, .top_note = midi::kMidiInNotes - 1});
    });
    connect(button(tr("Add &single note"), "add_single_note",
                   tr("Adds a single note at the first note of the voice range")), &QPushButton::clicked, this,
            [this] { add_row(single_note_at(context_.settings().play_along.n1stMidiInNoteForVoiceChannel)); });
    connect(button(tr("Re&move row"), "remove_row", tr("Removes the selected row")), &QPushButton::clicked, this,
            &NoteAssignmentsWindow::remove_selected_row);
    capture_ = button(tr("&Capture notes from MIDI in"), "capture",
                      tr("While pressed, a note from MIDI in goes into the selected row (its top note when the Top "
                         "note column is current) instead of sounding"));
    capture_->setCheckable(true);
    connect(capture_, &QPushButton::toggled, this, &NoteAssignmentsWindow::set_capturing);
    layout->addLayout(buttons);
    preset_ = new QLabel(this);
    preset_->setObjectName("assignments_preset");
    layout->addWidget(preset_);
    layout->addWidget(close_button(this));

    auto& events = context.play_along_events();
    connect(&events, &PlayAlongEvents::note_captured, this, &NoteAssignmentsWindow::take_captured_note);
    connect(&events, &PlayAlongEvents::midi_in_note, this,
            [this](int input_note, int, int) { select_row_of_note(input_note); });
    resize_within_screen(this, {620, 480});
    show_settings();
}

NoteAssignmentsWindow::~NoteAssignmentsWindow() { context_.play_along_events().set_capturing(false); }

void NoteAssignmentsWindow::show_settings() {
    rows_ = read_note_assignments(context_.settings().play_along);
    show_rows();
    show_preset();
}

void NoteAssignmentsWindow::show_rows() {
    const int selected = selected_row();
    filling_ = true;
    table_->setRowCount(static_cast<int>(rows_.size()));
    for (int r = 0; r < table_->rowCount(); ++r) {
        const NoteAssignment& row = rows_[static_cast<std::size_t>(r)];
        const auto texts = assignment_texts(row);
        for (int col = 0; col < kAssignmentColumns; ++col) {
            auto* item = new QTableWidgetItem(texts[static_cast<std::size_t>(col)]);
            if (!editable_cell(row, col)) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            table_->setItem(r, col, item);
        }
    }
    filling_ = false;
    if (selected >= 0 && selected < table_->rowCount()) table_->selectRow(selected);
}

void NoteAssignmentsWindow::show_preset() {
    const int preset = context_.settings().play_along.iMidiInPresets;
    const auto names = midi::midi_in_preset_names();
    preset_->setText(preset >= 0 && preset < static_cast<int>(names.size())
                         ? tr("Keyboard preset: %1").arg(qt_text(names[static_cast<std::size_t>(preset)]))
                         : tr("Keyboard preset: (no preset matches)"));
}

int NoteAssignmentsWindow::selected_row() const {
    const auto rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void NoteAssignmentsWindow::cell_edited(int row, int column) {
    if (filling_ || row < 0 || row >= static_cast<int>(rows_.size())) return;
    NoteAssignment edited = rows_[static_cast<std::size_t>(row)];
    if (edit_assignment(edited, column, table_->item(row, column)->text())) {
        rows_[static_cast<std::size_t>(row)] = edited;
        store_rows();
    }
    show_rows();
}

void NoteAssignmentsWindow::add_row(const NoteAssignment& row) {
    rows_.push_back(row);
    store_rows();
    show_rows();
    table_->selectRow(static_cast<int>(rows_.size()) - 1);
}

void NoteAssignmentsWindow::remove_selected_row() {
    const int row = selected_row();
    if (row < 0) return;
    rows_.erase(rows_.begin() + row);
    store_rows();
    show_rows();
}

void NoteAssignmentsWindow::store_rows() {
    auto& ws = context_.workspace();
    {
        // MIDI in reads the tables under the port lock.
        const auto group = context_.playback().port().hold_group();
        write_note_assignments(rows_, ws.settings.play_along);
    }
    ws.settings.play_along.iMidiInPresets = midi::matching_midi_in_preset(ws.settings.play_along, ws.composition);
    ws.settings.needs_save = true;
    show_preset();
    changed_();
}

void NoteAssignmentsWindow::set_capturing(bool on) {
    if (capture_->isChecked() != on) capture_->setChecked(on);  // comes back here through toggled
    context_.play_along_events().set_capturing(on);
}

void NoteAssignmentsWindow::take_captured_note(int note) {
    const int row = selected_row();
    if (!capture_->isChecked() || row < 0) return;
    const auto target = table_->currentColumn() == kTopNote ? CaptureTarget::top_note : CaptureTarget::first_note;
    capture_note(rows_[static_cast<std::size_t>(row)], target, note);
    store_rows();
    show_rows();
}

void NoteAssignmentsWindow::select_row_of_note(int note) {
    if (capture_->isChecked() || !isVisible()) return;
    const int row = row_of_note(rows_, note);
    if (row >= 0) table_->selectRow(row);
}

void NoteAssignmentsWindow::hideEvent(QHideEvent* event) {
    set_capturing(false);  // a hidden editor must not swallow the notes
    QDialog::hideEvent(event);
}

// ---------------------------------------------------------------------------------------

MidiInNoteDetailsWindow::MidiInNoteDetailsWindow(ProgramContext& context, QWidget* parent) : QDialog(parent) {
    setObjectName("midi_in_note_details");
    setWindowTitle(tr("Note Played from Midi In"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    for (const auto& [text, name] :
         {std::pair{tr("Input note"), "input_note"}, std::pair{tr("Voice"), "voice"}, std::pair{tr("Channel"), "channel"},
          std::pair{tr("Output note"), "output_note"}, std::pair{tr("Pitch bend"), "bend"},
          std::pair{tr("Pitch, cents above MIDI note 0"), "cents"}, std::pair{tr("Velocity"), "velocity"}}) {
        auto* value = new QLabel(tr("-"), this);
        value->setObjectName(QLatin1String(name));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(text, value);
        values_.push_back(value);
    }
    layout->addLayout(form);
    layout->addWidget(close_button(this));
    connect(&context.play_along_events(), &PlayAlongEvents::midi_in_note_details, this,
            &MidiInNoteDetailsWindow::show_note);
}

void MidiInNoteDetailsWindow::show_note(const midi::MidiInNote& note) {
    // Voices and channels are counted from 1, as everywhere in the windows.
    const std::array<QString, 7> texts{note_with_number(note.input_note),
                                       QString::number(note.voice + 1),
                                       QString::number(note.channel + 1),
                                       note_with_number(note.note),
                                       QString::number(note.bend),
                                       QString::number(note.midi_pitch * 100, 'f', 1),
                                       QString::number(note.velocity)};
    for (std::size_t i = 0; i < values_.size(); ++i) values_[i]->setText(texts[i]);
}

// ---------------------------------------------------------------------------------------

RecordPlayAlongDialog::~RecordPlayAlongDialog() { disconnect_children(*this); }

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
    file_->setToolTip(tr("The MIDI file recordings go to, beside the composition unless Browse… puts it "
                         "elsewhere, such as playalong.mid"));
    auto* browse = new QPushButton(tr("&Browse…"), this);
    browse->setObjectName("browse_play_along_file");
    browse->setToolTip(tr("Chooses the recording file in a file dialog"));
    connect(browse, &QPushButton::clicked, this, &RecordPlayAlongDialog::browse_for_file);
    auto* file_row = new QHBoxLayout;
    file_row->addWidget(file_, 1);
    file_row->addWidget(browse);
    auto* file_label = new QLabel(tr("&File (beside the composition)"), this);
    file_label->setBuddy(file_);
    form->addRow(file_label, file_row);
    auto* modes = new QHBoxLayout;
    mode_ = new QButtonGroup(this);
    for (const auto& [text, mode] : {std::pair{tr("&Replace the file"), 0}, std::pair{tr("A&ppend to its end"), 1}}) {
        auto* button = new QRadioButton(text, this);
        button->setObjectName(mode == 0 ? "replace" : "append");
        button->setToolTip(mode == 0 ? tr("Each recording starts the file afresh")
                                     : tr("Each recording goes on from the end of the file (a format 0 file)"));
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
    max_size_->setToolTip(tr("A recording stops when the file grows past this many kilobytes; 0: no limit"));
    form->addRow(tr("&Largest file, kB (0: no limit)"), max_size_);
    layout->addLayout(form);
    warn_ = check_box(tr("&Warn about replacing old version of file"), "warn_replace", false, this);
    connect(warn_, &QCheckBox::toggled, this,
            [&s](bool on) { s.play_along.warn_replace_old_play_along_file = on; });
    enable_ = check_box(tr("&Enable recording"), "enable_recording", false, this);
    connect(enable_, &QCheckBox::toggled, this, [&s](bool on) { s.play_along.enable_play_along_recording = on; });
    warn_->setToolTip(tr("A recording asks before it replaces a file already there"));
    enable_->setToolTip(tr("Recording is possible only while this is ticked; it is off at every start, so that a key "
                           "pressed by chance does not start a recording"));
    layout->addWidget(warn_);
    layout->addWidget(enable_);
    start_ = new QPushButton(this);
    start_->setObjectName("start_recording");
    start_->setToolTip(tr("Starts recording what is played along into the file, and ends it"));
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
    max_size_->setText(QString::fromStdString(files::number_text(s.smf.max_midi_file_size_for_playalong)));
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
        recorder.start(midi::kRecordPlayAlongTitle);
    }
    show_recording();
}

// The recording file in a folder of the user's choosing; one in the folder recordings follow
// keeps only its name, so it follows the composition.
void RecordPlayAlongDialog::browse_for_file() {
    auto& recorder = context_.play_along().recorder();
    const std::filesystem::path current = recorder.path();
    const auto folder = remembered_folder(context_.stored(), kRecordingFolders);
    const std::filesystem::path offered = folder ? std::filesystem::path(*folder) / current.filename() : current;
    // The recorder asks before replacing a file itself, when its warning is ticked.
    const QString chosen =
        QFileDialog::getSaveFileName(this, tr("Record play along into"), QString::fromStdString(offered.string()),
                                     tr("MIDI files (*.mid *.MID)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty()) return;
    const std::filesystem::path path = chosen.toStdString();
    remember_folder_of(context_.stored(), kRecordingFolders, path.string());
    const bool beside = path.parent_path() == recorder.folder();
    context_.settings().play_along.szPlayAlong = beside ? path.filename().string() : path.string();
    show_settings();
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
