#pragma once

// The mail fallback of feedback: the same text handed to the user's mail program through a mailto
// URL, or, when no mail program takes it, an alert that offers to copy the support address.

#include <functional>
#include <string>
#include <string_view>

#include <QUrl>

#include "Tessary/integrations/FeedbackModel.h"

class QWidget;

namespace tessary {

// The support mailbox of this build (the TESSARY_SUPPORT_EMAIL build option), possibly empty.
std::string supportEmailAddress();

// mailto:ADDRESS?subject=…&body=… with the message as typed and the facts under it. Every query
// value is percent-encoded in full by QUrl, so nothing the user wrote ("&", "#", "+", line
// breaks) can end a field or start another.
QUrl feedbackMailURL(std::string_view message, std::string_view address, const FeedbackFacts& facts);

// Hands a mailto URL to the user's mail program and calls `done` with whether one took it, at once
// or later (from the main loop).
using MailOpener = std::function<void(const QUrl& url, std::function<void(bool opened)> done)>;

// xdg-open, judged by its exit status. (QDesktopServices answers true as soon as xdg-open starts,
// also when it then finds no program for mailto and exits with 3.) While the mail program runs
// in xdg-open's place, no answer comes: nothing failed.
MailOpener desktopMailOpener();

// Opens the mail URL; when that fails, brings `parent`'s window forward and asks modally whether
// to copy the address ("Copy Address" puts exactly the address on the clipboard). The address must
// not be empty: a build without one offers no mail.
void openMailFallback(const std::string& message, const FeedbackFacts& facts, QWidget* parent,
                      std::string_view address = supportEmailAddress(), const MailOpener& open = desktopMailOpener());

}  // namespace tessary
