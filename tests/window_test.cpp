// The real frmTessel: geometry, captions, tab order and how Qt's pointer events reach the handlers.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "chart/cell_activation.h"
#include "credits/credits.h"
#include "form/kana_cells.h"
#include "form/layout.h"
#include "support/recorders.h"
#include "window/after_first_paint.h"
#include "window/frm_tessel.h"
#include "window/svg_picture.h"

namespace tessel {
namespace {

using testing::KeyRecorder;
using testing::UrlRecorder;

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  QWindow* handle() { return window.windowHandle(); }
  QRect inWindow(const QWidget& w) { return QRect(w.mapTo(&window, QPoint(0, 0)), w.size()); }
  QPoint centreOf(std::int16_t index) { return inWindow(*window.image1(index)).center(); }
  void moveTo(QPoint p) {
    QTest::mouseMove(handle(), p);
    QApplication::processEvents();
  }

  KeyRecorder sound;
  UrlRecorder mail;
  int ends = 0;
  frmTessel window{sound, mail, [this] { ++ends; }};
};

// The sound output and the icon wait for the first frame; that work must then run, and only once.
TEST(FirstPaint, RunsTheDeferredWorkOnceTheWindowIsDrawn) {
  KeyRecorder sound;
  UrlRecorder mail;
  frmTessel window(sound, mail, [] {});
  int runs = 0;
  afterFirstPaint(window, [&runs] { ++runs; });
  QApplication::processEvents();
  EXPECT_EQ(runs, 0) << "ran before the window was shown";
  window.show();
  EXPECT_TRUE(QTest::qWaitFor([&runs] { return runs > 0; }, 2000));
  window.repaint();
  QApplication::processEvents();
  EXPECT_EQ(runs, 1);
}

TEST_F(Window, HasTheFixedClientSizeAndCaption) {
  EXPECT_EQ(window.size(), QSize(632, 490));
  EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the layout does not adapt to resizing";
  EXPECT_EQ(window.windowTitle(), QString::fromUtf16(u"Morlen日语五十音"));
}

TEST_F(Window, EveryCellLiesWhereTheChartDrawsItsKana) {
  for (const KanaCell& cell : allCells()) {
    const ImageWidget* widget = window.image1(cell.index);
    ASSERT_NE(widget, nullptr) << cell.index;
    EXPECT_EQ(inWindow(*widget), QRect(cell.left / 15, cell.top / 15, 41, 41)) << cell.index;
    EXPECT_EQ(widget->left(), cell.left);
    EXPECT_EQ(widget->top(), cell.top);
  }
  EXPECT_EQ(window.image1(0), nullptr);
  EXPECT_EQ(window.image1(49), nullptr);
}

TEST_F(Window, PanelControlsSitAtTheirPixelPositions) {
  const std::pair<const QWidget*, QRect> expected[] = {
      {window.command3().parentWidget(), {530, 383, 81, 27}},
      {window.command2().parentWidget(), {530, 418, 81, 27}},
      {window.command1().parentWidget(), {530, 453, 81, 27}},
      {&window.command3(), {532, 385, 77, 23}},
      {&window.command2(), {532, 420, 77, 23}},
      {&window.command1(), {532, 455, 77, 23}},
      {&window.label1(), {548, 342, 65, 31}},
      {&window.image50(), {521, 72, 166, 214}},
      // The markers as Form_Load left them, on cell 1.
      {&window.imgRight(), {463, 25, 64, 72}},
      {&window.imgTop(), {414, 23, 27, 14}},
  };
  int n = 0;
  for (const auto& [widget, rect] : expected) EXPECT_EQ(inWindow(*widget), rect) << "row " << n++;
}

TEST_F(Window, CaptionsTabOrderAndCreditColour) {
  EXPECT_EQ(window.command3().text(), QString::fromUtf16(u"自动朗读"));
  EXPECT_EQ(window.command2().text(), QString::fromUtf16(u"关    于"));
  EXPECT_EQ(window.command1().text(), QString::fromUtf16(u"关闭窗口"));
  EXPECT_EQ(window.label1().text(), QString::fromUtf16(u"Morlen制作联系作者  "));
  EXPECT_TRUE(window.label1().isVisible());
  EXPECT_EQ(window.label1().palette().color(QPalette::WindowText), QColor(128, 0, 0));

  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const QWidget* order[] = {&window.command1(), &window.command2(), &window.command3(),
                            &window.command1()};
  EXPECT_EQ(QApplication::focusWidget(), order[0]);
  for (int i = 1; i < 4; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), order[i]) << "tab " << i;
  }
}

