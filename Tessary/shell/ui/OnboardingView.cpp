#include "Tessary/shell/ui/OnboardingView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Tessary/shell/ui/ApplicationIdentity.h"
#include "Tessary/shell/ui/ButtonStyles.h"
#include "Tessary/shell/ui/LayoutThumbnail.h"
#include "Tessary/shell/ui/MasterListCard.h"
#include "Tessary/shell/ui/StatusTag.h"
#include "Tessary/shell/ui/SymbolIcon.h"
#include "Tessary/shell/ui/WindowCentring.h"

namespace tessary {

namespace {

const QColor kGreen(36, 161, 72);

QLabel* textLabel(const std::string& text, QWidget* parent, bool secondary = false, bool headline = false) {
    auto* label = new QLabel(QString::fromStdString(text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    if (secondary) label->setForegroundRole(QPalette::PlaceholderText);
    if (headline) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

// The program's own icon, as About and the desktop's launchers show it: a picture of the program,
// with nothing for a screen reader to say beside the title next to it.
QLabel* programIcon(QWidget* parent) {
    auto* icon = new QLabel(parent);
    icon->setObjectName(QStringLiteral("programIcon"));
    icon->setFixedSize(64, 64);
    icon->setPixmap(applicationIcon(64, parent->devicePixelRatioF()));
    return icon;
}

// A step's title over its detail (given to `detail` when asked), with room at the right for the
// step's control.
QWidget* titledRow(const OnboardingModel::Step& step, QWidget* parent, QLabel** detail = nullptr) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    text->addWidget(textLabel(step.title, row, false, true));
    QLabel* detailLabel = textLabel(step.detail, row, true);
    if (detail) *detail = detailLabel;
    text->addWidget(detailLabel);
    layout->addLayout(text, 1);
    return row;
}

CardFrame* stepCard(StepBadge* badge, QWidget* content, QWidget* parent) {
    auto* card = new CardFrame(parent);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(14);
    row->addWidget(badge, 0, Qt::AlignTop);
    row->addWidget(content, 1);
    return card;
}

}  // namespace

StepBadge::StepBadge(int number, QWidget* parent) : QWidget(parent), number_(number) { setFixedSize(26, 26); }

void StepBadge::setDone(bool done) {
    if (done_ == done) return;
    done_ = done;
    update();
}

void StepBadge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    QColor circle = done_ ? kGreen : accent;
    circle.setAlphaF(done_ ? 0.18f : (number_ == 1 ? 1.0f : 0.15f));
    p.setPen(Qt::NoPen);
    p.setBrush(circle);
    p.drawEllipse(QRectF(rect()));
    if (done_) {
        QPainterPath tick;
        tick.moveTo(8, 13.5);
        tick.lineTo(11.5, 17);
        tick.lineTo(18, 9.5);
        p.setPen(QPen(kGreen, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
        return;
    }
    QFont font = p.font();
    font.setWeight(QFont::DemiBold);
    p.setFont(font);
    p.setPen(number_ == 1 ? QColor(Qt::white) : palette().color(QPalette::WindowText));
    p.drawText(QRectF(rect()), Qt::AlignCenter, QString::number(number_));
}

OnboardingView::OnboardingView(Actions actions, QWidget* parent) : QWidget(parent), actions_(std::move(actions)) {
    setMinimumSize(520, 480);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* body = new QWidget(scroll);
    auto* stack = new QVBoxLayout(body);
    stack->setContentsMargins(28, 20, 28, 16);
    stack->setSpacing(20);

    auto* header = new QHBoxLayout;
    header->setSpacing(16);
    header->addWidget(programIcon(body));
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    auto* title = textLabel(OnboardingModel::windowTitle, body);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    title->setFont(titleFont);
    titles->addWidget(title);
    const OnboardingModel initial;
    subtitle_ = textLabel(initial.subtitle(), body, true);
    titles->addWidget(subtitle_);
    header->addLayout(titles, 1);
    stack->addLayout(header);

    // Step 1: window control.
    auto* first = new QWidget(body);
    auto* firstStack = new QVBoxLayout(first);
    firstStack->setContentsMargins(0, 0, 0, 0);
    firstStack->setSpacing(8);
    auto* firstHeader = new QHBoxLayout;
    firstHeader->addWidget(textLabel(initial.windowControlStep().title, first, false, true), 1);
    tag_ = new StatusTag(QString::fromStdString(initial.statusText()), StatusTag::Tone::warning, first);
    firstHeader->addWidget(tag_);
    firstStack->addLayout(firstHeader);
    firstStack->addWidget(textLabel(initial.windowControlStep().detail, first, true));
    requestRow_ = new QWidget(first);
    auto* buttons = new QHBoxLayout(requestRow_);
    buttons->setContentsMargins(0, 2, 0, 0);
    buttons->setSpacing(8);
    request_ = new QPushButton(OnboardingModel::requestTitle, requestRow_);
    adaptiveButtonStyle(request_, true);
    openSettings_ = new QPushButton(OnboardingModel::openSettingsTitle, requestRow_);
    adaptiveButtonStyle(openSettings_, false);
    buttons->addWidget(request_);
    buttons->addWidget(openSettings_);
    buttons->addStretch(1);
    firstStack->addWidget(requestRow_);
    badges_[0] = new StepBadge(1, body);

    // Step 2: launch at login.
    auto* second = titledRow(initial.launchAtLoginStep(), body);
    launchToggle_ = new QCheckBox(second);
    launchToggle_->setAccessibleName(QString::fromStdString(initial.launchAtLoginStep().title));
    second->layout()->addWidget(launchToggle_);
    badges_[1] = new StepBadge(2, body);

    // Step 3: try it.
    auto* third = titledRow(initial.tryItStep(), body, &tryIt_);
    auto* picture = new LayoutThumbnail(ZoneLayout(LayoutTemplate::columns, 3, std::string()), third);
    picture->setHighlightedZones({1});
    picture->setThumbnailWidth(72);
    picture->setAccessibilityHidden(true);  // a picture of what the text says
    third->layout()->addWidget(picture);
    badges_[2] = new StepBadge(3, body);

    auto* steps = new QVBoxLayout;
    steps->setSpacing(10);
    steps->addWidget(stepCard(badges_[0], first, body));
    steps->addWidget(stepCard(badges_[1], second, body));
    steps->addWidget(stepCard(badges_[2], third, body));
    stack->addLayout(steps);
    stack->addStretch(1);
    scroll->setWidget(body);
    root->addWidget(scroll, 1);
    root->addWidget(makeDivider(this));

    auto* footerRow = new QHBoxLayout;
    footerRow->setContentsMargins(20, 14, 20, 14);
    footerRow->setSpacing(10);
    footer_ = textLabel(initial.footerNote(), this, true);
    footerRow->addWidget(footer_, 1);
    done_ = new QPushButton(QStringLiteral("Done"), this);
    adaptiveButtonStyle(done_, true);
    footerRow->addWidget(done_);
    root->addLayout(footerRow);

    connect(request_, &QPushButton::clicked, this, [this] {
        if (actions_.requestAccessibility) actions_.requestAccessibility();
    });
    connect(openSettings_, &QPushButton::clicked, this, [this] {
        if (actions_.openURL && !model_.settingsURL.empty()) actions_.openURL(model_.settingsURL);
    });
    // Only the user's click changes the setting; refilling the toggle from the state does not. A
    // change the system refuses leaves the state as it was, so no new model comes: the box goes
    // back to the model's value, which a change that took has already replaced.
    connect(launchToggle_, &QCheckBox::clicked, this, [this](bool on) {
        if (actions_.setLaunchAtLogin) actions_.setLaunchAtLogin(on);
        launchToggle_->setChecked(model_.launchAtLogin);
    });
    connect(done_, &QPushButton::clicked, this, [this] {
        if (!model_.doneEnabled() || !actions_.done) return;
        auto done = actions_.done;
        done();
    });
    setModel(initial);
}

const StepBadge* OnboardingView::badge(int number) const {
    return number >= 1 && number <= 3 ? badges_[number - 1] : nullptr;
}

void OnboardingView::setModel(const OnboardingModel& model) {
    model_ = model;
    badges_[0]->setDone(model.windowControlStep().done);
    badges_[1]->setDone(model.launchAtLoginStep().done);
    badges_[2]->setDone(model.tryItStep().done);
    for (int i = 0; i < 3; ++i) {
        const auto step = i == 0 ? model.windowControlStep() : i == 1 ? model.launchAtLoginStep() : model.tryItStep();
        badges_[i]->setAccessibleName(QString::fromStdString(step.badgeLabel()));
    }
    subtitle_->setText(QString::fromStdString(model.subtitle()));
    tryIt_->setText(QString::fromStdString(model.tryItStep().detail));
    tag_->setText(QString::fromStdString(model.statusText()));
    tag_->setTone(model.trusted ? StatusTag::Tone::positive : StatusTag::Tone::warning);
    requestRow_->setVisible(model.showsRequestButtons());
    openSettings_->setVisible(model.showsOpenSettings());
    launchToggle_->setChecked(model.launchAtLogin);
    footer_->setText(QString::fromStdString(model.footerNote()));
    done_->setEnabled(model.doneEnabled());
}

void OnboardingView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (actions_.refreshAccessibility) actions_.refreshAccessibility();
}

OnboardingWindowController::OnboardingWindowController(OnboardingView::Actions actions, const OnboardingModel& model)
    // Titled, closable and resizable (so maximisable), never minimised: the buttons named here are
    // all the Motif hints offer. A normal window still, which taskbars list; a dialog would lose
    // that and gains nothing, since the window managers that give every window a minimise button
    // (openbox, kwin) give it to dialogs too.
    : window_(new QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                       Qt::WindowMaximizeButtonHint)) {
    window_->setWindowTitle(OnboardingModel::windowTitle);
    window_->setObjectName(QStringLiteral("onboarding"));
    auto* layout = new QVBoxLayout(window_);
    layout->setContentsMargins(0, 0, 0, 0);
    const auto finish = actions.done;
    actions.done = [this, finish] {
        if (finish) finish();
        window_->hide();
    };
    view_ = new OnboardingView(std::move(actions), window_);
    view_->setModel(model);
    layout->addWidget(view_);
    window_->setMinimumSize(520, 480);
    window_->resize(560, 520);
}

OnboardingWindowController::~OnboardingWindowController() { delete window_; }

void OnboardingWindowController::show() {
    // Centred on the pointer's display at every opening, as a new window would be.
    if (!window_->isVisible()) centreOnPointerDisplay(*window_);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace tessary
