#pragma once

// The mail fallback of feedback: the same text handed to the user's mail program through a mailto
// URL, or, when no mail program takes it, an alert that offers to copy the support address.

#include <string>
#include <string_view>

#include <QUrl>

#include "Tessary/integrations/FeedbackModel.h"
#include "Tessary/shell/ui/LinkOpener.h"

class QWidget;

namespace tessary {

// The support mailbox of this build (the TESSARY_SUPPORT_EMAIL build option), possibly empty.
std::string supportEmailAddress();

// mailto:ADDRESS?subject=…&body=… with the message as typed and the facts under it. Every query
// value is percent-encoded in full by QUrl, so nothing the user wrote ("&", "#", "+", line
// breaks) can end a field or start another.
QUrl feedbackMailURL(std::string_view message, std::string_view address, const FeedbackFacts& facts);

// Opens the mail URL; when that fails, brings `parent`'s window forward and asks modally whether
// to copy the address ("Copy Address" puts exactly the address on the clipboard).
void openMailFallback(const std::string& message, const FeedbackFacts& facts, QWidget* parent,
                      std::string_view address = supportEmailAddress(), const URLOpener& open = desktopURLOpener());

}  // namespace tessary