TEST_F(Window, PaintsTheChartUnscaledAtTheTopLeftOnWhite) {
  const QImage shown = window.grab().toImage();
  const QImage chart = artworkImage(QStringLiteral(":/artwork/chart.svg"), QSize(462, 492), 1.0);
  for (QPoint p : {QPoint(49, 100), QPoint(48, 300), QPoint(461, 200), QPoint(5, 5),
                   QPoint(230, 20), QPoint(100, 489)}) {
    EXPECT_EQ(shown.pixelColor(p), chart.pixelColor(p)) << p.x() << ", " << p.y();
  }
  EXPECT_EQ(shown.pixelColor(600, 20), QColor(Qt::white));
  EXPECT_EQ(shown.pixelColor(470, 300), QColor(Qt::white));
}

TEST_F(Window, LaterControlsStackOnTop) {
  // Neighbouring cells overlap by a pixel or two; the decoration covers the row marker's edge.
  EXPECT_EQ(window.childAt(408, 60), window.image1(1)) << "cell 1 is created after cell 6";
  EXPECT_EQ(window.childAt(523, 80), &window.image50());
  EXPECT_EQ(window.childAt(470, 60), &window.imgRight());
}

TEST_F(Window, AClickOnEveryCellSpeaksItAndMovesTheMarkers) {
  for (const KanaCell& cell : allCells()) {
    sound.keys.clear();
    QTest::mouseClick(handle(), Qt::LeftButton, Qt::NoModifier, centreOf(cell.index));
    ASSERT_EQ(sound.keys, std::vector<std::string>{soundKey(cell.index)}) << cell.index;
    EXPECT_EQ(window.imgRight().top(), cell.top - 200);
    EXPECT_EQ(window.imgTop().left(), cell.left + 100);
    EXPECT_EQ(window.image1(cell.index)->borderStyle(), kBorderNone) << "unframed by release";
  }
}

TEST_F(Window, ADoubleClickSpeaksAndFramesOnce) {
  ImageWidget& cell = *window.image1(6);
  QSignalSpy downs(&cell, &ImageWidget::mouseDown), ups(&cell, &ImageWidget::mouseUp);
  QTest::mouseDClick(handle(), Qt::LeftButton, Qt::NoModifier, centreOf(6));
  EXPECT_EQ(sound.keys, std::vector<std::string>{"106"});
  EXPECT_EQ(downs.count(), 1);
  EXPECT_EQ(ups.count(), 2);
  EXPECT_EQ(cell.borderStyle(), kBorderNone);
  // A later single click is an ordinary click again.
  QTest::mouseClick(handle(), Qt::LeftButton, Qt::NoModifier, centreOf(6), 800);
  EXPECT_EQ(sound.keys.size(), 2u);
}

TEST_F(Window, PressFramesTheCellAndAReleaseElsewhereUnframesWithoutClicking) {
  ImageWidget& pressed = *window.image1(6);
  QTest::mousePress(handle(), Qt::LeftButton, Qt::NoModifier, centreOf(6));
  EXPECT_EQ(pressed.borderStyle(), kBorderSingle);
  QImage framed = window.grab().toImage();
  EXPECT_EQ(framed.pixelColor(inWindow(pressed).topLeft() + QPoint(20, 0)), QColor(Qt::black));
  QTest::mouseMove(handle(), centreOf(1));
  QTest::mouseRelease(handle(), Qt::LeftButton, Qt::NoModifier, centreOf(1));
  EXPECT_EQ(pressed.borderStyle(), kBorderNone);
  EXPECT_EQ(window.image1(1)->borderStyle(), kBorderNone);
  EXPECT_TRUE(sound.keys.empty());
}

TEST_F(Window, TheSecondaryButtonFramesButDoesNotSpeak) {
  QTest::mousePress(handle(), Qt::RightButton, Qt::NoModifier, centreOf(12));
  EXPECT_EQ(window.image1(12)->borderStyle(), kBorderSingle);
  QTest::mouseRelease(handle(), Qt::RightButton, Qt::NoModifier, centreOf(12));
  EXPECT_EQ(window.image1(12)->borderStyle(), kBorderNone);
  EXPECT_TRUE(sound.keys.empty());
}

TEST_F(Window, HoveringACellShowsTheHand) {
  EXPECT_EQ(window.image1(30)->cursor().shape(), Qt::ArrowCursor);
  moveTo(centreOf(30));
  EXPECT_EQ(window.image1(30)->cursor().shape(), Qt::BitmapCursor);
}

