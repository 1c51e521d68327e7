#include "corvane/ui/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "corvane/engine/channel_choice.h"
#include "corvane/engine/degree_mapping.h"
#include "corvane/midi/general_midi.h"
#include "corvane/midi/midi_file_save.h"
#include "corvane/tuning/expression.h"
#include "corvane/tuning/note_names.h"
#include "corvane/tuning/temperament.h"
#include "corvane/files/composition_edits.h"
#include "corvane/ui/exit_sequence.h"
#include "corvane/ui/scale_tools_panel.h"
#include "corvane/ui/stored_values.h"
#include "dialog_support.h"

namespace corvane::ui {

// ---------------------------------------------------------------------------------------

FormulaDialog::FormulaDialog(engine::Composition& composition, QWidget* parent)
    : QDialog(parent), composition_(composition) {
    setWindowTitle(qt_text(engine::kFormulaDialogCaption));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    formula_ = new QLineEdit(QString::fromStdString(composition.sz_ccbo_formula), this);
    formula_->setObjectName("formula");
    formula_->setMaxLength(static_cast<int>(engine::kMaxFormulaLength));
    formula_->setToolTip(tr("The channel of each note, counted from 0 and taken modulo the channels in play: "
                            "H+C adds the note's height to the previous channel; letters as listed below"));
    form->addRow(tr("&Formula"), formula_);
    first_channel_ = number_edit("first_channel", composition.ccbo_first_channel, this);
    first_channel_->setToolTip(tr("The value of C for the tune's first note, 0 to 15"));
    form->addRow(qt_text(engine::kFirstChannelLabel), first_channel_);
    layout->addLayout(form);
    sustain_to_next_ = check_box(qt_text(engine::kSymChsLabel), "sym_chs", composition.ccbo_sym_chs, this);
    no_overlap_ = check_box(qt_text(engine::kNoOverlapLabel), "no_overlap",
                            !composition.ccbo_multiple_notes_in_same_channel, this);
    sustain_to_next_->setToolTip(tr("Each note sounds until the next note of its voice channel starts"));
    no_overlap_->setToolTip(tr("A note ends before the next one starts on the same voice channel"));
    layout->addWidget(sustain_to_next_);
    layout->addWidget(no_overlap_);
    for (const auto help : {engine::kFormulaHelpFirst, engine::kFormulaHelpSecond, engine::kFormulaHelpNumbering}) {
        layout->addWidget(new QLabel(qt_text(help), this));
    }
    layout->addWidget(ok_cancel(this));
}

void FormulaDialog::accept() {
    engine::set_formula(composition_, formula_->text().toStdString());
    composition_.ccbo_first_channel = typed_whole(first_channel_, composition_.ccbo_first_channel, 0, 15);
    composition_.ccbo_sym_chs = sustain_to_next_->isChecked();
    composition_.ccbo_multiple_notes_in_same_channel = !no_overlap_->isChecked();
    QDialog::accept();
}

// ---------------------------------------------------------------------------------------

MidiFileDialog::MidiFileDialog(ProgramContext& context, StartSave start, QWidget* parent)
    : QDialog(parent), context_(context), start_(std::move(start)) {
    setObjectName("midi_file_dialog");
    setWindowTitle(tr("Midi File Options"));
    const auto& s = context.settings();
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    minutes_ = number_edit("minutes", s.midi_file_play_mins, this);
    seconds_ = number_edit("seconds", s.midi_file_play_secs, this);
    minutes_->setToolTip(tr("The length of the file, minutes and seconds together above 0 and at most 24 hours "
                            "(1440 minutes)"));
    seconds_->setToolTip(tr("Seconds added to the minutes: 1 minute and 30 seconds makes a file of 90 seconds"));
    form->addRow(tr("Length, &minutes"), minutes_);
    form->addRow(tr("and s&econds"), seconds_);
    format_ = new QComboBox(this);
    format_->setObjectName("format");
    format_->addItems({tr("0: one track"), tr("1: a track per channel"), tr("2: independent tracks")});
    format_->setCurrentIndex(std::clamp(s.midi_file_format, 0, 2));
    format_->setToolTip(tr("0: every channel in one track; 1: a track for each channel that sounds; 2: independent "
                           "tracks"));
    form->addRow(tr("&Format"), format_);
    auto* file_row = new QHBoxLayout;
    file_ = new QLineEdit(this);
    file_->setObjectName("file");
    // Beside the composition (or in ~/Music, else home), never in the program's data folder.
    const std::filesystem::path composition_file = std::filesystem::path(s.File.empty() ? std::string(files::kFirstSaveName) : s.File);
    const auto folder = files::folder_for_outputs(s.File, QDir::homePath().toStdString());
    file_->setText(QString::fromStdString((folder / composition_file.filename()).replace_extension(".mid").string()));
    file_->setToolTip(tr("The MIDI file to write, such as tune.mid; a file already there is replaced"));
    auto* browse = new QPushButton(tr("&Browse…"), this);
    browse->setToolTip(tr("Chooses the file in a file dialog"));
    browse->setObjectName("browse_midi_file");
    connect(browse, &QPushButton::clicked, this, [this] {
        const std::filesystem::path typed = file_->text().toStdString();
        const auto remembered = remembered_folder(context_.stored(), kMidiFileFolders);
        const auto offered = remembered ? std::filesystem::path(*remembered) / typed.filename() : typed;
        const QString path = QFileDialog::getSaveFileName(
            this, tr("Save MIDI file"), QString::fromStdString(offered.string()), tr("MIDI files (*.mid *.MID)"));
        if (path.isEmpty()) return;
        remember_folder_of(context_.stored(), kMidiFileFolders, path.toStdString());
        file_->setText(path);
    });
    file_row->addWidget(file_, 1);
    file_row->addWidget(browse);
    auto* file_label = new QLabel(tr("F&ile"), this);
    file_label->setBuddy(file_);
    form->addRow(file_label, file_row);
    layout->addLayout(form);
    single_pass_ = check_box(tr("Single &pass (formats 1 and 2)"), "single_pass", s.smf.mf_single_pass_recording, this);
    hex_dump_ = check_box(tr("Also write the &hex dump"), "hex_dump", s.hex_dump, this);
    single_pass_->setToolTip(tr("Formats 1 and 2 are written in one pass over the tune rather than one pass for "
                                "each track"));
    hex_dump_->setToolTip(tr("Also writes an annotated hex dump of the file beside it (tune.mid.hex)"));
    layout->addWidget(single_pass_);
    layout->addWidget(hex_dump_);
    progress_ = new QProgressBar(this);
    progress_->setObjectName("progress");
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    progress_->setToolTip(tr("How much of the length is written"));
    saved_time_ = new QLabel(this);
    saved_time_->setObjectName("saved_time");
    file_size_ = new QLabel(this);
    file_size_->setObjectName("file_size");
    layout->addWidget(progress_);
    layout->addWidget(saved_time_);
    layout->addWidget(file_size_);
    auto* buttons = new QDialogButtonBox(this);
    save_ = buttons->addButton(tr("&Save"), QDialogButtonBox::ActionRole);
    save_->setObjectName("save");
    save_->setToolTip(tr("Writes the file; while it is written the button stops the save"));
    buttons->addButton(QDialogButtonBox::Close)->setToolTip(close_tooltip());
    connect(save_, &QPushButton::clicked, this, &MidiFileDialog::save_or_stop);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

namespace {

// A piece longer than a day makes a file of hundreds of megabytes and a save of hours.
constexpr double kLongestPieceMinutes = 24 * 60;
constexpr double kLongestPieceSeconds = kLongestPieceMinutes * 60;

constexpr NumberRule kMinutesRule{.what = "The length in minutes", .low = 0, .high = kLongestPieceMinutes,
                                  .unit = "minutes"};
constexpr NumberRule kSecondsRule{.what = "The length in seconds", .low = 0, .high = kLongestPieceSeconds,
                                  .unit = "s"};

std::string length_refusal(double minutes, double seconds) {
    return "A MIDI file is longer than 0 and at most 24 hours (1440 minutes): " + files::number_text(minutes) +
           " minutes and " + files::number_text(seconds) + " seconds is not, so nothing was saved.";
}

}  // namespace

std::optional<MidiFileDialog::Length> MidiFileDialog::typed_length() {
    const std::string caption = windowTitle().toStdString();
    const auto minutes = read_number_field(minutes_, kMinutesRule, context_.reporter(), caption);
    if (!minutes) return std::nullopt;
    const auto seconds = read_number_field(seconds_, kSecondsRule, context_.reporter(), caption);
    if (!seconds) return std::nullopt;
    const double total = *minutes * 60 + *seconds;
    if (total > 0 && total <= kLongestPieceSeconds) return Length{*minutes, *seconds};
    // The field that makes the length: the minutes, unless the seconds make more of it.
    QLineEdit* field = *seconds > *minutes * 60 ? seconds_ : minutes_;
    refuse_field(field, length_refusal(*minutes, *seconds), context_.reporter(), caption);
    return std::nullopt;
}

bool MidiFileDialog::store_settings() {
    const auto length = typed_length();
    if (!length) return false;
    auto& s = context_.settings();
    s.midi_file_play_mins = length->minutes;
    s.midi_file_play_secs = length->seconds;
    s.midi_file_format = format_->currentIndex();
    s.smf.mf_single_pass_recording = single_pass_->isChecked();
    s.hex_dump = hex_dump_->isChecked();
    return true;
}

void MidiFileDialog::save_or_stop() {
    if (context_.midi_save().running()) {
        context_.midi_save().stop();
        return;
    }
    if (!store_settings()) return;
    if (start_(file_->text().toStdString())) show_progress();
}

void MidiFileDialog::show_progress() {
    const bool running = context_.midi_save().running();
    save_->setText(running ? tr("&Stop") : tr("&Save"));
    const auto& watch = context_.save_watch();
    const double end = files::midi_save_settings(context_.settings()).end_secs();
    const double saved = watch.saved_secs.load();
    progress_->setValue(end > 0 ? static_cast<int>(std::clamp(saved / end, 0.0, 1.0) * 1000) : 0);
    saved_time_->setText(QString::fromStdString(midi::saved_time_text(saved)));
    file_size_->setText(QString::fromStdString(midi::file_size_text(watch.file_bytes.load())));
}

// ---------------------------------------------------------------------------------------

namespace {

enum ChannelColumn {
    kVoice, kInstrument, kVolume, kOctaveShift, kLowest, kHighest, kOutOfRange,
    kPortamento, kSlideTime, kVibrato, kVibratoFreq, kVibratoAmp, kColumns
};

QString instrument_name(int voice) {
    if (voice < 0) return QObject::tr("(not in play)");
    if (voice == 128) return QObject::tr("(rests)");
    if (voice > 128) return QObject::tr("Percussion key %1").arg(voice - 128);
    return qt_text(midi::general_midi_instrument(voice));
}

}  // namespace

ChannelsDialog::ChannelsDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent)
    : QDialog(parent), context_(context), changed_(std::move(changed)) {
    setObjectName("channels_dialog");
    setWindowTitle(tr("Channels"));
    auto* layout = new QVBoxLayout(this);
    table_ = new QTableWidget(engine::kMidiChannels, kColumns, this);
    table_->setObjectName("channels");
    table_->setHorizontalHeaderLabels({tr("Voice"), tr("Instrument"), tr("Volume"), tr("Octave shift"),
                                       tr("Lowest note"), tr("Highest note"), tr("Out of range"),
                                       tr("Portamento"), tr("Slide time"), tr("Vibrato"), tr("Vibrato Hz"),
                                       tr("Vibrato %")});
    for (int ch = 0; ch < engine::kMidiChannels; ++ch) {
        table_->setVerticalHeaderItem(ch, new QTableWidgetItem(tr("Channel %1").arg(ch + 1)));
    }
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setToolTip(tr("The 16 MIDI channels, one a row: type into a cell to change it"));
    const std::array<QString, kColumns> column_tips{
        tr("0 to 127 a General MIDI program, 128 rests, 128 + key a percussion sound, -1 not in play"),
        tr("The instrument of the voice"),
        tr("0 to 127"),
        tr("Octaves up (or down, below 0) by which the channel's notes move, -100 to 100"),
        tr("The lowest MIDI note the channel plays, 0 to 127 (60 is middle C)"),
        tr("The highest MIDI note the channel plays, 0 to 127"),
        tr("A note outside the range: 0 silent, 1 hover, 2 rebound, 3 wrap around, 4 hover and rebound"),
        tr("1: each note slides from the one before; 0: off"),
        tr("How long a slide takes, 0 fastest to 127 slowest"),
        tr("1: vibrato on; 0: off"),
        tr("Vibrato waves a second, made with the pitch wheel; 0 leaves it to the modulation wheel"),
        tr("How far the vibrato goes, in percent")};
    for (int col = 0; col < kColumns; ++col) {
        table_->horizontalHeaderItem(col)->setToolTip(column_tips[static_cast<std::size_t>(col)]);
    }
    connect(table_, &QTableWidget::cellChanged, this, &ChannelsDialog::cell_edited);
    layout->addWidget(table_, 1);
    auto* form = new QFormLayout;
    shift_mode_ = new QComboBox(this);
    shift_mode_->setObjectName("shift_mode");
    for (const auto name : engine::shift_mode_names()) shift_mode_->addItem(qt_text(name));
    shift_mode_->setToolTip(tr("What an octave shift of 1 moves a channel's notes by: an octave, the arpeggio's "
                               "span or one of its degrees, or a modulation by a scale or arpeggio degree"));
    connect(shift_mode_, &QComboBox::activated, this, [this](int mode) {
        context_.composition().shift_by_octave_or_arpeggio = mode;
        context_.settings().needs_save = true;
        changed_();
    });
    form->addRow(tr("Octave &shifts move notes by"), shift_mode_);
    layout->addLayout(form);
    auto* help = new QLabel(tr("Voice: 0 to 127 a General MIDI program, 128 rests, 128 + key a percussion "
                               "sound, -1 not in play. Out of range: 0 silent, 1 hover, 2 rebound, 3 wrap "
                               "around, 4 hover and rebound. Portamento and vibrato: 1 on, 0 off. A vibrato with a rate "
                               "in Hz is made with the pitch wheel, otherwise with the modulation wheel; its "
                               "amount is in percent."),
                            this);
    help->setWordWrap(true);
    layout->addWidget(help);
    status_ = new QLabel(this);
    status_->setObjectName("channels_status");
    status_->setWordWrap(true);
    layout->addWidget(status_);
    layout->addWidget(close_button(this));
    resize_within_screen(this, {980, 560});  // the table scrolls
    show_channels();
}

void ChannelsDialog::show_channels() {
    filling_ = true;
    const engine::Composition c = context_.composition_copy();
    for (int ch = 0; ch < engine::kMidiChannels; ++ch) {
        const auto i = static_cast<std::size_t>(ch);
        const std::array<QString, kColumns> texts{
            QString::number(c.Voices_for_channels[i]),   instrument_name(c.Voices_for_channels[i]),
            QString::number(c.Volumes_for_channels[i]),  QString::number(c.Octave_shifts_for_channels[i]),
            QString::number(c.Min_notes_for_channels[i]), QString::number(c.Max_notes_for_channels[i]),
            QString::number(c.iActionIfOutOfRange[i]),   QString::number(c.iPortamento[i]),
            QString::number(c.iPortamento_slide_time[i]), QString::number(c.iVibrato[i]),              QString::fromStdString(files::number_text(c.dVibrato_freq[i])),
            QString::fromStdString(files::number_text(c.dVibrato_amp[i]))};
        for (int col = 0; col < kColumns; ++col) {
            auto* item = new QTableWidgetItem(texts[static_cast<std::size_t>(col)]);
            if (col == kInstrument) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            table_->setItem(ch, col, item);
        }
    }
    shift_mode_->setCurrentIndex(c.shift_by_octave_or_arpeggio);
    status_->setText(QString::fromStdString(engine::channels_window_status(c)));
    filling_ = false;
}

void ChannelsDialog::cell_edited(int row, int column) {
    if (filling_) return;
    auto& c = context_.composition();
    const auto ch = static_cast<std::size_t>(row);
    const QString reader = table_->item(row, column)->text();
    {
        // The player and MIDI in read and change the channels under the port's lock.
        const auto group = context_.playback().port().hold_group();
        switch (column) {
            case kVoice: c.Voices_for_channels[ch] = typed_whole(reader, c.Voices_for_channels[ch], -1, 255); break;
            case kVolume: c.Volumes_for_channels[ch] = typed_whole(reader, c.Volumes_for_channels[ch], 0, 127); break;
            case kOctaveShift:
                c.Octave_shifts_for_channels[ch] = typed_whole(reader, c.Octave_shifts_for_channels[ch], -100, 100);
                break;
            case kLowest: c.Min_notes_for_channels[ch] = typed_whole(reader, c.Min_notes_for_channels[ch], 0, 127); break;
            case kHighest: c.Max_notes_for_channels[ch] = typed_whole(reader, c.Max_notes_for_channels[ch], 0, 127); break;
            case kOutOfRange: c.iActionIfOutOfRange[ch] = typed_whole(reader, c.iActionIfOutOfRange[ch], 0, 4); break;
            case kPortamento: c.iPortamento[ch] = typed_whole(reader, c.iPortamento[ch], 0, 1); break;
            case kSlideTime:
                c.iPortamento_slide_time[ch] = typed_whole(reader, c.iPortamento_slide_time[ch], 0, 127);
                break;
            case kVibrato: c.iVibrato[ch] = typed_whole(reader, c.iVibrato[ch], 0, 1); break;
            case kVibratoFreq: c.dVibrato_freq[ch] = std::max(0.0, typed_number(reader, c.dVibrato_freq[ch])); break;
            case kVibratoAmp: c.dVibrato_amp[ch] = std::max(0.0, typed_number(reader, c.dVibrato_amp[ch])); break;
            default: return;
        }
    }
    context_.settings().needs_save = true;
    show_channels();
    changed_();
}

// ---------------------------------------------------------------------------------------

NumberOptionsDialog::NumberOptionsDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent)
    : QDialog(parent), context_(context), changed_(std::move(changed)) {
    setObjectName("number_options");
    setWindowTitle(tr("Number options"));
    const auto& f = context.settings().format;
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    sig_figs_ = new QSpinBox(this);
    sig_figs_->setRange(1, 16);
    sig_figs_->setValue(f.iCentsSigFigs);
    sig_figs_->setObjectName("sig_figs");
    sig_figs_->setToolTip(tr("How many significant figures decimals and cents are written with, 1 to 16: 701.955 "
                             "has 6"));
    form->addRow(tr("Significant &figures of decimals and cents"), sig_figs_);
    max_quotient_ = number_edit("max_quotient", static_cast<double>(f.iMaxQuotientForIntervals), this);
    max_quotient_->setToolTip(tr("A pitch is written as a ratio only when its denominator is at most this, 1 to "
                                 "2000000000: with 100, 3/2 but not 3001/2000"));
    form->addRow(tr("Largest &denominator of a ratio"), max_quotient_);
    max_divisor_ = number_edit("max_divisor", static_cast<double>(f.iMaxDivisorForRatiosQuotient), this);
    max_divisor_->setToolTip(tr("Ratios whose denominator reaches this value must have no prime factor above it; "
                                "0: no such limit"));
    form->addRow(tr("&Prime limit once the denominator reaches it (0: none)"), max_divisor_);
    max_n_quotient_ = number_edit("max_n_quotient", static_cast<double>(f.iMaxQuotientForNRatios), this);
    max_n_quotient_->setToolTip(tr("A pitch is written as n(p/q), 2^(p/q), only when q is at most this: with 100, "
                                   "n(7/12) but not n(7/101)"));
    form->addRow(tr("Largest denominator of an &octave fraction n(p/q)"), max_n_quotient_);
    layout->addLayout(form);
    show_cents_ = check_box(tr("Prefer &cents to ratios"), "show_cents", f.show_cents, this);
    cents_or_small_ratios_ =
        check_box(tr("... but a &ratio when a small one fits"), "small_ratios", f.show_cents_or_small_ratios, this);
    factorise_ = check_box(tr("F&actorise ratios (45/32 as 3^2*5/2^5)"), "factorise", f.bFactoriseRatios, this);
    ratios_over_1_ = check_box(tr("Whole numbers as ratios (&2 as 2/1)"), "ratios_over_1", f.ratios_as_1o1_2o1_etc, this);
    cents_fixed_ = check_box(tr("Cents with fi&xed decimals"), "cents_fixed", f.cents_fixed_point, this);
    show_cents_->setToolTip(tr("Pitches are written in cents (701.955 cents) rather than as ratios (3/2)"));
    cents_or_small_ratios_->setToolTip(tr("With cents preferred, a pitch that is a ratio of small numbers is still "
                                          "written as the ratio"));
    factorise_->setToolTip(tr("Ratios are written as products of prime powers"));
    ratios_over_1_->setToolTip(tr("Whole numbers are written with /1"));
    cents_fixed_->setToolTip(tr("Cents are written with a fixed number of decimals rather than significant figures"));
    for (QCheckBox* box : {show_cents_, cents_or_small_ratios_, factorise_, ratios_over_1_, cents_fixed_}) {
        layout->addWidget(box);
    }
    layout->addWidget(ok_cancel(this));
}

