// Every window the program opens by its window code, the main window itself, and the
// Mean-tone, Beats and Command line options dialogs: each fits a 1366x768 screen at 1.5
// times the size, no two of its controls share an Alt letter, no label shows a literal
// "&", and every control tells what it does when the mouse rests on it (the Formula dialog
// and the help window too; failures list the controls without a tooltip). A window opened
// by its code is made once: closed and asked for again, the same window shows.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QPixmap>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <cctype>
#include <functional>
#include <map>

#include "corvane/ui/dialogs.h"
#include "corvane/ui/help_window.h"
#include "corvane/ui/launch.h"
#include "main_window_fixture.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;

// The keyboard mnemonics of a window: the letters that more than one control claims
// (Alt+letter would then reach only one of them), and the labels that would show a literal
// "&" because no buddy takes their mnemonic. Looked at: QLabel texts with a buddy,
// QAbstractButton texts and QGroupBox titles, of the window's own controls that show with it
// (not explicitly hidden, not in a window of their own).

// The window's own controls that show when it shows.
QList<const QWidget*> shown_controls(const QWidget& window) {
    QList<const QWidget*> controls;
    for (const QWidget* w : window.findChildren<const QWidget*>()) {
        if (w->window() == &window && w->isVisibleTo(&window)) controls << w;
    }
    return controls;
}

// The mnemonic a control claims, if any: Alt and the letter after a single "&" ("&&" is a
// literal ampersand).
QKeySequence claimed_mnemonic(const QWidget& control) {
    if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        return label->buddy() != nullptr ? QKeySequence::mnemonic(label->text()) : QKeySequence();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&control)) {
        return QKeySequence::mnemonic(button->text());
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(&control)) return QKeySequence::mnemonic(box->title());
    return {};
}

// The keys claimed by more than one control of the window, in order, each once; empty
// when every mnemonic is unique.
QString mnemonic_clashes(const QWidget& window) {
    std::map<QKeySequence, int> claims;
    for (const QWidget* control : shown_controls(window)) {
        const QKeySequence keys = claimed_mnemonic(*control);
        if (!keys.isEmpty()) ++claims[keys];
    }
    QString clashes;
    for (const auto& [keys, count] : claims) {
        if (count > 1) clashes += keys.toString() + QLatin1Char(' ');
    }
    return clashes;
}

// The texts of the labels that would show a literal "&": a mnemonic mark with no buddy.
QStringList literal_ampersands(const QWidget& window) {
    QStringList texts;
    for (const QWidget* control : shown_controls(window)) {
        const auto* label = qobject_cast<const QLabel*>(control);
        if (label != nullptr && label->buddy() == nullptr && label->textFormat() != Qt::RichText &&
            !QKeySequence::mnemonic(label->text()).isEmpty()) {
            texts << label->text();
        }
    }
    return texts;
}

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

// The smallest screen the program is laid out for, less the task bar.
constexpr int kScreenWidth = 1366;
constexpr int kScreenHeight = 768 - 48;
constexpr double kLargeScale = 1.5;

bool fits(QSize size, double scale) {
    return size.width() * scale <= kScreenWidth && size.height() * scale <= kScreenHeight;
}

// The window shown fits the screen at both scales, as it opens and at its smallest, and its
// keys are its own. CORVANE_WINDOW_PICTURES=<folder> writes a picture of it there
// (scripts/screenshots uses it).
void expect_unique_keys(QWidget& shown, const QString& what) {
    SCOPED_TRACE(what.toStdString());
    if (const QString folder = qEnvironmentVariable("CORVANE_WINDOW_PICTURES"); !folder.isEmpty()) {
        QString name = what;
        name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("_"));
        EXPECT_TRUE(shown.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
    }
    for (const double scale : {1.0, kLargeScale}) {
        EXPECT_TRUE(fits(shown.size(), scale)) << "size " << shown.width() << "x" << shown.height();
        EXPECT_TRUE(fits(shown.minimumSize(), scale)) << "minimum " << shown.minimumWidth() << "x"
                                                      << shown.minimumHeight();
    }
    EXPECT_EQ(mnemonic_clashes(shown), "");
    EXPECT_EQ(literal_ampersands(shown), QStringList{});
}

// The child windows of the main window that show now.
QList<QWidget*> shown_windows(const QWidget& main_window) {
    QList<QWidget*> shown;
    for (QWidget* w : main_window.findChildren<QWidget*>()) {
        if (w->isWindow() && w->isVisible()) shown << w;
    }
    return shown;
}

// The newest of the windows that show now and did not before.
QWidget* newly_shown(const QWidget& main_window, const QList<QWidget*>& before) {
    QWidget* newest = nullptr;
    for (QWidget* w : shown_windows(main_window)) {
        if (!before.contains(w)) newest = w;
    }
    return newest;
}

