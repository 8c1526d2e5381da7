#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <optional>

namespace tessary {

// A short coloured label on a pale capsule of its own colour ("Granted", "Not granted", "Default").
// It keeps its natural size: a long text widens the tag, it never truncates or wraps.
class StatusTag final : public QWidget {
    Q_OBJECT

public:
    enum class Tone { positive, warning, neutral };

    StatusTag(QString text, Tone tone, QWidget* parent = nullptr);

    void setText(QString text);
    const QString& text() const { return text_; }
    void setTone(Tone tone);
    Tone tone() const { return tone_; }
    // The text colour for the tone; the capsule is the same colour at 14 % opacity.
    QColor toneColor() const;
    // The hue a tone starts from (a green, a red); none for neutral, which is the secondary text.
    static std::optional<QColor> hueOf(Tone tone);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    Tone tone_;
};

}  // namespace tessary
