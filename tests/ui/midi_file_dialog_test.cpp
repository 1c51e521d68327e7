// The MIDI file options (window code M): a length of nothing, of more than a day, or a text
// that is not a number is refused, the field marked and the message naming it, and nothing
// is kept or saved until it is mended; a mended length saves a whole file.

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

struct Refused {
    const char* minutes;
    const char* seconds;
    const char* field;  // the field marked
    std::string why;
};

std::string length_refusal(const char* minutes, const char* seconds) {
    return std::string("A MIDI file is longer than 0 and at most 24 hours (1440 minutes): ") + minutes +
           " minutes and " + seconds + " seconds is not, so nothing was saved.";
}
std::string minutes_refusal(const char* typed) {
    return std::string("The length in minutes takes a number from 0 to 1440 minutes: \"") + typed +
           "\" is not one, so nothing was changed.";
}
std::string seconds_refusal(const char* typed) {
    return std::string("The length in seconds takes a number from 0 to 86400 s: \"") + typed +
           "\" is not one, so nothing was changed.";
}

// The field keeps the text, marked, with the reason, and has the focus; nothing was kept or
// saved. A text that is not a number is never replaced by the old value.
TEST_F(MidiFileDialogTest, ALengthOutOfRangeOrNotANumberIsRefusedUntilMended) {
    const Refused cases[] = {
        {"0", "0", "minutes", length_refusal("0", "0")},
        {"1440", "1", "minutes", length_refusal("1440", "1")},
        {"7200", "0", "minutes", minutes_refusal("7200")},
        {"1", "86341", "seconds", length_refusal("1", "86341")},
        {"1", "-30", "seconds", seconds_refusal("-30")},
        {"abc", "0", "minutes", minutes_refusal("abc")},
        {"1e300", "0", "minutes", minutes_refusal("1e300")},
        {"5x", "0", "minutes", minutes_refusal("5x")},
        {"1", "2 5", "seconds", seconds_refusal("2 5")},
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(std::string(c.minutes) + " min " + c.seconds + " s");
        EXPECT_EQ(save_with(c.minutes, c.seconds), c.why);
        QLineEdit* refused = field(c.field);
        EXPECT_EQ(refused->text(), c.field == std::string("minutes") ? c.minutes : c.seconds);
        EXPECT_TRUE(refused->property("refused").toBool());
        EXPECT_FALSE(refused->styleSheet().isEmpty());
        EXPECT_EQ(refused->toolTip().toStdString(), c.why);
        EXPECT_EQ(dialog->focusWidget(), refused);
        EXPECT_EQ(context->settings().midi_file_play_mins, 1);
        EXPECT_EQ(context->settings().midi_file_play_secs, 0);
        EXPECT_FALSE(context->midi_save().running());
        EXPECT_FALSE(std::filesystem::exists(saved_file()));
    }

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
