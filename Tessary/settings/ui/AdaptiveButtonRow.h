#pragma once

#include <QWidget>

#include <vector>

class QBoxLayout;
class QPushButton;

namespace tessary {

// Buttons in a row (10 apart) when they fit the width given, else in a column (8 apart, leading),
// in the same order. It never asks for more than its widest button, so narrowing the window
// switches it to the column instead of widening the pane.
class AdaptiveButtonRow final : public QWidget {
public:
    explicit AdaptiveButtonRow(QWidget* parent = nullptr);

    void addButton(QPushButton* button);
    bool isColumn() const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int rowWidth() const;
    int height(bool column) const;
    void arrange(int width);

    QBoxLayout* layout_;
    std::vector<QPushButton*> buttons_;
};

}  // namespace tessary
