// The MIDI file options (window code M): a length of nothing, of more than a day, or a text
// that is not a number is refused, the field marked and the message naming it, and nothing
// is kept or saved until it is mended; a mended length saves a whole file.

#include "expected_output.h"
#include "main_window_fixture.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;

class MidiFileDialogTest : public MainWindowTest {
protected:
    void SetUp() override {
        start();
        ASSERT_TRUE(window->open_window('M'));
        dialog = window->midi_file_dialog();
        ASSERT_NE(dialog, nullptr);
        field("file")->setText(QString::fromStdString(saved_file().string()));
    }
    void TearDown() override {
        // A save the old dialog let through must not outlive the test.
        if (context && context->midi_save().running()) {
            context->midi_save().stop();
            context->midi_save().wait();
        }
        MainWindowTest::TearDown();
    }

    QLineEdit* field(const char* name) const { return dialog->findChild<QLineEdit*>(QLatin1String(name)); }
    std::filesystem::path saved_file() const { return folder / "length.mid"; }

    // Types the length and presses Save; what was said, if anything.
    std::string save_with(const QString& minutes, const QString& seconds) {
        field("minutes")->setText(minutes);
        field("seconds")->setText(seconds);
        const auto said = reporter.entries().size();
        QTest::mouseClick(dialog->findChild<QPushButton*>("save"), Qt::LeftButton);
        const auto entries = reporter.entries();
        return entries.size() > said ? entries.back().message : std::string();
    }

    MidiFileDialog* dialog = nullptr;
};

// The field keeps the text, marked, with the reason, and has the focus; nothing was kept or
// saved. A text that is not a number is never replaced by the old value.
TEST_F(MidiFileDialogTest, ALengthOutOfRangeOrNotANumberIsRefusedUntilMended) {
    const std::pair<const char*, const char*> lengths[] = {{"0", "0"},    {"1440", "1"},  {"7200", "0"},
                                                           {"1", "86341"}, {"1", "-30"},   {"abc", "0"},
                                                           {"1e300", "0"}, {"5x", "0"},    {"1", "2 5"}};
    std::string refusals;
    for (const auto& [minutes, seconds] : lengths) {
        SCOPED_TRACE(std::string(minutes) + " min " + seconds + " s");
        const std::string why = save_with(minutes, seconds);
        auto* marked = qobject_cast<QLineEdit*>(dialog->focusWidget());
        ASSERT_NE(marked, nullptr);
        refusals += std::string(minutes) + " min, " + seconds + " s: " + marked->objectName().toStdString() + " \"" +
                    marked->text().toStdString() + "\" marked: " + why + "\n";
        EXPECT_TRUE(marked->property("refused").toBool());
        EXPECT_FALSE(marked->styleSheet().isEmpty());
        EXPECT_EQ(marked->toolTip().toStdString(), why);
        EXPECT_EQ(context->settings().midi_file_play_mins, 1);
        EXPECT_EQ(context->settings().midi_file_play_secs, 0);
        EXPECT_FALSE(context->midi_save().running());
        EXPECT_FALSE(std::filesystem::exists(saved_file()));
    }
    // length_refusals.txt: each length typed, the field marked with the text it keeps, and why.
    corvane::testing::expect_output_as_kept(refusals, "ui/expected/length_refusals.txt");

    // Mended, the length is kept and the mark goes; the save runs beside the window: a format 0
    // file of one track, and the window as before.
    EXPECT_NE(save_with("abc", "0"), "");
    EXPECT_EQ(save_with("0", "41/2"), "");
    EXPECT_FALSE(field("minutes")->property("refused").toBool());
    EXPECT_TRUE(field("minutes")->styleSheet().isEmpty());
    EXPECT_EQ(context->settings().midi_file_play_mins, 0);
    EXPECT_EQ(context->settings().midi_file_play_secs, 20.5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !context->midi_save().running(); }, 20000));
    QTest::qWait(250);
    const auto smf = corvane::testing::read_smf(saved_file());
    EXPECT_EQ(smf.format, 0);
    ASSERT_EQ(smf.tracks.size(), 1u);
    EXPECT_GT(smf.tracks[0].events.size(), 20u);
    EXPECT_EQ(dialog->findChild<QPushButton*>("save")->text(), "&Save");
    EXPECT_EQ(window->windowTitle(), "Corvane - first tune (new file)");
}

}  // namespace
}  // namespace corvane::ui
