// Every control of every window tells what it does when the mouse rests on it: each window
// the program opens by its code, the main window, its Mean-tone, Beats, Command line options
// and Formula dialogs, and the help window. Failures list the controls without a tooltip.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QScrollBar>
#include <QTabBar>
#include <QTextBrowser>
#include <cctype>

#include "corvane/ui/dialogs.h"
#include "corvane/ui/help_window.h"
#include "corvane/ui/launch.h"
#include "main_window_fixture.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;

// A part that Qt builds inside a control (a spin box's or an editable list's text field,
// a field's clear button, the arrows of a tab bar, a table's corner, the menu bar's button
// for items that do not fit), which the control's own tooltip covers.
bool inside_another_control(const QWidget& widget) {
    for (const QWidget* up = widget.parentWidget(); up != nullptr && !up->isWindow(); up = up->parentWidget()) {
        if (qobject_cast<const QComboBox*>(up) || qobject_cast<const QAbstractSpinBox*>(up) ||
            qobject_cast<const QLineEdit*>(up) || qobject_cast<const QTabBar*>(up) ||
            qobject_cast<const QAbstractItemView*>(up) || qobject_cast<const QMenuBar*>(up)) {
            return true;
        }
    }
    return false;
}

// What the user clicks, types into, ticks or drags.
bool is_control(const QWidget& widget) {
    if (qobject_cast<const QScrollBar*>(&widget) || qobject_cast<const QHeaderView*>(&widget)) return false;
    return qobject_cast<const QAbstractButton*>(&widget) || qobject_cast<const QLineEdit*>(&widget) ||
           qobject_cast<const QComboBox*>(&widget) || qobject_cast<const QAbstractSpinBox*>(&widget) ||
           qobject_cast<const QAbstractSlider*>(&widget) || qobject_cast<const QAbstractItemView*>(&widget);
}

// The controls of a window (those on every page of it, shown or not) that have no tooltip,
// each by its object name, or its class and text when it has none.
QStringList controls_without_tooltip(const QWidget& window) {
    QStringList missing;
    for (const QWidget* w : window.findChildren<const QWidget*>()) {
        if (w->window() != &window || !is_control(*w) || inside_another_control(*w)) continue;
        if (!w->toolTip().trimmed().isEmpty()) continue;
        QString name = w->objectName();
        if (const auto* button = qobject_cast<const QAbstractButton*>(w); name.isEmpty() && button != nullptr) {
            name = button->text();
        }
        missing << QStringLiteral("%1 (%2)").arg(name, QLatin1String(w->metaObject()->className()));
    }
    return missing;
}

class TooltipsTest : public MainWindowTest, public ::testing::WithParamInterface<char> {};

TEST_P(TooltipsTest, EveryControlOfTheWindowOfTheCodeHasATooltip) {
    const char code = GetParam();
    start();
    ASSERT_TRUE(window->open_window(code));
    QCoreApplication::processEvents();
    for (QWidget* shown : window->findChildren<QWidget*>()) {
        if (!shown->isWindow() || !shown->isVisible()) continue;
        EXPECT_EQ(controls_without_tooltip(*shown), QStringList{}) << shown->windowTitle().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, TooltipsTest, ::testing::ValuesIn(kWindowCodes.begin(), kWindowCodes.end()),
                         window_code_test_name);

TEST_F(TooltipsTest, EveryControlOfTheMainWindowItsDialogsAndTheHelpHasATooltip) {
    start();
    EXPECT_EQ(controls_without_tooltip(*window), QStringList{});
    click("open_mean_tone");
    click("open_beats");
    item("&File", "command_line_options")->trigger();
    QCoreApplication::processEvents();
    for (const char* name : {"mean_tone", "beats", "command_line_options"}) {
        EXPECT_EQ(controls_without_tooltip(*find<QDialog>(name)), QStringList{}) << name;
    }
    FormulaDialog formula(context->composition(), window.get());
    EXPECT_EQ(controls_without_tooltip(formula), QStringList{});
    window->menuBar()->findChild<QAction*>("help")->trigger();
    EXPECT_EQ(controls_without_tooltip(*find<HelpWindow>("help_window")), QStringList{});
}

// A refused text puts its reason in the field's tooltip until the field is mended; then the
// field tells what it does again. A settings field's tooltip says what it takes.
TEST_F(TooltipsTest, AFieldsTooltipComesBackOnceARefusedTextIsMended) {
    start();
    auto* levels = find<QLineEdit>("levels");
    const QString what_it_does = levels->toolTip();
    type_into(levels, "abc");
    EXPECT_EQ(levels->toolTip(), "\"abc\" is not a number, so Levels is left as it was.");
    type_into(levels, "5");
    EXPECT_EQ(levels->toolTip(), what_it_does);

    auto* look_ahead = open_window<QDialog>('I', "options_window")->findChild<QLineEdit*>("look_ahead");
    EXPECT_EQ(look_ahead->toolTip(), "How many notes are worked out ahead of the one that sounds. Takes a whole "
                                     "number from 0 to 2559 notes.");
    type_into(look_ahead, "-1");
    EXPECT_EQ(look_ahead->toolTip(), "The look-ahead takes a whole number from 0 to 2559 notes: \"-1\" is not one, "
                                     "so nothing was changed.");
    type_into(look_ahead, "10");
    EXPECT_EQ(look_ahead->toolTip(), "How many notes are worked out ahead of the one that sounds. Takes a whole "
                                     "number from 0 to 2559 notes.");
}

}  // namespace
}  // namespace corvane::ui
