#include "Tessary/shell/ui/AppAppearance.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <cmath>

#include "Tessary/shell/ui/AppStyle.h"

namespace tessary {

namespace {

constexpr double textMinimumContrast = 4.5;  // WCAG AA, body text

struct Scheme {
    QColor window, windowText, base, alternateBase, text, button, buttonText;
    QColor light, midlight, mid, dark, shadow;
    QColor highlight, highlightedText, placeholder, link, linkVisited;
    QColor toolTipBase, toolTipText;
    QColor disabledText, disabledButton, disabledHighlight;
};

// Both schemes share one accent that carries white text at 5:1 (a margin for the faint edges of
// small anti-aliased text over the 4.5:1 asked) and still stands 3:1 off the dark window and base;
// the secondary greys are the lightest (darkest) that keep 4.5:1 on every surface.
const Scheme lightScheme{
    .window = QColor(239, 239, 240),
    .windowText = QColor(16, 16, 18),
    .base = QColor(255, 255, 255),
    .alternateBase = QColor(246, 246, 247),
    .text = QColor(16, 16, 18),
    .button = QColor(246, 246, 247),
    .buttonText = QColor(16, 16, 18),
    .light = QColor(255, 255, 255),
    .midlight = QColor(228, 228, 230),
    .mid = QColor(184, 184, 188),
    .dark = QColor(160, 160, 164),
    .shadow = QColor(110, 110, 114),
    .highlight = QColor(34, 106, 220),
    .highlightedText = QColor(255, 255, 255),
    .placeholder = QColor(98, 98, 102),
    .link = QColor(24, 92, 196),
    .linkVisited = QColor(110, 60, 170),
    .toolTipBase = QColor(255, 255, 240),
    .toolTipText = QColor(16, 16, 18),
    .disabledText = QColor(150, 150, 154),
    .disabledButton = QColor(236, 236, 237),
    .disabledHighlight = QColor(150, 150, 154),
};

const Scheme darkScheme{
    .window = QColor(34, 34, 36),
    .windowText = QColor(240, 240, 242),
    .base = QColor(26, 26, 28),
    .alternateBase = QColor(33, 33, 35),
    .text = QColor(240, 240, 242),
    // Styles lighten a dark button colour into a gradient face: from (38, 38, 41) the face of an
    // unchosen segment stood at 2.4:1 beside the chosen one's accent, in a font whose buttons are
    // taller.
    .button = QColor(30, 30, 33),
    .buttonText = QColor(240, 240, 242),
    .light = QColor(66, 66, 70),
    .midlight = QColor(58, 58, 62),
    .mid = QColor(80, 80, 84),
    .dark = QColor(20, 20, 22),
    .shadow = QColor(0, 0, 0),
    .highlight = QColor(34, 106, 220),
    .highlightedText = QColor(255, 255, 255),
    .placeholder = QColor(166, 166, 172),
    .link = QColor(120, 176, 255),
    .linkVisited = QColor(190, 150, 255),
    .toolTipBase = QColor(50, 50, 53),
    .toolTipText = QColor(240, 240, 242),
    .disabledText = QColor(118, 118, 122),
    .disabledButton = QColor(36, 36, 38),
    .disabledHighlight = QColor(80, 80, 84),
};

QPalette paletteOf(const Scheme& s) {
    QPalette palette;
    const std::pair<QPalette::ColorRole, QColor> roles[] = {
        {QPalette::Window, s.window},
        {QPalette::WindowText, s.windowText},
        {QPalette::Base, s.base},
        {QPalette::AlternateBase, s.alternateBase},
        {QPalette::Text, s.text},
        {QPalette::Button, s.button},
        {QPalette::ButtonText, s.buttonText},
        {QPalette::BrightText, s.highlightedText},
        {QPalette::Light, s.light},
        {QPalette::Midlight, s.midlight},
        {QPalette::Mid, s.mid},
        {QPalette::Dark, s.dark},
        {QPalette::Shadow, s.shadow},
        {QPalette::Highlight, s.highlight},
        {QPalette::HighlightedText, s.highlightedText},
        {QPalette::PlaceholderText, s.placeholder},
        {QPalette::Link, s.link},
        {QPalette::LinkVisited, s.linkVisited},
        {QPalette::ToolTipBase, s.toolTipBase},
        {QPalette::ToolTipText, s.toolTipText},
    };
    for (const auto& [role, colour] : roles) palette.setColor(role, colour);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                                           QPalette::PlaceholderText, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Disabled, role, s.disabledText);
    }
    palette.setColor(QPalette::Disabled, QPalette::Button, s.disabledButton);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, s.disabledHighlight);
    return palette;
}

