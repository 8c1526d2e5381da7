#pragma once

#include <QFrame>
#include <QWidget>

namespace tessary {

// The grouped-block look shared by cards: a pale fill (the palette's window text at 4 %) in a
// rounded rectangle of radius 12, bordered inside by a thin separator line.
class CardFrame : public QFrame {
    Q_OBJECT

public:
    explicit CardFrame(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A master list with its edit bar under it, on a card 232 wide, inset 20 at the leading edge, top
// and bottom. The card takes ownership of both widgets.
class MasterListCard final : public QWidget {
    Q_OBJECT

public:
    MasterListCard(QWidget* rows, QWidget* bar, QWidget* parent = nullptr);

    QWidget* rows() const { return rows_; }
    QWidget* bar() const { return bar_; }
    static constexpr int cardWidth = 232;

private:
    QWidget* rows_;
    QWidget* bar_;
};

// A thin separator line, horizontal unless told, in the window text colour at 18 %.
QFrame* makeDivider(QWidget* parent = nullptr, Qt::Orientation orientation = Qt::Horizontal);

// The content with a divider above it; the returned widget owns the content.
QWidget* dividedPane(QWidget* content);

}  // namespace tessary
