#include "Tessary/settings/ui/ZonesSettingsView.h"

#include <QLabel>
#include <QCheckBox>
#include <QColorDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include "Tessary/services/Preferences.h"
#include "Tessary/settings/ZonesPaneModel.h"
#include "Tessary/settings/ui/OverlayPreview.h"
#include "Tessary/settings/ui/PercentSlider.h"
#include "Tessary/settings/ui/SettingsConfirmation.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/ui/AppAppearance.h"

namespace tessary {

namespace {

QColor qColor(const ColorComponents& c) { return QColor::fromRgbF(float(c.red), float(c.green), float(c.blue), float(c.alpha)); }

ColorComponents components(const QColor& color) {
    const QColor rgb = color.toRgb();
    return {rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
}

}  // namespace

ZonesSettingsView::ZonesSettingsView(SettingsContext& context, QWidget* parent) : SettingsPane(parent), context_(context) {
    SettingsForm* form = SettingsForm::fill(this);
    Preferences& preferences = context_.preferences;

    QVBoxLayout* appearance = form->addSection(tr("Appearance"));
    color_ = new QPushButton;
    color_->setObjectName(QStringLiteral("zoneColor"));
    color_->setAccessibleName(tr("Zone color"));
    color_->setFixedSize(44, 24);
    connect(color_, &QPushButton::clicked, this, [this] { chooseColor(); });
    appearance->addWidget(SettingsForm::row(SettingsForm::plainLabel(tr("Zone color")), color_, this));

    zoneOpacity_ = new PercentSlider(tr("Zone opacity"));
    zoneOpacity_->setObjectName(QStringLiteral("zoneOpacity"));
    // The stored value again is no change: nothing is written (a drag that comes back to where it
    // began, a refill).
    zoneOpacity_->onChange = [&preferences](double value) {
        if (value != preferences.zoneOpacity()) preferences.setZoneOpacity(value);
    };
    appearance->addWidget(SettingsForm::row(SettingsForm::plainLabel(tr("Zone opacity")), zoneOpacity_, this));
    highlightOpacity_ = new PercentSlider(tr("Highlight opacity"));
    highlightOpacity_->setObjectName(QStringLiteral("highlightOpacity"));
    highlightOpacity_->onChange = [&preferences](double value) {
        if (value != preferences.highlightOpacity()) preferences.setHighlightOpacity(value);
    };
    appearance->addWidget(SettingsForm::row(SettingsForm::plainLabel(tr("Highlight opacity")), highlightOpacity_, this));

    appearance->addWidget(SettingsForm::toggleRow(tr("Show zone numbers"), {}, QStringLiteral("showZoneNumbers"), &numbers_, this));
    connect(numbers_, &QCheckBox::toggled, this, [&preferences](bool on) { preferences.setShowZoneNumbers(on); });
    appearance->addWidget(SettingsForm::toggleRow(tr("Flash zones when a layout changes"), {},
                                                  QStringLiteral("flashOnLayoutChange"), &flash_, this));
    connect(flash_, &QCheckBox::toggled, this, [&preferences](bool on) { preferences.setFlashOnLayoutChange(on); });

    QVBoxLayout* previewSection = form->addSection(tr("Preview"));
    preview_ = new OverlayPreview(preferences, this);
    preview_->setObjectName(QStringLiteral("overlayPreview"));
    preview_->setFixedHeight(240);
    previewSection->addWidget(preview_);
    form->addStretch();

    subscription_ = preferences.observe([this](PreferenceSetting) { refresh(); });
    // The swatch's border is the palette's: refilled at each change of the appearance too.
    followAppearance(*color_, [this] { refresh(); });
}

std::optional<PrimaryActionTexts> ZonesSettingsView::primaryAction() const { return zonesResetAction(); }

void ZonesSettingsView::triggerPrimaryAction() {
    confirmDestructive(window(), zonesResetConfirmation(), [&preferences = context_.preferences] {
        preferences.resetToDefaults();
    });
}

QColorDialog* ZonesSettingsView::colorDialog() const { return findChild<QColorDialog*>(); }

void ZonesSettingsView::chooseColor() {
    if (colorDialog()) return;
    auto* dialog = new QColorDialog(qColor(context_.preferences.overlayColor()), this);
    dialog->setOption(QColorDialog::ShowAlphaChannel);
    dialog->setWindowTitle(tr("Zone color"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QColorDialog::colorSelected, this,
            [this](const QColor& color) { context_.preferences.setOverlayColor(components(color)); });
    dialog->open();
}

void ZonesSettingsView::refresh() {
    const Preferences& preferences = context_.preferences;
    const QColor color = qColor(preferences.overlayColor());
    color_->setStyleSheet(QStringLiteral("background: %1; border: 1px solid palette(mid); border-radius: 4px;")
                              .arg(color.name(QColor::HexArgb)));
    zoneOpacity_->setValue(preferences.zoneOpacity());
    highlightOpacity_->setValue(preferences.highlightOpacity());
    const QSignalBlocker numbers(numbers_);
    numbers_->setChecked(preferences.showZoneNumbers());
    const QSignalBlocker flash(flash_);
    flash_->setChecked(preferences.flashOnLayoutChange());
}

}  // namespace tessary
