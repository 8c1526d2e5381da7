#include "Tessary/integrations/ui/AboutView.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Tessary/integrations/ui/AboutHeader.h"
#include "Tessary/shell/AppLinks.h"
#include "Tessary/shell/VersionInfo.h"
#include "Tessary/shell/ui/LinkOpener.h"

namespace tessary {

namespace {

QLabel* captionLabel(const QString& text, const QString& name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

void run(const std::function<void()>& action) {
    if (action) action();
}

}  // namespace

AboutTexts AboutTexts::current() { return {systemVersionString(), copyrightString(), websiteURL()}; }

AboutView::AboutView(AboutActions actions, const AboutTexts& texts, QWidget* parent)
    : QWidget(parent), actions_(std::move(actions)) {
    if (!actions_.openWebsite) actions_.openWebsite = [url = texts.website] { openAppLink(url); };

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    setMinimumWidth(400);

    column->addWidget(new AboutHeader(72, this));

    auto* captions = new QVBoxLayout;
    captions->setSpacing(2);
    captions->addWidget(captionLabel(QString::fromStdString(texts.systemVersion),
                                     QStringLiteral("systemVersion"), this));
    if (!texts.copyright.empty()) {
        captions->addWidget(captionLabel(QString::fromStdString(texts.copyright), QStringLiteral("copyright"), this));
    }
    column->addLayout(captions);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    auto* releaseNotes = new QPushButton(tr("Release Notes"), this);
    auto* feedback = new QPushButton(tr("Send Feedback\u2026"), this);
    auto* website = new QPushButton(tr("Website"), this);
    connect(releaseNotes, &QPushButton::clicked, this, [this] { run(actions_.showReleaseNotes); });
    connect(feedback, &QPushButton::clicked, this, [this] { run(actions_.sendFeedback); });
    website->setEnabled(!texts.website.empty());
    if (texts.website.empty()) website->setToolTip(tr("This build has no web site configured."));
    connect(website, &QPushButton::clicked, this, [this] { run(actions_.openWebsite); });
    buttons->addWidget(releaseNotes);
    buttons->addWidget(feedback);
    buttons->addStretch(1);
    buttons->addWidget(website);
    column->addLayout(buttons);
}

}  // namespace tessary
