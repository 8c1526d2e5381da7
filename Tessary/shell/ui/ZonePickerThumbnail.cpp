#include "Tessary/shell/ui/ZonePickerThumbnail.h"

#include <QVBoxLayout>

namespace tessary {

ZonePickerThumbnail::ZonePickerThumbnail(ZoneLayout layout, std::set<std::int64_t> selection,
                                         std::function<void(std::int64_t)> toggle, QWidget* parent)
    : QWidget(parent) {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    thumbnail_ = new LayoutThumbnail(std::move(layout), this);
    thumbnail_->setHighlighted(false);
    thumbnail_->setHighlightedZones(std::move(selection));
    thumbnail_->setOnTapZone(std::move(toggle));
    thumbnail_->setThumbnailWidth(pickerWidth);
    stack->addWidget(thumbnail_);
    // The thumbnail is the group a screen reader meets, its zones the buttons in it.
    thumbnail_->setAccessibleName(tr("Zones"));
}

void ZonePickerThumbnail::setSelection(std::set<std::int64_t> selection) {
    thumbnail_->setHighlightedZones(std::move(selection));
}

}  // namespace tessary
