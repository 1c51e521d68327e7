#pragma once

// The Colours window, which chooses the palette colour of every element of the display
// windows, and the Pitch window, whose bar retunes the composition while notes sound.

#include <QDialog>
#include <functional>
#include <vector>

#include "corvane/ui/program_context.h"

class QComboBox;
class QLabel;
class QSlider;

namespace corvane::ui {

class ColoursDialog final : public QDialog {
    Q_OBJECT
public:
    // `changed` runs after a colour changed, so the display windows can redraw.
    ColoursDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent = nullptr);
    void show_colours();

private:
    ProgramContext& context_;
    std::function<void()> changed_;
    std::vector<QComboBox*> choices_;  // in the order of the colour table
};

// "Pitch": the pitch bar moves the frequency of the lowest note up or down by up to an
// octave, in cents, and the sounding notes with it.
class PitchDialog final : public QDialog {
    Q_OBJECT
public:
    PitchDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent = nullptr);
    // Moves the bar to `cents` from where it was.
    void move_to(int cents);

private:
    void show_frequency();

    ProgramContext& context_;
    std::function<void()> changed_;
    QSlider* bar_;
    QLabel* frequency_;
    int cents_ = 0;
};

}  // namespace corvane::ui
