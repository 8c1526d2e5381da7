#include "Tessary/settings/ui/SnappingSettingsView.h"

#include <QLabel>
#include <QPointer>
#include <QCheckBox>
#include <QComboBox>
#include <QVBoxLayout>

#include "Tessary/services/Preferences.h"
#include "Tessary/settings/SnappingPaneModel.h"
#include "Tessary/settings/ui/SettingsConfirmation.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/AppState.h"

namespace tessary {

namespace {

template <typename Modifier, std::size_t N>
QComboBox* picker(const std::array<Modifier, N>& choices, const QString& name) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    for (Modifier choice : choices) {
        const std::string_view text = displayName(choice);
        box->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    return box;
}

template <typename Modifier, std::size_t N>
int indexOf(const std::array<Modifier, N>& choices, Modifier value) {
    for (std::size_t i = 0; i < N; ++i) {
        if (choices[i] == value) return static_cast<int>(i);
    }
    return 0;
}

}  // namespace

SnappingSettingsView::SnappingSettingsView(SettingsContext& context, QWidget* parent)
    : SettingsPane(parent), context_(context) {
    SettingsForm* form = SettingsForm::fill(this);
    Preferences& preferences = context_.preferences;
    const std::string windowManager = context_.state.windowManagerName ? context_.state.windowManagerName() : "";
    defaults_ = defaultDragKeys(windowManager);

    QVBoxLayout* drag = form->addSection(tr("Drag to snap"), QString::fromStdString(snappingFooter(windowManager)));
    activation_ = picker(allActivationModifiers, QStringLiteral("activationModifier"));
    connect(activation_, &QComboBox::activated, this, [this, &preferences](int index) {
        showMove(chooseActivationModifier(preferences, allActivationModifiers[static_cast<std::size_t>(index)]));
    });
    drag->addWidget(SettingsForm::row(
        SettingsForm::twoLineLabel(tr("Show zones while dragging with"),
                                   tr("Hold this key while moving a window to see its display's zones.")),
        activation_, this));
    span_ = picker(allSpanModifiers, QStringLiteral("spanModifier"));
    connect(span_, &QComboBox::activated, this, [this, &preferences](int index) {
        showMove(chooseSpanModifier(preferences, allSpanModifiers[static_cast<std::size_t>(index)]));
    });
    drag->addWidget(SettingsForm::row(
        SettingsForm::twoLineLabel(tr("Span several zones with"),
                                   tr("Add this key to drop a window across every zone under the cursor path.")),
        span_, this));
    moved_ = SettingsForm::captionLabel({}, this);
    moved_->setObjectName(QStringLiteral("dragKeysMoved"));
    moved_->hide();
    drag->addWidget(moved_);

    QVBoxLayout* placement = form->addSection(tr("Placement"));
    placement->addWidget(SettingsForm::toggleRow(
        tr("Center windows that cannot fill their zone"),
        tr("Some windows have a fixed size or cannot be made small enough. When this is off, they go to the zone's top "
           "left corner."),
        QStringLiteral("centerUnresizableWindows"), &center_, this));
    connect(center_, &QCheckBox::toggled, this, [&preferences](bool on) { preferences.setCenterUnresizableWindows(on); });
    form->addStretch();

    subscription_ = preferences.observe([this](PreferenceSetting) { refresh(); });
    refresh();
}

std::optional<PrimaryActionTexts> SnappingSettingsView::primaryAction() const { return snappingResetAction(defaults_); }

void SnappingSettingsView::triggerPrimaryAction() {
    // The pane may be gone when the answer comes: the alert belongs to the window.
    confirmDestructive(window(), snappingResetConfirmation(),
                       [&preferences = context_.preferences, defaults = defaults_, pane = QPointer(this)] {
                           resetSnappingSettings(preferences, defaults);
                           if (pane) pane->showMove({});
                       });
}

void SnappingSettingsView::showMove(const std::string& sentence) {
    moved_->setText(QString::fromStdString(sentence));
    moved_->setVisible(!sentence.empty());
}

void SnappingSettingsView::refresh() {
    const Preferences& preferences = context_.preferences;
    const QSignalBlocker activation(activation_);
    activation_->setCurrentIndex(indexOf(allActivationModifiers, preferences.activationModifier()));
    const QSignalBlocker span(span_);
    span_->setCurrentIndex(indexOf(allSpanModifiers, preferences.spanModifier()));
    const QSignalBlocker center(center_);
    center_->setChecked(preferences.centerUnresizableWindows());
}

}  // namespace tessary
