#pragma once

// Undo and redo for the composition. Every window changes the composition in its own way
// and then has the main window show it; the history notices each change there, by comparing
// with the composition it last saw, so no window needs to know about undo.

#include <QObject>
#include <QUndoStack>
#include <functional>

#include "corvane/engine/composition.h"

namespace corvane::ui {

class CompositionHistory final : public QObject {
    Q_OBJECT
public:
    // `restore` puts a composition back in place; the history has already taken it as seen.
    explicit CompositionHistory(std::function<void(const engine::Composition&)> restore, QObject* parent = nullptr);

    // Takes what changed since the composition was last seen as one step to undo.
    void notice(const engine::Composition& now);
    // A new or opened composition: nothing before it can be undone.
    void start_over(const engine::Composition& now);
    // The composition as saved: undoing back to it leaves nothing unsaved.
    void mark_saved() { stack_.setClean(); }
    bool at_saved_state() const { return stack_.isClean(); }

    QUndoStack& stack() { return stack_; }

private:
    std::function<void(const engine::Composition&)> restore_;
    engine::Composition seen_;
    QUndoStack stack_;
};

// What a change did, for the Undo and Redo menu items: "Levels", "Scale", ... or "Change".
QString change_name(const engine::Composition& before, const engine::Composition& after);

}  // namespace corvane::ui
