// Every thread of the desktop program at once: the player's timer thread playing on the real
// clock, the pitch-bend vibrato thread, notes, the pitch wheel and controllers arriving from
// MIDI in on a thread of their own, a play-along recording writing its file, and the window
// thread following the player in the tune graph, editing the note assignments and the
// channels and moving the pitch bar. Built with ThreadSanitizer, this is the suite's check
// that they share state safely.

#include <QSlider>
#include <QTableWidget>
#include <chrono>
#include <functional>
#include <stop_token>
#include <thread>

#include "corvane/midi/play_along_recorder.h"
#include "corvane/ui/dialogs.h"
#include "corvane/ui/display_windows.h"
#include "corvane/ui/tune_graph_window.h"
#include "main_window_fixture.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;

constexpr int kPercussionChannel = 9;
constexpr int kSnareDrum = 38;
constexpr int kExpression = 11;
constexpr std::uint8_t kModulationController = 1;
constexpr std::uint8_t kVolumeController = 7;
constexpr auto kBusyTime = std::chrono::milliseconds(1500);

std::uint8_t status_of(const platform::RecordedMessage& m) { return static_cast<std::uint8_t>(m.message & 0xFF); }
int data1_of(const platform::RecordedMessage& m) { return static_cast<int>((m.message >> 8) & 0x7F); }
int data2_of(const platform::RecordedMessage& m) { return static_cast<int>((m.message >> 16) & 0x7F); }
bool is_note_on(std::uint8_t status, int velocity) { return (status & 0xF0) == 0x90 && velocity > 0; }

// A keyboard player on its own thread: a note, a pitch-wheel move and the volume and
// modulation controllers (which change the composition) every few milliseconds, until told
// to stop; the wheel ends at its centre. Counts the notes it played.
void play_midi_in(const std::stop_token& stop, platform::InjectedInputSystem& inputs, int note,
                  std::atomic<int>& notes) {
    for (int i = 0; !stop.stop_requested(); ++i) {
        inputs.inject(0x90, static_cast<std::uint8_t>(note), 100);
        std::this_thread::sleep_for(std::chrono::milliseconds(8));
        inputs.inject(0x80, static_cast<std::uint8_t>(note), 64);
        const int wheel = 8192 + (i % 2 == 0 ? 1024 : -1024);
        inputs.inject(0xE0, static_cast<std::uint8_t>(wheel & 0x7F), static_cast<std::uint8_t>(wheel >> 7));
        inputs.inject(0xB0, kVolumeController, static_cast<std::uint8_t>(90 + i % 30));
        inputs.inject(0xB0, kModulationController, static_cast<std::uint8_t>(i % 20));
        notes.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(8));
    }
    inputs.inject(0xE0, 0x00, 0x40);
}

class AllThreadsTest : public MainWindowTest {
protected:
    // Pitch-bend vibrato, with a swell of the expression that only the vibrato sends, on
    // every melodic voice.
    void vibrato_on_every_voice() {
        auto group = context->playback().port().hold_group();
        engine::Composition& c = context->composition();
        for (std::size_t v = 0; v < c.iVibrato.size(); ++v) {
            c.iVibrato[v] = 1;
            c.dVibrato_freq[v] = 7;
            c.dVibrato_amp[v] = 20;
            c.dVibrato_vol_amp[v] = 40;
        }
    }
    // A single note that sounds the snare drum, so what MIDI in plays is told apart from
    // the player's notes. Returns the note.
    int snare_note_assignment(QTableWidget& table) {
        table.parentWidget()->findChild<QPushButton*>("add_single_note")->click();
        const int row = table.rowCount() - 1;
        table.item(row, 5)->setText(QString::number(kSnareDrum));
        return table.item(row, 1)->text().section(QLatin1Char('('), 1).chopped(1).toInt();  // "C4 (60)"
    }
    void start_recording() {
        context->settings().play_along.enable_play_along_recording = true;
        ASSERT_TRUE(window->open_window('G'));
        QTest::mouseClick(window->record_dialog()->findChild<QPushButton*>("start_recording"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return context->play_along().recorder().recording_now(); }, 3000));
    }
    void end_recording() {
        auto& recorder = context->play_along().recorder();
        QTest::mouseClick(window->record_dialog()->findChild<QPushButton*>("start_recording"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder.requested(); }, 3000));
        recorder.wait();
    }
};

