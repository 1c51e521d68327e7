// The Beats window (the main window's "Beats..."): its table in columns, each number with its
// unit, and the "Show difference tone" box.

#include <QCheckBox>
#include <QFontMetrics>
#include <QSpinBox>

#include "main_window_fixture.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;

TEST_F(MainWindowTest, BeatsOfAJustFifthShowInColumnsWithTheirUnits) {
    start();
    context->composition().Intervals = {0.0, 0.5, 1.0};  // 1, 3/2, 2
    context->composition().Frequency_of_lowest_note = 261.6;
    context->settings().beats_max_harmonic = 6;
    click("open_beats");
    auto* beats = window->findChild<BeatsDialog*>("beats");
    ASSERT_NE(beats, nullptr);
    beats->findChild<QSpinBox*>("second_degree")->setValue(1);
    auto* text = beats->findChild<QPlainTextEdit*>("beats_text");
    const QString table =
        "\n"
        "    Beats  Harmonic  (upper's)  Harmonic at  Upper's at    Apart\n"
        "0 beats/s       3rd      (2nd)     784.8 Hz    784.8 Hz  0 cents\n"
        "0 beats/s       6th      (4th)    1569.6 Hz   1569.6 Hz  0 cents\n";
    EXPECT_EQ(text->toPlainText(),
              "Frequencies 261.6 Hz, 392.4 Hz.\n"
              "Difference tone 130.8 Hz, ratio from lowest note 1/2\n"
              "Beats for all harmonics up to 6 and up to 20 beats per sec.\n" +
                  table);
    EXPECT_EQ(text->lineWrapMode(), QPlainTextEdit::NoWrap);
    const QFontMetrics font(text->font());  // a fixed-pitch font, whatever it reports of itself
    EXPECT_EQ(font.horizontalAdvance(QLatin1Char('i')), font.horizontalAdvance(QLatin1Char('M')));

    auto* difference_tone = beats->findChild<QCheckBox*>("show_difference_tone");
    ASSERT_NE(difference_tone, nullptr);
    EXPECT_EQ(difference_tone->text(), "Show &difference tone");
    EXPECT_TRUE(difference_tone->isChecked());
    difference_tone->click();
    EXPECT_EQ(text->toPlainText(),
              "Frequencies 261.6 Hz, 392.4 Hz.\n"
              "Beats for all harmonics up to 6 and up to 20 beats per sec.\n" +
                  table);
}

}  // namespace
}  // namespace corvane::ui
