#pragma once

class QListWidget;

namespace tessary {

// A list whose rows are widgets (a thumbnail, a title, a subtitle) draws its selection behind them,
// but the labels keep their own colours: dark text and grey subtitles on the accent. This makes the
// labels of a selected row take the highlighted-text colour, as the list's own text rows do, and the
// row's drawings (a layout thumbnail) that colour as their text and accent colours; it gives them
// back their colours when the row is no longer selected. It follows the selection at
// every repaint of the list, so rows added or rebuilt later are covered too.
void highlightSelectedRowText(QListWidget& list);

}  // namespace tessary
