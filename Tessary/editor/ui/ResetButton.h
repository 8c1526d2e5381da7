#pragma once

#include <QWidget>

#include "Platform/Signal.h"
#include "Tessary/editor/ResetMenuModel.h"

class QMenu;
class QPushButton;
class QToolButton;

namespace tessary {

// "Reset to Default" while the selected layout remembers its origin, else the "Reset to Template"
// menu; both ask before they reset.
class ResetButton final : public QWidget {
    Q_OBJECT

public:
    explicit ResetButton(LayoutEditorModel& model, QWidget* parent = nullptr);

    QPushButton* resetToDefaultButton() const { return toDefault_; }
    QToolButton* resetToTemplateButton() const { return toTemplate_; }
    // The "Reset to Template" menu, with its items.
    QMenu* templateMenu() const;

private:
    void fillMenu();
    void refresh();

    ResetMenuModel reset_;
    QPushButton* toDefault_;
    QToolButton* toTemplate_;
    QMenu* menu_;
    Subscription librarySubscription_;
    Subscription editorSubscription_;
};

}  // namespace tessary
