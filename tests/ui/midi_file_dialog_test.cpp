// The MIDI file options (window code M): a length of nothing, of more than a day, or a text
// that is not a number is refused, the field marked and the message naming it, and nothing
// is kept or saved until it is mended.

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

    // The field keeps the text, marked, with the reason, and has the focus; nothing was kept
    // or saved.
    void expect_refused(const char* name, const QString& typed, const std::string& why) {
        SCOPED_TRACE(name);
        QLineEdit* refused = field(name);
        EXPECT_EQ(refused->text(), typed);
        EXPECT_TRUE(refused->property("refused").toBool());
        EXPECT_FALSE(refused->styleSheet().isEmpty());
        EXPECT_EQ(refused->toolTip().toStdString(), why);
        EXPECT_EQ(dialog->focusWidget(), refused);
        EXPECT_EQ(context->settings().midi_file_play_mins, 1);
        EXPECT_EQ(context->settings().midi_file_play_secs, 0);
        EXPECT_FALSE(context->midi_save().running());
        EXPECT_FALSE(std::filesystem::exists(saved_file()));
    }

    MidiFileDialog* dialog = nullptr;
};

constexpr const char* kLengthLimit =
    "A MIDI file is longer than 0 and at most 24 hours (1440 minutes): %1 minutes and %2 seconds is not, so "
    "nothing was saved.";

std::string length_refusal(const char* minutes, const char* seconds) {
    return QString::fromLatin1(kLengthLimit).arg(QLatin1String(minutes), QLatin1String(seconds)).toStdString();
}

TEST_F(MidiFileDialogTest, ALengthOfNothingIsRefusedNamingTheLimit) {
    EXPECT_EQ(save_with("0", "0"), length_refusal("0", "0"));
    expect_refused("minutes", "0", length_refusal("0", "0"));
}

TEST_F(MidiFileDialogTest, ALengthOfMoreThanADayIsRefusedNamingTheLimit) {
    EXPECT_EQ(save_with("1440", "1"), length_refusal("1440", "1"));
    expect_refused("minutes", "1440", length_refusal("1440", "1"));

    const std::string too_many_minutes =
        "The length in minutes takes a number from 0 to 1440 minutes: \"7200\" is not one, so nothing was changed.";
    EXPECT_EQ(save_with("7200", "0"), too_many_minutes);
    expect_refused("minutes", "7200", too_many_minutes);

    EXPECT_EQ(save_with("1", "86341"), length_refusal("1", "86341"));
    expect_refused("seconds", "86341", length_refusal("1", "86341"));
}

TEST_F(MidiFileDialogTest, ANegativeLengthIsRefused) {
    const std::string why =
        "The length in seconds takes a number from 0 to 86400 s: \"-30\" is not one, so nothing was changed.";
    EXPECT_EQ(save_with("1", "-30"), why);
    expect_refused("seconds", "-30", why);
}

TEST_F(MidiFileDialogTest, TextThatIsNotANumberIsRefusedNotReplacedByTheOldValue) {
    for (const char* typed : {"abc", "1e300", "5x"}) {
        const std::string why = "The length in minutes takes a number from 0 to 1440 minutes: \"" + std::string(typed) +
                                "\" is not one, so nothing was changed.";
        EXPECT_EQ(save_with(typed, "0"), why);
        expect_refused("minutes", typed, why);
    }
    const std::string why =
        "The length in seconds takes a number from 0 to 86400 s: \"2 5\" is not one, so nothing was changed.";
    EXPECT_EQ(save_with("1", "2 5"), why);
    expect_refused("seconds", "2 5", why);
}

TEST_F(MidiFileDialogTest, AMendedLengthIsKeptAndSavedAndTheMarkGoes) {
    EXPECT_NE(save_with("abc", "0"), "");
    EXPECT_EQ(save_with("0", "1/2"), "");
    EXPECT_FALSE(field("minutes")->property("refused").toBool());
    EXPECT_TRUE(field("minutes")->styleSheet().isEmpty());
    EXPECT_EQ(context->settings().midi_file_play_mins, 0);
    EXPECT_EQ(context->settings().midi_file_play_secs, 0.5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !context->midi_save().running(); }, 20000));
    QTest::qWait(100);
    EXPECT_TRUE(std::filesystem::exists(saved_file()));
}

}  // namespace
}  // namespace corvane::ui
