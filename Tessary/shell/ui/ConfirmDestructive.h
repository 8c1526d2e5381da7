#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace tessary {

// The localised "This cannot be undone.", the message a confirmation carries unless given another.
QString defaultConfirmationMessage();

// Asks before a destructive action, always with the same alert: a warning whose text is `title`
// and informative text `message`, the confirming button first (with the destructive role and the
// default for Return) and "Cancel" second (also Escape).
//
// With an active window the alert is window-modal on it and this returns at once; the action runs
// later, when the first button is chosen, at most once, and never once its window is gone or
// hidden. Without one the alert is application-modal and this returns after the answer, the action
// having run first when confirmed. Callers pass texts already localised.
void confirmDestructive(const QString& title, const QString& message, const QString& confirmTitle,
                        std::function<void()> action);
void confirmDestructive(const QString& title, const QString& confirmTitle, std::function<void()> action);
// The same, window-modal on the given window (application-modal when it is null).
void confirmDestructive(QWidget* window, const QString& title, const QString& message, const QString& confirmTitle,
                        std::function<void()> action);

// Makes a small dialog (a name prompt) wide enough for the window manager's title bar to show its
// whole title beside the bar's buttons; Qt sizes it by its contents alone, 200 px for one field.
void widenForItsTitle(QWidget& dialog);

}  // namespace tessary
