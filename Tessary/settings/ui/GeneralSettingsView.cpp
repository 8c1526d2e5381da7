#include "Tessary/settings/ui/GeneralSettingsView.h"

#include <QLabel>
#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "Tessary/integrations/UpdaterController.h"
#include "Tessary/services/Preferences.h"
#include "Tessary/settings/GeneralPaneModel.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/settings/ui/SettingsTagView.h"
#include "Tessary/shell/AppState.h"
#include "Tessary/shell/VersionInfo.h"
#include "Tessary/shell/ui/StatusTag.h"

namespace tessary {

GeneralSettingsView::GeneralSettingsView(SettingsContext& context, QWidget* parent)
    : SettingsPane(parent), context_(context) {
    SettingsForm* form = SettingsForm::fill(this);

    QVBoxLayout* first = form->addSection();
    first->addWidget(SettingsForm::toggleRow(tr("Launch at login"), tr("Tessary starts in the system tray when you sign in."),
                                             QStringLiteral("launchAtLogin"), &launchAtLogin_, this));
    connect(launchAtLogin_, &QCheckBox::toggled, this, [this](bool on) {
        context_.state.setLaunchAtLogin(on);
        refresh();
    });
    auto* segments = new QWidget;
    auto* segmentRow = new QHBoxLayout(segments);
    segmentRow->setContentsMargins(0, 0, 0, 0);
    segmentRow->setSpacing(0);
    auto* group = new QButtonGroup(segments);
    const QString titles[] = {tr("System"), tr("Light"), tr("Dark")};
    for (std::size_t i = 0; i < allAppAppearances.size(); ++i) {
        auto* button = new QPushButton(titles[i], segments);
        button->setCheckable(true);
        button->setObjectName(QStringLiteral("appearance.") + QString::fromUtf8(rawValue(allAppAppearances[i]).data()));
        group->addButton(button, static_cast<int>(i));
        segmentRow->addWidget(button);
        appearance_.push_back(button);
    }
    connect(group, &QButtonGroup::idClicked, this, [this](int id) {
        context_.preferences.setAppearance(allAppAppearances[static_cast<std::size_t>(id)]);
    });
    first->addWidget(SettingsForm::row(SettingsForm::plainLabel(tr("Appearance")), segments, this));

    QVBoxLayout* memory = form->addSection(tr("Window memory"));
    memory->addWidget(SettingsForm::toggleRow(
        tr("Restore windows to their zones when displays change"),
        tr("When a display is plugged in or removed, windows go back to the zone they were in on that arrangement."),
        QStringLiteral("restoreOnDisplayChange"), &restoreOnDisplayChange_, this));
    connect(restoreOnDisplayChange_, &QCheckBox::toggled, this,
            [this](bool on) { context_.preferences.setRestoreOnDisplayChange(on); });
    memory->addWidget(SettingsForm::toggleRow(
        tr("Move new windows to their last zone"),
        tr("Windows you placed before always return to their zone. This also sends a window Tessary has never seen to "
           "the zone its app last used."),
        QStringLiteral("moveNewWindowsToLastZone"), &moveNewWindows_, this));
    connect(moveNewWindows_, &QCheckBox::toggled, this,
            [this](bool on) { context_.preferences.setMoveNewWindowsToLastZone(on); });

    QVBoxLayout* updates = form->addSection(tr("Updates"));
    UpdaterController* updater = context_.updater;
    const GeneralUpdates rows = generalUpdates(updater && updater->isConfigured(),
                                               updater ? updater->controller() : nullptr, appVersionString());
    if (!rows.configured) {
        auto* tag = new StatusTag(tr("Not configured"), StatusTag::Tone::neutral);
        tag->setObjectName(QStringLiteral("updatesTag"));
        updates->addWidget(SettingsForm::row(
            SettingsForm::twoLineLabel(tr("Update checking"), tr("This build has no update feed.")), tag, this));
    } else {
        updates->addWidget(SettingsForm::toggleRow(tr("Check for updates automatically"),
                                                   QString::fromStdString(rows.versionLine),
                                                   QStringLiteral("automaticChecks"), &automaticChecks_, this));
        connect(automaticChecks_, &QCheckBox::toggled, this, [this](bool on) {
            if (auto* controller = context_.updater->controller()) controller->setAutomaticallyChecksForUpdates(on);
            refresh();
        });
        checkNow_ = new QPushButton(tr("Check for Updates\u2026"));
        checkNow_->setObjectName(QStringLiteral("checkForUpdates"));
        connect(checkNow_, &QPushButton::clicked, this, [this] {
            window()->activateWindow();
            context_.updater->checkForUpdates();
        });
        updates->addWidget(SettingsForm::row(SettingsForm::plainLabel(QStringLiteral("Tessary")), checkNow_, this));
    }

    QVBoxLayout* permissions = form->addSection(tr("Permissions"));
    permission_ = new StatusTag({}, StatusTag::Tone::neutral);
    permission_->setObjectName(QStringLiteral("windowControlTag"));
    permissions->addWidget(SettingsForm::row(
        SettingsForm::twoLineLabel(tr("Window control"),
                                   tr("Required to move and resize other apps' windows. Tessary never reads window contents.")),
        permission_, this));
    form->addStretch();

    subscriptions_.push_back(context_.state.observe([this](AppStateField) { refresh(); }));
    subscriptions_.push_back(context_.preferences.observe([this](PreferenceSetting) { refresh(); }));
    if (updater) subscriptions_.push_back(updater->observe([this] { refresh(); }));
    context_.state.refreshAccessibility();
    refresh();
}

void GeneralSettingsView::refresh() {
    const QSignalBlocker launch(launchAtLogin_);
    launchAtLogin_->setChecked(context_.state.launchAtLogin());
    for (std::size_t i = 0; i < appearance_.size(); ++i) {
        appearance_[i]->setChecked(allAppAppearances[i] == context_.preferences.appearance());
    }
    const QSignalBlocker restore(restoreOnDisplayChange_);
    restoreOnDisplayChange_->setChecked(context_.preferences.restoreOnDisplayChange());
    const QSignalBlocker move(moveNewWindows_);
    moveNewWindows_->setChecked(context_.preferences.moveNewWindowsToLastZone());
    if (automaticChecks_) {
        UpdaterController* updater = context_.updater;
        const GeneralUpdates rows = generalUpdates(updater->isConfigured(), updater->controller(), appVersionString());
        const QSignalBlocker automatic(automaticChecks_);
        automaticChecks_->setChecked(rows.automaticChecks);
        checkNow_->setEnabled(rows.canCheck);
        // Disabled, it says why, as About's button does.
        checkNow_->setToolTip(rows.canCheck ? QString() : tr("An update check is already under way."));
    }
    showTag(permission_, windowControlTag(context_.state.accessibilityTrusted()));
}

}  // namespace tessary
