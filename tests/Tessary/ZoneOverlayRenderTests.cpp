#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

#include <QCoreApplication>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Tessary/services/ui/ZoneOverlayView.h"
#include "QtApplication.h"

using namespace tessary;

namespace {

// Draws the overlay as it would appear on a display, writes it (alone and over a stand-in desktop)
// under the build folder for a person to look at, and gives the overlay alone.
QImage render(OverlayModel& model, Preferences& preferences, QSize size, const std::string& name, bool compositing) {
    ZoneOverlayView view(model, preferences, true, true);
    view.setCompositing(compositing);
    view.resize(size);
    const QImage overlay = view.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    // A later show copies the tiles from the view's images: it must look the same, but for the
    // rounding of blending a tile's image over its neighbours instead of drawing it over them.
    // Compared premultiplied, as the window holds them: a faint pixel's colour is a rounding.
    const QImage again = view.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage first = overlay.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(again.size(), first.size());
    int difference = 0;
    for (int y = 0; y < std::min(again.height(), first.height()); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(again.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(first.constScanLine(y));
        for (int x = 0; x < std::min(again.width(), first.width()); ++x) {
            difference = std::max({difference, std::abs(qRed(a[x]) - qRed(b[x])), std::abs(qGreen(a[x]) - qGreen(b[x])),
                                   std::abs(qBlue(a[x]) - qBlue(b[x])), std::abs(qAlpha(a[x]) - qAlpha(b[x]))});
        }
    }
    EXPECT_LE(difference, 2) << name << " shown again";
    EXPECT_TRUE(view.hasCache());

    QImage desktop(size, QImage::Format_ARGB32);
    {
        QPainter p(&desktop);
        QLinearGradient gradient(0, 0, size.width(), size.height());
        gradient.setColorAt(0, QColor(40, 70, 90));
        gradient.setColorAt(1, QColor(200, 170, 120));
        p.fillRect(desktop.rect(), gradient);
        p.fillRect(QRect(size.width() / 8, size.height() / 6, size.width() / 3, size.height() / 2), QColor(245, 245, 245));
        p.setPen(Qt::black);
        p.drawText(QRect(size.width() / 8 + 12, size.height() / 6 + 12, 400, 30), "A window being dragged");
        if (compositing) {
            p.drawImage(0, 0, overlay);
        } else {
            // Without a compositor only the window's shape shows, as painted.
            p.setClipRegion(view.shape().isEmpty() ? QRegion(view.rect()) : view.shape());
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(0, 0, overlay);
        }
    }
    const QString folder = QStringLiteral(QT_TESTCASE_BUILDDIR) + "/overlay-render";
    QDir().mkpath(folder);
    overlay.save(folder + "/" + QString::fromStdString(name) + ".png");
    desktop.save(folder + "/" + QString::fromStdString(name) + "-on-desktop.png");
    return overlay;
}

}  // namespace

TEST(ZoneOverlayRender, ThreeColumnsWithOneZoneHighlighted) {
    qttest::qtApplication();
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    OverlayModel model;
    model.setZones({{0, Rect(8, 8, 628, 1064)}, {1, Rect(646, 8, 628, 1064)}, {2, Rect(1284, 8, 628, 1064)}});
    const std::vector<std::int64_t> one{1};
    model.setHighlighted(one);

    const QImage image = render(model, preferences, QSize(1920, 1080), "three-columns", true);
    EXPECT_LT(qAlpha(image.pixel(641, 540)), 40) << "the gap between zones stays nearly clear";
    EXPECT_GT(qAlpha(image.pixel(300, 300)), 0);
    // The highlighted zone is tinted less than the others (0.1 against 0.5).
    EXPECT_LT(qAlpha(image.pixel(900, 300)), qAlpha(image.pixel(300, 300)));
    // The hint capsule sits centred near the bottom.
    EXPECT_GE(qAlpha(image.pixel(960, 1080 - 56 - 17)), 205);

    render(model, preferences, QSize(1920, 1080), "three-columns-no-compositor", false);
}

// Without a compositor the X server shows exactly what the window holds inside its shape: a pixel
// of the shape left unpainted would show black over the desktop.
TEST(ZoneOverlayRender, WithoutACompositorEveryPixelOfTheShapeIsPaintedOpaque) {
    qttest::qtApplication();
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    OverlayModel model;
    model.setZones({{0, Rect(8, 8, 628, 1064)}, {1, Rect(646, 8, 628, 524)}, {2, Rect(646, 548, 628, 524)},
                    {3, Rect(1284, 8, 628, 1064)}, {4, Rect(1800, 1000, 30, 30)}});
    for (const std::vector<std::int64_t>& lit : {std::vector<std::int64_t>{}, {1}, {0, 3}}) {
        model.setHighlighted(lit);
        ZoneOverlayView view(model, preferences, true, true);
        view.setCompositing(false);
        view.resize(1920, 1080);
        const QImage image = view.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        long unpainted = 0, shown = 0;
        for (const QRect& r : view.shape()) {
            for (int y = r.top(); y <= r.bottom(); ++y) {
                for (int x = r.left(); x <= r.right(); ++x) {
                    ++shown;
                    if (qAlpha(image.pixel(x, y)) != 255) ++unpainted;
                }
            }
        }
        EXPECT_EQ(unpainted, 0) << "of " << shown << " pixels shown, with " << lit.size() << " zones highlighted";
        // The inside of a zone away from its badge is the desktop's, highlighted or not.
        EXPECT_FALSE(view.shape().contains(QPoint(100, 300)));
        // A large zone's size shows at its bottom centre, highlighted or not: white text on a chip
        // that the window shows.
        const QRect label(8 + 314 - 45, 8 + 1064 - 14 - 16, 90, 16);
        int text = 0;
        for (int y = label.top(); y <= label.bottom(); ++y) {
            for (int x = label.left(); x <= label.right(); ++x) {
                const QRgb p = image.pixel(x, y);
                if (view.shape().contains(QPoint(x, y)) && qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200) ++text;
            }
        }
        EXPECT_GT(text, 40) << "no size label on zone 1, with " << lit.size() << " zones highlighted";
        EXPECT_LT(shown, 1920L * 1080 / 4);
    }
}

namespace {

// Context switches of every thread of this process but the calling one, by thread id and name.
std::map<std::string, long> otherThreadsSwitches() {
    const std::string self = std::to_string(::gettid());
    std::map<std::string, long> switches;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == self) continue;
        std::ifstream status(task.path() / "status");
        std::string name;
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Name:", 0) == 0) name = line.substr(6);
            if (line.find("ctxt_switches:") != std::string::npos) {
                switches[task.path().filename().string() + " " + name] += std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return switches;
}

// The threads that were switched to since `before`, with how often, and how often in all.
std::pair<std::string, long> wokenSince(const std::map<std::string, long>& before) {
    std::string woken;
    long total = 0;
    for (const auto& [thread, count] : otherThreadsSwitches()) {
        const auto earlier = before.find(thread);
        const long since = count - (earlier == before.end() ? 0 : earlier->second);
        if (since > 0) woken += thread + ": " + std::to_string(since) + "; ";
        total += std::max(since, 0L);
    }
    return {woken, total};
}

// The largest difference of one channel between two images of one size (premultiplied).
int largestDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 255;
    int difference = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            difference = std::max({difference, std::abs(qRed(p[x]) - qRed(q[x])), std::abs(qGreen(p[x]) - qGreen(q[x])),
                                   std::abs(qBlue(p[x]) - qBlue(q[x])), std::abs(qAlpha(p[x]) - qAlpha(q[x]))});
        }
    }
    return difference;
}

}  // namespace

