#include "Tessary/settings/ui/AboutSettingsView.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "Tessary/integrations/UpdaterController.h"
#include "Tessary/integrations/ui/AboutHeader.h"
#include "Tessary/integrations/ui/ReleaseNoteResources.h"
#include "Tessary/settings/AboutPaneModel.h"
#include "Tessary/settings/ui/AdaptiveButtonRow.h"
#include "Tessary/settings/ui/ReleaseNoteView.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/AppLinks.h"
#include "Tessary/shell/ui/AppAppearance.h"
#include "Tessary/shell/ui/LinkOpener.h"

namespace tessary {

namespace {

QFrame* card(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setAutoFillBackground(true);
    frame->setBackgroundRole(QPalette::Base);
    frame->setFrameShape(QFrame::StyledPanel);
    return frame;
}

}  // namespace

AboutSettingsView::AboutSettingsView(SettingsContext& context, QWidget* parent) : SettingsPane(parent), context_(context) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 12, 20, 20);
    column->setSpacing(20);

    QFrame* header = card(this);
    auto* headerColumn = new QVBoxLayout(header);
    headerColumn->setContentsMargins(12, 12, 12, 12);
    headerColumn->setSpacing(12);
    headerColumn->addWidget(new AboutHeader(64, header));
    auto* divider = new QFrame(header);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    headerColumn->addWidget(divider);
    buttons_ = new AdaptiveButtonRow(header);
    buttons_->setObjectName(QStringLiteral("aboutButtons"));
    checkForUpdates_ = new QPushButton(tr("Check for Updates\u2026"));
    checkForUpdates_->setObjectName(QStringLiteral("checkForUpdates"));
    connect(checkForUpdates_, &QPushButton::clicked, this, [this] {
        window()->activateWindow();
        if (context_.updater) context_.updater->checkForUpdates();
    });
    buttons_->addButton(checkForUpdates_);
    auto* feedback = new QPushButton(tr("Send Feedback\u2026"));
    connect(feedback, &QPushButton::clicked, this, [this] { context_.actions.sendFeedback(); });
    buttons_->addButton(feedback);
    // Disabled with the reason beside it, as the About window and the review alert give it: in the
    // tool tip, which a screen reader reads as the button's description.
    auto* review = new QPushButton(tr("Write a Review\u2026"));
    review->setObjectName(QStringLiteral("writeReview"));
    review->setEnabled(!reviewURL().empty());
    if (reviewURL().empty()) review->setToolTip(tr("This build has no review page: no web site is configured."));
    connect(review, &QPushButton::clicked, this, [this] { open(reviewURL()); });
    buttons_->addButton(review);
    auto* website = new QPushButton(tr("Website"));
    website->setObjectName(QStringLiteral("website"));
    website->setEnabled(!websiteURL().empty());
    if (websiteURL().empty()) website->setToolTip(tr("This build has no web site configured."));
    connect(website, &QPushButton::clicked, this, [this] { open(websiteURL()); });
    buttons_->addButton(website);
    headerColumn->addWidget(buttons_);
    column->addWidget(header);

    QFrame* notes = card(this);
    notes->setObjectName(QStringLiteral("releaseNotes"));
    auto* notesColumn = new QVBoxLayout(notes);
    notesColumn->setContentsMargins(12, 12, 12, 12);
    notesColumn->setSpacing(24);
    for (const ReleaseNote& note : allReleaseNotes()) notesColumn->addWidget(new ReleaseNoteView(note, notes));
    column->addWidget(notes);

    const std::string label = changelogLinkLabel(websiteHost());
    if (!label.empty()) {
        auto* link = new QPushButton(QString::fromStdString(label), this);
        link->setObjectName(QStringLiteral("changelogLink"));
        link->setFlat(true);
        link->setCursor(Qt::PointingHandCursor);
        followAppearance(*link, [link] {
            link->setStyleSheet(QStringLiteral("color: palette(link); text-align: left; padding-left: 12px;"));
        });
        connect(link, &QPushButton::clicked, this, [this] { open(changelogURL()); });
        column->addWidget(link, 0, Qt::AlignLeft);
    }
    column->addStretch(1);

    if (context_.updater) subscription_ = context_.updater->observe([this] { refresh(); });
    refresh();
}

void AboutSettingsView::open(const std::string& url) const {
    if (context_.hooks.openLink) {
        context_.hooks.openLink(url);
    } else {
        openAppLink(url);
    }
}

void AboutSettingsView::refresh() {
    UpdaterController* updater = context_.updater;
    const bool configured = updater && updater->isConfigured();
    checkForUpdates_->setVisible(configured);
    const bool canCheck = configured && updater->controller() && updater->controller()->canCheckForUpdates();
    checkForUpdates_->setEnabled(canCheck);
    // Disabled, it says why, as the review and web site buttons do: the framework is in the middle
    // of a check (or of showing what one found) and takes no second.
    checkForUpdates_->setToolTip(configured && !canCheck ? tr("An update check is already under way.") : QString());
    buttons_->updateGeometry();
}

}  // namespace tessary
