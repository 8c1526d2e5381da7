#pragma once

#include <cstdint>
#include <functional>
#include <set>

#include "Tessary/shell/ui/LayoutThumbnail.h"

namespace tessary {

// A layout's thumbnail, 160 wide, whose zones are toggles: a click on any zone calls `toggle` with
// its index; the owner changes the selection and hands it back with setSelection. To a screen
// reader it is the group "Zones" of buttons "Zone 1", "Zone 2"..., each selected while picked.
class ZonePickerThumbnail final : public QWidget {
    Q_OBJECT

public:
    ZonePickerThumbnail(ZoneLayout layout, std::set<std::int64_t> selection, std::function<void(std::int64_t)> toggle,
                        QWidget* parent = nullptr);

    void setSelection(std::set<std::int64_t> selection);
    LayoutThumbnail* thumbnail() const { return thumbnail_; }
    static constexpr int pickerWidth = 160;

private:
    LayoutThumbnail* thumbnail_;
};

}  // namespace tessary
