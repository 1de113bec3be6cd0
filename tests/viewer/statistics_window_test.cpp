// The statistics window on the offscreen platform: where it opens, and plots whose texts leave
// the curves free.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QScreen>

#include "platform/dialog_service.h"
#include "viewer/statistics_plots.h"
#include "viewer/statistics_window.h"
#include "viewer/window_placement.h"

namespace kestrom {
namespace {

TEST(WindowPlacement, BesideTheOwnerWhereThereIsRoomAndAlwaysOnTheScreen) {
    const QRect screen(0, 0, 1280, 1000);
    struct Case {
        const char* what;
        QRect owner;
        QSize size;
        QRect placed;
    };
    const Case cases[] = {
        {"right of an owner on the left", QRect(0, 0, 429, 580), QSize(620, 560),
         QRect(429, 0, 620, 560)},
        {"left of an owner on the right", QRect(800, 100, 429, 580), QSize(620, 560),
         QRect(180, 100, 620, 560)},
        {"under an owner that fills the width", QRect(0, 0, 1280, 400), QSize(620, 560),
         QRect(0, 400, 620, 560)},
        {"no room anywhere: on the side with more, up from the bottom", QRect(330, 500, 429, 500),
         QSize(620, 560), QRect(660, 440, 620, 560)},
        {"larger than the screen: cut to it", QRect(0, 0, 100, 100), QSize(2000, 1200),
         QRect(0, 0, 1280, 1000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QRect placed = placedBeside(c.owner, c.size, screen);
        EXPECT_EQ(placed, c.placed);
        EXPECT_TRUE(screen.contains(placed));
    }
}

// The window opens whole on the screen and, where the screen has room, beside its viewer rather
// than over the viewer's image.
TEST(StatisticsWindow, OpensWholeOnTheScreenBesideItsViewer) {
    QWidget probe;
    const QRect screen = probe.screen()->availableGeometry();
    struct Case {
        const char* what;
        QRect owner;
        bool roomBeside;
    };
    const Case cases[] = {
        {"owner at the top left", QRect(screen.topLeft(), QSize(150, 150)), true},
        {"owner at the bottom right", QRect(screen.bottomRight() - QPoint(299, 299), QSize(280, 280)),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QWidget owner;
        owner.setGeometry(c.owner);
        owner.show();
        BeamStatistics statistics;
        ScriptedDialogs dialogs;
        auto* window = new TStatisticsWindow(statistics, dialogs, [] { return std::string(); }, &owner);
        window->resize(std::min(620, screen.width() - 200), std::min(400, screen.height() - 100));
        window->show();
        QApplication::processEvents();
        const QRect placed = window->frameGeometry();
        EXPECT_TRUE(screen.contains(placed))
            << placed.x() << "," << placed.y() << " " << placed.width() << "x" << placed.height();
        if (c.roomBeside) {
            EXPECT_FALSE(placed.intersects(owner.frameGeometry()));
        }
    }
}

// The widths plot with curves that swing over their whole scale, the first sample at the top:
// the scale's numbers at its edges stand beside the curves, never on them.
TEST(WidthPlot, ScaleNumbersAndNamesLeaveTheCurvesFree) {
    BeamStatistics statistics;
    for (int i = 0; i < 60; ++i) {
        BeamSample s;
        s.seconds = i * 0.04;
        s.values[static_cast<std::size_t>(BeamQuantity::WidthX)] = i % 2 ? 3.0 : 3.1;
        s.values[static_cast<std::size_t>(BeamQuantity::WidthY)] = i % 2 ? 2.4 : 2.5;
        statistics.add(s);
    }
    WidthPlot plot(statistics);
    plot.setNames("Width X (mm)", "Width Y (mm)");
    plot.resize(320, 260);
    const QImage image = plot.grab().toImage();
    // Text is drawn dark, curves in full colour: no dark pixel of the numbers at the plot's
    // left touches a coloured one.
    auto dark = [](QColor c) { return c.value() < 90; };
    auto coloured = [](QColor c) { return c.saturation() > 120 && c.value() > 90; };
    int darkSeen = 0, touching = 0;
    for (int y = 1; y < image.height() - 1; ++y)
        for (int x = 1; x < image.width() / 3; ++x) {
            if (!dark(image.pixelColor(x, y))) continue;
            ++darkSeen;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (coloured(image.pixelColor(x + dx, y + dy))) ++touching;
        }
    EXPECT_GT(darkSeen, 50);
    EXPECT_EQ(touching, 0);
}

}  // namespace
}  // namespace kestrom
