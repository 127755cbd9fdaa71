// The chart picture as the window paints it: grid lines where the cells expect them, every kana's
// ink inside its own cell, and vector rendering at the screen's pixel ratio.
#include <gtest/gtest.h>

#include <QImage>
#include <QStyle>
#include <QStyleFactory>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "form/kana_cells.h"
#include "form/layout.h"
#include "window/artwork_rasters.h"
#include "window/caption_layer.h"
#include "window/svg_picture.h"
#include "window/svg_render.h"

namespace tessel {
namespace {

const QColor kBlack(0, 0, 0), kGrey(128, 128, 128), kWhite(255, 255, 255);
const QColor kEdge(212, 208, 200), kBackground(244, 250, 255);

QImage chartAt(qreal dpr) {
  return artworkImage(QString::fromUtf8(kChartPicture.data()), QSize(462, 492), dpr);
}

bool isNavy(QColor c) {
  return c.red() < 100 && c.green() < 100 && c.blue() > 90;
}
bool isRed(QColor c) {
  return c.red() > 180 && c.green() < 110 && c.blue() < 110;
}

TEST(ChartPicture, GridLinesAndEdgesLieOnTheirPixels) {
  const QImage chart = chartAt(1.0);
  ASSERT_EQ(chart.size(), QSize(462, 492));
  const auto at = [&](int x, int y, QColor colour) {
    EXPECT_EQ(chart.pixelColor(x, y), colour) << "pixel (" << x << ", " << y << ")";
  };
  at(461, 100, kEdge), at(100, 491, kEdge);
  at(5, 5, kBackground), at(455, 300, kBackground), at(30, 60, kBackground);
  // Upper grid: the black pixel of each column pair, then its partner; in the lower grid the
  // other pixel of each pair is the black one.
  for (int x : {9, 49, 88, 129, 168, 209, 248, 289, 328, 369, 408, 448}) at(x, 100, kBlack);
  for (int x : {48, 89, 128, 169, 208, 249, 288, 329, 368, 409}) at(x, 100, kGrey);
  for (int x : {9, 48, 89, 128, 169, 208, 249, 288, 329, 368, 409, 448}) at(x, 340, kBlack);
  for (int x : {49, 88, 129, 168, 209, 248, 289, 328, 369, 408}) at(x, 340, kGrey);
  // Rows, sampled between two columns.
  for (int y : {38, 237, 278, 477}) at(30, y, kBlack);
  for (int y : {77, 117, 157, 197, 317, 357, 397, 437}) at(30, y, kGrey);
  for (int y : {78, 118, 158, 198, 318, 358, 398, 438}) at(30, y, kWhite);
}

TEST(ChartPicture, EveryKanaIsInkedInsideItsOwnCellWithRedStrokeNumbers) {
  const QImage chart = chartAt(1.0);
  std::vector<QRect> inkAreas{QRect(205, 12, 45, 16), QRect(205, 252, 45, 16)};  // headings
  for (const KanaCell& cell : allCells()) {
    const QRect box(cell.left / kTwipsPerPixel, cell.top / kTwipsPerPixel, 41, 41);
    inkAreas.push_back(box);
    int navy = 0, red = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
      for (int x = box.left(); x <= box.right(); ++x) {
        navy += isNavy(chart.pixelColor(x, y));
        red += isRed(chart.pixelColor(x, y));
      }
    }
    EXPECT_GT(navy, 30) << "cell " << cell.index << " shows no kana (" << navy << ")";
    EXPECT_GT(red, 4) << "cell " << cell.index << " shows no stroke numbers";
  }
  int stray = 0;
  for (int y = 0; y < chart.height(); ++y) {
    for (int x = 0; x < chart.width(); ++x) {
      const QColor c = chart.pixelColor(x, y);
      if (!isNavy(c) && !isRed(c)) continue;
      bool inside = false;
      for (const QRect& r : inkAreas) inside = inside || r.contains(x, y);
      if (!inside && ++stray < 5) ADD_FAILURE() << "ink outside every cell at " << x << ", " << y;
    }
  }
  EXPECT_EQ(stray, 0);
}

// At every ratio the picture is drawn at device resolution, and each grid line covers whole device
// pixels, as wide as its rounded edges: no grey smear at 125 % or 150 %. 1.75 is a ratio the build
// did not draw, so the program draws it from the vectors.
class ChartAtRatio : public testing::TestWithParam<qreal> {};

TEST_P(ChartAtRatio, GridLinesCoverWholeDevicePixels) {
  const qreal dpr = GetParam();
  const QImage chart = chartAt(dpr);
  const auto device = [dpr](int logical) { return static_cast<int>(std::lround(logical * dpr)); };
  EXPECT_EQ(chart.size(), QSize(std::ceil(462 * dpr), std::ceil(492 * dpr)));
  EXPECT_EQ(chart.devicePixelRatio(), dpr);
  const auto flat = [&](int x, int y) {
    const QColor c = chart.pixelColor(x, y);
    return c == kBlack || c == kGrey || c == kWhite || c == kBackground;
  };
  // A row just under the top line crosses every column line; a column just right of the left
  // line crosses every row line.
  for (int x = device(9); x < device(449); ++x) EXPECT_TRUE(flat(x, device(39))) << "x " << x;
  for (int y = device(38); y < device(478); ++y) EXPECT_TRUE(flat(device(10), y)) << "y " << y;
  // The divider at logical 48 (grey) and 49 (black), with the pale cell after it.
  for (int x = device(48); x < device(49); ++x) EXPECT_EQ(chart.pixelColor(x, 200), kGrey);
  for (int x = device(49); x < device(50); ++x) EXPECT_EQ(chart.pixelColor(x, 200), kBlack);
  EXPECT_EQ(chart.pixelColor(device(50), 200), kBackground);
}

INSTANTIATE_TEST_SUITE_P(Ratios, ChartAtRatio, testing::Values(1.25, 1.5, 1.75, 2.0));

// The grid's rectangles are read as XML, not matched as text: how the file is laid out does not
// matter, and a rectangle that cannot be placed is refused rather than left out.
TEST(CrispGroup, IsReadWhateverTheLayoutAndRefusedWhereARectangleIsUnreadable) {
  const auto svg = [](const char* rect) {
    return QByteArray(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"4\">"
               "<g shape-rendering=\"crispEdges\">") +
           rect + "</g></svg>";
  };
  const QImage plain = renderSvg(svg(R"(<rect x="1" y="1" width="2" height="1" fill="#000080"/>)"),
                                 QSize(4, 4), 1.25);
  ASSERT_FALSE(plain.isNull());
  EXPECT_EQ(plain.pixelColor(2, 1), QColor(0, 0, 128));
  EXPECT_EQ(renderSvg(svg("<rect fill='#000080'\n height='1' width='2' y='1' x='1'></rect>"),
                      QSize(4, 4), 1.25),
            plain);
  for (const char* broken : {R"(<rect x="1" y="1" width="2" fill="#000080"/>)",
                             R"(<rect x="1" y="one" width="2" height="1" fill="#000080"/>)",
                             R"(<rect x="1" y="1" width="2" height="1" fill="navy blue"/>)",
                             R"(<circle cx="1" cy="1" r="1" fill="#000080"/>)"}) {
    EXPECT_TRUE(renderSvg(svg(broken), QSize(4, 4), 1.25).isNull()) << broken;
  }
}

// Each edge of a grid rectangle goes to the nearest device pixel boundary on its own axis, and a
// rectangle thinner than a device pixel keeps one.
TEST(CrispGroup, EdgesGoToTheNearestDevicePixelOnTheirOwnAxisAndNoneVanishes) {
  struct Case {
    const char* rect;
    QSize logical;
    qreal dpr;
    QRect expected;  // device pixels
  };
  for (const Case& c : {
           Case{R"(x="1" y="1" width="2" height="1")", QSize(4, 8), 1.0, QRect(1, 2, 2, 2)},
           Case{R"(x="1" y="1" width="1" height="2")", QSize(8, 4), 1.0, QRect(2, 1, 2, 2)},
           Case{R"(x="1.1" y="1" width="0.2" height="2")", QSize(4, 4), 1.0, QRect(1, 1, 1, 2)},
           Case{R"(x="2.4" y="2.4" width="0.1" height="0.1")", QSize(4, 4), 1.25,
                QRect(3, 3, 1, 1)},
       }) {
    const QImage image =
        renderSvg(QByteArray(R"(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4">)"
                             R"(<g shape-rendering="crispEdges"><rect fill="#000080" )") +
                      c.rect + "/></g></svg>",
                  c.logical, c.dpr);
    ASSERT_FALSE(image.isNull()) << c.rect;
    QRect inked;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, y) != QColor(0, 0, 128)) continue;
        inked |= QRect(x, y, 1, 1);
        ++count;
      }
    }
    EXPECT_EQ(inked, c.expected) << c.rect;
    EXPECT_EQ(count, c.expected.width() * c.expected.height()) << c.rect;
  }
}

