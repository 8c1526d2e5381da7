#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QVBoxLayout;

namespace tessary {

// The grouped form every pane is made of: sections with a small header, a rounded card of rows,
// and an optional footer line. Texts that come from outside (names, notes) are always set as plain
// text: a QLabel left to guess would render them as HTML.
class SettingsForm final : public QWidget {
public:
    explicit SettingsForm(QWidget* parent = nullptr);
    // A form filling the whole of `pane`.
    static SettingsForm* fill(QWidget* pane);

    // A new section; rows go into the returned card's layout.
    QVBoxLayout* addSection(const QString& header = {}, const QString& footer = {});
    // Something outside the cards (the About pane's header card, a grid).
    void addWidget(QWidget* widget);
    void addStretch();

    // A label set as plain text.
    static QLabel* plainLabel(const QString& text, QWidget* parent = nullptr);
    // The small grey line under a title, wrapped.
    static QLabel* captionLabel(const QString& text, QWidget* parent = nullptr);
    // A title over a description line.
    static QWidget* twoLineLabel(const QString& title, const QString& description, QWidget* parent = nullptr);
    // A label at the left, the control at the right.
    static QWidget* row(QWidget* label, QWidget* control, QWidget* parent = nullptr);
    // A toggle row: the check box carries `objectName` for tests and the e2e query.
    static QWidget* toggleRow(const QString& title, const QString& description, const QString& objectName,
                              QCheckBox** toggle, QWidget* parent = nullptr);

    // "No Rule Selected" and its kin: a centred title (named `objectName`) over a description.
    static QWidget* unavailable(const QString& title, const QString& description, const QString& objectName);
    // Takes every item out of the layout and deletes its widget once the current event is done: a
    // click inside the old content is often what asked for the new one.
    static void clearLater(class QLayout* layout);
    // Names the text field of a control (a shortcut recorder) for screen readers: the row's title,
    // which the field itself does not carry.
    static void nameField(QWidget* control, const QString& name);

private:
    QVBoxLayout* column_;
};

}  // namespace tessary
