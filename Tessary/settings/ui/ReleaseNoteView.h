#pragma once

#include <QTextEdit>

#include "Tessary/integrations/ReleaseNote.h"

namespace tessary {

// One release note in the About pane: its "What’s New in" heading, its date, and its sections of
// bulleted items, as one read-only text that can be selected whole. One text rather than a label
// per line: a note of thirty lines kept thirty text documents alive with the settings window.
// Every text is inserted as it stands; nothing in a note is read as markup.
class ReleaseNoteView final : public QTextEdit {
public:
    explicit ReleaseNoteView(ReleaseNote note, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Writes the note into the document in the palette's colours.
    void fill();
    // The text's height wrapped at `width`.
    int heightAt(int width) const;

    ReleaseNote note_;
};

}  // namespace tessary
