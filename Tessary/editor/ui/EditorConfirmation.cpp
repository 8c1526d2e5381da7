#include "Tessary/editor/ui/EditorConfirmation.h"

#include "Tessary/shell/ui/ConfirmDestructive.h"

namespace tessary {

Confirm alertConfirmation() {
    return [](const ConfirmRequest& request, std::function<void()> action) {
        confirmDestructive(QString::fromStdString(request.title), QString::fromStdString(request.message),
                           QString::fromStdString(request.confirmTitle), std::move(action));
    };
}

}  // namespace tessary
