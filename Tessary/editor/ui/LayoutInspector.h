#pragma once

#include <QWidget>

#include <vector>

#include "Platform/Signal.h"
#include "Tessary/editor/LayoutInspectorModel.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QVBoxLayout;

namespace tessary {

class StatusTag;

// The column beside the editor: the selected layout's name, its gaps, the displays that use it,
// whether it is the default, and its kind and origin. It refills from the library after every
// change, the selection and the screens; refilling never calls the model (signals are blocked
// and only user signals are connected), and the name field keeps its text and cursor while it
// already shows the stored name.
class LayoutInspector final : public QWidget {
    Q_OBJECT

public:
    explicit LayoutInspector(LayoutEditorModel& model, QWidget* parent = nullptr);

    void refill();

    QLineEdit* nameField() const { return name_; }
    QSlider* spacingSlider() const { return spacing_; }
    QSlider* paddingSlider() const { return padding_; }
    const std::vector<QCheckBox*>& displayToggles() const { return toggles_; }
    QPushButton* makeDefaultButton() const { return makeDefault_; }

    QSize sizeHint() const override { return {260, 500}; }

private:
    QSlider* makeGapSlider(void (LayoutInspectorModel::*move)(double));

    LayoutInspectorModel inspector_;
    QLineEdit* name_;
    QSlider* spacing_;
    QSlider* padding_;
    QLabel* spacingValue_;
    QLabel* paddingValue_;
    QVBoxLayout* displaysBox_;
    std::vector<QCheckBox*> toggles_;
    std::vector<DisplayInfo> toggled_;
    StatusTag* defaultTag_;
    QPushButton* makeDefault_;
    QLabel* kind_;
    QLabel* createdFromTitle_;
    QLabel* createdFrom_;
    Subscription librarySubscription_;
    Subscription editorSubscription_;
    Subscription screensSubscription_;
};

}  // namespace tessary
