#include "Tessary/integrations/ui/FeedbackView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTextCursor>
#include <QVBoxLayout>

#include "Tessary/shell/ui/AppAppearance.h"
#include "Tessary/shell/ui/SymbolIcon.h"

namespace tessary {

namespace {

QLabel* textLabel(const QString& text, QWidget* parent, const char* name = nullptr) {
    auto* label = new QLabel(text, parent);
    if (name) label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

QLabel* secondary(QLabel* label, qreal scale) {
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    return label;
}

QLabel* headline(QLabel* label) {
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    return label;
}

constexpr int contentWidth = 460;

}  // namespace

FeedbackView::FeedbackView(FeedbackModel& model, std::function<void(const std::string&)> sendByEmail,
                           std::function<void()> close, QWidget* parent)
    : QWidget(parent), model_(model), sendByEmail_(std::move(sendByEmail)), close_(std::move(close)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    form_ = makeForm();
    thanks_ = makeThanks();
    form_->setFixedWidth(contentWidth);
    thanks_->setFixedWidth(contentWidth);
    layout->addWidget(form_);
    layout->addWidget(thanks_);

    modelChanged_ = model_.observe([this] { update(); });
    update();
}

QWidget* FeedbackView::makeForm() {
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);

    column->addWidget(headline(textLabel(tr("What works well, what is missing, what went wrong?"), page)));

    message_ = new QPlainTextEdit(page);
    message_->setObjectName(QStringLiteral("message"));
    message_->setAccessibleName(tr("Message"));
    message_->setFixedHeight(150);
    message_->setTabChangesFocus(true);
    message_->document()->setDocumentMargin(6);
    // A rounded field on the text background with a faint border in the text colour, of the
    // appearance of the moment.
    followAppearance(*message_, [field = message_] {
        QColor border = QApplication::palette().color(QPalette::Text);
        border.setAlphaF(0.15f);
        field->setStyleSheet(QStringLiteral("QPlainTextEdit#message { background: palette(base); border-radius: 8px; "
                                            "border: 1px solid rgba(%1, %2, %3, %4); }")
                                 .arg(border.red())
                                 .arg(border.green())
                                 .arg(border.blue())
                                 .arg(border.alphaF()));
    });
    connect(message_, &QPlainTextEdit::textChanged, this, [this] { messageEdited(); });
    column->addWidget(message_);

    auto* emailColumn = new QVBoxLayout;
    emailColumn->setSpacing(4);
    email_ = new QLineEdit(page);
    email_->setAccessibleName(tr("Email"));
    email_->setObjectName(QStringLiteral("email"));
    email_->setPlaceholderText(tr("Your email (optional)"));
    email_->setInputMethodHints(Qt::ImhEmailCharactersOnly);
    connect(email_, &QLineEdit::textEdited, this, [this](const QString& text) { model_.setEmail(text.toStdString()); });
    // Return in the one-line field is the default action; in the editor it starts a new line.
    connect(email_, &QLineEdit::returnPressed, this, [this] { model_.send(); });
    emailColumn->addWidget(email_);
    emailColumn->addWidget(secondary(textLabel(tr("Only needed if you would like a reply."), page), 0.85));
    column->addLayout(emailColumn);

    column->addWidget(secondary(textLabel(QString::fromStdString(model_.caption()), page, "caption"), 0.85));

    failure_ = textLabel(sendByEmail_ ? tr("Your feedback could not be sent. Check your internet connection and try "
                                           "again, or send it by email.")
                                      : tr("Your feedback could not be sent. Check your internet connection and try "
                                           "again."),
                         page, "failure");
    showInTone(*failure_, QColor(0xD7, 0x26, 0x1E));
    column->addWidget(failure_);

    unavailable_ = textLabel({}, page, "unavailable");
    column->addWidget(unavailable_);

    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    sendByEmailButton_ = new QPushButton(tr("Send by Email"), page);
    sendByEmailButton_->setObjectName(QStringLiteral("sendByEmail"));
    connect(sendByEmailButton_, &QPushButton::clicked, this, [this] {
        if (sendByEmail_) sendByEmail_(model_.message());
    });
    progress_ = new QProgressBar(page);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setRange(0, 0);
    progress_->setTextVisible(false);
    progress_->setFixedSize(60, 12);
    auto* cancel = new QPushButton(tr("Cancel"), page);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setShortcut(QKeySequence::Cancel);
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (close_) close_();
    });
    send_ = new QPushButton(tr("Send"), page);
    send_->setObjectName(QStringLiteral("send"));
    send_->setDefault(true);
    connect(send_, &QPushButton::clicked, this, [this] { model_.send(); });
    row->addWidget(sendByEmailButton_);
    row->addStretch(1);
    row->addWidget(progress_);
    row->addWidget(cancel);
    row->addWidget(send_);
    column->addLayout(row);
    return page;
}

QWidget* FeedbackView::makeThanks() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("thanks"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);

    auto* title = new QHBoxLayout;
    title->setSpacing(8);
    auto* mark = new QLabel(page);
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize);
    // The theme's symbolic check is dark grey whatever the appearance; ours follows it.
    showSymbol(*mark, QStringLiteral("checkmark"), iconSize);
    title->addWidget(mark);
    title->addWidget(headline(textLabel(tr("Thank you. Your feedback was sent."), page)), 1);
    column->addLayout(title);
    column->addWidget(secondary(
        textLabel(tr("We read everything. If you left an email address, we will answer there."), page), 1.0));

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    closeButton_ = new QPushButton(tr("Close"), page);
    closeButton_->setObjectName(QStringLiteral("close"));
    closeButton_->setDefault(true);
    closeButton_->setShortcut(Qt::Key_Return);  // active only while the thank-you page shows
    connect(closeButton_, &QPushButton::clicked, this, [this] {
        if (close_) close_();
    });
    row->addWidget(closeButton_);
    column->addLayout(row);
    return page;
}

void FeedbackView::messageEdited() {
    if (applyingModel_) return;
    const QString typed = message_->toPlainText();
    model_.setMessage(typed.toStdString());
    // The model keeps at most 4000 characters; show what it kept.
    const QString kept = QString::fromStdString(model_.message());
    if (kept != typed) {
        applyingModel_ = true;
        message_->setPlainText(kept);
        message_->moveCursor(QTextCursor::End);
        applyingModel_ = false;
    }
}

void FeedbackView::update() {
    using Phase = FeedbackModel::Phase;
    const Phase phase = model_.phase();
    // One page at a time, so that the window fits the page shown.
    form_->setVisible(phase != Phase::sent);
    thanks_->setVisible(phase == Phase::sent);
    if (phase == Phase::sent) closeButton_->setFocus();

    if (message_->toPlainText().toStdString() != model_.message()) {
        applyingModel_ = true;
        message_->setPlainText(QString::fromStdString(model_.message()));
        applyingModel_ = false;
    }
    if (email_->text().toStdString() != model_.email()) email_->setText(QString::fromStdString(model_.email()));
    const bool unavailable = !model_.unavailableReason().empty();
    unavailable_->setText(QString::fromStdString(model_.unavailableReason()) +
                          (sendByEmail_ ? QStringLiteral(" ") + tr("Send it by email instead.") : QString()));
    unavailable_->setVisible(unavailable);
    failure_->setVisible(phase == Phase::failed);
    sendByEmailButton_->setVisible(sendByEmail_ && (phase == Phase::failed || unavailable));
    progress_->setVisible(phase == Phase::sending);
    send_->setEnabled(model_.canSend());
}

}  // namespace tessary