// A drag sweeping across zones changes the highlight on a notice every few milliseconds: painting
// it must stay on the main thread (Qt's raster engine hands large fills to a pool of threads, one
// per core, which would all wake for each change).
TEST(ZoneOverlayRender, AHighlightChangeWakesNoOtherThread) {
    qttest::qtApplication();
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    for (const bool compositing : {true, false}) {
        OverlayModel model;
        model.setZones({{0, Rect(8, 8, 628, 1064)}, {1, Rect(646, 8, 628, 1064)}, {2, Rect(1284, 8, 628, 1064)}});
        ZoneOverlayView view(model, preferences, true, true);
        view.setCompositing(compositing);
        view.resize(1920, 1080);
        view.show();
        auto settle = [] {
            for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        };
        settle();
        // Each tile drawn once in each state, and a second show, as a drag that comes back does.
        for (std::int64_t zone = 0; zone < 3; ++zone) {
            const std::int64_t one[] = {zone};
            model.setHighlighted(one);
            settle();
        }
        model.clearHighlight();
        view.hide();
        view.show();
        settle();

        const auto before = otherThreadsSwitches();
        constexpr int changes = 15;
        for (int change = 0; change < changes; ++change) {
            const std::int64_t one[] = {change % 3};
            model.setHighlighted(one);
            settle();
        }
        // Painting on the pool wakes several threads for every change; a thread that was still
        // finishing the set-up's work may wake once, on a loaded machine.
        const auto [woken, total] = wokenSince(before);
        EXPECT_LE(total, 2) << woken << (compositing ? "with" : "without") << " a compositor";
        view.hide();
    }
}

