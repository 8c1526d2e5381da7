#pragma once

#include <QDialog>
#include <QWidget>

#include <functional>
#include <string>

#include "Tessary/shell/OnboardingModel.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace tessary {

class StatusTag;
class StepBadge;

// The first-run view: a header, three numbered step cards (window control, launch at login, try
// it) and a footer with a note and "Done". What it shows is a function of the model handed to
// setModel(); what it does goes out through the actions.
class OnboardingView final : public QWidget {
    Q_OBJECT

public:
    struct Actions {
        std::function<void()> refreshAccessibility;
        std::function<void()> requestAccessibility;
        std::function<void(bool)> setLaunchAtLogin;
        std::function<void(const std::string& url)> openURL;
        std::function<void()> done;
    };

    explicit OnboardingView(Actions actions, QWidget* parent = nullptr);

    void setModel(const OnboardingModel& model);
    const OnboardingModel& model() const { return model_; }

    QPushButton* doneButton() const { return done_; }
    QPushButton* requestButton() const { return request_; }
    QPushButton* openSettingsButton() const { return openSettings_; }
    QCheckBox* launchAtLoginToggle() const { return launchToggle_; }
    QLabel* footerLabel() const { return footer_; }
    QLabel* subtitleLabel() const { return subtitle_; }
    QLabel* tryItLabel() const { return tryIt_; }
    StatusTag* statusTag() const { return tag_; }
    const StepBadge* badge(int number) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Actions actions_;
    OnboardingModel model_;
    StepBadge* badges_[3] = {};
    StatusTag* tag_ = nullptr;
    QLabel* subtitle_ = nullptr;
    QLabel* tryIt_ = nullptr;
    QWidget* requestRow_ = nullptr;
    QPushButton* request_ = nullptr;
    QPushButton* openSettings_ = nullptr;
    QCheckBox* launchToggle_ = nullptr;
    QLabel* footer_ = nullptr;
    QPushButton* done_ = nullptr;
};

// The round badge of a step: a green check when done, else its number on an accent circle (solid
// for step 1, pale for the others).
class StepBadge final : public QWidget {
    Q_OBJECT

public:
    explicit StepBadge(int number, QWidget* parent = nullptr);
    void setDone(bool done);
    bool isDone() const { return done_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int number_;
    bool done_ = false;
};

// The onboarding window: made once, hidden (not destroyed) when closed, shown again as it was.
// Closing it by its close button leaves onboarding unfinished; "Done" finishes it.
class OnboardingWindowController final {
public:
    OnboardingWindowController(OnboardingView::Actions actions, const OnboardingModel& model);
    ~OnboardingWindowController();

    void show();
    void setModel(const OnboardingModel& model) { view_->setModel(model); }
    QDialog* window() const { return window_; }
    OnboardingView* view() const { return view_; }

private:
    QDialog* window_;
    OnboardingView* view_;
};

}  // namespace tessary
