#include "corvane/ui/help_window.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "dialog_support.h"

// The help is bundled into the ui library, a static one, so its resources are made known by
// hand before the first use; the macro names a global function, so this stays outside any
// namespace.
static void load_help_resources() { Q_INIT_RESOURCE(help); }

namespace corvane::ui {
namespace {

constexpr QSize kHelpWindowSize{880, 560};

// The section of the help each window opens it at, by the window's object name.
struct WindowSection {
    const char* window;
    const char* heading;
};
constexpr std::array<WindowSection, 26> kWindowSections{{
    {"main_window", "The main window"},
    {"seed_editor", "Seed"},
    {"tune_graph_window", "Tune"},
    {"scale_editor", "Scale"},
    {"arpeggio_editor", "Arpeggio"},
    {"colours", "Colours"},
    {"channels_dialog", "Channels"},
    {"pitch", "Pitch"},
    {"record_play_along", "Play along"},
    {"midi_file_dialog", "MIDI files"},
    {"scales_options", "Scales options"},
    {"scala_window", "Scala"},
    {"number_options", "Number options"},
    {"options_window", "Options"},
    {"note_timing_window", "Note timing"},
    {"non_melodic_percussion", "Non melodic percussion"},
    {"range_window", "Range"},
    {"effects_window", "Effects"},
    {"pc_keyboard_voices_window", "PC keyboard voices"},
    {"midi_in_options", "MIDI in options"},
    {"note_assignments", "Note assignments"},
    {"midi_in_note_details", "Note played"},
    {"editor_playback_window", "New scale/arpeggio playback"},
    {"command_line_options", "Windows to open"},
    {"mean_tone", "Mean-tone and Beats"},
    {"beats", "Mean-tone and Beats"},
}};

QString section_of(const QWidget& window) {
    for (const auto& [name, heading] : kWindowSections) {
        if (window.objectName() == QLatin1String(name)) return QString::fromLatin1(heading);
    }
    return {};
}

QString topic_text(std::string_view topic) {
    QFile file(QStringLiteral(":/corvane/help/%1.md").arg(qt_text(topic)));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

QPushButton* search_button(const QString& text, const char* name, const QString& tip, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(tip);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

QString help_markdown() {
    load_help_resources();
    QStringList topics;
    for (const auto topic : kHelpTopics) topics << topic_text(topic);
    return topics.join(QLatin1Char('\n'));
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("help_window");
    setWindowTitle(tr("Corvane help"));

    search_ = new QLineEdit(this);
    search_->setObjectName("help_search");
    search_->setClearButtonEnabled(true);
    search_->setToolTip(tr("Words to find in the help, letter case aside (Ctrl+F). Return finds the next match, "
                           "F3 and Shift+F3 the next and the one before"));
    auto* search_label = new QLabel(tr("&Find"), this);
    search_label->setBuddy(search_);
    QPushButton* previous = search_button(tr("&Previous"), "find_previous",
                                          tr("The match before the selection (Shift+F3)"), this);
    QPushButton* next = search_button(tr("&Next"), "find_next", tr("The match after the selection (F3)"), this);
    matches_ = new QLabel(this);
    matches_->setObjectName("help_matches");

    contents_ = new QTreeWidget(this);
    contents_->setObjectName("help_contents");
    contents_->setHeaderHidden(true);
    contents_->setToolTip(tr("The topics of the help and their sections: click one to go there"));
    text_ = new QTextBrowser(this);
    text_->setObjectName("help_text");
    text_->setOpenExternalLinks(true);
    text_->setMarkdown(help_markdown());

    auto* search_row = new QHBoxLayout;
    search_row->addWidget(search_label);
    search_row->addWidget(search_, 1);
    search_row->addWidget(previous);
    search_row->addWidget(next);
    search_row->addWidget(matches_);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(contents_);
    splitter->addWidget(text_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, kHelpWindowSize.width() - 220});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(search_row);
    layout->addWidget(splitter, 1);
    resize_within_screen(this, kHelpWindowSize);

    fill_contents();
    connect(contents_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { show_heading(item->text(0)); });
    connect(search_, &QLineEdit::textChanged, this, &HelpWindow::search_changed);
    connect(search_, &QLineEdit::returnPressed, this, [this] { find_match(); });
    connect(next, &QPushButton::clicked, this, [this] { find_match(); });
    connect(previous, &QPushButton::clicked, this, [this] { find_match(true); });
    const auto shortcut = [this](QKeySequence keys, auto act) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, act);
    };
    shortcut(QKeySequence::Find, [this] {
        search_->setFocus();
        search_->selectAll();
    });
    shortcut(QKeySequence::FindNext, [this] { find_match(); });
    shortcut(QKeySequence::FindPrevious, [this] { find_match(true); });
}

void HelpWindow::fill_contents() {
    QTreeWidgetItem* topic = nullptr;
    for (QTextBlock block = text_->document()->begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level == 2) {
            topic = new QTreeWidgetItem(contents_, {block.text()});
        } else if (level == 3 && topic != nullptr) {
            new QTreeWidgetItem(topic, {block.text()});
        }
    }
}

QStringList HelpWindow::headings(int level) const {
    QStringList found;
    for (QTextBlock block = text_->document()->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == level) found << block.text();
    }
    return found;
}

bool HelpWindow::show_heading(const QString& heading) {
    for (QTextBlock block = text_->document()->begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if ((level != 2 && level != 3) || block.text() != heading) continue;
        text_->setTextCursor(QTextCursor(block));  // a search goes on from here
        const QRectF place = text_->document()->documentLayout()->blockBoundingRect(block);
        text_->verticalScrollBar()->setValue(static_cast<int>(place.top()));
        return true;
    }
    return false;
}

bool HelpWindow::find_match(bool backward) {
    const QString words = search_->text();
    if (words.isEmpty()) return false;
    const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (text_->find(words, flags)) return true;
    // Past the last match: start again at the other end.
    QTextCursor from(text_->document());
    from.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
    text_->setTextCursor(from);
    return text_->find(words, flags);
}

int HelpWindow::match_count() const {
    const QString words = search_->text();
    if (words.isEmpty()) return 0;
    int count = 0;
    for (QTextCursor at = text_->document()->find(words); !at.isNull(); at = text_->document()->find(words, at)) {
        ++count;
    }
    return count;
}

// Each letter typed finds the first match from where the search began, and counts them all.
void HelpWindow::search_changed() {
    QTextCursor start = text_->textCursor();
    start.setPosition(start.selectionStart());
    text_->setTextCursor(start);
    const int count = match_count();
    if (search_->text().isEmpty()) {
        matches_->clear();
    } else {
        matches_->setText(count == 0 ? tr("No match") : count == 1 ? tr("1 match") : tr("%1 matches").arg(count));
    }
    if (count > 0) find_match();
}

HelpWindow& show_help_window(QWidget& owner, const QWidget* active) {
    auto* help = owner.findChild<HelpWindow*>(QStringLiteral("help_window"), Qt::FindDirectChildrenOnly);
    if (help == nullptr) help = new HelpWindow(&owner);
    const QString section = active != nullptr && active != help ? section_of(*active) : QString();
    // Shown first, so that the text is laid out at the window's width before it scrolls.
    help->show();
    help->raise();
    help->activateWindow();
    if (!section.isEmpty()) help->show_heading(section);
    return *help;
}

}  // namespace corvane::ui
