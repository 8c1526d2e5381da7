#include "Tessary/settings/ui/RuleDetailView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

#include "Tessary/services/RuleService.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/settings/RulesPaneModel.h"
#include "Tessary/settings/ui/AppRow.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/ui/AppAppearance.h"
#include "Tessary/shell/ui/ZonePickerThumbnail.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

RuleDetailView::RuleDetailView(SettingsContext& context, const AppInfo& info, UUID rule, QWidget* parent)
    : QWidget(parent), context_(context), rule_(rule) {
    SettingsForm* form = SettingsForm::fill(this);
    const PlacementRule* current = stored();
    QVBoxLayout* head = form->addSection();
    auto* enabledBox = new QWidget;
    auto* enabledRow = new QHBoxLayout(enabledBox);
    enabledRow->setContentsMargins(0, 0, 0, 0);
    enabledRow->setSpacing(8);
    auto* enabledLabel = SettingsForm::captionLabel(tr("Enabled"), enabledBox);
    enabledLabel->setWordWrap(false);
    enabledRow->addWidget(enabledLabel);
    enabled_ = new QCheckBox(enabledBox);
    enabled_->setObjectName(QStringLiteral("ruleEnabled"));
    enabled_->setAccessibleName(tr("Enabled"));
    enabledRow->addWidget(enabled_);
    connect(enabled_, &QCheckBox::toggled, this, [this](bool on) { edit([on](PlacementRule& r) { r.isEnabled = on; }); });
    head->addWidget(SettingsForm::row(new AppRow(info, current ? current->bundleID : std::string(), 32),
                                      enabledBox, this));

    QVBoxLayout* match = form->addSection(tr("Match"));
    pattern_ = new QLineEdit;
    pattern_->setObjectName(QStringLiteral("rulePattern"));
    pattern_->setPlaceholderText(tr("e.g. ^Inbox"));
    connect(pattern_, &QLineEdit::textEdited, this, [this](const QString& text) {
        const std::string value = text.toStdString();
        edit([&value](PlacementRule& r) { r.titlePattern = value.empty() ? std::nullopt : std::optional(value); });
    });
    // The field under its title, as wide as the card: beside it, the description wrapped a few words
    // a line and a long pattern ran past the card's edge.
    pattern_->setAccessibleName(tr("Pattern"));
    match->addWidget(SettingsForm::twoLineLabel(
        tr("Window title contains"), tr("Regular expression, optional. Leave empty to match every window of the app."), this));
    match->addWidget(pattern_);
    patternMessage_ = SettingsForm::captionLabel({}, this);
    patternMessage_->setObjectName(QStringLiteral("patternMessage"));
    patternMessage_->setForegroundRole(QPalette::WindowText);
    showInTone(*patternMessage_, QColor(0xd7, 0x00, 0x15));
    match->addWidget(patternMessage_);

    QVBoxLayout* place = form->addSection(tr("Place in"));
    display_ = new QComboBox;
    display_->setObjectName(QStringLiteral("ruleDisplay"));
    connect(display_, &QComboBox::activated, this, [this](int index) {
        const QString id = display_->itemData(index).toString();
        edit([&id](PlacementRule& r) { r.displayID = id.isEmpty() ? std::nullopt : std::optional(id.toStdString()); });
    });
    place->addWidget(SettingsForm::row(SettingsForm::plainLabel(tr("Display")), display_, this));
    zoneArea_ = new QWidget(this);
    auto* zoneRow = new QHBoxLayout(zoneArea_);
    zoneRow->setContentsMargins(0, 4, 0, 4);
    zoneRow->setSpacing(16);
    zoneRow->addWidget(SettingsForm::twoLineLabel(
                           tr("Zones"), tr("Click zones in the layout, or several to span them. Numbers follow the "
                                           "layout the display is using."),
                           zoneArea_),
                       1, Qt::AlignTop);
    auto* picker = new QWidget(zoneArea_);
    zoneColumn_ = new QVBoxLayout(picker);
    zoneColumn_->setContentsMargins(0, 0, 0, 0);
    zoneColumn_->setSpacing(8);
    zoneRow->addWidget(picker, 0, Qt::AlignTop | Qt::AlignRight);
    place->addWidget(zoneArea_);
    form->addStretch();
    refresh();
}

