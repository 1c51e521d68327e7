#pragma once

// The keyboard mnemonics of a window, for tests: the letters that more than one control
// claims (Alt+letter would then reach only one of them), and the labels that would show a
// literal "&" because no buddy takes their mnemonic.
//
// A control's mnemonic is the character after a single "&" in its text ("&&" is a literal
// ampersand). Looked at: QLabel texts with a buddy, QAbstractButton texts (push buttons,
// check boxes, radio buttons, tool buttons) and QGroupBox titles, of the window's own
// controls that show with it (not explicitly hidden, not in a window of their own).

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <map>

namespace corvane::ui::testing {

// The mnemonic of a text, in lower case; a null character when it has none.
inline QChar mnemonic_of(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;  // a literal ampersand
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// Whether a text holds a single "&" (a mnemonic mark rather than "&&").
inline bool has_mnemonic_mark(const QString& text) { return !mnemonic_of(text).isNull(); }

// The window's own controls that show when it shows.
inline QList<const QWidget*> shown_controls(const QWidget& window) {
    QList<const QWidget*> controls;
    for (const QWidget* w : window.findChildren<const QWidget*>()) {
        if (w->window() == &window && w->isVisibleTo(&window)) controls << w;
    }
    return controls;
}

// The mnemonic a control claims, if any.
inline QChar claimed_mnemonic(const QWidget& control) {
    if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        return label->buddy() != nullptr ? mnemonic_of(label->text()) : QChar();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&control)) return mnemonic_of(button->text());
    if (const auto* box = qobject_cast<const QGroupBox*>(&control)) return mnemonic_of(box->title());
    return {};
}

// The letters claimed by more than one control of the window, in order, each once; empty
// when every mnemonic is unique.
inline QString mnemonic_clashes(const QWidget& window) {
    std::map<QChar, int> claims;
    for (const QWidget* control : shown_controls(window)) {
        const QChar letter = claimed_mnemonic(*control);
        if (!letter.isNull()) ++claims[letter];
    }
    QString clashes;
    for (const auto& [letter, count] : claims) {
        if (count > 1) clashes += letter;
    }
    return clashes;
}

// The texts of the labels that would show a literal "&": a mnemonic mark with no buddy.
inline QStringList literal_ampersands(const QWidget& window) {
    QStringList texts;
    for (const QWidget* control : shown_controls(window)) {
        const auto* label = qobject_cast<const QLabel*>(control);
        if (label != nullptr && label->buddy() == nullptr && label->textFormat() != Qt::RichText &&
            has_mnemonic_mark(label->text())) {
            texts << label->text();
        }
    }
    return texts;
}

}  // namespace corvane::ui::testing
