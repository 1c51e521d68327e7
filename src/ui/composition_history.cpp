#include "corvane/ui/composition_history.h"

#include <QUndoCommand>
#include <utility>

namespace corvane::ui {
namespace {

// One change: the composition before and after it. The change has already been made when
// it is pushed, so the first redo does nothing.
class CompositionChange final : public QUndoCommand {
public:
    CompositionChange(engine::Composition before, engine::Composition after,
                      const std::function<void(const engine::Composition&)>& restore)
        : QUndoCommand(change_name(before, after)),
          before_(std::move(before)),
          after_(std::move(after)),
          restore_(restore) {}

    void undo() override { restore_(before_); }
    void redo() override {
        if (first_redo_) {
            first_redo_ = false;
            return;
        }
        restore_(after_);
    }

private:
    engine::Composition before_;
    engine::Composition after_;
    const std::function<void(const engine::Composition&)>& restore_;
    bool first_redo_ = true;
};

}  // namespace

QString change_name(const engine::Composition& before, const engine::Composition& after) {
    const auto& a = before;
    const auto& b = after;
    if (a.Note_heights != b.Note_heights || a.seed_has_test != b.seed_has_test) return QObject::tr("Seed");
    if (a.Levels != b.Levels) return QObject::tr("Levels");
    if (a.Note_length != b.Note_length) return QObject::tr("Time for one note");
    if (a.Sustain != b.Sustain) return QObject::tr("Sustain");
    if (a.Channels_in_Play != b.Channels_in_Play) return QObject::tr("Channels in Play");
    if (a.Intervals != b.Intervals) return QObject::tr("Scale");
    if (a.Arpeggio != b.Arpeggio || a.Use_ratios != b.Use_ratios) return QObject::tr("Arpeggio");
    if (a.Intervals_Title != b.Intervals_Title) return QObject::tr("Scale title");
    if (a.Arpeggio_Title != b.Arpeggio_Title) return QObject::tr("Arpeggio title");
    if (a.Frequency_of_lowest_note != b.Frequency_of_lowest_note) return QObject::tr("Frequency of lowest note");
    if (a.Choose_channels_by != b.Choose_channels_by) return QObject::tr("Order of play");
    if (a.Voices_for_channels != b.Voices_for_channels) return QObject::tr("Voices");
    return QObject::tr("Change");
}

CompositionHistory::CompositionHistory(std::function<void(const engine::Composition&)> restore, QObject* parent)
    : QObject(parent), restore_([this, restore = std::move(restore)](const engine::Composition& c) {
          seen_ = c;
          restore(c);
      }) {}

void CompositionHistory::notice(const engine::Composition& now) {
    if (seen_ == now) return;
    engine::Composition before = std::exchange(seen_, now);
    stack_.push(new CompositionChange(std::move(before), now, restore_));
}

void CompositionHistory::start_over(const engine::Composition& now) {
    seen_ = now;
    stack_.clear();
    stack_.setClean();
}

}  // namespace corvane::ui
