#include "Tessary/settings/ui/ReleaseNoteView.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>

#include "Tessary/settings/AboutPaneModel.h"

namespace tessary {

namespace {

// The spacings of the pane's stacks, in pixels: under the heading line (above the date), under the
// heading, between sections, under a section's title and between its items.
constexpr int kUnderHeading = 2, kUnderDate = 8, kBetweenSections = 12, kBetweenLines = 6, kBulletGap = 8;

}  // namespace

ReleaseNoteView::ReleaseNoteView(ReleaseNote note, QWidget* parent) : QTextEdit(parent), note_(std::move(note)) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setContextMenuPolicy(Qt::NoContextMenu);
    // The card's background shows through.
    viewport()->setAutoFillBackground(false);
    document()->setDocumentMargin(0);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(QString::fromStdString(releaseNoteHeading(note_.version)));
    fill();
}

void ReleaseNoteView::fill() {
    QTextDocument& text = *document();
    text.clear();
    const QColor secondary = palette().color(QPalette::PlaceholderText);
    const QFont base = font();
    QTextCursor cursor(&text);

    const auto block = [&](int below, int indent = 0) {
        QTextBlockFormat format;
        format.setBottomMargin(below);
        if (indent) {
            // The bullet hangs in the margin; wrapped lines of the item start under its first word.
            format.setLeftMargin(indent);
            format.setTextIndent(-indent);
            format.setTabPositions({QTextOption::Tab(indent, QTextOption::LeftTab)});
        }
        return format;
    };
    const auto inFont = [](const QFont& font, std::optional<QColor> colour = std::nullopt) {
        QTextCharFormat format;
        format.setFont(font);
        if (colour) format.setForeground(*colour);
        return format;
    };
    bool first = true;
    const auto startBlock = [&](const QTextBlockFormat& format) {
        if (first) {
            cursor.setBlockFormat(format);
            first = false;
        } else {
            cursor.insertBlock(format);
        }
    };

    QFont headline = base;
    headline.setBold(true);
    QFont caption = base;
    caption.setPointSizeF(base.pointSizeF() * 0.9);
    QFont sectionTitle = caption;
    sectionTitle.setWeight(QFont::DemiBold);
    const int bullet = QFontMetrics(base).horizontalAdvance(QStringLiteral("\u2022")) + kBulletGap;

    const bool hasSections = !note_.sections.empty();
    startBlock(block(note_.date ? kUnderHeading : (hasSections ? kUnderDate : 0)));
    cursor.insertText(QString::fromStdString(releaseNoteHeading(note_.version)), inFont(headline));
    if (note_.date) {
        startBlock(block(hasSections ? kUnderDate : 0));
        cursor.insertText(QString::fromStdString(releaseNoteDate(*note_.date)), inFont(caption, secondary));
    }
    for (std::size_t s = 0; s < note_.sections.size(); ++s) {
        const ReleaseNote::Section& section = note_.sections[s];
        const bool lastSection = s + 1 == note_.sections.size();
        if (!section.title.empty()) {
            startBlock(block(section.items.empty() ? (lastSection ? 0 : kBetweenSections) : kBetweenLines));
            cursor.insertText(QString::fromStdString(section.title), inFont(sectionTitle, secondary));
        }
        for (std::size_t i = 0; i < section.items.size(); ++i) {
            const bool lastItem = i + 1 == section.items.size();
            startBlock(block(lastItem ? (lastSection ? 0 : kBetweenSections) : kBetweenLines, bullet));
            cursor.insertText(QStringLiteral("\u2022\t"), inFont(base, secondary));
            cursor.insertText(QString::fromStdString(section.items[i]), inFont(base));
        }
    }
    setFixedHeight(heightAt(width()));
}

int ReleaseNoteView::heightAt(int width) const {
    QTextDocument* text = document();
    const qreal kept = text->textWidth();
    text->setTextWidth(width);
    const int height = int(std::ceil(text->size().height()));
    text->setTextWidth(kept);
    return height;
}

QSize ReleaseNoteView::sizeHint() const { return {std::max(200, int(std::ceil(document()->idealWidth()))), height()}; }

QSize ReleaseNoteView::minimumSizeHint() const { return {100, height()}; }

void ReleaseNoteView::changeEvent(QEvent* event) {
    QTextEdit::changeEvent(event);
    // The colours and fonts are written into the text: a new appearance writes it again.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) fill();
}

void ReleaseNoteView::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    // As tall as the text wrapped at the width the pane gives. (A height for every width, asked of
    // the pane's scroll area, held the pane as tall as the text wrapped at its narrowest.)
    setFixedHeight(heightAt(width()));
}

}  // namespace tessary
