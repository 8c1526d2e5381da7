#include "Tessary/settings/ui/SyncSettingsView.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Tessary/integrations/CloudSync.h"
#include "Tessary/integrations/SyncFolderSetting.h"
#include "Tessary/services/Preferences.h"
#include "Tessary/settings/SyncPaneModel.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/settings/ui/SettingsTagView.h"
#include "Tessary/shell/ui/AppAppearance.h"
#include "Tessary/shell/ui/StatusTag.h"
#include "Tessary/shell/ui/SymbolIcon.h"

namespace tessary {

SyncSettingsView::SyncSettingsView(SettingsContext& context, QWidget* parent) : SettingsPane(parent), context_(context) {
    SettingsForm* form = SettingsForm::fill(this);

    QVBoxLayout* folder = form->addSection(
        tr("Sync folder"), tr("Window memory stays on this computer. Layout assignments are per display, so they only "
                              "matter on computers with the same displays."));
    auto* folderLines = new QWidget;
    auto* folderColumn = new QVBoxLayout(folderLines);
    folderColumn->setContentsMargins(0, 0, 0, 0);
    folderColumn->setSpacing(2);
    folderColumn->addWidget(SettingsForm::plainLabel(tr("Folder"), folderLines));
    folder_ = SettingsForm::captionLabel({}, folderLines);
    folder_->setObjectName(QStringLiteral("syncFolder"));
    folderColumn->addWidget(folder_);
    folderNote_ = SettingsForm::captionLabel({}, folderLines);
    folderNote_->setObjectName(QStringLiteral("syncFolderNote"));
    folderColumn->addWidget(folderNote_);
    auto* choose = new QPushButton(tr("Choose Folder\u2026"));
    choose->setObjectName(QStringLiteral("chooseSyncFolder"));
    choose->setEnabled(context_.defaults != nullptr);
    connect(choose, &QPushButton::clicked, this, [this] {
        auto* dialog = new QFileDialog(this, tr("Choose Folder"));
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& chosen) { chooseFolder(chosen); });
        dialog->open();
    });
    folder->addWidget(SettingsForm::row(folderLines, choose, this));

    folder->addWidget(SettingsForm::toggleRow(tr("Sync layouts, rules and workspaces through the sync folder"),
                                              tr("Uses the folder you choose. Nothing is sent anywhere else."),
                                              QStringLiteral("syncEnabled"), &enabled_, this));
    connect(enabled_, &QCheckBox::toggled, this, [this](bool on) {
        context_.preferences.setICloudSyncEnabled(on);
        if (CloudSync* cloud = sync(); cloud && cloud->started() && cloud->isEnabled()) cloud->pull();
    });

    auto* unavailableTag = new StatusTag(tr("Unavailable"), StatusTag::Tone::warning);
    unavailableRow_ = SettingsForm::row(
        SettingsForm::twoLineLabel(tr("No usable sync folder"),
                                   tr("Choose a writable folder that a file-sync tool keeps in step between computers.")),
        unavailableTag, this);
    folder->addWidget(unavailableRow_);

    auto* lastLines = new QWidget;
    auto* lastColumn = new QVBoxLayout(lastLines);
    lastColumn->setContentsMargins(0, 0, 0, 0);
    lastColumn->setSpacing(2);
    lastColumn->addWidget(SettingsForm::plainLabel(tr("Last sync"), lastLines));
    lastSync_ = SettingsForm::captionLabel({}, lastLines);
    lastSync_->setObjectName(QStringLiteral("lastSync"));
    lastColumn->addWidget(lastSync_);
    auto* lastValue = new QWidget;
    auto* lastRow = new QHBoxLayout(lastValue);
    lastRow->setContentsMargins(0, 0, 0, 0);
    lastRow->setSpacing(8);
    status_ = new StatusTag({}, StatusTag::Tone::neutral, lastValue);
    status_->setObjectName(QStringLiteral("syncStatus"));
    syncNow_ = new QPushButton(tr("Sync Now"), lastValue);
    syncNow_->setObjectName(QStringLiteral("syncNow"));
    connect(syncNow_, &QPushButton::clicked, this, [this] {
        if (CloudSync* cloud = sync()) cloud->pull();
    });
    lastRow->addWidget(status_);
    lastRow->addWidget(syncNow_);
    lastSyncRow_ = SettingsForm::row(lastLines, lastValue, this);
    folder->addWidget(lastSyncRow_);
    // The failure in full, wrapped across the card: a sentence with the file's name does not fit a tag.
    error_ = SettingsForm::captionLabel({}, this);
    error_->setObjectName(QStringLiteral("syncError"));
    error_->setForegroundRole(QPalette::WindowText);
    showInTone(*error_, StatusTag::hueOf(StatusTag::Tone::warning));
    folder->addWidget(error_);

    QVBoxLayout* kinds = form->addSection(tr("What syncs"));
    for (const SyncedKind& kind : syncedKinds()) {
        auto* label = new QWidget;
        auto* labelRow = new QHBoxLayout(label);
        labelRow->setContentsMargins(0, 0, 0, 0);
        labelRow->setSpacing(8);
        auto* icon = new QLabel(label);
        showSymbol(*icon, QString::fromStdString(kind.symbol), 16);
        labelRow->addWidget(icon);
        labelRow->addWidget(SettingsForm::plainLabel(QString::fromStdString(kind.title), label), 1);
        QWidget* value = nullptr;
        if (kind.synced) {
            auto* tag = new StatusTag(tr("Synced"), StatusTag::Tone::neutral);
            tag->setObjectName(QStringLiteral("synced.") + QString::fromStdString(kind.key));
            synced_.emplace_back(&kind, tag);
            value = tag;
        } else {
            value = SettingsForm::captionLabel(tr("This computer only"));
        }
        kinds->addWidget(SettingsForm::row(label, value, this));
    }
    form->addStretch();

    preferencesSubscription_ = context_.preferences.observe([this](PreferenceSetting) { refresh(); });
    if (CloudSync* cloud = sync()) syncSubscription_ = cloud->observe([this] { refresh(); });
    refresh();
}

