#pragma once

#include <QListView>
#include <QMargins>

#include <functional>
#include <optional>

#include "Tessary/shell/ui/RowListModel.h"

namespace tessary {

// How every row of one list is laid out; all rows of a list are as tall as each other.
struct RowLook {
    enum class Picture { none, icon, thumbnail };
    Picture picture = Picture::none;
    // An icon's side, or a thumbnail's width (its height is at 1.6 : 1).
    int pictureWidth = 0;
    QMargins padding{8, 4, 8, 4};
    // Between the picture, the texts and the trailing mark.
    int spacing = 10;
    // Lines the subtitle may take, wrapped at words; every row keeps room for all of them.
    int subtitleLines = 1;
    double subtitleScale = 0.9;
    Qt::TextElideMode subtitleElide = Qt::ElideRight;
    bool subtitleMonospace = false;
    // The names under which the end-to-end query reads the selected row's texts ("workspaceSummary").
    QString titleName;
    QString subtitleName;
};

// A row as it is drawn at the list's width: its texts as shown ("…" where cut, lines joined by
// line breaks) and where each part lies, in the viewport's coordinates.
struct ShownRow {
    QString title;
    QString subtitle;
    bool titleCut = false;
    bool subtitleCut = false;
    QRect rect, picture, titleRect, subtitleRect, trailing;
};

// A long list drawn by one delegate: however many rows its model holds, it makes no widget per row
// and draws only the rows in sight. Each row is its picture (an application's icon or a layout's
// thumbnail), its title over its subtitle, both plain text cut with "…" to the list's width (the
// whole text is the tool tip of a cut one), and its trailing text or symbol. On the selection the
// texts and symbols take the highlighted-text colour; an application's own icon keeps its colours.
//
// One row at most is selected. `onChosen` hears the user's choices (a click, the keys, typing a
// name, a screen reader), never `setSelectedRow`. With a model that moves rows, a row can be
// dragged between two others; the drop calls the model's `moveRow` with the list's offsets.
class RowListView final : public QListView {
    Q_OBJECT

public:
    RowListView(RowListModel* model, RowLook look, QWidget* parent = nullptr);

    RowListModel* rows() const { return model_; }
    const RowLook& look() const { return look_; }
    int count() const { return model_->rowCount(); }
    // The selected row, or -1.
    int selectedRow() const;
    // Selects the row (-1: none) and scrolls it into sight, without calling `onChosen`.
    void setSelectedRow(int row);
    std::function<void(int row)> onChosen;

    // The height of every row.
    int rowHeight() const;
    // The row as drawn now.
    ShownRow shownRow(int row) const;
    // The text the end-to-end query names (RowLook::titleName, subtitleName) of the selected row, or
    // of the first row while none is selected.
    std::optional<QString> namedText(const QString& name) const;
    // What a drop at `at` (in the viewport) does: a row of this list dragged there goes between the
    // two rows nearest; anything else is refused (false).
    bool drop(const QMimeData* data, const QPoint& at);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class Delegate;

    RowListModel* model_;
    RowLook look_;
    Delegate* delegate_;
    bool choosing_ = false;
};

}  // namespace tessary
