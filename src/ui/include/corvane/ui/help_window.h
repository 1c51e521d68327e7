#pragma once

// The program's help: the Markdown topics of docs/help/, bundled into the program, shown in
// one window with a contents list and a search field. F1 and Help... open it.

#include <QStringList>
#include <QWidget>
#include <array>
#include <string_view>

class QLabel;
class QLineEdit;
class QTextBrowser;
class QTreeWidget;

namespace corvane::ui {

// The topics, each a file docs/help/<name>.md, in the order the help shows them.
inline constexpr std::array<std::string_view, 8> kHelpTopics{
    "overview", "first-tune", "main-window", "windows", "expressions", "keyboard-play", "files", "command-line"};

// The whole help as one Markdown text, the topics in order.
QString help_markdown();

class HelpWindow final : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Scrolls the heading with this text (a topic or one of its sections) to the top;
    // false when the help has no such heading.
    bool show_heading(const QString& heading);
    // The texts of the headings of one level (2: the topics, 3: their sections), in order.
    [[nodiscard]] QStringList headings(int level) const;
    // Selects the next match of the search field's text after the selection (before it when
    // `backward`), starting again at the other end; false when there is none.
    bool find_match(bool backward = false);
    // How many times the help holds the search field's text, letter case aside.
    [[nodiscard]] int match_count() const;

private:
    void fill_contents();
    void search_changed();

    QTextBrowser* text_ = nullptr;
    QTreeWidget* contents_ = nullptr;
    QLineEdit* search_ = nullptr;
    QLabel* matches_ = nullptr;
};

// Shows the program's one help window, a child of `owner` made on first use. When `active`
// (the window that had the focus) has a section in the help, the help opens there.
HelpWindow& show_help_window(QWidget& owner, const QWidget* active);

}  // namespace corvane::ui
