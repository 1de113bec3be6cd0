// What the subscriber widget paints: the program's icon stretched over it, its name in a designer, or nothing.
#include <QImage>
#include <gtest/gtest.h>

#include "fake_console.h"
#include "subscriber/qt/kestrom3_subscriber_widget.h"

// The resource functions live outside any namespace.
static void dropIconResource() { Q_CLEANUP_RESOURCE(widget_icon); }
static void restoreIconResource() { Q_INIT_RESOURCE(widget_icon); }

namespace kestrom::test {
namespace {

int countOf(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
    return n;
}

TEST(SubscriberWidgetPaint, TheIconFillsTheWidgetTheDesignerShowsTheNameAndNoIconDrawsNothing) {
    FakeConsole console;
    TKesTrom3SubscriberWidget widget(console);
    widget.resize(40, 24);
    const QRgb red = qRgb(255, 0, 0);

    QImage icon = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(countOf(icon, red), 40 * 24);

    widget.setDesignMode(true);
    QImage design = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(countOf(design, red), 0);
    EXPECT_NE(countOf(design, design.pixel(0, 0)), 40 * 24) << "the class name is drawn";

    widget.setDesignMode(false);
    dropIconResource();
    QImage none = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    restoreIconResource();
    EXPECT_EQ(countOf(none, red), 0);
    EXPECT_EQ(countOf(none, none.pixel(0, 0)), 40 * 24);
}

}  // namespace
}  // namespace kestrom::test
