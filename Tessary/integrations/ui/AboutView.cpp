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
    : QWidget(parent), actions_(std::move(actions)), texts_(texts) {
    if (!actions_.openWebsite) actions_.openWebsite = [url = texts.website] { openAppLink(url); };
    auto* frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    setMinimumWidth(400);
    buildContents();
}

void AboutView::releaseContents() {
    if (isVisible() || !contents_) return;
    delete contents_;
    contents_ = nullptr;
}

void AboutView::showEvent(QShowEvent* event) {
    if (!contents_) buildContents();
    QWidget::showEvent(event);
}

void AboutView::buildContents() {
    contents_ = new QWidget(this);
    layout()->addWidget(contents_);
    auto* column = new QVBoxLayout(contents_);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);

    column->addWidget(new AboutHeader(72, contents_));

    auto* captions = new QVBoxLayout;
    captions->setSpacing(2);
    captions->addWidget(captionLabel(QString::fromStdString(texts_.systemVersion),
                                     QStringLiteral("systemVersion"), contents_));
    if (!texts_.copyright.empty()) {
        captions->addWidget(
            captionLabel(QString::fromStdString(texts_.copyright), QStringLiteral("copyright"), contents_));
    }
    column->addLayout(captions);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    auto* releaseNotes = new QPushButton(tr("Release Notes"), contents_);
    auto* feedback = new QPushButton(tr("Send Feedback\u2026"), contents_);
    auto* website = new QPushButton(tr("Website"), contents_);
    connect(releaseNotes, &QPushButton::clicked, this, [this] { run(actions_.showReleaseNotes); });
    connect(feedback, &QPushButton::clicked, this, [this] { run(actions_.sendFeedback); });
    website->setEnabled(!texts_.website.empty());
    if (texts_.website.empty()) website->setToolTip(tr("This build has no web site configured."));
    connect(website, &QPushButton::clicked, this, [this] { run(actions_.openWebsite); });
    buttons->addWidget(releaseNotes);
    buttons->addWidget(feedback);
    buttons->addStretch(1);
    buttons->addWidget(website);
    column->addLayout(buttons);
}

}  // namespace tessary