double linear(int channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Text pairs are toned to this, over the 4.5:1 asked: the faint edges of small anti-aliased text.
constexpr double tonedTextContrast = 5.0;

// The first colour on the way from `from` to `to`, in steps of 5 %, that reads; `to` when none does.
QColor firstReadableStep(const QColor& from, const QColor& to, const std::function<bool(const QColor&)>& reads) {
    for (double t = 0; t < 1.0; t += 0.05) {
        const QColor step = mixColours(from, to, t);
        if (reads(step)) return QColor::fromRgb(step.rgb());
    }
    return to;
}

bool readsOn(const QColor& ink, const QPalette& palette, QPalette::ColorGroup group,
             std::initializer_list<QPalette::ColorRole> surfaces, double minimum) {
    for (const auto surface : surfaces) {
        if (contrastRatio(composedOver(ink, palette.color(group, surface)), palette.color(group, surface)) < minimum) {
            return false;
        }
    }
    return true;
}

// The desktop's palette while System is chosen, and the hidden widget that hears every change of
// the application's palette: when the desktop's own colours change (a theme switch), the roles set
// over them are worked out again from the new ones.
AppAppearance chosenAppearance = AppAppearance::system;

class DesktopPaletteWatch final : public QWidget {
public:
    QPalette desktop;

protected:
    bool event(QEvent* event) override {
        // Our own changes arrive here too (Qt posts the notice): they leave the desktop's roles as
        // they were.
        if (event->type() == QEvent::ApplicationPaletteChange && chosenAppearance == AppAppearance::system &&
            desktopChanged()) {
            applySystem();
        }
        return QWidget::event(event);
    }

public:
    void applySystem() {
        QApplication::setPalette(QPalette());
        desktop = QApplication::palette();
        QApplication::setPalette(readableOver(desktop));
    }

private:
    // Any role of the desktop's that we leave alone now reads differently.
    bool desktopChanged() const {
        const QPalette now = QApplication::palette();
        const QPalette ours = readableOver(desktop);
        for (int group = 0; group < QPalette::NColorGroups; ++group) {
            for (int role = 0; role < QPalette::NColorRoles; ++role) {
                const auto g = static_cast<QPalette::ColorGroup>(group);
                const auto r = static_cast<QPalette::ColorRole>(role);
                if (r == QPalette::NoRole || ours.isBrushSet(g, r)) continue;
                if (now.brush(g, r) != desktop.brush(g, r)) return true;
            }
        }
        return false;
    }
};

DesktopPaletteWatch& desktopPaletteWatch() {
    // Never shown and never deleted: it only listens, for the life of the process.
    static auto* watch = new DesktopPaletteWatch;
    return *watch;
}

// Tells its owner once per change of the application's palette. A child widget hears of one as a
// change of its own palette (Qt sends the application's notice to windows only); what the owner
// does in answer may change the widget's palette again, which is then no new change.
class PaletteChangeWatch : public QObject {
public:
    explicit PaletteChangeWatch(QWidget& widget) : QObject(&widget) {}

    bool eventFilter(QObject*, QEvent* event) override {
        const auto type = event->type();
        if (type != QEvent::PaletteChange && type != QEvent::ApplicationPaletteChange) return false;
        const qint64 now = QApplication::palette().cacheKey();
        if (now == seen_) return false;
        seen_ = now;
        changed();
        return false;
    }

protected:
    void start() {
        seen_ = QApplication::palette().cacheKey();
        changed();
    }
    virtual void changed() = 0;

private:
    qint64 seen_ = 0;
};

class AppearanceFollower final : public PaletteChangeWatch {
public:
    AppearanceFollower(QWidget& widget, std::function<void()> apply) : PaletteChangeWatch(widget), apply_(std::move(apply)) {
        start();
    }

private:
    void changed() override { apply_(); }

    std::function<void()> apply_;
};

// The tone a widget's text is drawn in, kept current with the palette.
class ToneKeeper final : public PaletteChangeWatch {
public:
    ToneKeeper(QWidget& widget, QColor hue) : PaletteChangeWatch(widget), widget_(widget), hue_(hue) {
        setObjectName(QStringLiteral("tessary-tone"));
        start();
    }

    void setHue(QColor hue) {
        hue_ = hue;
        changed();
    }

private:
    void changed() override {
        QPalette palette = widget_.palette();
        palette.setColor(QPalette::WindowText, readableTone(hue_, QApplication::palette()));
        widget_.setPalette(palette);
    }

    QWidget& widget_;
    QColor hue_;
};

}  // namespace

QPalette appearancePalette(AppAppearance appearance) {
    switch (appearance) {
    case AppAppearance::light: return paletteOf(lightScheme);
    case AppAppearance::dark: return paletteOf(darkScheme);
    case AppAppearance::system: break;
    }
    return QPalette();
}