TEST(ZoneOverlayRender, AZoneOfNegativeSizeIsLaidOutAtSizeZeroAtItsMinimumCorner) {
    qttest::qtApplication();
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    OverlayModel model;
    // Reaches from (400, 300) back to (200, 200): only its number badge shows, centred on (200, 200).
    model.setZones({{0, Rect(400, 300, -200, -100)}});

    const QImage image = render(model, preferences, QSize(640, 480), "negative-size", true);
    EXPECT_GT(qAlpha(image.pixel(200, 200)), 0);
    EXPECT_EQ(qAlpha(image.pixel(400, 300)), 0);
    EXPECT_EQ(qAlpha(image.pixel(300, 250)), 0);
}

// A sweep goes back and forth between the same highlights, and the view keeps what each change
// repaints and the hint after it. A change of the settings or the zones in between must show as
// a fresh view shows the same highlight, not as the kept change did.
TEST(ZoneOverlayRender, AHighlightChangeAfterASweepFollowsTheSettingsAndZonesOfTheMoment) {
    qttest::qtApplication();
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    preferences.setSpanModifier(SpanModifier::control);
    const std::vector<Zone> columns{{0, Rect(8, 8, 628, 1064)}, {1, Rect(646, 8, 628, 1064)}, {2, Rect(1284, 8, 628, 1064)}};
    const std::vector<Zone> rows{{0, Rect(8, 8, 1904, 528)}, {1, Rect(8, 544, 1904, 528)}};
    auto highlight = [](OverlayModel& model, std::int64_t zone) {
        const std::int64_t one[] = {zone};
        model.setHighlighted(one);
    };
    auto grab = [](ZoneOverlayView& view) { return view.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied); };
    for (const bool compositing : {true, false}) {
        SCOPED_TRACE(compositing ? "with a compositor" : "without a compositor");
        OverlayModel model;
        model.setZones(columns);
        ZoneOverlayView view(model, preferences, true, true);
        view.setCompositing(compositing);
        view.resizeTo(QSize(1920, 1080));
        for (int pass = 0; pass < 2; ++pass) {
            highlight(model, 0);
            highlight(model, 1);
        }
        auto expectAsFresh = [&](const std::vector<Zone>& zones, const char* what) {
            OverlayModel freshModel;
            freshModel.setZones(zones);
            highlight(freshModel, 0);
            ZoneOverlayView fresh(freshModel, preferences, true, true);
            fresh.setCompositing(compositing);
            fresh.resizeTo(QSize(1920, 1080));
            EXPECT_EQ(view.hintRect(), fresh.hintRect()) << what;
            // Copied from the kept tiles, a pixel may round otherwise than drawn at once.
            EXPECT_LE(largestDifference(grab(view), grab(fresh)), 2) << what;
        };

        preferences.setSpanModifier(SpanModifier::command);
        highlight(model, 0);
        expectAsFresh(columns, "after the span key changed");

        highlight(model, 1);
        model.setZones(rows);
        view.takeRequestedRepaint();
        highlight(model, 0);
        // The first row and what its hint covers, not the first column of before.
        EXPECT_TRUE(view.takeRequestedRepaint().contains(QRect(1800, 100, 20, 20)));
        expectAsFresh(rows, "after the zones changed");
        preferences.setSpanModifier(SpanModifier::control);
    }
}

