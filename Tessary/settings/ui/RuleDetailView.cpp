#include "Tessary/settings/ui/RuleDetailView.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>

#include "Tessary/services/RuleService.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/settings/RulesPaneModel.h"
#include "Tessary/settings/ui/AppRow.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/ui/ZonePickerThumbnail.h"

namespace tessary {

namespace {

// Wide enough for the heading column (at least 140) beside the 160-wide picker.
constexpr int wideZoneArea = 140 + 16 + ZonePickerThumbnail::pickerWidth + 40;

std::vector<DisplayInfo> displaysOf(const SettingsContext& context) {
    return context.displays ? context.displays() : std::vector<DisplayInfo>{};
}

}  // namespace

RuleDetailView::RuleDetailView(SettingsContext& context, const AppInfo& apps, const PlacementRule& rule, QWidget* parent)
    : QWidget(parent), context_(context), id_(rule.id) {
    setObjectName(QStringLiteral("RuleDetailView"));
    SettingsForm* form = SettingsForm::fill(this);

    auto* switchRow = new QWidget;
    auto* switchLayout = new QHBoxLayout(switchRow);
    switchLayout->setContentsMargins(0, 0, 0, 0);
    switchLayout->setSpacing(8);
    switchLayout->addWidget(SettingsForm::captionLabel(tr("Enabled"), switchRow));
    enabled_ = new QCheckBox(switchRow);
    enabled_->setObjectName(QStringLiteral("ruleEnabled"));
    enabled_->setAccessibleName(tr("Enabled"));
    switchLayout->addWidget(enabled_);
    connect(enabled_, &QCheckBox::toggled, this, [this](bool on) { edit([on](PlacementRule& r) { r.isEnabled = on; }); });
    form->addSection()->addWidget(SettingsForm::row(new AppRow(apps, rule.bundleID, 32, std::string()), switchRow, this));

    QVBoxLayout* match = form->addSection(tr("Match"));
    match->setSpacing(6);
    match->addWidget(SettingsForm::plainLabel(tr("Window title contains"), this));
    match->addWidget(SettingsForm::captionLabel(
        tr("Regular expression, optional. Leave empty to match every window of the app."), this));
    pattern_ = new QLineEdit(this);
    pattern_->setObjectName(QStringLiteral("rulePattern"));
    pattern_->setAccessibleName(tr("Pattern"));
    pattern_->setPlaceholderText(tr("e.g. ^Inbox"));
    connect(pattern_, &QLineEdit::textEdited, this, [this](const QString& text) {
        std::optional<std::string> pattern;
        if (!text.isEmpty()) pattern = text.toStdString();
        edit([&pattern](PlacementRule& r) { r.titlePattern = pattern; });
    });
    match->addWidget(pattern_);
    patternMessage_ = SettingsForm::captionLabel(tr("Not a valid regular expression; the rule will not match."), this);
    patternMessage_->setObjectName(QStringLiteral("patternMessage"));
    patternMessage_->setStyleSheet(QStringLiteral("color: #d70015;"));
    match->addWidget(patternMessage_);

    QVBoxLayout* place = form->addSection(tr("Place in"));
    display_ = new QComboBox(this);
    display_->setObjectName(QStringLiteral("ruleDisplay"));
    connect(display_, &QComboBox::activated, this, [this](int index) {
        const QString value = display_->itemData(index).toString();
        std::optional<std::string> displayID;
        if (!value.isEmpty()) displayID = value.toStdString();
        edit([&displayID](PlacementRule& r) { r.displayID = displayID; });
    });
    place->addWidget(SettingsForm::row(SettingsForm::plainLabel(tr("Display")), display_, this));
    auto* zoneArea = new QWidget(this);
    zoneArea_ = new QBoxLayout(QBoxLayout::LeftToRight, zoneArea);
    zoneArea_->setContentsMargins(0, 4, 0, 4);
    auto* heading = new QWidget(zoneArea);
    heading->setMinimumWidth(140);
    auto* headingColumn = new QVBoxLayout(heading);
    headingColumn->setContentsMargins(0, 0, 0, 0);
    headingColumn->setSpacing(2);
    headingColumn->addWidget(SettingsForm::plainLabel(tr("Zones"), heading));
    headingColumn->addWidget(SettingsForm::captionLabel(
        tr("Click zones in the layout, or several to span them. Numbers follow the layout the display is using."),
        heading));
    headingColumn->addStretch(1);
    zoneArea_->addWidget(heading, 1);
    place->addWidget(zoneArea);
    form->addStretch();
    show(rule);
}

void RuleDetailView::edit(const std::function<void(PlacementRule&)>& change) {
    if (context_.rules) editRule(*context_.rules, id_, change);
}

void RuleDetailView::show(const PlacementRule& rule) {
    {
        const QSignalBlocker blocker(enabled_);
        enabled_->setChecked(rule.isEnabled);
    }
    const QString pattern = QString::fromStdString(rule.titlePattern.value_or(""));
    if (pattern_->text() != pattern) pattern_->setText(pattern);
    patternMessage_->setVisible(rule.titlePattern && !PlacementRule::isValidPattern(*rule.titlePattern));

    const std::vector<DisplayInfo> displays = displaysOf(context_);
    {
        const QSignalBlocker blocker(display_);
        display_->clear();
        display_->addItem(tr("Display the window appears on"), QString());
        for (const DisplayInfo& display : displays) {
            display_->addItem(QString::fromStdString(display.localizedName), QString::fromStdString(display.identifier));
        }
        // A display that is not connected has no item: nothing is shown as chosen.
        display_->setCurrentIndex(display_->findData(QString::fromStdString(rule.displayID.value_or(""))));
    }
    showZones(rule);
}

void RuleDetailView::showZones(const PlacementRule& rule) {
    std::optional<ZoneLayout> layout;
    if (context_.zones) layout = pickerLayout(rule.displayID, displaysOf(context_), context_.zones->library());
    const std::set<std::int64_t> selected(rule.zoneIndices.begin(), rule.zoneIndices.end());
    if (zoneControls_ && layout == shownLayout_) {
        if (picker_) picker_->setSelection(selected);
        for (std::size_t i = 0; i < zoneToggles_.size(); ++i) {
            const QSignalBlocker blocker(zoneToggles_[i]);
            zoneToggles_[i]->setChecked(selected.count(static_cast<std::int64_t>(i)) > 0);
        }
        return;
    }
    delete zoneControls_;
    picker_ = nullptr;
    zoneToggles_.clear();
    shownLayout_ = layout;
    zoneControls_ = new QWidget;
    zoneControls_->setObjectName(QStringLiteral("zoneControls"));
    auto* column = new QVBoxLayout(zoneControls_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    if (!layout) {
        QLabel* none = SettingsForm::captionLabel(tr("No layout"), zoneControls_);
        none->setObjectName(QStringLiteral("noLayout"));
        column->addWidget(none);
    } else {
        picker_ = new ZonePickerThumbnail(*layout, selected,
                                          [this](std::int64_t index) {
                                              if (context_.rules) toggleZone(*context_.rules, id_, index);
                                          },
                                          zoneControls_);
        column->addWidget(picker_, 0, Qt::AlignRight);
        auto* toggles = new QHBoxLayout;
        toggles->setSpacing(4);
        toggles->addStretch(1);
        const std::int64_t count = std::max<std::int64_t>(0, layout->zoneCount());
        for (std::int64_t index = 0; index < count; ++index) {
            auto* toggle = new QPushButton(QString::fromStdString(zoneNumberText(index)), zoneControls_);
            toggle->setCheckable(true);
            toggle->setChecked(selected.count(index) > 0);
            toggle->setFixedWidth(28);
            toggle->setObjectName(QStringLiteral("zoneToggle%1").arg(index + 1));
            connect(toggle, &QPushButton::toggled, this, [this, index] {
                if (context_.rules) toggleZone(*context_.rules, id_, index);
            });
            toggles->addWidget(toggle);
            zoneToggles_.push_back(toggle);
        }
        column->addLayout(toggles);
    }
    zoneArea_->addWidget(zoneControls_, 0, Qt::AlignTop);
}

void RuleDetailView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    zoneArea_->setDirection(event->size().width() >= wideZoneArea ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
}

}  // namespace tessary