TEST_F(Window, OnlyTheBareWindowResetsTheCreditColour) {
  const QPoint label = inWindow(window.label1()).center();
  const auto colour = [&] { return window.label1().palette().color(QPalette::WindowText); };
  const QColor red(128, 0, 0), blue(0, 0, 255);
  const std::pair<QPoint, QColor> moves[] = {
      {label, blue},
      {inWindow(window.image50()).center(), blue},   // decoration
      {inWindow(window.imgRight()).center(), blue},  // row marker
      {inWindow(window.command2()).center(), blue},  // a button
      {centreOf(20), blue},                          // a cell
      {QPoint(600, 20), red},                        // bare white background
      {label, blue},
      {QPoint(458, 100), red},  // chart picture right of the cells
  };
  int n = 0;
  for (const auto& [point, expected] : moves) {
    moveTo(point);
    EXPECT_EQ(colour(), expected) << "move " << n++;
  }
  EXPECT_EQ(window.label1().cursor().shape(), Qt::BitmapCursor);
}

TEST_F(Window, AboutHidesAndShowsTheCreditLineWhichThenTakesNoEvents) {
  QTest::mouseClick(&window.command2(), Qt::LeftButton);
  EXPECT_FALSE(window.label1().isVisible());
  const QPoint label = inWindow(window.label1()).center();
  QTest::mouseClick(handle(), Qt::LeftButton, Qt::NoModifier, label);
  EXPECT_TRUE(mail.urls.empty()) << "a hidden credit line must not open mail";
  QTest::mouseClick(&window.command2(), Qt::LeftButton);
  EXPECT_TRUE(window.label1().isVisible());
  QTest::mouseClick(handle(), Qt::LeftButton, Qt::NoModifier, label);
  EXPECT_EQ(mail.urls, std::vector<std::string>{contactUrl()});
}

TEST_F(Window, ADoubleClickOnTheCreditLineOpensMailOnce) {
  QTest::mouseDClick(handle(), Qt::LeftButton, Qt::NoModifier, inWindow(window.label1()).center());
  EXPECT_EQ(mail.urls.size(), 1u);
}

TEST_F(Window, CloseEndsTheProgram) {
  QTest::mouseClick(&window.command1(), Qt::LeftButton);
  EXPECT_EQ(ends, 1);
}

TEST_F(Window, AutoReadTicksOnceASecondOnTheRealTimer) {
  QElapsedTimer clock;
  QTest::mouseClick(&window.command3(), Qt::LeftButton);
  clock.start();
  EXPECT_EQ(window.command3().text(), QString::fromUtf16(u"随指随读"));
  EXPECT_TRUE(window.timer1().isActive());
  while (sound.keys.empty() && clock.elapsed() < 3000) QTest::qWait(5);
  const qint64 first = clock.elapsed();
  ASSERT_EQ(sound.keys, std::vector<std::string>{"101"});
  EXPECT_GE(first, 950);
  EXPECT_LE(first, 1300);
  while (sound.keys.size() < 2 && clock.elapsed() < 4000) QTest::qWait(5);
  EXPECT_EQ(sound.keys.back(), "102");
  QTest::mouseClick(&window.command3(), Qt::LeftButton);
  EXPECT_FALSE(window.timer1().isActive());
  EXPECT_EQ(window.command3().text(), QString::fromUtf16(u"自动朗读"));
}

TEST_F(Window, AssistiveTechnologyHearsEveryKanaAndCaption) {
  for (const KanaCell& cell : allCells()) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(window.image1(cell.index));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Button) << cell.index;
    EXPECT_EQ(a->text(QAccessible::Name).toStdString(),
              std::string(cell.kana) + " " + std::string(cell.romaji));
  }
  const QString expected[] = {QString::fromUtf16(u"关闭窗口"), QString::fromUtf16(u"关    于"),
                              QString::fromUtf16(u"自动朗读"),
                              QString::fromUtf16(u"Morlen制作联系作者  ")};
  const QWidget* widgets[] = {&window.command1(), &window.command2(), &window.command3(),
                              &window.label1()};
  for (int i = 0; i < 4; ++i) {
    QAccessibleInterface* a =
        QAccessible::queryAccessibleInterface(const_cast<QWidget*>(widgets[i]));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(QAccessible::Name), expected[i]);
  }
  // The press action speaks the kana, as a click does.
  QAccessibleInterface* ka = QAccessible::queryAccessibleInterface(window.image1(6));
  ka->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(sound.keys, std::vector<std::string>{"106"});
}

}  // namespace
}  // namespace tessel
