#include "Platform/Sim/SimScreens.h"

namespace tessary {

Screen SimScreens::makeScreen(std::uint32_t displayNumber, Rect frame, std::string connectorName, double panelHeight) {
    Screen screen;
    screen.displayNumber = displayNumber;
    screen.frame = frame;
    screen.workArea = Rect(frame.x(), frame.y() + panelHeight, frame.width(), frame.height() - panelHeight);
    screen.localizedName = connectorName;
    screen.connectorName = std::move(connectorName);
    return screen;
}

}  // namespace tessary