const PlacementRule* RuleDetailView::stored() const {
    if (!context_.rules) return nullptr;
    const auto& rules = context_.rules->ruleSet().rules;
    const auto found = std::find_if(rules.begin(), rules.end(), [&](const PlacementRule& r) { return r.id == rule_; });
    return found == rules.end() ? nullptr : &*found;
}

void RuleDetailView::edit(const std::function<void(PlacementRule&)>& change) {
    if (context_.rules) editRule(*context_.rules, rule_, Date::now(), change);
}

void RuleDetailView::toggleZone(std::int64_t index) {
    const PlacementRule* current = stored();
    if (!current) return;
    // Toggled against the zones as stored when the edit is applied.
    edit([index](PlacementRule& r) { r.zoneIndices = toggledZones(r.zoneIndices, index); });
}

void RuleDetailView::refresh() {
    const PlacementRule* current = stored();
    if (!current) return;
    const QSignalBlocker enabled(enabled_);
    enabled_->setChecked(current->isEnabled);
    const QString pattern = QString::fromStdString(current->titlePattern.value_or(""));
    // Only a change from elsewhere: rewriting what the user types would move the cursor.
    if (pattern_->text() != pattern) pattern_->setText(pattern);
    const std::string message = patternMessage(current->titlePattern.value_or(""));
    patternMessage_->setText(QString::fromStdString(message));
    patternMessage_->setVisible(!message.empty());

    const QSignalBlocker display(display_);
    display_->clear();
    display_->addItem(tr("Display the window appears on"), QString());
    int chosen = current->displayID ? -1 : 0;
    for (const DisplayInfo& info : DisplayProvider::displays()) {
        display_->addItem(QString::fromStdString(info.localizedName), QString::fromStdString(info.identifier));
        if (current->displayID == info.identifier && chosen < 0) chosen = display_->count() - 1;
    }
    // A display that is not connected has no item: nothing is chosen, and the rule keeps it.
    display_->setCurrentIndex(chosen);
    rebuildZones();
}

void RuleDetailView::rebuildZones() {
    SettingsForm::clearLater(zoneColumn_);
    zoneToggles_.clear();
    const PlacementRule* current = stored();
    const std::optional<ZoneLayout> layout =
        current && context_.zones ? pickerLayout(*current, DisplayProvider::displays(), context_.zones->library())
                                  : std::nullopt;
    if (!layout) {
        auto* none = SettingsForm::captionLabel(tr("No layout"));
        none->setObjectName(QStringLiteral("noLayout"));
        zoneColumn_->addWidget(none);
        return;
    }
    const std::set<std::int64_t> selected(current->zoneIndices.begin(), current->zoneIndices.end());
    zoneColumn_->addWidget(new ZonePickerThumbnail(*layout, selected, [this](std::int64_t index) { toggleZone(index); }),
                           0, Qt::AlignRight);
    auto* toggles = new QWidget;
    auto* row = new QHBoxLayout(toggles);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    for (std::int64_t index = 0; index < layout->zoneCount(); ++index) {
        auto* toggle = new QPushButton(QString::fromStdString(zoneNumberText(index)), toggles);
        toggle->setObjectName(QStringLiteral("zoneToggle.") + QString::number(index));
        toggle->setCheckable(true);
        toggle->setChecked(selected.contains(index));
        toggle->setFixedWidth(30);
        // A lone digit's thin stem never reaches full ink in a regular weight: white on the accent
        // measured 3.9:1 in some desktop fonts where the colours give 5:1.
        // Only the weight is set, so the family and size still follow the application's font.
        QFont digits;
        digits.setBold(true);
        toggle->setFont(digits);
        connect(toggle, &QPushButton::clicked, this, [this, index] { toggleZone(index); });
        row->addWidget(toggle);
        zoneToggles_.push_back(toggle);
    }
    zoneColumn_->addWidget(toggles, 0, Qt::AlignRight);
}

}  // namespace tessary