// The count that tells a look the build missed counts each picture drawn here, once.
TEST(BuiltPictures, OneDrawnHereIsCountedOnce) {
  const QString chart = QString::fromUtf8(kChartPicture.data());
  const int before = picturesDrawnAtRunTime();
  artworkImage(chart, {kChartWidth, kChartHeight}, 1.3);  // a ratio the build does not draw
  artworkImage(chart, {kChartWidth, kChartHeight}, 1.3);
  EXPECT_EQ(picturesDrawnAtRunTime(), before + 1);
}

// A picture the build marks opaque is shown without its alpha, so it must have none; one marked
// otherwise has pixels to see through, which shown as opaque would turn black.
TEST(BuiltPictures, AreMarkedOpaqueExactlyWhenEveryPixelIs) {
  for (const ArtworkRaster& r : artworkRasters()) {
    const QImage argb(r.pixels, r.width, r.height, qsizetype{r.width} * 4,
                      QImage::Format_ARGB32_Premultiplied);
    bool everyPixelOpaque = true;
    for (int y = 0; y < argb.height() && everyPixelOpaque; ++y) {
      const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
      everyPixelOpaque =
          std::all_of(line, line + argb.width(), [](QRgb p) { return qAlpha(p) == 255; });
    }
    EXPECT_EQ(r.opaque, everyPixelOpaque) << r.resource << " at " << r.dpr;
  }
}

