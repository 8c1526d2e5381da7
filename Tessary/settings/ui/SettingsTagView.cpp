#include "Tessary/settings/ui/SettingsTagView.h"

#include "Tessary/shell/ui/StatusTag.h"

namespace tessary {

void showTag(StatusTag* tag, const SettingsTag& value) {
    tag->setText(QString::fromStdString(value.text));
    switch (value.tone) {
    case SettingsTone::positive: tag->setTone(StatusTag::Tone::positive); break;
    case SettingsTone::warning: tag->setTone(StatusTag::Tone::warning); break;
    case SettingsTone::neutral: tag->setTone(StatusTag::Tone::neutral); break;
    }
}

}  // namespace tessary
