#pragma once

// The Zones pane's sums: a fraction as the user's locale writes a whole percentage, and the
// three sample zones of the preview.

#include <string>
#include <string_view>
#include <vector>

#include "Tessary/settings/SettingsTag.h"
#include "TessaryCore/Geometry.h"
#include "TessaryCore/Zone.h"

namespace tessary {

// 0.5 is "50%" in English, "50 %" (a no-break space) in German. `locale` is an ICU locale name
// ("de_DE"); the empty name is ICU's default locale.
std::string percentText(double fraction, std::string_view locale = {});

// The preview's zones for a preview of `size`: three columns inset 8, 6 apart; none when the size
// cannot hold the inset.
std::vector<Zone> previewZones(Size size);
// The preview highlights the second zone.
inline constexpr std::int64_t previewHighlightedZone = 1;

ConfirmationTexts zonesResetConfirmation();
PrimaryActionTexts zonesResetAction();

}  // namespace tessary
