#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QString>
#include <QWidget>
#include <QWidgetAction>

#include <functional>
#include <optional>
#include <vector>

#include "TessaryCore/UUID.h"
#include "TessaryCore/ZoneLayout.h"

namespace tessary {

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

class LayoutTileList;

// A display's row in the menu: "NAME · LAYOUT" over the display's layouts as tiles
// (LayoutTileList), in as many 70-pixel columns as fit the host (three in the menu's 300 pixels);
// a chosen tile calls `select` with its layout. Past the rows of tiles it is told to show, the
// tiles scroll. The row fills the menu's width and takes the clicks beside its tiles, doing nothing
// with them: passed on, the menu would take them as choosing the row and close.
class DisplayLayoutsRow final : public QWidget {
    Q_OBJECT

public:
    DisplayLayoutsRow(QString title, std::optional<QString> currentName, std::vector<ZoneLayout> layouts,
                      std::optional<UUID> selectedID, std::function<void(const ZoneLayout&)> select,
                      int hostWidth = 300, QWidget* parent = nullptr);

    // The header as built: the display name, then " · " and the layout's name when there is one.
    QString headerText() const { return header_->fullText(); }
    // The tiles; none for an empty library.
    LayoutTileList* tileList() const { return tiles_; }
    int tileCount() const;
    int columnCount() const { return columns_; }

    // Shows at most this many rows of tiles (at least one); the rest scroll.
    void setVisibleTileRows(int rows);
    // Rows of tiles the whole library takes.
    int tileRowCount() const;
    // The row's height apart from its tiles: header, gaps and margins.
    int heightWithoutTiles() const;

    // Columns of `columnWidth` with `spacing` between them that fit in the width.
    static int columnsThatFit(int width, int columnWidth = 70, int spacing = 2);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    MiddleElidedLabel* header_;
    LayoutTileList* tiles_ = nullptr;
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
    // Return and Enter click it, as Space does: the menu would take them as choosing an item with
    // no action and close.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString title_;
    QString subtitle_;
    int hostWidth_;
    bool hovering_ = false;
};

// A menu item that shows a row (a display's row, a two-line row) in place of a title. A screen
// reader meets it as a menu item named by `label` whose one child is the row, so that what the row
// holds (a display's tiles, a two-line row's press) is reached from the menu as a sighted user
// reaches it; the row names the item as its parent.
class HostedRowAction final : public QWidgetAction {
    Q_OBJECT

public:
    HostedRowAction(QWidget* row, QString label, QObject* parent);

    const QString& label() const { return label_; }
    QWidget* row() const { return defaultWidget(); }

private:
    QString label_;
};

// Makes a click that reaches `menu` itself over one of its hosted rows a click on the row's
// widget under the pointer. While a submenu is open it holds the pointer: a press outside it goes
// to the menu that opened it, not to the widget there, and the menu took the click for one on the
// row's item, closed, and the tile or button under the pointer never acted. The submenu stays
// open for a second after the pointer leaves it.
void handClicksToHostedRows(QMenu& menu);

}  // namespace tessary