QPalette readableOver(const QPalette& desktop) {
    QPalette set;
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        // Secondary text: the dimmest step from the desktop's (as it shows, composed over the window)
        // towards its text colour that reads on every surface it is drawn on.
        const std::initializer_list<QPalette::ColorRole> surfaces{QPalette::Window, QPalette::Base,
                                                                  QPalette::AlternateBase};
        const QColor placeholder = desktop.color(group, QPalette::PlaceholderText);
        if (!readsOn(placeholder, desktop, group, surfaces, textMinimumContrast)) {
            set.setColor(group, QPalette::PlaceholderText,
                         firstReadableStep(composedOver(placeholder, desktop.color(group, QPalette::Window)),
                                           desktop.color(group, QPalette::WindowText), [&](const QColor& step) {
                                               return readsOn(step, desktop, group, surfaces, tonedTextContrast);
                                           }));
        }
        // The selection: the desktop's accent moved away from its text until the text reads on it.
        const QColor selected = desktop.color(group, QPalette::HighlightedText);
        const QColor highlight = desktop.color(group, QPalette::Highlight);
        if (contrastRatio(selected, highlight) < textMinimumContrast) {
            const QColor away = relativeLuminance(selected) > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
            set.setColor(group, QPalette::Highlight, firstReadableStep(highlight, away, [&](const QColor& step) {
                             return contrastRatio(selected, step) >= tonedTextContrast;
                         }));
        }
    }
    return set;
}

void applyAppearance(AppAppearance appearance) {
    if (!qApp) return;
    if (!qobject_cast<AppStyle*>(QApplication::style())) QApplication::setStyle(new AppStyle(QApplication::style()->name()));
    chosenAppearance = appearance;
    if (appearance == AppAppearance::system) {
        desktopPaletteWatch().applySystem();
        return;
    }
    QApplication::setPalette(appearancePalette(appearance));
}

double relativeLuminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.red()) + 0.7152 * linear(rgb.green()) + 0.0722 * linear(rgb.blue());
}

QColor mixColours(const QColor& from, const QColor& to, double t) {
    return QColor::fromRgbF(static_cast<float>(from.redF() + (to.redF() - from.redF()) * t),
                            static_cast<float>(from.greenF() + (to.greenF() - from.greenF()) * t),
                            static_cast<float>(from.blueF() + (to.blueF() - from.blueF()) * t));
}

QColor composedOver(const QColor& top, const QColor& under) {
    const double a = top.alphaF();
    return QColor::fromRgbF(static_cast<float>(top.redF() * a + under.redF() * (1 - a)),
                            static_cast<float>(top.greenF() * a + under.greenF() * (1 - a)),
                            static_cast<float>(top.blueF() * a + under.blueF() * (1 - a)));
}

QColor readableOn(const QColor& ink, const QColor& towards, const QColor& surface) {
    return firstReadableStep(composedOver(ink, surface), towards,
                             [&](const QColor& step) { return contrastRatio(step, surface) >= tonedTextContrast; });
}

QColor seenWhenDisabled(const QPalette& palette, QPalette::ColorRole ink, QPalette::ColorRole surface) {
    const QColor under = palette.color(QPalette::Disabled, surface);
    return firstReadableStep(composedOver(palette.color(QPalette::Disabled, ink), under),
                             palette.color(QPalette::Active, ink),
                             [&](const QColor& step) { return contrastRatio(step, under) >= 3.5; });
}

QColor readableTone(const QColor& hue, const QPalette& palette, double tint) {
    const QColor ink = palette.color(QPalette::WindowText);
    for (double t = 0; t < 1.0; t += 0.05) {
        const QColor colour = mixColours(hue, ink, t);
        bool reads = true;
        for (const auto surface : {QPalette::Window, QPalette::Base}) {
            reads = reads && contrastRatio(colour, mixColours(palette.color(surface), colour, tint)) >= 5.2;
        }
        if (reads) return colour;
    }
    return ink;
}

void showInTone(QWidget& widget, std::optional<QColor> hue) {
    auto* keeper = static_cast<ToneKeeper*>(
        widget.findChild<QObject*>(QStringLiteral("tessary-tone"), Qt::FindDirectChildrenOnly));
    if (!hue) {
        if (!keeper) return;
        delete keeper;
        // Back to the palette the widget inherits.
        widget.setPalette(QPalette());
        return;
    }
    if (keeper) {
        keeper->setHue(*hue);
        return;
    }
    widget.installEventFilter(new ToneKeeper(widget, *hue));
}

void followAppearance(QWidget& widget, std::function<void()> apply) {
    widget.installEventFilter(new AppearanceFollower(widget, std::move(apply)));
}

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace tessary
