#pragma once

#include "Tessary/editor/DestructiveConfirmation.h"

namespace tessary {

// Answers the editor models' confirmation requests with the application's destructive alert.
Confirm alertConfirmation();

}  // namespace tessary
