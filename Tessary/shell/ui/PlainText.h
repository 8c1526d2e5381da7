#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QString>

namespace tessary {

// Texts that come from data (layout, display, application and folder names, title patterns) are
// shown exactly as typed. Qt would read them otherwise: a label or a tool tip guesses HTML from
// "<b>", and a menu item or button takes "&" as the mark of its shortcut letter.

// The text as a menu item or button title: every "&" doubled, so that it shows as one.
QString menuItemText(const QString& text);
// The text as a tool tip that Qt shows literally: as it is, unless Qt would take it for HTML.
QString plainToolTip(const QString& text);
// Gives the widget the text as its tool tip, shown literally; a screen reader reads it as the
// widget's description (without the markup that keeps a tool tip literal).
void setPlainToolTip(QWidget& widget, const QString& text);

// The text as shown in `width` of `font`: in at most `lines` lines wrapped at word boundaries and
// joined by line breaks, the last one cut with "…" (a single line is cut as `mode` says). `cut`
// tells whether something of the text is missing (the breaks between lines alone cut nothing).
QString fittedText(const QString& text, const QFont& font, int width, int lines, Qt::TextElideMode mode,
                   bool* cut = nullptr);

// One line of plain text cut with "…" where it does not fit (at the end unless told otherwise);
// the whole text is its tool tip while it is cut. It asks for its full width and takes less. Given
// more lines, it wraps at word boundaries into at most that many, cuts the last, and always asks
// for the height of all of them, so that rows made of it keep one height whatever they say.
class ElidedLabel final : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QString text = {}, QWidget* parent = nullptr, Qt::TextElideMode mode = Qt::ElideRight);

    void setFullText(const QString& text);
    const QString& fullText() const { return fullText_; }
    bool isElided() const { return elided_; }
    void setMaximumLines(int lines);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refit();

    QString fullText_;
    Qt::TextElideMode mode_;
    int maximumLines_ = 1;
    bool elided_ = false;
};

// A check box whose title (a name from data) is cut with "…" where it does not fit, shown as typed;
// the whole title is its tool tip while it is cut, and always what a screen reader reads. It asks
// for its full width and takes as little as its box and the "…".
class ElidedCheckBox final : public QCheckBox {
    Q_OBJECT

public:
    explicit ElidedCheckBox(QString title, QWidget* parent = nullptr);

    const QString& fullTitle() const { return title_; }
    bool isElided() const { return elided_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The box and its label holding `text`.
    QSize sizeFor(const QString& text) const;
    void refit();

    QString title_;
    bool elided_ = false;
};

}  // namespace tessary