void NumberOptionsDialog::accept() {
    auto& f = context_.settings().format;
    f.iCentsSigFigs = sig_figs_->value();
    f.iMaxQuotientForIntervals = typed_whole(max_quotient_, 100000000, 1, 2000000000);
    f.iMaxDivisorForRatiosQuotient = typed_whole(max_divisor_, 50, 0, 2000000000);
    f.iMaxQuotientForNRatios = typed_whole(max_n_quotient_, 100, 1, 2000000000);
    f.show_cents = show_cents_->isChecked();
    f.show_cents_or_small_ratios = cents_or_small_ratios_->isChecked();
    f.bFactoriseRatios = factorise_->isChecked();
    f.ratios_as_1o1_2o1_etc = ratios_over_1_->isChecked();
    f.cents_fixed_point = cents_fixed_->isChecked();
    changed_();
    QDialog::accept();
}

// ---------------------------------------------------------------------------------------

namespace {

QString pitch_class_name(int pitch_class, tuning::Accidentals accidentals) {
    return QString::fromStdString(tuning::note_name(60 + pitch_class, accidentals, tuning::OctaveStyle::none, false));
}

}  // namespace

MeanToneDialog::~MeanToneDialog() { disconnect_children(*this); }

MeanToneDialog::MeanToneDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent)
    : QDialog(parent), context_(context), changed_(std::move(changed)) {
    setObjectName("mean_tone");
    setWindowTitle(tr("New mean-tone scale"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    comma_ = new QLineEdit("1/4", this);
    comma_->setObjectName("comma");
    comma_->setToolTip(tr("How much each fifth is narrowed, as a part of the syntonic comma (81/80): 1/4 gives "
                          "quarter-comma mean-tone, 0 Pythagorean tuning"));
    form->addRow(tr("Fifths narrowed by this part of the &syntonic comma"), comma_);
    auto* wolf_row = new QHBoxLayout;
    wolf_name_ = new QLineEdit(this);
    wolf_name_->setObjectName("wolf");
    wolf_name_->setToolTip(tr("The note the wolf fifth starts from, such as G# or Eb; the arrows move it"));
    connect(wolf_name_, &QLineEdit::editingFinished, this, [this] {
        if (!wolf_name_->text().trimmed().isEmpty()) wolf_ = tuning::note_from_name(wolf_name_->text().toStdString(), 0) % 12;
        show_wolf();
    });
    wolf_row->addWidget(wolf_name_, 1);
    const std::array<std::pair<const char*, bool>, 2> steps{{{"semitone", false}, {"natural", true}}};
    for (const auto& [name, to_natural] : steps) {
        for (const bool up : {false, true}) {
            auto* arrow = new QToolButton(this);
            arrow->setObjectName(QString("wolf_%1_%2").arg(name, up ? "up" : "down"));
            arrow->setArrowType(up ? Qt::RightArrow : Qt::LeftArrow);
            arrow->setToolTip(to_natural ? tr("To the next natural note") : tr("By a semitone"));
            connect(arrow, &QToolButton::clicked, this, [this, up, natural = to_natural] {
                wolf_ = files::step_wolf_note(wolf_, up, natural);
                show_wolf();
            });
            wolf_row->addWidget(arrow);
        }
    }
    wolf_end_ = new QLabel(this);
    wolf_end_->setObjectName("wolf_end");
    wolf_row->addWidget(wolf_end_);
    auto* wolf_label = new QLabel(tr("&Wolf fifth"), this);
    wolf_label->setBuddy(wolf_name_);
    form->addRow(wolf_label, wolf_row);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* apply_button = buttons->addButton(tr("&Apply to scale"), QDialogButtonBox::ActionRole);
    apply_button->setObjectName("apply");
    apply_button->setToolTip(tr("Makes the mean-tone scale the composition's scale"));
    buttons->addButton(QDialogButtonBox::Close)->setToolTip(close_tooltip());
    connect(apply_button, &QPushButton::clicked, this, &MeanToneDialog::apply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    show_wolf();
}

void MeanToneDialog::show_wolf() {
    wolf_name_->setText(pitch_class_name(wolf_, tuning::Accidentals::sharps));
    wolf_end_->setText(tr("to %1").arg(pitch_class_name((wolf_ + 7) % 12, tuning::Accidentals::flats)));
}

void MeanToneDialog::apply() {
    comma_fraction_ = typed_number(comma_, comma_fraction_);
    const auto scale = tuning::make_mean_tone(comma_fraction_, wolf_, context_.settings().format);
    auto& ws = context_.workspace();
    engine::set_intervals(ws.composition, scale.entries);
    ws.composition.Intervals_Title = scale.title;
    ws.settings.needs_save = true;
    changed_();
}

// ---------------------------------------------------------------------------------------

BeatsDialog::BeatsDialog(ProgramContext& context, QWidget* parent) : QDialog(parent), context_(context) {
    setObjectName("beats");
    setWindowTitle(tr("Beats"));
    const auto& s = context.settings();
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const int last_degree = static_cast<int>(context.composition().Intervals.size()) - 1;
    first_ = new QSpinBox(this);
    second_ = new QSpinBox(this);
    for (QSpinBox* degree : {first_, second_}) degree->setRange(0, std::max(0, last_degree));
    first_->setObjectName("first_degree");
    second_->setObjectName("second_degree");
    first_->setToolTip(tr("The lower note of the interval, a degree of the scale from 0"));
    second_->setToolTip(tr("The upper note of the interval, a degree of the scale from 0: 7 is a fifth in 12 equal "
                           "steps"));
    second_->setValue(std::min(last_degree, 7));
    form->addRow(tr("&First degree of the scale"), first_);
    form->addRow(tr("&Second degree"), second_);
    max_harmonic_ = number_edit("max_harmonic", s.beats_max_harmonic, this);
    max_beats_ = number_edit("max_beats", s.beats_max_beats, this);
    sig_figs_ = number_edit("sig_figs", s.beats_sig_figs, this);
    max_harmonic_->setToolTip(tr("The highest harmonic of each note whose beats are listed, 0 to 10000"));
    max_beats_->setToolTip(tr("Beats faster than this many a second are left out, 0 to 100000"));
    sig_figs_->setToolTip(tr("Significant figures of the numbers listed, 1 to 17"));
    form->addRow(tr("Max &harmonic"), max_harmonic_);
    form->addRow(tr("Max &beats"), max_beats_);
    form->addRow(tr("Sig. F&igs"), sig_figs_);
    for (QLineEdit* edit : {max_harmonic_, max_beats_, sig_figs_}) {
        connect(edit, &QLineEdit::editingFinished, this, &BeatsDialog::recompute);
    }
    layout->addLayout(form);
    difference_tone_ = check_box(tr("Show &difference tone"), "show_difference_tone", true, this);
    difference_tone_->setToolTip(tr("Also lists the difference tone of the two notes"));
    connect(difference_tone_, &QCheckBox::toggled, this, &BeatsDialog::recompute);
    layout->addWidget(difference_tone_);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName("beats_text");
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);  // the columns stay in line
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(text_, 1);
    layout->addWidget(close_button(this));
    // Wide enough for the table's columns in the fixed-pitch font.
    constexpr int kTableCharacters = 96;
    resize(text_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * kTableCharacters, 440);
    for (QSpinBox* degree : {first_, second_}) connect(degree, &QSpinBox::valueChanged, this, &BeatsDialog::recompute);
    recompute();
}

void BeatsDialog::recompute() {
    auto& s = context_.settings();
    s.beats_max_harmonic = typed_whole(max_harmonic_, s.beats_max_harmonic, 0, 10000);
    s.beats_max_beats = typed_whole(max_beats_, s.beats_max_beats, 0, 100000);
    s.beats_sig_figs = typed_whole(sig_figs_, s.beats_sig_figs, 1, 17);
    max_harmonic_->setText(QString::number(s.beats_max_harmonic));
    max_beats_->setText(QString::number(s.beats_max_beats));
    sig_figs_->setText(QString::number(s.beats_sig_figs));
    const auto& c = context_.composition();
    const auto ratio = [&c](const QSpinBox* degree) {
        return c.Intervals[static_cast<std::size_t>(degree->value())] + 1.0;
    };
    const tuning::BeatsSettings settings{s.beats_max_harmonic, s.beats_max_beats, s.beats_sig_figs};
    text_->setPlainText(QString::fromStdString(tuning::beats_window_text(
        ratio(first_), ratio(second_), c.Frequency_of_lowest_note, settings, s.format, difference_tone_->isChecked())));
}

// ---------------------------------------------------------------------------------------

ScalesOptionsDialog::ScalesOptionsDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent)
    : QDialog(parent), context_(context) {
    setObjectName("scales_options");
    setWindowTitle(qt_text(kScalesOptionsCaption));
    const auto& s = context.settings();
    auto* layout = new QVBoxLayout(this);
    auto* general = new QWidget(this);
    auto* general_layout = new QVBoxLayout(general);
    struct Flag {
        QString text;
        QString tooltip;
        bool files::Settings::*flag;
    };
    const std::array<Flag, 6> flags{{
        {tr("&Modes follow the scale chosen from a list"),
         tr("A scale chosen from the list of scales also loads its list of modes"),
         &files::Settings::synchronise_modes},
        {tr("Show the Scala &file name in the scale title"), tr("A Scala scale's title begins with its file name"),
         &files::Settings::scala_show_original_filename},
        {tr("&Note when a Scala scale does not end at the octave"),
         tr("Opening a Scala scale whose last note is not 2/1 says so"),
         &files::Settings::scala_show_if_last_note_is_other_than_octave},
        {tr("Add lists of scales to &index.lsc when saved or opened"),
         tr("index.lsc, in the data folder, keeps an entry for every list of scales saved or opened"),
         &files::Settings::add_lsc_files_to_index_lsc_on_save_or_open},
        {tr("&Remove duplicates when sorting"), tr("A sort also removes entries that repeat an earlier one"),
         &files::Settings::remove_duplicates_for_sort},
        {tr("New scale and arpeggio windows on &top"), tr("The scale and arpeggio editors stay above other windows"),
         &files::Settings::new_sas_windows_on_top},
    }};
    for (const auto& [text, tooltip, flag] : flags) {
        auto* box = new QCheckBox(text, general);
        box->setChecked(s.*flag);
        box->setToolTip(tooltip);
        general_layout->addWidget(box);
        flags_.emplace_back(box, flag);
    }
    auto* form = new QFormLayout;
    scala_location_ = new QLineEdit(QString::fromStdString(s.ScalaLocation), general);
    scala_location_->setObjectName("scala_location");
    scala_location_->setToolTip(tr("Where the Scala program is, such as /opt/scala/scala; its folder holds the mode "
                                   "names file"));
    form->addRow(tr("Scala &program"), scala_location_);
    general_layout->addLayout(form);
    general_layout->addStretch();
    tools_ = new ScaleToolsPanel(context, std::move(changed), this);
    tools_->add_first_page(general, tr("General"));
    layout->addWidget(tools_, 1);
    layout->addWidget(ok_cancel(this));
}

void ScalesOptionsDialog::done(int result) {
    if (!context_.scale_tools().ask_to_close()) return;
    QDialog::done(result);
}

void ScalesOptionsDialog::accept() {
    auto& s = context_.settings();
    for (const auto& [box, flag] : flags_) s.*flag = box->isChecked();
    s.ScalaLocation = scala_location_->text().toStdString();
    context_.stored().ScalaLocation = s.ScalaLocation;
    tools_->store_settings();
    QDialog::accept();
}

// ---------------------------------------------------------------------------------------

namespace {

constexpr int kPercussionVoice = 128;  // voices above it play key (voice - 128) on channel 10

constexpr std::string_view kCommandLineHelp =
    "corvane [file]\n\n"
    "The file may be a composition (.cv, .cmp), a Scala scale (.scl), a list of scales (.lsc) or of "
    "modes (.lmd); its windows open as ticked for its kind.\n\n"
    "When a copy is already running, the file goes to it; where that copy has unsaved changes it asks "
    "whether to save them first. Without a file, or with Shift held while launching, a new copy starts.\n\n"
    "CORVANE_DATA_FOLDER names another folder for the configuration and the data files.\n\n"
    "corvane-cli plays, saves and converts from a terminal: corvane-cli --help lists its commands.";

}  // namespace

NonMelodicPercussionDialog::NonMelodicPercussionDialog(ProgramContext& context, std::function<void()> changed,
                                                       QWidget* parent)
    : QDialog(parent), context_(context), changed_(std::move(changed)) {
    setObjectName("non_melodic_percussion");
    setWindowTitle(tr("Non melodic percussion"));
    auto* layout = new QVBoxLayout(this);
    // Two columns of eight channels, so that the window fits a small screen.
    constexpr int kChannelsPerColumn = 8;
    auto* columns = new QHBoxLayout;
    QFormLayout* form = nullptr;
    for (int ch = 0; ch < engine::kMidiChannels; ++ch) {
        if (ch % kChannelsPerColumn == 0) {
            form = new QFormLayout;
            columns->addLayout(form);
        }
        auto* sound = new QComboBox(this);
        sound->setObjectName(QString("percussion_%1").arg(ch + 1));
        sound->addItem(tr("(an instrument)"), -1);
        for (int key = 1; key < 128; ++key) sound->addItem(percussion_sound_name(key), key);
        sound->setToolTip(tr("The percussion sound channel %1 plays on channel 10 for every note, or (an "
                             "instrument) for its melodic voice").arg(ch + 1));
        connect(sound, &QComboBox::activated, this, [this, ch](int choice) { choose_sound(ch, choice); });
        form->addRow(tr("Channel %1").arg(ch + 1), sound);
        sounds_.push_back(sound);
    }
    layout->addLayout(columns);
    layout->addWidget(close_button(this));
    show_voices();
}

void NonMelodicPercussionDialog::show_voices() {
    const auto& voices = context_.composition().Voices_for_channels;
    for (std::size_t ch = 0; ch < sounds_.size(); ++ch) {
        const int voice = voices[ch];
        sounds_[ch]->setCurrentIndex(voice > kPercussionVoice ? sounds_[ch]->findData(voice - kPercussionVoice) : 0);
    }
}

void NonMelodicPercussionDialog::choose_sound(int channel, int choice) {
    int& voice = context_.composition().Voices_for_channels[static_cast<std::size_t>(channel)];
    const int key = sounds_[static_cast<std::size_t>(channel)]->itemData(choice).toInt();
    if (key > 0) {
        voice = kPercussionVoice + key;
    } else if (voice > kPercussionVoice) {
        voice = 0;  // back to an instrument: the first, until another is chosen
    } else {
        return;
    }
    context_.settings().needs_save = true;
    changed_();
}

namespace {

// What each occasion of the window table stands for, in the order of the occasions.
constexpr std::array<std::string_view, kOccasions.size()> kOccasionTitles{
    "Composition\nopened", "List of scales\nopened", "List of modes\nopened", "Scala scale\nopened", "Start-up",
    "Show now"};

// Rows are the windows, columns the occasions; each cell a tick.
QTableWidget* window_ticks(WindowCodeTable& table, const std::function<void()>& changed, QWidget* parent) {
    auto* ticks = new QTableWidget(static_cast<int>(kWindowCodeCount), static_cast<int>(kOccasions.size()), parent);
    ticks->setObjectName("window_ticks");
    ticks->setToolTip(QObject::tr("Tick a window in a column to open it on that occasion: when a file of that "
                                  "kind is opened, at start-up, or now with Show now"));
    QStringList rows;
    for (std::size_t i = 0; i < kWindowCodeCount; ++i) {
        rows << qt_text(kWindowNames[i]) + QStringLiteral(" (") + QChar::fromLatin1(kWindowCodes[i]) + QLatin1Char(')');
    }
    QStringList columns;
    for (const auto title : kOccasionTitles) columns << qt_text(title);
    ticks->setVerticalHeaderLabels(rows);
    ticks->setHorizontalHeaderLabels(columns);
    for (std::size_t row = 0; row < kWindowCodeCount; ++row) {
        for (std::size_t column = 0; column < kOccasions.size(); ++column) {
            auto* cell = new QTableWidgetItem;
            cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            cell->setCheckState(table.occasions[column].test(row) ? Qt::Checked : Qt::Unchecked);
            ticks->setItem(static_cast<int>(row), static_cast<int>(column), cell);
        }
    }
    ticks->resizeColumnsToContents();
    QObject::connect(ticks, &QTableWidget::itemChanged, ticks, [&table, changed](QTableWidgetItem* cell) {
        const auto row = static_cast<std::size_t>(cell->row());
        const auto column = static_cast<std::size_t>(cell->column());
        const bool on = cell->checkState() == Qt::Checked;
        if (table.occasions[column].test(row) == on) return;
        table.occasions[column].set(row, on);
        changed();
    });
    return ticks;
}

}  // namespace

CommandLineOptionsDialog::CommandLineOptionsDialog(WindowCodeTable& table, std::function<void()> changed,
                                                   std::function<void()> show_now, QWidget* parent)
    : QDialog(parent) {
    setObjectName("command_line_options");
    setWindowTitle(tr("Command line options"));
    auto* layout = new QVBoxLayout(this);
    auto* help = new QLabel(qt_text(kCommandLineHelp), this);
    help->setWordWrap(true);
    help->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(help);
    auto* started_label = new QLabel(tr("This copy was &started as:"), this);
    layout->addWidget(started_label);
    auto* started = new QLineEdit(QCoreApplication::arguments().join(QLatin1Char(' ')), this);
    started->setObjectName("started_as");
    started->setReadOnly(true);
    started->setToolTip(tr("The command line this copy of the program was started with"));
    started_label->setBuddy(started);
    layout->addWidget(started);
    auto* ticks_label = new QLabel(tr("&Windows that open on each occasion:"), this);
    layout->addWidget(ticks_label);
    QTableWidget* ticks = window_ticks(table, changed, this);
    ticks_label->setBuddy(ticks);
    layout->addWidget(ticks, 1);
    auto* buttons = close_button(this);
    QPushButton* show = buttons->addButton(tr("Show &now"), QDialogButtonBox::ActionRole);
    show->setObjectName("show_now");
    show->setToolTip(tr("Opens the windows ticked in the Show now column"));
    connect(show, &QPushButton::clicked, this, [show_now = std::move(show_now)] { show_now(); });
    layout->addWidget(buttons);
    resize_within_screen(this, {760, 560});  // the table of windows scrolls
}

}  // namespace corvane::ui
