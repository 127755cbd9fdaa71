// The window as an X11 window manager sees it, on a private X server; ctest runs this at 1.25,
// 1.5 and 2 times scaling: where the hand cursor clicks, what the frame may offer, and the
// WM_CLASS the launcher is matched by.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTest>
#include <cstdlib>

#include "support/recorders.h"
#include "window/application.h"
#include "window/frm_tessel.h"

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
  Display* display() {
    return qApp->nativeInterface<QNativeInterface::QX11Application>()->display();
  }

  testing::KeyRecorder sound;
  testing::UrlRecorder mail;
  frmTessel window{sound, mail, [] {}};
};

TEST_F(X11Window, TheHandClicksWhereItsFingertipIsDrawn) {
  // The fingertip's logical pixel (12, 1), as the device pixel under its middle.
  const std::pair<qreal, QPoint> fingertips[] = {{1.25, {15, 1}}, {1.5, {18, 2}}, {2, {25, 3}}};
  const qreal dpr = window.devicePixelRatioF();
  const auto row = std::find_if(std::begin(fingertips), std::end(fingertips),
                                [dpr](const auto& r) { return r.first == dpr; });
  ASSERT_NE(row, std::end(fingertips)) << "no row for scale " << dpr;
  const int side = qRound(32 * dpr);
  const ImageWidget& cell = *window.image1(30);
  QCursor::setPos(cell.mapToGlobal(cell.rect().center()));
  QPoint hotSpot;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    XFixesCursorImage* shown = XFixesGetCursorImage(display());
    const bool hand = shown && shown->width == side;
    if (hand) hotSpot = QPoint(shown->xhot, shown->yhot);
    XFree(shown);
    return hand;
  })) << "the hand never showed";
  EXPECT_EQ(hotSpot, row->second);
}

TEST_F(X11Window, TheFrameOffersNeitherResizingNorMaximising) {
  XSizeHints size{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(display(), window.winId(), &size, &supplied));
  const QSize device = QSize(632, 490) * window.devicePixelRatioF();
  EXPECT_TRUE((size.flags & PMinSize) && (size.flags & PMaxSize));
  EXPECT_EQ(QSize(size.min_width, size.min_height), device);
  EXPECT_EQ(QSize(size.max_width, size.max_height), device);

  // Motif hints: flags, functions, decorations; "all" would include maximise.
  enum : unsigned long { kFunctions = 1, kDecorations = 2, kAll = 1, kMaximize = 0x10 };
  const Atom motif = XInternAtom(display(), "_MOTIF_WM_HINTS", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display(), window.winId(), motif, 0, 5, False, motif, &type, &format, &count,
                     &after, &data);
  ASSERT_EQ(count, 5u) << "no Motif hints";
  const auto* hints = reinterpret_cast<const unsigned long*>(data);
  EXPECT_EQ(hints[0] & (kFunctions | kDecorations), kFunctions | kDecorations);
  EXPECT_EQ(hints[1] & (kAll | kMaximize), 0u) << "functions " << hints[1];
  EXPECT_EQ(hints[2] & (kAll | 0x40), 0u) << "decorations " << hints[2];  // 0x40: maximise
  XFree(data);
}

TEST_F(X11Window, WmClassIsTheDesktopFilesStartupWmClass) {
  QFile desktopFile(QStringLiteral(TESSEL_SOURCE_DIR "/data/org.tessel.Tessel.desktop"));
  ASSERT_TRUE(desktopFile.open(QIODevice::ReadOnly | QIODevice::Text));
  const QString entries = QString::fromUtf8(desktopFile.readAll());
  XClassHint hint{};
  ASSERT_TRUE(XGetClassHint(display(), window.winId(), &hint));
  EXPECT_TRUE(entries.contains(QStringLiteral("\nStartupWMClass=%1\n").arg(hint.res_class)))
      << "WM_CLASS class " << hint.res_class;
  XFree(hint.res_name);
  XFree(hint.res_class);
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
