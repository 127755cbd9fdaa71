// At 200 % scaling every picture is drawn from its vector source at device resolution: lines stay
// exactly two device pixels wide with hard edges, nothing is an upscaled 100 % bitmap.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>
#include <cstdlib>

#include "form/layout.h"
#include "support/recorders.h"
#include "window/frm_tessel.h"
#include "window/svg_picture.h"

namespace tessel {
namespace {

TEST(DoubleScale, TheWholeWindowIsDrawnAtDeviceResolution) {
  testing::KeyRecorder sound;
  testing::UrlRecorder mail;
  frmTessel window(sound, mail, [] {});
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const QPixmap grab = window.grab();
  ASSERT_EQ(grab.devicePixelRatio(), 2.0);
  const QImage shot = grab.toImage();
  EXPECT_EQ(shot.size(), QSize(1264, 980));

  // The heading's curved outlines match a direct render of the chart at twice the size pixel for
  // pixel; a 100 % picture scaled up would show blocky edges here.
  QImage direct(924, 984, QImage::Format_ARGB32_Premultiplied);
  direct.fill(Qt::transparent);
  {
    QPainter painter(&direct);
    QSvgRenderer(QString::fromUtf8(kChartPicture.data())).render(&painter, QRectF(0, 0, 924, 984));
  }
  int differing = 0;
  for (int y = 20; y < 60; ++y)
    for (int x = 400; x < 510; ++x) {
      const QColor a = shot.pixelColor(x, y), b = direct.pixelColor(x, y);
      differing += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                       std::abs(a.blue() - b.blue()) >
                   6;
    }
  EXPECT_EQ(differing, 0);

  // Column marker: the triangle's top edge fills both device rows of its first logical row,
  // with the chart above it untouched.
  const QPoint marker = window.imgTop().mapTo(&window, QPoint(0, 0)) * 2;
  const int mid = marker.x() + 27;
  EXPECT_EQ(shot.pixelColor(mid, marker.y()), QColor(0, 0, 255));
  EXPECT_EQ(shot.pixelColor(mid, marker.y() + 1), QColor(0, 0, 255));
  EXPECT_NE(shot.pixelColor(mid, marker.y() - 1), QColor(0, 0, 255));
}

TEST(DoubleScale, CursorAndIconHaveDeviceResolutionPixmaps) {
  const QCursor hand =
      artworkCursor(QString::fromUtf8(kHandCursorPicture.data()), kHandHotSpot, 2.0);
  EXPECT_EQ(hand.pixmap().size(), QSize(64, 64));
  EXPECT_EQ(hand.pixmap().devicePixelRatio(), 2.0);

  // The window icon offers a picture drawn at device resolution, not a scaled-up small one.
  const QPixmap icon =
      artworkIcon(QString::fromUtf8(kIconPicture.data())).pixmap(QSize(48, 48), 2.0);
  EXPECT_EQ(icon.size(), QSize(96, 96));
}

}  // namespace
}  // namespace tessel

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QT_SCALE_FACTOR", "2", 1);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