class EveryWindowTest : public MainWindowTest, public ::testing::WithParamInterface<char> {
protected:
    // Runs `open` and gives the window it showed, laid out.
    template <class Open>
    QWidget* shown_by(Open open) {
        const auto before = shown_windows(*window);
        open();
        QCoreApplication::processEvents();
        QWidget* shown = newly_shown(*window, before);
        EXPECT_NE(shown, nullptr);
        return shown;
    }
};

TEST_P(EveryWindowTest, HasUniqueKeysAndTooltipsAndIsMadeOnce) {
    const char code = GetParam();
    start();
    QWidget* shown = shown_by([&] { EXPECT_TRUE(window->open_window(code)) << code; });
    ASSERT_NE(shown, nullptr) << code;
    const std::string name(kWindowNames[*window_code_index(code)]);
    expect_unique_keys(*shown, QStringLiteral("%1 (%2)").arg(QChar::fromLatin1(code), QString::fromStdString(name)));
    for (const QWidget* opened : shown_windows(*window)) {
        EXPECT_EQ(controls_without_tooltip(*opened), QStringList{}) << opened->windowTitle().toStdString();
    }
    shown->close();
    EXPECT_EQ(shown_by([&] { window->open_window(code); }), shown);
}

INSTANTIATE_TEST_SUITE_P(Codes, EveryWindowTest, ::testing::ValuesIn(kWindowCodes.begin(), kWindowCodes.end()),
                         window_code_test_name);

// The Scales options keep their tools on pages: each page has its own Alt letters, and the
// codes of the tools show the page of their tool, its button taking the keyboard.
TEST_F(EveryWindowTest, EachPageOfTheScalesOptionsHasUniqueKeysAndTheToolCodesShowTheirPage) {
    start();
    auto* options = open_window<QDialog>('O', "scales_options");
    QCoreApplication::processEvents();
    auto* pages = options->findChild<QTabWidget*>("scale_tool_pages");
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(pages->count(), 4);
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        EXPECT_EQ(mnemonic_clashes(*options), "") << pages->tabText(page).toStdString();
        EXPECT_EQ(literal_ampersands(*options), QStringList{}) << pages->tabText(page).toStdString();
    }
    pages->setCurrentIndex(0);
    for (const auto& [code, button] : {std::pair{'U', "superparticular"}, std::pair{'H', "search"},
                                       std::pair{'R', "sort"}, std::pair{'U', "superparticular"}}) {
        ASSERT_TRUE(window->open_window(code));
        QCoreApplication::processEvents();
        EXPECT_TRUE(options->isVisible());
        EXPECT_TRUE(options->findChild<QPushButton*>(button)->isVisible()) << code;
        EXPECT_EQ(options->focusWidget(), options->findChild<QPushButton*>(button)) << code;
    }
}

TEST_F(EveryWindowTest, TheMainWindowItsDialogsAndTheHelpHaveUniqueKeysAndTooltips) {
    start();
    expect_unique_keys(*window, QStringLiteral("Main window"));
    EXPECT_EQ(controls_without_tooltip(*window), QStringList{});
    const std::function<void()> openers[] = {[&] { click("open_mean_tone"); }, [&] { click("open_beats"); },
                                             [&] { item("&File", "command_line_options")->trigger(); }};
    for (const auto& open : openers) {
        QWidget* shown = shown_by(open);
        ASSERT_NE(shown, nullptr);
        expect_unique_keys(*shown, shown->windowTitle());
        EXPECT_EQ(controls_without_tooltip(*shown), QStringList{}) << shown->windowTitle().toStdString();
    }
    auto* started_as = window->findChild<QDialog*>("command_line_options")->findChild<QLineEdit*>("started_as");
    EXPECT_FALSE(started_as->text().isEmpty());
    FormulaDialog formula(context->composition(), window.get());
    EXPECT_EQ(controls_without_tooltip(formula), QStringList{});
    window->menuBar()->findChild<QAction*>("help")->trigger();
    EXPECT_EQ(controls_without_tooltip(*find<HelpWindow>("help_window")), QStringList{});
}

// A refused text puts its reason in the field's tooltip until the field is mended; then the
// field tells what it does again (a settings field's: SettingsWindowTest).
TEST_F(EveryWindowTest, AFieldsTooltipComesBackOnceARefusedTextIsMended) {
    start();
    auto* levels = find<QLineEdit>("levels");
    const QString what_it_does = levels->toolTip();
    type_into(levels, "abc");
    EXPECT_EQ(levels->toolTip(), "\"abc\" is not a number, so Levels is left as it was.");
    type_into(levels, "5");
    EXPECT_EQ(levels->toolTip(), what_it_does);
}

}  // namespace
}  // namespace corvane::ui
