#pragma once

#include <QListView>

#include <functional>
#include <optional>
#include <vector>

#include "TessaryCore/UUID.h"
#include "TessaryCore/ZoneLayout.h"

namespace tessary {

// The tiles of a display's row in the tray menu, one per layout in library order, in columns 70
// wide and 2 apart. One list view draws them all: however large the library, the menu makes no
// widget per tile and paints only the tiles in sight, and past the rows it is given the tiles
// scroll, the display's own layout scrolled into sight when the list shows.
//
// A tile is the layout's thumbnail (64 wide, padded 3) with a rounded border: in the accent colour
// for the display's layout, faint under the pointer, stronger where the keyboard is.
//
// Choosing a tile (a click, or Return, Enter or Space where the keyboard is, or a screen reader
// selecting it) calls `choose` with its layout; nothing else changes what is selected, which is
// always the display's layout. Left and Right step through every tile in order, Up and Down by
// rows; a key that leads out of the tiles goes on to the menu, which moves to its next item.
// Typing a name's first letters moves to that layout.
//
// Screen readers meet a list named "Layouts" whose items are the tiles: named after their
// layouts, selectable, selected for the display's layout, off screen while scrolled out of sight,
// and chosen by their press action. The list gives them interfaces of its own, each kept for the
// list's life, and announces the tile the keys reach itself: with the item view's own, the keys
// moving through one display's tiles were heard as the other display's selected tile.
class LayoutTileList final : public QListView {
    Q_OBJECT

public:
    static constexpr int tileWidth = 70;
    static constexpr int tileHeight = 46;
    static constexpr int spacing = 2;

    LayoutTileList(std::vector<ZoneLayout> layouts, std::optional<UUID> selectedID,
                   std::function<void(const ZoneLayout&)> choose, int columns, QWidget* parent = nullptr);
    ~LayoutTileList() override;

    int tileCount() const;
    int columnCount() const { return columns_; }
    // Rows of tiles the whole library takes.
    int rowCount() const;
    // Shows this many rows of tiles (at least one, at most all; all until told); the rest scroll.
    void setVisibleRows(int rows);
    int visibleRows() const { return visibleRows_; }

    const ZoneLayout& layoutAt(int tile) const;
    bool isTileSelected(int tile) const;
    // The tile's rectangle in the list's own coordinates, whether it is in sight or not.
    QRect tileRect(int tile) const;
    // Whether the whole tile is in sight.
    bool isTileInSight(int tile) const;
    // The tile the keyboard is on.
    int focusedTile() const;

    // What a click on the tile does.
    void chooseTile(int tile);

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* event) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void showEvent(QShowEvent* event) override;

private:
    void fitSize();
    void keepSelection();
    void announceFocusedTile();

    class Model;
    Model* model_;
    std::function<void(const ZoneLayout&)> choose_;
    int selectedRow_ = -1;
    int columns_;
    int visibleRows_ = 1;
};

}  // namespace tessary