// The window shows the captions the build drew; they must be the ones the program would draw
// itself where the build drew none: same font, style and layout, pixel for pixel.
TEST(CaptionLayers, EveryOneTheBuildDrewIsWhatTheProgramDraws) {
  const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
  for (const CaptionLook& look : captionLooks(*fusion)) {
    const QByteArray name = look.resource(*fusion).toUtf8();
    for (qreal dpr : {1.0, 1.25, 1.5, 2.0}) {
      const QImage drawn = drawCaptionLayer(look, *fusion, dpr);
      int found = 0;
      for (const ArtworkRaster& r : artworkRasters()) {
        if (r.dpr != dpr || name != r.resource) continue;
        ++found;
        EXPECT_EQ(QSize(r.width, r.height), drawn.size()) << name.data() << " at " << dpr;
        EXPECT_TRUE(drawn.size() == QSize(r.width, r.height) &&
                    std::memcmp(r.pixels, drawn.constBits(), drawn.sizeInBytes()) == 0)
            << name.data() << " at " << dpr;
      }
      EXPECT_EQ(found, 1) << name.data() << " at " << dpr;
      const QImage shown = captionImage(look, *fusion, dpr);
      EXPECT_TRUE(shown.size() == drawn.size() &&
                  std::memcmp(shown.constBits(), drawn.constBits(), drawn.sizeInBytes()) == 0)
          << name.data() << " at " << dpr << ": the window is handed another look";
    }
  }
}

}  // namespace
}  // namespace tessel
