#include "Tessary/settings/ui/SettingsWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Tessary/settings/GeneralPaneModel.h"
#include "Tessary/settings/SettingsSectionInfo.h"
#include "Tessary/settings/SettingsSelection.h"
#include "Tessary/settings/ui/AboutSettingsView.h"
#include "Tessary/settings/ui/ExcludedAppsSettingsView.h"
#include "Tessary/settings/ui/GeneralSettingsView.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/settings/ui/RulesSettingsView.h"
#include "Tessary/settings/ui/SettingsPane.h"
#include "Tessary/settings/ui/ShortcutsSettingsView.h"
#include "Tessary/settings/ui/SnappingSettingsView.h"
#include "Tessary/settings/ui/SyncSettingsView.h"
#include "Tessary/settings/ui/WorkspacesSettingsView.h"
#include "Tessary/settings/ui/ZonesSettingsView.h"
#include "Tessary/shell/AppState.h"
#include "Tessary/shell/ui/SymbolIcon.h"
#include "Tessary/shell/ui/WindowCloseKeys.h"

namespace tessary {

namespace {

QString text(std::string_view value) { return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())); }


}  // namespace

SettingsWindow::SettingsWindow(SettingsContext context, QWidget* parent)
    : QWidget(parent, Qt::Window), context_(std::move(context)) {
    setObjectName(QStringLiteral("SettingsWindow"));
    setWindowTitle(tr("Settings"));
    fitToScreen();
    addCloseKeys(*this, CloseKeys::ctrlWAndEscape);
}

SettingsWindow::~SettingsWindow() {
    if (open_) context_.selection.windowClosed();
}

void SettingsWindow::fitToScreen() {
    QSize size(idealWidth, idealHeight);
    if (const QScreen* where = screen()) size = size.boundedTo(where->availableGeometry().size());
    setFixedSize(size);
}

SettingsPane* SettingsWindow::makePane(SettingsSection section, SettingsContext& context, QWidget* parent) {
    switch (section) {
    case SettingsSection::general: return new GeneralSettingsView(context, parent);
    case SettingsSection::snapping: return new SnappingSettingsView(context, parent);
    case SettingsSection::zones: return new ZonesSettingsView(context, parent);
    case SettingsSection::shortcuts: return new ShortcutsSettingsView(context, parent);
    case SettingsSection::about: return new AboutSettingsView(context, parent);
    case SettingsSection::sync: return new SyncSettingsView(context, parent);
    case SettingsSection::rules: return new RulesSettingsView(context, parent);
    case SettingsSection::excludedApps: return new ExcludedAppsSettingsView(context, parent);
    case SettingsSection::workspaces: return new WorkspacesSettingsView(context, parent);
    }
    return new GeneralSettingsView(context, parent);
}

QString SettingsWindow::paneTitle() const { return open_ && title_ ? title_->text() : QString(); }

QString SettingsWindow::footerText() const { return footerText_ ? footerText_->text() : QString(); }

void SettingsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    fitToScreen();
    if (!contents_) buildContents();
    open_ = true;
    context_.selection.windowShown();
    showSection();
}

void SettingsWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted()) dropPane();
}

