// The help: F1 opens it, at the section of the window in front; every window of the Windows
// menu has its section; the search finds and counts; and the README's user sections are the
// help files themselves.

#include <QTextBlock>
#include <QTextBrowser>

#include "corvane/ui/help_window.h"
#include "corvane/ui/launch.h"
#include "main_window_fixture.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;

class HelpTest : public MainWindowTest {
protected:
    HelpWindow* help() const { return window->findChild<HelpWindow*>("help_window"); }
    QTextBrowser* help_text() const { return help()->findChild<QTextBrowser*>("help_text"); }
    // The heading at the top of the help's text.
    QString heading_in_view() const { return help_text()->cursorForPosition({0, 0}).block().text(); }
    void search_for(const QString& words) {
        auto* field = help()->findChild<QLineEdit*>("help_search");
        field->clear();
        QTest::keyClicks(field, words);
    }
    QString selected() const { return help_text()->textCursor().selectedText(); }
    int selection_start() const { return help_text()->textCursor().selectionStart(); }
    void open_help() {
        window->menuBar()->findChild<QAction*>("help")->trigger();
        ASSERT_NE(help(), nullptr);
    }
    QString match_count_shown() const { return help()->findChild<QLabel*>("help_matches")->text(); }
};

TEST_F(HelpTest, F1OpensOneHelpWindowAtTheSectionOfTheWindowInFront) {
    start();
    window->activateWindow();
    QTest::keyClick(window.get(), Qt::Key_F1);
    ASSERT_NE(help(), nullptr);
    EXPECT_TRUE(help()->isVisible());
    EXPECT_EQ(heading_in_view(), "The main window");

    auto* range = open_window<QWidget>('J', "range_window");
    range->activateWindow();
    QCoreApplication::processEvents();
    QTest::keyClick(range, Qt::Key_F1);
    EXPECT_EQ(window->findChildren<HelpWindow*>().size(), 1);
    EXPECT_EQ(heading_in_view(), "Range");
}

TEST_F(HelpTest, EveryTopicShowsAndEveryWindowOfTheWindowsMenuHasItsSection) {
    HelpWindow shown;
    EXPECT_EQ(shown.headings(2),
              (QStringList{"What Corvane does", "A first tune in five steps", "The main window", "The windows",
                           "Numbers and pitches", "Playing along", "Files it reads and writes", "corvane-cli"}));
    const QStringList sections = shown.headings(3);
    for (const auto name : kWindowNames) {
        EXPECT_TRUE(sections.contains(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))))
            << "the help has no section \"" << name << "\" for the window of the Windows menu";
    }
    EXPECT_TRUE(sections.contains("Windows to open"));
    EXPECT_FALSE(shown.show_heading("No such window"));
}

TEST_F(HelpTest, SearchFindsEachMatchInTurnAndCountsThem) {
    start();
    open_help();
    search_for("pygmie");
    EXPECT_EQ(match_count_shown(), "1 match");
    EXPECT_EQ(selected(), "Pygmie");

    search_for("sustain");
    const int in_text = static_cast<int>(help_markdown().count(QStringLiteral("sustain"), Qt::CaseInsensitive));
    ASSERT_GT(in_text, 2);
    EXPECT_EQ(help()->match_count(), in_text);
    EXPECT_EQ(match_count_shown(), QStringLiteral("%1 matches").arg(in_text));
    std::vector<int> starts{selection_start()};
    for (int i = 0; i < in_text; ++i) {
        ASSERT_TRUE(help()->find_match());
        starts.push_back(selection_start());
    }
    EXPECT_TRUE(std::is_sorted(starts.begin(), starts.end() - 1)) << "the matches follow the text";
    EXPECT_EQ(starts.back(), starts.front()) << "after the last match the search starts again at the top";
    ASSERT_TRUE(help()->find_match(true));
    EXPECT_EQ(selection_start(), starts[starts.size() - 2]) << "back from the first it goes round to the last";
    EXPECT_EQ(selected().toLower(), "sustain");

    search_for("no such words");
    EXPECT_EQ(match_count_shown(), "No match");
    EXPECT_FALSE(help()->find_match());
}

TEST_F(HelpTest, CtrlFTakesTheKeysToTheSearchField) {
    start();
    open_help();
    help()->activateWindow();
    QCoreApplication::processEvents();
    help_text()->setFocus();
    QTest::keyClick(help(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), help()->findChild<QLineEdit*>("help_search"));
}

// ---------------------------------------------------------------------------------------
// The README holds each help file between <!-- help:NAME --> and <!-- /help -->.

// The README's section of a topic, or nothing when it has none.
std::optional<std::string> readme_section(const std::string& readme, std::string_view topic) {
    const std::string opening = "<!-- help:" + std::string(topic) + " -->\n";
    const auto start = readme.find(opening);
    if (start == std::string::npos) return std::nullopt;
    const auto body = start + opening.size();
    const auto end = readme.find("<!-- /help -->", body);
    if (end == std::string::npos) return std::nullopt;
    return readme.substr(body, end - body);
}

TEST(HelpInReadme, EachUserSectionOfTheReadmeIsItsHelpFile) {
    const std::string source = CORVANE_SOURCE_DIR;
    const std::string readme = slurp(source + "/README.md");
    std::size_t sections = 0;
    for (auto at = readme.find("<!-- help:"); at != std::string::npos; at = readme.find("<!-- help:", at + 1)) {
        ++sections;
    }
    EXPECT_EQ(sections, kHelpTopics.size()) << "README.md marks a section that is no help topic";
    for (const auto topic : kHelpTopics) {
        const std::string file = "docs/help/" + std::string(topic) + ".md";
        const auto section = readme_section(readme, topic);
        ASSERT_TRUE(section) << "README.md has no section <!-- help:" << topic << " --> ... <!-- /help --> for "
                             << file;
        EXPECT_TRUE(*section == slurp(source + "/" + file))
            << "README.md's section help:" << topic << " differs from " << file
            << ": the help file is the source; run scripts/help-to-readme to copy it into the README";
    }
}

}  // namespace
}  // namespace corvane::ui
