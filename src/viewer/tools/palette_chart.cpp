// kestrom3-palette-chart FILE.png: every built-in palette in one picture, one row per kind.
#include <QtGui/QFont>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <cstdio>
#include <iterator>

#include "viewer/core/pal.h"

namespace {

using kestrom::PaletteEntry;

struct Kind {
    const char* ramp;
    const char* set;
    const char* view;
};

constexpr Kind kKinds[kestrom::TPal::kKinds] = {
    {"colour", "screen", "2-D"},  {"colour", "screen", "3-D"},  {"grey", "screen", "2-D"},
    {"black", "screen", "3-D"},   {"red", "screen", "3-D"},     {"green", "screen", "3-D"},
    {"colour", "printer", "2-D"}, {"colour", "printer", "3-D"}, {"grey", "printer", "2-D"},
    {"black", "printer", "3-D"},  {"red", "printer", "3-D"},    {"green", "printer", "3-D"},
    {"purple", "screen", "2-D"},  {"blue", "printer", "2-D"},
};

// The named colours of the displays, in entry order, with the names of the legend.
struct Named {
    int entry;
    const char* name;
};
constexpr Named kNamed[] = {
    {141, "Background2D"}, {142, "TextColor2D"},   {143, "Aperture2D"},    {144, "Background3D"},
    {145, "TextColor3D"},  {146, "Fill3D"},        {147, "Special2D"},     {155, "GridColor"},
    {156, "GridTextColor"}, {157, "XSymbolColor"}, {158, "XCurveColor"},   {159, "YSymbolColor"},
    {160, "YCurveColor"},  {161, "XCurrentColor"}, {162, "YCurrentColor"}, {163, "XExcludeColor"},
    {164, "YExcludeColor"},
};

constexpr int kNumberWidth = 26;
constexpr int kLabelWidth = 180;
constexpr int kRowHeight = 30;
constexpr int kBarHeight = 22;
constexpr int kEntryWidth = 4;
constexpr int kSwatch = 16;
constexpr int kNamedSwatch = 26;
constexpr int kGap = 6;
constexpr int kTitleLine = 22;
constexpr int kNumberLine = 14;
constexpr int kHeader = kTitleLine + kNumberLine + 2;
constexpr int kLegendLine = 16;
constexpr int kLegendColumns = 6;

QColor colour(const PaletteEntry& e) { return QColor(e.red, e.green, e.blue); }

// A cell of one palette entry with a thin frame, so that white and black cells show their edge.
void swatch(QPainter& p, int x, int y, int width, const PaletteEntry& e) {
    p.fillRect(x, y, width, kBarHeight, colour(e));
    p.setPen(QColor(128, 128, 128));
    p.drawRect(x, y, width - 1, kBarHeight - 1);
}

QFont fontOfSize(int pixels) {
    QFont font("DejaVu Sans");
    font.setPixelSize(pixels);
    return font;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrom3-palette-chart FILE.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");   // fonts without a display
    QGuiApplication app(argc, argv);

    const int rampX = kNumberWidth + kLabelWidth + kSwatch + kGap;
    const int scaleX = rampX + kestrom::kRampEntries * kEntryWidth + kGap;
    const int namedX = scaleX + 2 * kSwatch + 4 * kGap;
    const int namedCount = static_cast<int>(std::size(kNamed));
    const int width = namedX + namedCount * kNamedSwatch + kGap;
    const int rowsBottom = kHeader + kestrom::TPal::kKinds * kRowHeight - (kRowHeight - kBarHeight);
    const int legendRows = (namedCount + kLegendColumns - 1) / kLegendColumns;
    QImage image(width, rowsBottom + kGap + legendRows * kLegendLine + kGap, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);

    p.setPen(Qt::black);
    p.setFont(fontOfSize(12));
    p.drawText(QRect(0, 0, kNumberWidth + kLabelWidth, kHeader - 2), Qt::AlignBottom,
               "  kind  ramp, colours, view");
    p.drawText(QRect(kNumberWidth + kLabelWidth, 0, scaleX + 2 * kSwatch + 2 * kGap - kNumberWidth - kLabelWidth,
                     kTitleLine),
               Qt::AlignVCenter | Qt::AlignHCenter,
               "below scale | ramp 11..138, lowest value left | saturation, above scale");
    p.drawText(QRect(namedX, 0, width - namedX, kTitleLine), Qt::AlignVCenter | Qt::AlignHCenter,
               "named colours");
    p.setFont(fontOfSize(10));
    p.drawText(QRect(kNumberWidth + kLabelWidth - 4, kTitleLine, kSwatch + 8, kNumberLine), Qt::AlignCenter, "10");
    p.drawText(QRect(rampX, kTitleLine, kEntryWidth * 8, kNumberLine), Qt::AlignLeft, "11");
    p.drawText(QRect(scaleX - kEntryWidth * 8 - kGap, kTitleLine, kEntryWidth * 8, kNumberLine), Qt::AlignRight,
               "138");
    p.drawText(QRect(scaleX - 4, kTitleLine, kSwatch + 8, kNumberLine), Qt::AlignCenter, "139");
    p.drawText(QRect(scaleX + kSwatch + kGap - 4, kTitleLine, kSwatch + 8, kNumberLine), Qt::AlignCenter,
               "140");
    for (int n = 0; n < namedCount; ++n)
        p.drawText(QRect(namedX + n * kNamedSwatch, kTitleLine, kNamedSwatch, kNumberLine), Qt::AlignCenter,
                   QString::number(kNamed[n].entry));

    p.setFont(fontOfSize(12));
    for (int kind = 0; kind < kestrom::TPal::kKinds; ++kind) {
        kestrom::PaletteHandle palette = kestrom::TPal::CreatePalette(kind);
        const auto& e = palette->entries();
        const int y = kHeader + kind * kRowHeight;
        p.setPen(Qt::black);
        p.drawText(QRect(0, y, kNumberWidth - 6, kBarHeight), Qt::AlignVCenter | Qt::AlignRight,
                   QString::number(kind));
        p.drawText(QRect(kNumberWidth, y, kLabelWidth, kBarHeight), Qt::AlignVCenter,
                   QString("%1, %2, %3").arg(kKinds[kind].ramp, kKinds[kind].set, kKinds[kind].view));
        swatch(p, kNumberWidth + kLabelWidth, y, kSwatch, e[kestrom::kBelowScaleIndex]);
        for (int k = 0; k < kestrom::kRampEntries; ++k)
            p.fillRect(rampX + k * kEntryWidth, y, kEntryWidth, kBarHeight,
                       colour(e[static_cast<std::size_t>(kestrom::kFirstRampIndex + k)]));
        p.setPen(QColor(128, 128, 128));
        p.drawRect(rampX, y, kestrom::kRampEntries * kEntryWidth - 1, kBarHeight - 1);
        swatch(p, scaleX, y, kSwatch, e[kestrom::kSaturationIndex]);
        swatch(p, scaleX + kSwatch + kGap, y, kSwatch, e[kestrom::kAboveScaleIndex]);
        for (int n = 0; n < namedCount; ++n)
            swatch(p, namedX + n * kNamedSwatch, y, kNamedSwatch,
                   e[static_cast<std::size_t>(kNamed[n].entry)]);
    }

    p.setPen(Qt::black);
    p.setFont(fontOfSize(11));
    const int legendWidth = (width - 2 * kGap) / kLegendColumns;
    for (int n = 0; n < namedCount; ++n)
        p.drawText(QRect(kGap + n % kLegendColumns * legendWidth,
                         rowsBottom + kGap + n / kLegendColumns * kLegendLine, legendWidth, kLegendLine),
                   Qt::AlignVCenter, QString("%1 %2").arg(kNamed[n].entry).arg(kNamed[n].name));
    p.end();
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "kestrom3-palette-chart: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
