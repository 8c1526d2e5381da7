#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

#include "TessaryCore/UUID.h"
#include "TessaryCore/ZoneLayout.h"

namespace tessary {

class LayoutThumbnail;

// A label that keeps to one line and cuts its text in the middle when it is too long. Plain text
// always: names come from the user and from other programs.
class MiddleElidedLabel final : public QLabel {
    Q_OBJECT

public:
    explicit MiddleElidedLabel(QString text, QWidget* parent = nullptr);
    const QString& fullText() const { return fullText_; }
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refit();
    QString fullText_;
};

// One layout of a display row: the layout's thumbnail (64 wide, padded 3) with a rounded border,
// in the accent colour when it is the display's layout, faint while hovered, none otherwise.
// Screen readers hear a button named after the layout, selected when it is the display's.
class LayoutTile final : public QAbstractButton {
    Q_OBJECT

public:
    LayoutTile(const ZoneLayout& layout, bool selected, std::function<void()> action, QWidget* parent = nullptr);

    bool isSelected() const { return selected_; }
    bool isHovering() const { return hovering_; }
    static constexpr int tileWidth = 70;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    LayoutThumbnail* thumbnail_;
    bool selected_;
    bool hovering_ = false;
};

// A display's row in the menu: "NAME · LAYOUT" and a grid of its layouts' tiles, 70-pixel columns
// 2 apart; a click on a tile calls `select` with that layout. The row fills the menu's width and
// takes the clicks beside its tiles, doing nothing with them: passed on, the menu would take them
// as choosing the row and close.
class DisplayLayoutsRow final : public QWidget {
    Q_OBJECT

public:
    DisplayLayoutsRow(QString title, std::optional<QString> currentName, std::vector<ZoneLayout> layouts,
                      std::optional<UUID> selectedID, std::function<void(const ZoneLayout&)> select,
                      int hostWidth = 300, QWidget* parent = nullptr);

    // The header as built: the display name, then " · " and the layout's name when there is one.
    QString headerText() const { return header_->fullText(); }
    const std::vector<LayoutTile*>& tiles() const { return tiles_; }
    int columnCount() const { return columns_; }

    // Columns of `columnWidth` with `spacing` between them that fit in the width.
    static int columnsThatFit(int width, int columnWidth = LayoutTile::tileWidth, int spacing = 2);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    MiddleElidedLabel* header_;
    std::vector<LayoutTile*> tiles_;
    int columns_ = 1;
};

// A clickable menu row of a title over a smaller subtitle; white on the accent colour while hovered.
class TwoLineMenuRow final : public QAbstractButton {
    Q_OBJECT

public:
    TwoLineMenuRow(QString title, QString subtitle, std::function<void()> action, int hostWidth = 300,
                   QWidget* parent = nullptr);

    const QString& title() const { return title_; }
    const QString& subtitle() const { return subtitle_; }
    bool isHovering() const { return hovering_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString title_;
    QString subtitle_;
    int hostWidth_;
    bool hovering_ = false;
};

}  // namespace tessary
