// The window as an X11 desktop shows it, on a private X server; ctest runs this at 1.25, 1.5 and
// 2 times scaling: drawn at device resolution, where the hand cursor clicks, what the frame may
// offer, and the WM_CLASS the launcher is matched by.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTest>
#include <cstdlib>

#include "support/recorders.h"
#include "window/application.h"
#include "window/frm_tessel.h"
#include "window/svg_picture.h"

// Last: Xlib's macros (Bool, Status, None …) would break Qt's and GoogleTest's headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

namespace tessel {
namespace {

class X11Window : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  Display* x() { return qApp->nativeInterface<QNativeInterface::QX11Application>()->display(); }

  testing::KeyRecorder sound;
  testing::UrlRecorder mail;
  frmTessel window{sound, mail, [] {}};
};

TEST_F(X11Window, IsDrawnAtDeviceResolutionNotScaledUp) {
  const qreal dpr = window.devicePixelRatioF();
  const QImage shown = window.grab().toImage();
  ASSERT_EQ(shown.size(), QSize(632, 490) * dpr);
  // The chart's heading and first grid row, clear of the markers, as drawn for this ratio.
  const QRect area = QRect(QPoint(150, 5), QPoint(400, 60)).intersected(QRect(0, 0, 462, 490));
  const QRect device(area.topLeft() * dpr, area.size() * dpr);
  const QImage chart =
      artworkImage(QString::fromUtf8(kChartPicture.data()), {kChartWidth, kChartHeight}, dpr);
  EXPECT_TRUE(shown.copy(device) == chart.copy(device).convertToFormat(shown.format()));
  EXPECT_EQ(picturesDrawnAtRunTime(), 0) << "a picture or caption the build did not draw";
  const QIcon icon = artworkIcon(QString::fromUtf8(kIconPicture.data()));
  EXPECT_EQ(icon.pixmap(QSize(48, 48), dpr).size(), QSize(48, 48) * dpr);
}

TEST_F(X11Window, TheHandClicksWhereItsFingertipIsDrawn) {
  // The fingertip's logical pixel (12, 1), as the device pixel under its middle, by scale.
  const std::map<qreal, QPoint> fingertips{{1.25, {15, 1}}, {1.5, {18, 2}}, {2, {25, 3}}};
  const qreal dpr = window.devicePixelRatioF();
  ASSERT_TRUE(fingertips.count(dpr)) << "no row for scale " << dpr;
  const ImageWidget& cell = *window.image1(30);
  QCursor::setPos(cell.mapToGlobal(cell.rect().center()));
  QPoint hotSpot;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    XFixesCursorImage* shown = XFixesGetCursorImage(x());
    const bool hand = shown && shown->width == qRound(32 * dpr);
    if (hand) hotSpot = QPoint(shown->xhot, shown->yhot);
    XFree(shown);
    return hand;
  })) << "the hand never showed";
  EXPECT_EQ(hotSpot, fingertips.at(dpr));
}

TEST_F(X11Window, TheFrameOffersNoMaximiseAndTheClassMatchesTheLauncher) {
  // Motif hints: flags, functions, decorations. Either "all" bit would include maximise.
  const Atom motif = XInternAtom(x(), "_MOTIF_WM_HINTS", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(x(), window.winId(), motif, 0, 5, False, motif, &type, &format, &count, &after,
                     &data);
  ASSERT_EQ(count, 5u) << "no Motif hints";
  const auto* hints = reinterpret_cast<const unsigned long*>(data);
  EXPECT_EQ(hints[0] & 3, 3u) << "functions and decorations are both given";
  EXPECT_EQ(hints[1] & (1 | 0x10), 0u) << "functions " << hints[1];    // 0x10: maximise
  EXPECT_EQ(hints[2] & (1 | 0x40), 0u) << "decorations " << hints[2];  // 0x40: maximise
  XFree(data);

  QFile desktopFile(QStringLiteral(TESSEL_DESKTOP_FILE));
  ASSERT_TRUE(desktopFile.open(QIODevice::ReadOnly));
  XClassHint wmClass{};
  ASSERT_TRUE(XGetClassHint(x(), window.winId(), &wmClass));
  EXPECT_TRUE(
      desktopFile.readAll().contains("\nStartupWMClass=" + QByteArray(wmClass.res_class) + "\n"))
      << "WM_CLASS class " << wmClass.res_class;
  XFree(wmClass.res_name);
  XFree(wmClass.res_class);
}

}  // namespace
}  // namespace tessel

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  ::testing::InitGoogleTest(&argc, argv);
  tessel::describeApplication();
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
