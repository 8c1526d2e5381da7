#pragma once

class QWidget;

namespace tessary {

// Places a new window in the middle of the primary screen's available area (once, when it is
// made: later showings keep where the user put it).
void centreOnPrimaryScreen(QWidget& window);

}  // namespace tessary
