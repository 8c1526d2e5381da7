#pragma once

// The feedback form over a FeedbackModel: the form while editing, sending or failed, the thank-you
// page once sent. The text editor cuts what is typed or pasted to the model's 4000 characters.
// "Send by Email" shows after a failure, and from the start when the build cannot send; without a
// way to mail (`sendByEmail` unset) it never shows, and no sentence offers it.

#include <functional>

#include <QWidget>

#include "Platform/Signal.h"
#include "Tessary/integrations/FeedbackModel.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tessary {

class FeedbackView final : public QWidget {
public:
    // `sendByEmail` gets the message as typed; `close` closes the window.
    FeedbackView(FeedbackModel& model, std::function<void(const std::string&)> sendByEmail,
                 std::function<void()> close, QWidget* parent = nullptr);

    QPlainTextEdit* messageEditor() const { return message_; }

private:
    void update();
    void messageEdited();
    QWidget* makeForm();
    QWidget* makeThanks();

    FeedbackModel& model_;
    std::function<void(const std::string&)> sendByEmail_;
    std::function<void()> close_;
    Subscription modelChanged_;
    bool applyingModel_ = false;

    QWidget* form_ = nullptr;
    QWidget* thanks_ = nullptr;
    QPlainTextEdit* message_ = nullptr;
    QLineEdit* email_ = nullptr;
    QLabel* failure_ = nullptr;
    QLabel* unavailable_ = nullptr;
    QPushButton* sendByEmailButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};

}  // namespace tessary
