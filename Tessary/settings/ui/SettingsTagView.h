#pragma once

#include "Tessary/settings/SettingsTag.h"

namespace tessary {

class StatusTag;

// Shows a pane model's tag on a StatusTag.
void showTag(StatusTag* tag, const SettingsTag& value);

}  // namespace tessary
