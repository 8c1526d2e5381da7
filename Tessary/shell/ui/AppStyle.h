#pragma once

#include <QColor>
#include <QPalette>
#include <QProxyStyle>

namespace tessary {

// The desktop's style with two things it leaves to the palette made certain:
// - the edge of a check box, radio button or text field: the style derives it from the window
//   colour, which on a dark window leaves an unticked box almost invisible; here it is drawn over in
//   a colour at least 3:1 against the surfaces around it;
// - a checked push button (a segment of a segmented control) is filled with the accent and labelled
//   in the highlighted-text colour, so the chosen segment differs clearly from the others.
class AppStyle final : public QProxyStyle {
    Q_OBJECT
public:
    // Over the style of that name (the one the desktop or QT_STYLE_OVERRIDE chose).
    explicit AppStyle(const QString& baseStyle);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;

    // The edge colour of the controls above: the nearest shade from the base colour towards the
    // text colour that stands 3.5:1 from both the base and the window colour, so that it keeps
    // 3:1 on cards tinted a few per cent off them.
    static QColor controlEdge(const QPalette& palette);
};

}  // namespace tessary