TEST_F(AllThreadsTest, PlayerVibratoMidiInRecordingAndWindowsRunTogether) {
    start();
    vibrato_on_every_voice();
    open_midi_in();
    auto* assignments = open_window<QTableWidget>('2', "assignments");
    const int snare_note = snare_note_assignment(*assignments);
    auto* graph = open_window<TuneGraphWindow>('T', "tune_graph_window");
    auto* pitch_bar = open_window<QSlider>('P', "pitch_bar");
    auto* channels = open_window<ChannelsDialog>('N', "channels_dialog");
    auto* channel_table = channels->findChild<QTableWidget*>();

    window->play();
    ASSERT_TRUE(context->playback().player().playing());
    start_recording();
    const std::uint64_t pictures_before = graph->pictures_shown();
    std::atomic<int> keyboard_notes{0};
    std::jthread keyboard(play_midi_in, std::ref(inputs), snare_note, std::ref(keyboard_notes));

    // The window thread's share: edits and moves between its events.
    const auto busy_until = std::chrono::steady_clock::now() + kBusyTime;
    for (int i = 0; std::chrono::steady_clock::now() < busy_until; ++i) {
        pitch_bar->setValue(i % 2 == 0 ? 30 : -30);
        if (i % 4 == 0) {
            assignments->parentWidget()->findChild<QPushButton*>("add_range")->click();  // selects the new row
            assignments->parentWidget()->findChild<QPushButton*>("remove_row")->click();
        }
        if (i % 4 == 2) {
            channels->show_channels();                                       // what MIDI in changed
            channel_table->item(1, 2)->setText(QString::number(100 + i % 20));  // a volume typed in
        }
        QTest::qWait(25);
    }
    pitch_bar->setValue(0);
    keyboard.request_stop();
    keyboard.join();
    end_recording();
    context->stop_play_and_wait();
    QCoreApplication::processEvents();

    EXPECT_GT(keyboard_notes.load(), 10);
    EXPECT_GT(graph->pictures_shown(), pictures_before);

    const auto sent = outputs.messages();
    const auto count = [&](auto&& test) { return std::count_if(sent.begin(), sent.end(), test); };
    const auto midi_in_notes = count([](const auto& m) {
        return is_note_on(status_of(m), data2_of(m)) && (status_of(m) & 0x0F) == kPercussionChannel &&
               data1_of(m) == kSnareDrum;
    });
    const auto vibrato_swells = count([](const auto& m) {
        return (status_of(m) & 0xF0) == 0xB0 && data1_of(m) == kExpression && data2_of(m) < 127;
    });
    EXPECT_GT(midi_in_notes, 10);
    EXPECT_GT(vibrato_swells, 10);

    // The recording is a whole format 0 file holding both the tune and the drum.
    const auto smf = corvane::testing::read_smf(folder / context->settings().play_along.szPlayAlong);
    EXPECT_EQ(smf.format, 0);
    ASSERT_EQ(smf.tracks.size(), 1u);
    const auto& events = smf.tracks[0].events;
    const auto recorded = [&](bool drum) {
        return std::any_of(events.begin(), events.end(), [drum](const corvane::testing::SmfEvent& e) {
            return e.bytes.size() == 3 && is_note_on(e.bytes[0], e.bytes[2]) &&
                   ((e.bytes[0] & 0x0F) == kPercussionChannel) == drum;
        });
    };
    EXPECT_TRUE(recorded(true));
    EXPECT_TRUE(recorded(false));
}

}  // namespace
}  // namespace corvane::ui