// A drag that crosses zones reuses what it worked out for each change; a change is the same only
// when everything before it is: a hint that was wider before (a note in place of the advice) is
// repainted whole, even after the same highlights met with a narrower hint before.
TEST(ZoneOverlayRender, AKeptChangeRepaintsWhatTheHintBeforeItCovered) {
    qttest::qtApplication();
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    preferences.setSpanModifier(SpanModifier::control);
    struct Case {
        const char* name;
        std::int64_t from, to;
        std::string noteBefore, noteAfter;
    };
    const Case cases[] = {
        {"a long note before, none after", 0, 1, "Firefox needs 500 px more than this zone has", ""},
        {"a long note on the same zone", 1, 1, "Firefox needs 500 px more than this zone has", ""},
        {"no note before, a long one after", 1, 0, "", "Firefox needs 500 px more than this zone has"},
    };
    for (const bool compositing : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (compositing ? ", with a compositor" : ", without a compositor"));
            OverlayModel model;
            // The top zones' tiles reach nowhere near the hint at the bottom.
            model.setZones({{0, Rect(8, 8, 948, 528)}, {1, Rect(964, 8, 948, 528)}, {2, Rect(8, 544, 1904, 528)}});
            ZoneOverlayView view(model, preferences, true, true);
            view.setCompositing(compositing);
            view.resizeTo(QSize(1920, 1080));
            auto highlight = [&](std::int64_t zone, const std::string& note) {
                const std::int64_t one[] = {zone};
                model.setHighlighted(one, note);
            };
            // The sweep first, without notes: its changes are kept.
            for (int pass = 0; pass < 2; ++pass) {
                highlight(c.from, "");
                highlight(c.to, "");
            }
            highlight(c.from, c.noteBefore);
            const QRect before = view.hintRect().toAlignedRect();
            view.takeRequestedRepaint();
            highlight(c.to, c.noteAfter);
            const QRegion repainted = view.takeRequestedRepaint();
            // Whole: QRegion::contains() tells of an overlap only.
            EXPECT_TRUE((QRegion(before) - repainted).isEmpty())
                << "the hint before it was at " << before.x() << "," << before.y() << " " << before.width() << "x"
                << before.height();
            EXPECT_TRUE((QRegion(view.hintRect().toAlignedRect()) - repainted).isEmpty());

            // The same highlight and note come back under the same number; another note under another.
            const std::uint64_t state = view.highlightState();
            highlight(c.from, "");
            highlight(c.to, c.noteAfter);
            EXPECT_EQ(view.highlightState(), state);
            highlight(c.to, c.noteAfter + " (again)");
            EXPECT_NE(view.highlightState(), state);
            // Zones drawn anew: no number of before means anything any more.
            const std::uint64_t last = view.highlightState();
            model.setZones({{0, Rect(8, 8, 1904, 528)}, {1, Rect(8, 544, 1904, 528)}});
            EXPECT_GT(view.highlightState(), last);
        }
    }
}
