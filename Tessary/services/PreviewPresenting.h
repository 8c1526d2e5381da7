#pragma once

#include <vector>

#include "Tessary/services/OverlayPresenting.h"

namespace tessary {

// How the layout editor's preview puts zones on screen through the overlay it shares with drags
// and flashes. The preview is an owner of its own: it never replaces a drag's overlay (it waits
// under it and comes back when the drag ends) and hiding it never hides anyone else's.
class PreviewPresenting {
public:
    virtual ~PreviewPresenting() = default;

    // Shows the preview, or keeps it ready while a drag shows its zones.
    virtual void showPreview(const std::vector<OverlayItem>& items) = 0;
    // Ends the preview; a drag's overlay stays.
    virtual void hidePreview() = 0;
};

}  // namespace tessary
