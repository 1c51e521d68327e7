#pragma once

// The scale library tools in the Scales options window, a page each: making lists of scales
// and of modes, searching and sorting the main window's lists, superparticular scales and the
// re-arrangements of a scale's steps. Each start button halts its own tool while it runs.

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "corvane/ui/program_context.h"

class QComboBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace corvane::ui {

class ScaleToolsPanel final : public QWidget {
    Q_OBJECT
public:
    // `changed` runs after a tool changed the main window's lists.
    ScaleToolsPanel(ProgramContext& context, std::function<void()> changed, QWidget* parent = nullptr);

    // Stores the fields in the settings (before a tool starts, and when the dialog closes).
    void store_settings();
    // A page of the window's own before the tools' pages, shown first.
    void add_first_page(QWidget* page, const QString& title);

private:
    struct ToolButton {
        QPushButton* button;
        tools::ToolKind kind;
        QString start_text;
        QString halt_text;
    };

    QPushButton* tool_button(const char* name, tools::ToolKind kind, const QString& start_text,
                             const QString& halt_text, const QString& tooltip,
                             std::function<ScaleToolRunner::Work()> make_work);
    QWidget* lists_page();
    QWidget* search_page();
    QWidget* new_scales_page();
    // Shows the page that holds the control, if one does.
    void show_page_of(const QWidget* control);
    ScaleToolRunner::Work make_scale_list_work();
    ScaleToolRunner::Work make_mode_lists_work();
    ScaleToolRunner::Work make_search_work();
    ScaleToolRunner::Work make_sort_work();
    ScaleToolRunner::Work make_superparticular_work();
    ScaleToolRunner::Work make_rearrangements_work(bool all_scales);
    void show_progress(const QString& item, qulonglong done, qulonglong total);
    void tool_finished();

    ProgramContext& context_;
    std::function<void()> changed_;
    std::vector<ToolButton> buttons_;
    QTabWidget* pages_;
    QLineEdit* list_name_;
    QLineEdit* modes_file_;
    QLineEdit* words_;
    QCheckBox* exact_match_;
    QComboBox* what_to_search_;
    QComboBox* sort_template_;
    QComboBox* what_to_sort_;
    QLineEdit* most_steps_;
    QLineEdit* fewest_steps_;
    QLineEdit* top_note_;
    QLineEdit* most_scales_;
    QLineEdit* smallest_step_;
    QLineEdit* largest_step_;
    QLabel* progress_item_;
    QProgressBar* progress_;
};

}  // namespace corvane::ui
