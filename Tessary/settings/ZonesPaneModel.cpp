#include "Tessary/settings/ZonesPaneModel.h"

#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/unistr.h>

#include <cmath>
#include <memory>

#include "Tessary/settings/LocaleFormatTable.h"
#include "TessaryCore/LayoutTemplate.h"
#include "TessaryCore/ZoneGeometry.h"
#include "TessaryCore/ZoneLayout.h"

namespace tessary {

std::string percentText(double fraction, std::string_view locale) {
    if (const auto patterns = localePatterns(icuLocaleName(locale))) {
        if (auto text = formatPercent(*patterns, std::isfinite(fraction) ? fraction : 0)) return *std::move(text);
    }
    const icu::Locale where = locale.empty() ? icu::Locale::getDefault() : icu::Locale(std::string(locale).c_str());
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> format(icu::NumberFormat::createPercentInstance(where, status));
    const double shown = std::isfinite(fraction) ? fraction : 0;
    if (U_FAILURE(status) || !format) return std::to_string(std::lround(shown * 100)) + "%";
    format->setMaximumFractionDigits(0);
    icu::UnicodeString text;
    format->format(shown, text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

std::vector<Zone> previewZones(Size size) {
    ZoneLayout layout(LayoutTemplate::columns, 3);
    layout.spacing = 6;
    layout.padding = 8;
    return ZoneGeometry::zones(layout, Rect{{0, 0}, size});
}

ConfirmationTexts zonesResetConfirmation() {
    return {"Reset the zone appearance?", "Every setting on this pane goes back to its default.", "Reset"};
}

PrimaryActionTexts zonesResetAction() {
    return {"Reset to Defaults", "The default colour, 50% zone and 10% highlight opacity"};
}

}  // namespace tessary
