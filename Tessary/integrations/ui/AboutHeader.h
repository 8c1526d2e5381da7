#pragma once

#include <QWidget>

class QLabel;

namespace tessary {

// The program's icon, name and "Version …" line, shared by the About window (72-pixel icon) and
// the About settings pane. The version line can be selected and copied.
class AboutHeader final : public QWidget {
public:
    explicit AboutHeader(int iconSize, QWidget* parent = nullptr);

    QLabel* versionLabel() const { return version_; }

private:
    QLabel* version_ = nullptr;
};

}  // namespace tessary
