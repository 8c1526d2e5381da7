#pragma once

// The program's name and icon as its windows and alerts show them. Qt titles an alert, and any
// window whose own title is empty, with the application's name; without one set that is the
// executable's file name, "tessary".

#include <QPixmap>

namespace tessary {

// Names the application "Tessary" (titles, the WM_CLASS class) and its desktop file "tessary" (the
// desktop's taskbar and switcher find its name and icon there). Call once, after the QApplication.
void nameApplication();

// The application's window icon, or the drawn zone grid when it has none.
QPixmap applicationIcon(int size, qreal devicePixelRatio);

}  // namespace tessary