CloudSync* SyncSettingsView::sync() const { return context_.cloudSync ? context_.cloudSync() : nullptr; }

void SyncSettingsView::chooseFolder(const QString& folder) {
    if (!context_.defaults) return;
    if (auto stored = chooseSyncFolder(*context_.defaults, folder.toStdString()); !stored) {
        folderNote_->setText(QString::fromStdString(stored.error()));
        folderNote_->setVisible(true);
        return;
    }
    refresh();
}

void SyncSettingsView::refresh() {
    SyncPaneInput input;
    if (context_.defaults) input.chosenFolder = SyncFolderSetting::read(*context_.defaults);
    input.folderInUse = context_.syncFolderInUse;
    input.enabled = context_.preferences.iCloudSyncEnabled();
    if (CloudSync* cloud = sync()) {
        input.available = cloud->availability() == CloudSync::Availability::available;
        input.lastSync = cloud->lastSync();
        input.lastError = cloud->lastError();
        input.pending = cloud->hasPendingChanges();
        input.unreadableKeys = cloud->unreadableKeys();
    }
    const SyncPaneRows rows = syncPaneRows(input);
    folder_->setText(QString::fromStdString(rows.folderText));
    folderNote_->setText(QString::fromStdString(rows.folderNote));
    folderNote_->setVisible(!rows.folderNote.empty());
    const QSignalBlocker blocker(enabled_);
    enabled_->setChecked(input.enabled);
    enabled_->setEnabled(rows.switchEnabled);
    unavailableRow_->setVisible(rows.unavailable);
    lastSyncRow_->setVisible(!rows.unavailable);
    lastSync_->setText(QString::fromStdString(rows.lastSyncText));
    error_->setText(QString::fromStdString(rows.errorText));
    error_->setVisible(!rows.unavailable && !rows.errorText.empty());
    status_->setVisible(rows.status.has_value());
    if (rows.status) showTag(status_, *rows.status);
    syncNow_->setEnabled(rows.syncNowEnabled);
    for (const auto& [kind, tag] : synced_) showTag(tag, rows.syncedTag(*kind));
}

}  // namespace tessary
