#include "corvane/ui/scale_tools_panel.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "corvane/tools/mode_lists.h"
#include "corvane/tools/rearrangements.h"
#include "corvane/tools/scale_list_maker.h"
#include "corvane/tools/search_sort.h"
#include "corvane/tools/superparticular.h"
#include "dialog_support.h"

namespace corvane::ui {
namespace {

constexpr std::array<const char*, 4> kListParts{"Scale descriptions", "Scale definitions", "Mode descriptions",
                                                 "Mode definitions"};
constexpr std::array<const char*, 6> kSortTemplates{
    "n~-i (least notes, smallest steps, most 1st for steps)", "-ni+a (most notes, largest steps, alphabetical)",
    "o-t+~-s (most superparticular intervals, largest 1st)", "a (alphabetical)", "i (smallest steps)",
    "n (least notes)"};

// The list a search or sort works on, and which of its texts: by wWhatToSearch or wWhichToSort.
struct ListChoice {
    files::ScaleList files::Workspace::*list;
    tools::ListPart part;
};
ListChoice list_choice(int which) {
    return {which >= 2 ? &files::Workspace::modes : &files::Workspace::scales,
            which % 2 == 0 ? tools::ListPart::descriptions : tools::ListPart::definitions};
}

// A result that puts a list the tool made in the place it was taken from.
ScaleToolRunner::Result put_back(files::ScaleList files::Workspace::*place, files::ScaleList list) {
    return [place, list = std::move(list)](files::Workspace& ws) { ws.*place = list; };
}

QComboBox* choice_box(const char* name, std::span<const char* const> items, int current, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    for (const char* item : items) box->addItem(QObject::tr(item));
    box->setCurrentIndex(current);
    return box;
}

}  // namespace

ScaleToolsPanel::ScaleToolsPanel(ProgramContext& context, std::function<void()> changed, QWidget* parent)
    : QWidget(parent), context_(context), changed_(std::move(changed)) {
    setObjectName("scale_tools");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    pages_ = new QTabWidget(this);
    pages_->setObjectName("scale_tool_pages");
    // Ctrl+Tab moves between the pages; their titles take no Alt letter from the controls.
    pages_->addTab(lists_page(), tr("Lists from Scala"));
    pages_->addTab(search_page(), tr("Search and sort"));
    pages_->addTab(new_scales_page(), tr("New scales"));
    layout->addWidget(pages_, 1);

    progress_item_ = new QLabel(this);
    progress_item_->setObjectName("tool_progress_item");
    progress_ = new QProgressBar(this);
    progress_->setObjectName("tool_progress");
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setToolTip(tr("How far the running tool is"));
    layout->addWidget(progress_item_);
    layout->addWidget(progress_);

    auto& runner = context.scale_tools();
    connect(&runner, &ScaleToolRunner::progress, this, &ScaleToolsPanel::show_progress);
    connect(&runner, &ScaleToolRunner::finished, this, &ScaleToolsPanel::tool_finished);
    // A tool's button given the focus (window codes U, H and R) shows its page.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { show_page_of(now); });
}

void ScaleToolsPanel::add_first_page(QWidget* page, const QString& title) {
    pages_->insertTab(0, page, title);
    pages_->setCurrentIndex(0);
}

void ScaleToolsPanel::show_page_of(const QWidget* control) {
    for (int i = 0; i < pages_->count(); ++i) {
        if (control != nullptr && pages_->widget(i)->isAncestorOf(control)) pages_->setCurrentIndex(i);
    }
}

QWidget* ScaleToolsPanel::lists_page() {
    const auto& s = context_.settings();
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    list_name_ = new QLineEdit(QString::fromStdString(s.szLSC), page);
    list_name_->setObjectName("list_name");
    list_name_->setToolTip(tr("The name of the list of scales to make, such as all.lsc"));
    form->addRow(tr("&List of scales to make"), list_name_);
    form->addRow(tool_button("make_scale_list", tools::ToolKind::scale_list,
                             tr("&Make List of scales (LSC file), from all SCL files in current folder"),
                             tr("&Halt construction of list of scales"),
                             tr("Makes a list of scales with every .scl file of the current folder, by name; pressed "
                                "again it halts"),
                             [this] { return make_scale_list_work(); }));
    modes_file_ = new QLineEdit(QString::fromStdString(s.ScalaModesListFile), page);
    modes_file_->setObjectName("modes_file");
    modes_file_->setToolTip(tr("Scala's file of mode names, such as modename.htm, in the Scala program's folder"));
    form->addRow(tr("Scala's mode &names file"), modes_file_);
    form->addRow(tool_button("make_mode_lists", tools::ToolKind::mode_lists,
                             tr("Make LM&D files from SCALA list of modes"), tr("&Halt construction of LMD files"),
                             tr("Makes a list of modes (.lmd) for each section of Scala's mode names; pressed again "
                                "it halts"),
                             [this] { return make_mode_lists_work(); }));
    return page;
}

QWidget* ScaleToolsPanel::search_page() {
    const auto& s = context_.settings();
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    words_ = new QLineEdit(QString::fromStdString(s.szWordsToFind), page);
    words_->setObjectName("words");
    words_->setToolTip(tr("Words to find: !word excludes, #word a whole word, *word a word it begins, ~word a word "
                          "it is anywhere in; 3/2 finds the ratio. Example: !tet *pelog"));
    form->addRow(tr("&Words to find"), words_);
    exact_match_ = check_box(tr("E&xact match of whole words"), "exact_match", s.exact_match, page);
    what_to_search_ = choice_box("what_to_search", kListParts, std::clamp(s.wWhatToSearch, 0, 3), page);
    exact_match_->setToolTip(tr("An unmarked word matches only a whole word, not the beginning of one"));
    what_to_search_->setToolTip(tr("Which list to search, the scales or the modes, and which of its texts"));
    form->addRow(exact_match_, what_to_search_);
    form->addRow(tool_button("search", tools::ToolKind::search, tr("&Search now"), tr("&Halt search"),
                             tr("Keeps the entries of the list that hold the words; pressed again it halts"),
                             [this] { return make_search_work(); }));
    sort_template_ = choice_box("sort_template", kSortTemplates, -1, page);
    sort_template_->setEditable(true);
    sort_template_->setEditText(QString::fromStdString(s.szSortTokenTemplate));
    sort_template_->setToolTip(tr("Sort keys a (alphabetical), n (notes), r, i, c, s, t, each after its order marks "
                                  "+ - ~ < > o k; text from ( on is a comment. Example: n~-i"));
    form->addRow(tr("Sort &template"), sort_template_);
    what_to_sort_ = choice_box("what_to_sort", kListParts, std::clamp(s.wWhichToSort, 0, 3), page);
    what_to_sort_->setToolTip(tr("Which list to sort, the scales or the modes, and by which of its texts"));
    form->addRow(tr("Sort the"), what_to_sort_);
    form->addRow(tool_button("sort", tools::ToolKind::sort, tr("Sort &Now"), tr("&Halt sort"),
                             tr("Sorts the list by the template; pressed again it halts"),
                             [this] { return make_sort_work(); }));
    return page;
}

QWidget* ScaleToolsPanel::new_scales_page() {
    const auto& s = context_.settings();
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    most_steps_ = number_edit("most_steps", s.sps_nnotes, page);
    fewest_steps_ = number_edit("fewest_steps", s.sps_min_nnotes, page);
    top_note_ = number_edit("top_note", s.dsps_topnote, page);
    most_scales_ = number_edit("most_scales", s.sps_maxscales, page);
    smallest_step_ = new QLineEdit("1.0125", page);
    smallest_step_->setObjectName("smallest_step");
    largest_step_ = new QLineEdit("5/4", page);
    largest_step_->setObjectName("largest_step");
    most_steps_->setToolTip(tr("The most steps a scale found may have, 1 to 1000"));
    fewest_steps_->setToolTip(tr("The fewest steps a scale found may have, 1 to 1000"));
    top_note_->setToolTip(tr("The interval every scale found spans: 2 for an octave, 3 for a tritave"));
    most_scales_->setToolTip(tr("The search stops after this many scales, 1 to 1000000"));
    smallest_step_->setToolTip(tr("The smallest step allowed, a ratio such as 81/80"));
    largest_step_->setToolTip(tr("The largest step allowed, a ratio such as 5/4; used when above the smallest"));
    form->addRow(tr("Most steps"), most_steps_);
    form->addRow(tr("Fewest steps"), fewest_steps_);
    form->addRow(tr("Top note"), top_note_);
    form->addRow(tr("Most scales to find"), most_scales_);
    form->addRow(tr("Smallest step"), smallest_step_);
    form->addRow(tr("Largest step (when above the smallest)"), largest_step_);
    form->addRow(tool_button("superparticular", tools::ToolKind::superparticular,
                             tr("&Find all superparticular scales"), tr("&Halt search"),
                             tr("Lists every scale of superparticular steps ((n+1)/n) within these limits; pressed "
                                "again it halts"),
                             [this] { return make_superparticular_work(); }));
    form->addRow(tool_button("rearrange_selected", tools::ToolKind::rearrangements,
                             tr("Find all re-arrangements of &selected scale's steps"), tr("&Halt search"),
                             tr("Lists every order of the steps of the scale selected in the main window; pressed "
                                "again it halts"),
                             [this] { return make_rearrangements_work(false); }));
    form->addRow(tool_button("rearrange_all", tools::ToolKind::rearrangements,
                             tr("Find all re-arrangements of &ALL scale's steps"), tr("&Halt search"),
                             tr("Lists every order of the steps of every scale of the list; pressed again it halts"),
                             [this] { return make_rearrangements_work(true); }));
    return page;
}

QPushButton* ScaleToolsPanel::tool_button(const char* name, tools::ToolKind kind, const QString& start_text,
                                          const QString& halt_text, const QString& tooltip,
                                          std::function<ScaleToolRunner::Work()> make_work) {
    auto* button = new QPushButton(start_text, this);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(tooltip);
    buttons_.push_back({button, kind, start_text, halt_text});
    connect(button, &QPushButton::clicked, this, [this, button, kind, halt_text, make_work = std::move(make_work)] {
        auto& runner = context_.scale_tools();
        ScaleToolRunner::Work work;
        if (runner.running() != kind) {  // a press that halts needs no work
            store_settings();
            work = make_work();
        }
        const auto press = runner.press(kind, context_.settings().player.set_high_priority_for_crv, std::move(work));
        if (press != tools::ToolBoard::Press::started) return;
        button->setText(halt_text);
        progress_item_->clear();
        progress_->setRange(0, 0);  // busy until the tool tells how far it is
    });
    return button;
}

void ScaleToolsPanel::store_settings() {
    auto& s = context_.settings();
    s.szLSC = list_name_->text().trimmed().toStdString();
    s.ScalaModesListFile = modes_file_->text().trimmed().toStdString();
    s.szWordsToFind = words_->text().toStdString();
    s.exact_match = exact_match_->isChecked();
    s.wWhatToSearch = what_to_search_->currentIndex();
    s.szSortTokenTemplate = sort_template_->currentText().toStdString();
    s.wWhichToSort = what_to_sort_->currentIndex();
    s.sps_nnotes = typed_whole(most_steps_, s.sps_nnotes, 1, 1000);
    s.sps_min_nnotes = typed_whole(fewest_steps_, s.sps_min_nnotes, 1, 1000);
    s.dsps_topnote = typed_number(top_note_, s.dsps_topnote);
    s.sps_maxscales = typed_whole(most_scales_, s.sps_maxscales, 1, 1000000);
}

ScaleToolRunner::Work ScaleToolsPanel::make_scale_list_work() {
    const auto& ws = context_.workspace();
    tools::ScaleListJob job{std::filesystem::current_path(), ws.settings.szLSC, ws.program_folder, ws.settings};
    return [job = std::move(job)](tools::ToolRun& run, platform::Reporter& reporter) -> ScaleToolRunner::Result {
        tools::make_scale_list_from_folder(job, run, reporter);
        return {};
    };
}

ScaleToolRunner::Work ScaleToolsPanel::make_mode_lists_work() {
    const auto& ws = context_.workspace();
    tools::ModeListsJob job{tools::scala_modes_file_path(ws.settings), ws.program_folder, ws.settings};
    return [job = std::move(job)](tools::ToolRun& run, platform::Reporter& reporter) -> ScaleToolRunner::Result {
        tools::make_mode_lists_from_scala(job, run, reporter);
        return {};
    };
}

ScaleToolRunner::Work ScaleToolsPanel::make_search_work() {
    const auto& s = context_.settings();
    const ListChoice choice = list_choice(s.wWhatToSearch);
    tools::SearchJob job{s.szWordsToFind, s.exact_match, choice.part, "main window"};
    return [job = std::move(job), choice, list = context_.workspace().*choice.list](
               tools::ToolRun& run, platform::Reporter& reporter) mutable -> ScaleToolRunner::Result {
        const auto result = tools::search_list(list, job, run, reporter);
        if (result.matches == 0) return {};
        return put_back(choice.list, std::move(list));
    };
}

ScaleToolRunner::Work ScaleToolsPanel::make_sort_work() {
    const auto& s = context_.settings();
    const ListChoice choice = list_choice(s.wWhichToSort);
    return [choice, sort_template = s.szSortTokenTemplate, remove = s.remove_duplicates_for_sort,
            list = context_.workspace().*choice.list](tools::ToolRun& run,
                                                       platform::Reporter& reporter) mutable -> ScaleToolRunner::Result {
        const auto result = tools::sort_list(list, sort_template, choice.part, remove, run, reporter);
        if (result.halted) return {};
        return put_back(choice.list, std::move(list));
    };
}

ScaleToolRunner::Work ScaleToolsPanel::make_superparticular_work() {
    const auto& s = context_.settings();
    tools::SuperparticularSearch search;
    search.sps_nnotes = s.sps_nnotes;
    search.sps_min_nnotes = s.sps_min_nnotes;
    search.sps_maxscales = s.sps_maxscales;
    search.dsps_topnote = s.dsps_topnote;
    search.dsps_max_memory = s.dsps_max_memory;
    search.sps_show_as_steps_in_description = s.sps_show_as_steps_in_description;
    search.smallest_step = typed_number(smallest_step_, search.smallest_step);
    search.largest_step = typed_number(largest_step_, search.largest_step);
    return [search, format = s.format, list = context_.workspace().scales](
               tools::ToolRun& run, platform::Reporter& reporter) mutable -> ScaleToolRunner::Result {
        const auto result = tools::superparticular_tool(list, search, format, run, reporter);
        if (result.scales.empty()) return {};
        return put_back(&files::Workspace::scales, std::move(list));
    };
}

ScaleToolRunner::Work ScaleToolsPanel::make_rearrangements_work(bool all_scales) {
    const auto& ws = context_.workspace();
    const std::optional<std::size_t> selected = all_scales ? std::nullopt : std::optional(ws.scales.selected);
    return [selected, format = ws.settings.format, list = ws.scales](
               tools::ToolRun& run, platform::Reporter& reporter) mutable -> ScaleToolRunner::Result {
        const auto result = tools::rearrangements_tool(list, selected, format, run, reporter);
        if (result.scales.empty()) return {};
        return put_back(&files::Workspace::scales, std::move(list));
    };
}

void ScaleToolsPanel::show_progress(const QString& item, qulonglong done, qulonglong total) {
    progress_item_->setText(item);
    if (total == 0) return;
    progress_->setRange(0, static_cast<int>(std::min<qulonglong>(total, 1000000)));
    progress_->setValue(static_cast<int>(std::min(done, total)));
}

void ScaleToolsPanel::tool_finished() {
    auto& runner = context_.scale_tools();
    runner.wait();
    runner.apply_result(context_.workspace());
    for (const auto& tool : buttons_) tool.button->setText(tool.start_text);
    progress_->setRange(0, 1);
    progress_->setValue(1);
    changed_();
}

}  // namespace corvane::ui
