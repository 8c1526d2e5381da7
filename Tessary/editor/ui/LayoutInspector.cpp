#include "Tessary/editor/ui/LayoutInspector.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

#include "Tessary/shell/ui/PlainText.h"
#include "Tessary/shell/ui/StatusTag.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

// The sliders move in whole points: an arrow key, a wheel notch and the slider's own steps are one
// point, Page Up and Page Down and a click on the track four. A stored fraction (7.6 from another
// computer) sits at its nearest whole point until the user moves the slider.
constexpr int pageStep = 4;

QLabel* header(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QString fromUTF8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

LayoutInspector::LayoutInspector(LayoutEditorModel& model, QWidget* parent)
    : QWidget(parent), inspector_(model) {
    auto* column = new QVBoxLayout(this);

    auto* nameForm = new QFormLayout;
    name_ = new QLineEdit(this);
    nameForm->addRow(tr("Name"), name_);
    column->addLayout(nameForm);
    // textEdited comes from the user only; textChanged would also come from refill().
    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) { inspector_.rename(text.toStdString()); });

    column->addWidget(header(tr("Gaps"), this));
    const auto gapRow = [&](const QString& title, QSlider*& slider, QLabel*& value,
                            void (LayoutInspectorModel::*move)(double)) {
        auto* titleRow = new QHBoxLayout;
        titleRow->addWidget(new QLabel(title, this));
        titleRow->addStretch();
        value = new QLabel(this);
        value->setForegroundRole(QPalette::PlaceholderText);
        titleRow->addWidget(value);
        column->addLayout(titleRow);
        slider = makeGapSlider(move);
        slider->setAccessibleName(title);
        column->addWidget(slider);
    };
    gapRow(tr("Spacing"), spacing_, spacingValue_, &LayoutInspectorModel::moveSpacingSlider);
    gapRow(tr("Padding"), padding_, paddingValue_, &LayoutInspectorModel::movePaddingSlider);

    column->addWidget(header(tr("Use on"), this));
    displaysBox_ = new QVBoxLayout;
    column->addLayout(displaysBox_);
    auto* defaultRow = new QHBoxLayout;
    auto* defaultText = new QLabel(tr("Default for new displays"), this);
    defaultText->setWordWrap(true);
    defaultRow->addWidget(defaultText, 1);
    defaultTag_ = new StatusTag(tr("Default"), StatusTag::Tone::positive, this);
    makeDefault_ = new QPushButton(tr("Make Default"), this);
    connect(makeDefault_, &QPushButton::clicked, this, [this] { inspector_.makeDefault(); });
    defaultRow->addWidget(defaultTag_);
    defaultRow->addWidget(makeDefault_);
    column->addLayout(defaultRow);

    auto* about = new QFormLayout;
    kind_ = new QLabel(this);
    about->addRow(tr("Kind"), kind_);
    createdFromTitle_ = new QLabel(tr("Created from"), this);
    createdFrom_ = new QLabel(this);
    about->addRow(createdFromTitle_, createdFrom_);
    column->addLayout(about);
    column->addStretch();

    librarySubscription_ = model.zones().observe([this] { refill(); });
    editorSubscription_ = model.observe([this](LayoutEditorModel::Property property) {
        if (property == LayoutEditorModel::Property::selectedLayoutID) refill();
    });
    // The provider hands out its screens read-only; listening changes nothing of them.
    if (const Screens* screens = DisplayProvider::screens()) {
        screensSubscription_ = const_cast<Screens*>(screens)->onChange([this] { refill(); });
    }
    refill();
}

QSlider* LayoutInspector::makeGapSlider(void (LayoutInspectorModel::*move)(double)) {
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setRange(0, static_cast<int>(LayoutInspectorModel::maximumGap));
    slider->setSingleStep(1);
    slider->setPageStep(pageStep);
    // valueChanged is blocked while refilling, so it carries only the user's moves.
    connect(slider, &QSlider::valueChanged, this, [this, move](int value) { (inspector_.*move)(value); });
    return slider;
}

void LayoutInspector::refill() {
    const auto content = inspector_.content();
    setEnabled(content.has_value());
    if (!content) return;

    {
        const QSignalBlocker blockName(name_);
        const QString name = fromUTF8(content->name);
        if (name_->text() != name) name_->setText(name);
    }
    const auto setGap = [](QSlider* slider, QLabel* label, double value, const std::string& text) {
        const QSignalBlocker block(slider);
        slider->setValue(static_cast<int>(std::lround(std::clamp(value, 0.0, LayoutInspectorModel::maximumGap))));
        label->setText(fromUTF8(text));
    };
    setGap(spacing_, spacingValue_, content->spacing, content->spacingText);
    setGap(padding_, paddingValue_, content->padding, content->paddingText);

    std::vector<DisplayInfo> displays;
    for (const auto& toggle : content->displays) displays.push_back(toggle.display);
    if (displays != toggled_) {
        for (QCheckBox* box : toggles_) delete box;
        toggles_.clear();
        for (const auto& toggle : content->displays) {
            // A long display name is cut with "…", not at the column's edge.
            auto* box = new ElidedCheckBox(fromUTF8(toggle.title), this);
            const DisplayInfo display = toggle.display;
            connect(box, &QCheckBox::clicked, this, [this, display](bool on) { inspector_.setUsedOn(display, on); });
            displaysBox_->addWidget(box);
            toggles_.push_back(box);
        }
        toggled_ = std::move(displays);
    }
    for (std::size_t i = 0; i < toggles_.size(); ++i) {
        const QSignalBlocker block(toggles_[i]);
        toggles_[i]->setChecked(content->displays[i].isOn);
    }

    defaultTag_->setVisible(content->isDefault);
    makeDefault_->setVisible(!content->isDefault);
    kind_->setText(fromUTF8(content->kind));
    createdFromTitle_->setVisible(content->createdFrom.has_value());
    createdFrom_->setVisible(content->createdFrom.has_value());
    createdFrom_->setText(fromUTF8(content->createdFrom.value_or("")));
}

}  // namespace tessary
