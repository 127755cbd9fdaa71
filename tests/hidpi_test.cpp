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
#include "window/frm_tessel.h"
#include "window/svg_picture.h"

namespace tessel {
namespace {

class Silent : public SoundPort {
 public:
  void PlayWave(const std::string&) override {}
};
class NoMail : public MailLink {
 public:
  void open(const std::string&) override {}
};

TEST(DoubleScale, TheWholeWindowIsDrawnAtDeviceResolution) {
  Silent sound;
  NoMail mail;
  frmTessel window(sound, mail, [] {});
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const QPixmap grab = window.grab();
  ASSERT_EQ(grab.devicePixelRatio(), 2.0);
  const QImage shot = grab.toImage();
  EXPECT_EQ(shot.size(), QSize(1264, 980));

  // Chart: the black pixel of the divider at logical x 49 is device columns 98 and 99, between
  // its grey partner and the pale background.
  EXPECT_EQ(shot.pixelColor(97, 200), QColor(128, 128, 128));
  EXPECT_EQ(shot.pixelColor(98, 200), QColor(0, 0, 0));
  EXPECT_EQ(shot.pixelColor(99, 200), QColor(0, 0, 0));
  EXPECT_EQ(shot.pixelColor(100, 200), QColor(244, 250, 255));

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

  const QIcon icon(QString::fromUtf8(kIconPicture.data()));
  const QPixmap pixmap = icon.pixmap(QSize(48, 48), 2.0);
  EXPECT_EQ(pixmap.size(), QSize(96, 96)) << "the SVG icon engine must be available";
  // Some opaque blue from the note.
  const QImage image = pixmap.toImage();
  int blue = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      blue += c.alpha() == 255 && c.blue() > 150 && c.red() < 100;
    }
  EXPECT_GT(blue, 200);
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