void SettingsWindow::buildContents() {
    contents_ = new QWidget(this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(contents_);
    auto* columns = new QHBoxLayout(contents_);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);

    auto* side = new QWidget(contents_);
    side->setFixedWidth(sidebarWidth);
    side->setAutoFillBackground(true);
    side->setBackgroundRole(QPalette::AlternateBase);
    auto* sideColumn = new QVBoxLayout(side);
    sideColumn->setContentsMargins(0, 8, 0, 0);
    sideColumn->setSpacing(0);
    sidebar_ = new QListWidget(side);
    sidebar_->setObjectName(QStringLiteral("sidebar"));
    sidebar_->setFrameShape(QFrame::NoFrame);
    sidebar_->setIconSize(QSize(18, 18));
    sidebar_->setSpacing(2);
    sidebar_->viewport()->setAutoFillBackground(false);
    for (SettingsSection section : allSettingsSections) {
        auto* item = new QListWidgetItem(symbolIcon(text(settingsSectionSymbol(section))), text(settingsSectionTitle(section)));
        item->setData(Qt::UserRole, static_cast<int>(section));
        sidebar_->addItem(item);
    }
    connect(sidebar_, &QListWidget::itemSelectionChanged, this, [this] {
        const auto chosen = sidebar_->selectedItems();
        context_.selection.select(chosen.isEmpty()
                                      ? std::nullopt
                                      : std::optional(static_cast<SettingsSection>(chosen.first()->data(Qt::UserRole).toInt())));
    });
    sideColumn->addWidget(sidebar_, 1);

    auto* footer = new QWidget(side);
    footer->setObjectName(QStringLiteral("windowControlFooter"));
    auto* footerRow = new QHBoxLayout(footer);
    footerRow->setContentsMargins(14, 10, 14, 10);
    footerRow->setSpacing(6);
    footerDot_ = new QWidget(footer);
    footerDot_->setObjectName(QStringLiteral("windowControlDot"));
    footerDot_->setFixedSize(8, 8);
    footerText_ = SettingsForm::captionLabel({}, footer);
    footerText_->setObjectName(QStringLiteral("windowControlText"));
    footerRow->addWidget(footerDot_, 0, Qt::AlignVCenter);
    footerRow->addWidget(footerText_, 1);
    sideColumn->addWidget(footer);
    columns->addWidget(side);

    auto* detail = new QWidget(contents_);
    auto* detailColumn = new QVBoxLayout(detail);
    detailColumn->setContentsMargins(0, 14, 0, 0);
    detailColumn->setSpacing(4);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(20, 0, 20, 0);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    title_ = SettingsForm::plainLabel({}, detail);
    title_->setObjectName(QStringLiteral("paneTitle"));
    QFont titleFont = title_->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.35);
    titleFont.setBold(true);
    title_->setFont(titleFont);
    subtitle_ = SettingsForm::captionLabel({}, detail);
    subtitle_->setObjectName(QStringLiteral("paneSubtitle"));
    titles->addWidget(title_);
    titles->addWidget(subtitle_);
    header->addLayout(titles, 1);
    primaryAction_ = new QPushButton(detail);
    primaryAction_->setObjectName(QStringLiteral("primaryAction"));
    connect(primaryAction_, &QPushButton::clicked, this, [this] {
        if (pane_) pane_->triggerPrimaryAction();
    });
    header->addWidget(primaryAction_, 0, Qt::AlignTop);
    detailColumn->addLayout(header);
    scroll_ = new QScrollArea(detail);
    scroll_->setObjectName(QStringLiteral("paneScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    detailColumn->addWidget(scroll_, 1);
    columns->addWidget(detail, 1);
    contents_->show();

    selectionSubscription_ = context_.selection.observe([this] { showSection(); });
    stateSubscription_ = context_.state.observe([this](AppStateField field) {
        if (field == AppStateField::accessibilityTrusted) refreshFooter();
    });
    refreshFooter();
}

void SettingsWindow::dropPane() {
    if (!open_) return;
    open_ = false;
    context_.selection.windowClosed();
    // The pane goes with its subscriptions, recorders and dialogs; the next opening builds it
    // anew, as it would a pane chosen in the sidebar.
    delete scroll_->takeWidget();
    paneSection_.reset();
    // A fresh window gives the keyboard to the first control of its chain, the sidebar.
    if (QWidget* focused = focusWidget()) focused->clearFocus();
}

void SettingsWindow::showSection() {
    if (!open_) return;
    const std::optional<SettingsSection> selected = context_.selection.selected();
    const auto rows = sidebar_->selectedItems();
    const std::optional<int> shownRow = rows.isEmpty() ? std::nullopt : std::optional(sidebar_->row(rows.first()));
    // Kept as it is when it already says so: each change of it measures every row's text again.
    if (shownRow != (selected ? std::optional(static_cast<int>(*selected)) : std::nullopt) || rows.size() > 1) {
        const QSignalBlocker blocker(sidebar_);
        sidebar_->clearSelection();
        if (selected) {
            sidebar_->setCurrentRow(static_cast<int>(*selected));
            sidebar_->item(static_cast<int>(*selected))->setSelected(true);
        }
    }
    const SettingsSection section = context_.selection.shown();
    if (pane_ && paneSection_ == section) return;
    // The old pane goes before the new one is built: its subscriptions end with it.
    delete scroll_->takeWidget();
    auto* pane = makePane(section, context_, nullptr);
    pane->setMinimumWidth(paneMinimumWidth);
    scroll_->setWidget(pane);
    pane_ = pane;
    paneSection_ = section;
    title_->setText(text(settingsSectionTitle(section)));
    pane->onHeaderChanged = [this] { refreshHeader(); };
    refreshHeader();
}

void SettingsWindow::refreshHeader() {
    if (!pane_) return;
    subtitle_->setText(pane_->subtitle());
    subtitle_->setVisible(!pane_->subtitle().isEmpty());
    const auto action = pane_->primaryAction();
    primaryAction_->setVisible(action.has_value());
    if (action) {
        primaryAction_->setText(QString::fromStdString(action->title));
        primaryAction_->setToolTip(QString::fromStdString(action->help));
    }
}

void SettingsWindow::refreshFooter() {
    if (!contents_) return;
    const bool trusted = context_.state.accessibilityTrusted();
    footerText_->setText(QString::fromStdString(windowControlFooter(trusted)));
    footerDot_->setStyleSheet(QStringLiteral("background: %1; border-radius: 4px;")
                                  .arg(trusted ? QStringLiteral("#34c759") : QStringLiteral("#ff3b30")));
    footerDot_->setProperty("trusted", trusted);
}

}  // namespace tessary
